// The processes facility of the simulated machine: the only other process is Explorer, with its
// taskbar window (class "Shell_TrayWnd"). Explorer ends when its taskbar window receives the message
// that asks it to exit (0x5B4), after the time the script gives. Explorer handles its own messages
// while the program waits for it, so waiting for its process dispatches the posted messages first.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Processes.h"

namespace sim {

struct ExplorerScript {
    bool Running = true;
    uint32_t ProcessId = 2024;
    bool EndsWhenAsked = true;
    uint32_t EndMs = 400;  // from the wait's start to its end
};

// Explorer as the script says, from now on.
void SetExplorer(const ExplorerScript& script);
bool ExplorerRunning();
// Exit requests its taskbar window received.
unsigned ExplorerExitRequests();
// The access rights of every OpenProcess call, in order.
std::vector<uint32_t> ProcessOpenRights();

// Explorer running as the default script says, without a window until one is looked for.
void ResetExplorer();

}  // namespace sim
