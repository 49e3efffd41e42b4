#include "platform/sim/SimDialogs.h"

#include <mutex>
#include <set>

#include "platform/sim/SimWindowing.h"

namespace sim {
namespace {

using namespace platform;

std::mutex DialogLock;
std::function<void(HWnd)> ModalScript;
std::set<HWnd> IconsRemoved;
int ScreenDpi = StandardDpi;

int Dpi() {
    std::lock_guard<std::mutex> lock(DialogLock);
    return ScreenDpi;
}

// A length of the standard screen on this one, as Windows scales metrics for a program aware of it.
int ForScreen(int pixels) { return (pixels * Dpi() + StandardDpi / 2) / StandardDpi; }

// A font's size against the standard dialog font (11 pixels high), rounded up: a taller font's
// characters are wider.
int InFont(int pixels, int fontHeight) {
    const int height = fontHeight < 0 ? -fontHeight : fontHeight;
    return height == 0 ? pixels : (pixels * height + StandardFontHeight - 1) / StandardFontHeight;
}

// The live window's record; a record with Handle 0 when there is none.
WindowRecord LiveWindow(HWnd window) {
    for (const WindowRecord& w : WindowRecords())
        if (w.Handle == window && !w.Destroyed) return w;
    return {};
}

std::function<void(HWnd)> CurrentScript() {
    std::lock_guard<std::mutex> lock(DialogLock);
    return ModalScript;
}

}  // namespace

void SetModalScript(std::function<void(HWnd)> script) {
    std::lock_guard<std::mutex> lock(DialogLock);
    ModalScript = std::move(script);
}

bool WindowIconRemoved(HWnd window) {
    std::lock_guard<std::mutex> lock(DialogLock);
    return IconsRemoved.count(window) != 0;
}

void SetScreenDpi(int dpi) {
    std::lock_guard<std::mutex> lock(DialogLock);
    ScreenDpi = dpi;
}

void ResetDialogs() {
    std::lock_guard<std::mutex> lock(DialogLock);
    ModalScript = nullptr;
    IconsRemoved.clear();
    ScreenDpi = StandardDpi;
}

}  // namespace sim

namespace platform {

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN: return sim::ScreenWidth;
        case SM_CYSCREEN: return sim::ScreenHeight;
        case SM_CXVSCROLL: return sim::ForScreen(sim::ScrollBarWidth);
        case SM_CXMENUCHECK:
        case SM_CYMENUCHECK: return sim::ForScreen(sim::CheckMarkSize);
        case SM_CXSIZE: return sim::ForScreen(sim::CaptionButtonWidth);
        case SM_CXSMSIZE: return sim::ForScreen(sim::SmallCaptionButtonWidth);
        case SM_CXSMICON: return sim::ForScreen(sim::SmallIconSize);
        default: return 0;
    }
}

int GetDeviceCaps(int index) { return index == LOGPIXELSY ? sim::Dpi() : 0; }

TextSize GetTextExtent(HWnd window, const std::string& text) {
    const sim::WindowRecord w = sim::LiveWindow(window);
    if (!w.Handle) return {};
    const int characterWidth = sim::InFont(sim::CharacterWidth, w.FontHeight);
    return {static_cast<int>(text.size()) * characterWidth, sim::InFont(sim::LineHeight, w.FontHeight)};
}

TextSize GetFontTextExtent(const std::string&, int height, const std::string& text) {
    return {static_cast<int>(text.size()) * sim::InFont(sim::CharacterWidth, height), sim::InFont(sim::LineHeight, height)};
}

TextSize GetCaptionTextExtent(const std::string& text, bool) {
    return {static_cast<int>(text.size()) * sim::ForScreen(sim::CharacterWidth), sim::ForScreen(sim::LineHeight)};
}

bool IsWindow(HWnd window) { return sim::LiveWindow(window).Handle != 0; }

bool RemoveWindowIcon(HWnd window) {
    if (!IsWindow(window)) return false;
    std::lock_guard<std::mutex> lock(sim::DialogLock);
    sim::IconsRemoved.insert(window);
    return true;
}

bool RunModalLoop(HWnd window) {
    const HWnd owner = sim::LiveWindow(window).Parent;
    if (!IsWindow(window)) return false;
    if (owner) EnableWindow(owner, false);
    const std::function<void(HWnd)> script = sim::CurrentScript();
    const HWnd outer = sim::EnterModalLoop(window);
    if (script) script(window);
    sim::PumpPostedMessages();
    sim::EnterModalLoop(outer);
    if (IsWindow(window)) SendMessage(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (owner) EnableWindow(owner, true);
    return true;
}

}  // namespace platform
