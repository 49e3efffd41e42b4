// The tray facility of the simulated machine: icons are numbered handles that remember what was
// drawn on them, and the notification area is a recorded list of entries. NIM_ADD can be made to
// fail, as it does while Explorer is not running.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Tray.h"

namespace sim {

// One entry of the notification area as the last call left it. Its icon is copied when the entry
// takes it, so the record stays readable after the icon is destroyed.
struct TrayEntry {
    std::uintptr_t Window = 0;
    uint32_t Id = 0;
    uint32_t CallbackMessage = 0;
    platform::IconHandle Icon = 0;
    bool ProgramIcon = false;            // the icon is the program's own
    platform::TextIconDrawing Drawing;   // otherwise, what the icon shows
    std::string Tip;
    bool Active = false;                 // added and not deleted since
};

struct BalloonCall {
    std::uintptr_t Window;
    uint32_t Id;
    std::string Title;
    std::string Text;
    uint32_t InfoFlags;
};

// Every entry ever added, in the order of its first NIM_ADD (deleted ones with Active false).
std::vector<TrayEntry> TrayEntries();
// The active entries only, in the same order.
std::vector<TrayEntry> ActiveTrayEntries();
std::vector<BalloonCall> Balloons();

// The program's icon handle (what LoadProgramIcon returns).
platform::IconHandle ProgramIconHandle();
// Icons made and not yet destroyed.
unsigned LiveIcons();

// The next `count` NIM_ADD calls fail; NIM_ADD calls so far.
void FailNotifyIconAdds(unsigned count);
unsigned NotifyIconAddCalls();

// Explorer ends and starts again: every entry leaves the notification area (Active false, so a
// NIM_MODIFY of it fails), then every top-level window gets the registered "TaskbarCreated" message.
void RestartExplorer();

// No entry, icon, balloon or scripted failure.
void ResetTray();

}  // namespace sim
