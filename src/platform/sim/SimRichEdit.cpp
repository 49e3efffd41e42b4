#include "platform/sim/SimRichEdit.h"

#include <map>
#include <mutex>

#include "platform/RtfText.h"
#include "platform/sim/SimWindowing.h"

namespace sim {
namespace {

std::mutex RichEditLock;
std::map<platform::HWnd, std::string> Documents;
platform::Rect WorkArea = DefaultWorkArea;

constexpr int PixelsPerLine = 16, BoxMargin = 13;

unsigned LineCount(const std::string& text) {
    unsigned lines = 1;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) ++lines;
    return lines;
}

// The instruction of the n-th field ("HYPERLINK target "), cut from the document; empty when absent.
std::string FieldInstruction(const std::string& rtf, unsigned n) {
    const std::string marker = "\\fldinst{";
    size_t at = 0;
    for (unsigned i = 0;; ++i) {
        at = rtf.find(marker, at);
        if (at == std::string::npos) return std::string();
        at += marker.size();
        if (i == n) {
            const size_t end = rtf.find('}', at);
            return end == std::string::npos ? std::string() : rtf.substr(at, end - at);
        }
    }
}

}  // namespace

std::string RichText(platform::HWnd box) {
    std::lock_guard<std::mutex> lock(RichEditLock);
    const auto found = Documents.find(box);
    return found == Documents.end() ? std::string() : found->second;
}

void SetWorkArea(const platform::Rect& area) {
    std::lock_guard<std::mutex> lock(RichEditLock);
    WorkArea = area;
}

bool ClickLink(platform::HWnd box, unsigned n, uint32_t mouseMessage) {
    const std::string instruction = FieldInstruction(RichText(box), n);
    const WindowRecord r = [box] {
        for (const WindowRecord& w : WindowRecords())
            if (w.Handle == box && !w.Destroyed) return w;
        return WindowRecord{};
    }();
    if (instruction.empty() || !r.Handle) return false;
    platform::LinkNotification notification{box, platform::EN_LINK, mouseMessage, instruction};
    platform::SendMessage(r.Parent, platform::WM_NOTIFY, r.Id, reinterpret_cast<platform::LParam>(&notification));
    return true;
}

void ResetRichEdit() {
    std::lock_guard<std::mutex> lock(RichEditLock);
    Documents.clear();
    WorkArea = DefaultWorkArea;
}

}  // namespace sim

namespace platform {

bool SetRichText(HWnd box, const std::string& rtf) {
    if (!SetWindowText(box, RtfPlainText(rtf))) return false;
    std::lock_guard<std::mutex> lock(sim::RichEditLock);
    sim::Documents[box] = rtf;
    return true;
}

std::string GetRichEditText(HWnd box) { return GetWindowText(box); }

bool HasVerticalScrollBar(HWnd window) {
    const Rect r = WindowRect(window);
    const int lines = static_cast<int>(sim::LineCount(GetWindowText(window)));
    return lines * sim::PixelsPerLine + sim::BoxMargin > r.Bottom - r.Top;
}

bool GetWorkArea(Rect& area) {
    std::lock_guard<std::mutex> lock(sim::RichEditLock);
    area = sim::WorkArea;
    return true;
}

bool ReadLinkNotification(LParam lParam, LinkNotification& notification) {
    if (!lParam) return false;
    notification = *reinterpret_cast<const LinkNotification*>(lParam);
    return notification.Code == EN_LINK;
}

}  // namespace platform
