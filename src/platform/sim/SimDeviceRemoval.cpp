// The safe removal of a simulated drive (SimMachine.h): the storage stack asks the windows that
// watch the drive's handles, then either refuses or takes the drive away and tells the windows that
// watch the disk interfaces.
#include "platform/Windowing.h"
#include "platform/sim/SimInternal.h"

namespace sim {
namespace {

constexpr platform::WParam DBT_DEVICEQUERYREMOVE = 0x8001, DBT_DEVICEQUERYREMOVEFAILED = 0x8002,
                           DBT_DEVICEREMOVECOMPLETE = 0x8004;

// The handle notifications registered on the drive's open handles.
std::vector<HandleNotification> WatchersOf(size_t driveIndex) {
    std::vector<HandleNotification> watchers;
    for (const platform::Handle handle : OpenHandlesOf(driveIndex))
        for (const HandleNotification& n : Current().Notifications)
            if (n.Device == handle) watchers.push_back(n);
    return watchers;
}

void SendHandleBroadcast(const std::vector<HandleNotification>& watchers, platform::WParam event) {
    for (const HandleNotification& n : watchers) {
        platform::DeviceBroadcast broadcast{platform::DBT_DEVTYP_HANDLE, n.Device};
        platform::SendMessage(n.Window, platform::WM_DEVICECHANGE, event, reinterpret_cast<platform::LParam>(&broadcast));
    }
}

}  // namespace

bool RequestDeviceRemoval(size_t driveIndex) {
    std::vector<HandleNotification> watchers;
    {
        std::lock_guard<std::recursive_mutex> lock(MachineLock());
        if (driveIndex >= Current().Drives.size() || Current().Drives[driveIndex].Removed) return false;
        watchers = WatchersOf(driveIndex);
    }
    SendHandleBroadcast(watchers, DBT_DEVICEQUERYREMOVE);
    std::vector<std::uintptr_t> interfaceWatchers;
    bool stillOpen = false;
    {
        std::lock_guard<std::recursive_mutex> lock(MachineLock());
        stillOpen = !OpenHandlesOf(driveIndex).empty();
        if (!stillOpen) Current().Drives[driveIndex].Removed = true;
        interfaceWatchers = Current().InterfaceNotifications;
    }
    if (stillOpen) {
        SendHandleBroadcast(watchers, DBT_DEVICEQUERYREMOVEFAILED);
        return false;
    }
    platform::DeviceBroadcast broadcast{platform::DBT_DEVTYP_DEVICEINTERFACE, 0};
    for (const std::uintptr_t window : interfaceWatchers)
        platform::SendMessage(window, platform::WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE,
                              reinterpret_cast<platform::LParam>(&broadcast));
    return true;
}

}  // namespace sim
