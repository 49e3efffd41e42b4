// The foreground facility of the simulated machine: the foreground lock's calls and the commands
// taken off windows' system menus are recorded; the window colour's brush is a fixed value.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/Foreground.h"

namespace sim {

constexpr platform::LParam WindowColourBrush = 0x5005;

// The codes given to LockSetForegroundWindow, in order.
std::vector<uint32_t> ForegroundLockCalls();
// Every (window, command) deleted from a system menu, in order.
std::vector<std::pair<platform::HWnd, platform::WParam>> DeletedSystemMenuCommands();

void ResetForeground();

}  // namespace sim
