#include "platform/sim/SimTray.h"

#include <map>
#include <mutex>

#include "platform/Windowing.h"
#include "platform/sim/SimWindowing.h"

namespace sim {
namespace {

constexpr platform::IconHandle ProgramIcon = 1;

std::mutex TrayLock;
std::map<platform::IconHandle, platform::TextIconDrawing> Icons;  // live icons made by CreateTextIcon
platform::IconHandle NextIcon = ProgramIcon + 1;
std::vector<TrayEntry> Entries;
std::vector<BalloonCall> BalloonCalls;
unsigned AddFailures = 0;
unsigned AddCalls = 0;

// Caller holds TrayLock.
TrayEntry* Find(std::uintptr_t window, uint32_t id) {
    for (TrayEntry& e : Entries)
        if (e.Window == window && e.Id == id) return &e;
    return nullptr;
}

// Caller holds TrayLock. Takes the fields the call names; false for an icon that does not exist
// (0 is no icon: the entry shows nothing).
bool Apply(TrayEntry& entry, const platform::NotifyIconData& data) {
    if (data.Flags & platform::NIF_ICON) {
        const auto icon = Icons.find(data.Icon);
        const bool drawn = icon != Icons.end();
        if (!drawn && data.Icon != 0 && data.Icon != ProgramIcon) return false;
        entry.Icon = data.Icon;
        entry.ProgramIcon = data.Icon == ProgramIcon;
        entry.Drawing = drawn ? icon->second : platform::TextIconDrawing{};
    }
    if (data.Flags & platform::NIF_TIP) entry.Tip = data.Tip.substr(0, 127);
    if (data.Flags & platform::NIF_MESSAGE) entry.CallbackMessage = data.CallbackMessage;
    return true;
}

bool Add(const platform::NotifyIconData& data) {
    ++AddCalls;
    if (AddFailures > 0) {
        --AddFailures;
        return false;
    }
    TrayEntry* entry = Find(data.Window, data.Id);
    if (entry && entry->Active) return false;
    TrayEntry added;
    added.Window = data.Window;
    added.Id = data.Id;
    if (!Apply(added, data)) return false;
    added.Active = true;
    if (entry) *entry = added;
    else Entries.push_back(added);
    return true;
}

bool Modify(const platform::NotifyIconData& data) {
    TrayEntry* entry = Find(data.Window, data.Id);
    if (!entry || !entry->Active) return false;
    if (data.Flags & platform::NIF_INFO)
        BalloonCalls.push_back({data.Window, data.Id, data.InfoTitle.substr(0, 63), data.Info.substr(0, 255), data.InfoFlags});
    return Apply(*entry, data);
}

bool Delete(const platform::NotifyIconData& data) {
    TrayEntry* entry = Find(data.Window, data.Id);
    if (!entry || !entry->Active) return false;
    entry->Active = false;
    return true;
}

}  // namespace

std::vector<TrayEntry> TrayEntries() {
    std::lock_guard<std::mutex> lock(TrayLock);
    return Entries;
}

std::vector<TrayEntry> ActiveTrayEntries() {
    std::lock_guard<std::mutex> lock(TrayLock);
    std::vector<TrayEntry> active;
    for (const TrayEntry& e : Entries)
        if (e.Active) active.push_back(e);
    return active;
}

std::vector<BalloonCall> Balloons() {
    std::lock_guard<std::mutex> lock(TrayLock);
    return BalloonCalls;
}

platform::IconHandle ProgramIconHandle() { return ProgramIcon; }

unsigned LiveIcons() {
    std::lock_guard<std::mutex> lock(TrayLock);
    return static_cast<unsigned>(Icons.size());
}

void FailNotifyIconAdds(unsigned count) {
    std::lock_guard<std::mutex> lock(TrayLock);
    AddFailures = count;
}

unsigned NotifyIconAddCalls() {
    std::lock_guard<std::mutex> lock(TrayLock);
    return AddCalls;
}

void RestartExplorer() {
    {
        std::lock_guard<std::mutex> lock(TrayLock);
        for (TrayEntry& e : Entries) e.Active = false;
    }
    BroadcastMessage(platform::RegisterWindowMessage("TaskbarCreated"), 0, 0);
}

void ResetTray() {
    std::lock_guard<std::mutex> lock(TrayLock);
    Icons.clear();
    NextIcon = ProgramIcon + 1;
    Entries.clear();
    BalloonCalls.clear();
    AddFailures = 0;
    AddCalls = 0;
}

}  // namespace sim

namespace platform {

bool Shell_NotifyIcon(uint32_t message, const NotifyIconData& data) {
    std::lock_guard<std::mutex> lock(sim::TrayLock);
    switch (message) {
        case NIM_ADD: return sim::Add(data);
        case NIM_MODIFY: return sim::Modify(data);
        case NIM_DELETE: return sim::Delete(data);
        default: return false;
    }
}

bool DestroyIcon(IconHandle icon) {
    std::lock_guard<std::mutex> lock(sim::TrayLock);
    return sim::Icons.erase(icon) == 1;  // the shared program icon is not in the map
}

IconHandle LoadProgramIcon() { return sim::ProgramIcon; }

IconHandle CreateTextIcon(const TextIconDrawing& drawing) {
    std::lock_guard<std::mutex> lock(sim::TrayLock);
    const IconHandle icon = sim::NextIcon++;
    sim::Icons[icon] = drawing;
    return icon;
}

}  // namespace platform
