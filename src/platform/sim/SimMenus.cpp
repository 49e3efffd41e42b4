#include "platform/sim/SimMenus.h"

#include <map>
#include <mutex>

namespace sim {
namespace {

std::mutex MenusLock;
std::map<platform::HMenu, std::vector<MenuItem>> Menus;
platform::HMenu NextMenu = 0x30010;
std::vector<PopupCall> PopupCalls;
platform::Point Cursor{0, 0};
platform::HWnd Foreground = 0;
bool PickPending = false;
uint32_t Pick = 0;

// Caller holds MenusLock. Whether the pending pick names an item the user can choose.
bool Pickable(const std::vector<MenuItem>& items) {
    if (!PickPending) return false;
    for (const MenuItem& item : items)
        if (item.Id == Pick) return (item.Flags & (platform::MF_SEPARATOR | platform::MF_GRAYED)) == 0;
    return false;
}

}  // namespace

std::vector<MenuItem> MenuItems(platform::HMenu menu) {
    std::lock_guard<std::mutex> lock(MenusLock);
    const auto found = Menus.find(menu);
    return found == Menus.end() ? std::vector<MenuItem>{} : found->second;
}

std::vector<PopupCall> Popups() {
    std::lock_guard<std::mutex> lock(MenusLock);
    return PopupCalls;
}

void SetCursorPosition(int x, int y) {
    std::lock_guard<std::mutex> lock(MenusLock);
    Cursor = {x, y};
}

platform::HWnd ForegroundWindow() {
    std::lock_guard<std::mutex> lock(MenusLock);
    return Foreground;
}

void PickMenuItem(uint32_t id) {
    std::lock_guard<std::mutex> lock(MenusLock);
    PickPending = true;
    Pick = id;
}

void ResetMenus() {
    std::lock_guard<std::mutex> lock(MenusLock);
    Menus.clear();
    NextMenu = 0x30010;
    PopupCalls.clear();
    Cursor = {0, 0};
    Foreground = 0;
    PickPending = false;
    Pick = 0;
}

}  // namespace sim

namespace platform {

HMenu CreatePopupMenu() {
    std::lock_guard<std::mutex> lock(sim::MenusLock);
    const HMenu menu = sim::NextMenu;
    sim::NextMenu += 4;
    sim::Menus[menu];
    return menu;
}

bool AppendMenu(HMenu menu, uint32_t flags, uint32_t id, const std::string& text) {
    std::lock_guard<std::mutex> lock(sim::MenusLock);
    const auto found = sim::Menus.find(menu);
    if (found == sim::Menus.end()) return false;
    found->second.push_back({flags, id, (flags & MF_SEPARATOR) ? std::string() : text});
    return true;
}

bool GetCursorPos(Point& position) {
    std::lock_guard<std::mutex> lock(sim::MenusLock);
    position = sim::Cursor;
    return true;
}

bool SetForegroundWindow(HWnd window) {
    std::lock_guard<std::mutex> lock(sim::MenusLock);
    sim::Foreground = window;
    return true;
}

bool EnableMenuItem(HMenu menu, uint32_t id, bool enable) {
    std::lock_guard<std::mutex> lock(sim::MenusLock);
    const auto found = sim::Menus.find(menu);
    if (found == sim::Menus.end()) return false;
    for (sim::MenuItem& item : found->second)
        if (item.Id == id && !(item.Flags & MF_SEPARATOR)) {
            item.Flags = enable ? item.Flags & ~MF_GRAYED : item.Flags | MF_GRAYED;
            return true;
        }
    return false;
}

bool TrackPopupMenu(HMenu menu, int x, int y, HWnd window) {
    uint32_t picked = 0;
    {
        std::lock_guard<std::mutex> lock(sim::MenusLock);
        const auto found = sim::Menus.find(menu);
        if (found == sim::Menus.end()) return false;
        sim::PopupCalls.push_back({menu, x, y, window});
        const bool pickable = sim::Pickable(found->second);
        sim::PickPending = false;
        if (!pickable) return false;
        picked = sim::Pick;
    }
    return PostMessage(window, WM_COMMAND, picked, 0);  // the windowing's lock, not ours
}

}  // namespace platform
