#include "platform/sim/SimWorld.h"

#include "platform/sim/SimClock.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimShell.h"
#include "platform/sim/SimSystem.h"

namespace sim {

void ResetWorld() {
    ResetClock();
    SetReplyHook(nullptr);
    Install(Machine());
    ClearShellRequests();
    SetShellFails(false);
    ResetRegistry();
    ResetSystem();
}

}  // namespace sim
