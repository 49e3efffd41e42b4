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

void ResetDialogs() {
    std::lock_guard<std::mutex> lock(DialogLock);
    ModalScript = nullptr;
    IconsRemoved.clear();
}

}  // namespace sim

namespace platform {

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN: return sim::ScreenWidth;
        case SM_CYSCREEN: return sim::ScreenHeight;
        case SM_CXVSCROLL: return sim::ScrollBarWidth;
        case SM_CXMENUCHECK:
        case SM_CYMENUCHECK: return sim::CheckMarkSize;
        default: return 0;
    }
}

TextSize GetTextExtent(HWnd window, const std::string& text) {
    if (!IsWindow(window)) return {};
    return {static_cast<int>(text.size()) * sim::CharacterWidth, sim::LineHeight};
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
