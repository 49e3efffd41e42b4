#include "platform/sim/SimWorld.h"

#include "platform/sim/SimClock.h"
#include "platform/sim/SimDialogs.h"
#include "platform/sim/SimExplorer.h"
#include "platform/sim/SimForeground.h"
#include "platform/sim/SimInstallation.h"
#include "platform/sim/SimGraphBitmap.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimMenus.h"
#include "platform/sim/SimNetwork.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimRichEdit.h"
#include "platform/sim/SimShell.h"
#include "platform/sim/SimSystem.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/SimTray.h"
#include "platform/sim/SimTrust.h"
#include "platform/sim/SimUserInterface.h"
#include "platform/sim/SimWindowing.h"

namespace sim {

void ResetWorld() {
    // Workers first, while the world they act on is still there: open boxes are answered so that
    // their threads can end, and boxes raised while they end are answered at once.
    ResetMessageBoxes();
    ResetWorkers();
    ResetMessageBoxes();
    ResetClock();
    SetReplyHook(nullptr);
    SetPageHook(nullptr);
    Install(Machine());
    ResetTray();
    ClearShellRequests();
    SetShellFails(false);
    ResetNetwork();
    ResetTrust();
    ResetRegistry();
    ResetSystem();
    ResetWindowing();
    ResetDialogs();
    ResetRichEdit();
    ResetMenus();
    ResetGraphBitmaps();
    ResetExplorer();
    ResetForeground();
    ResetInstallation();
}

}  // namespace sim
