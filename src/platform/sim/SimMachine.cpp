// The installed simulated machine and its table of open handles.
#include <map>

#include "platform/sim/SimInternal.h"

namespace sim {

namespace {

Machine TheMachine;
std::map<platform::Handle, size_t> Handles;  // handle -> drive index
platform::Handle NextHandle = 0x100;

}  // namespace

ReplyHook TheReplyHook;

std::recursive_mutex& MachineLock() {
    static std::recursive_mutex lock;
    return lock;
}

Machine& Current() { return TheMachine; }

void Install(Machine machine) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    TheMachine = std::move(machine);
    Handles.clear();
}

Drive* DriveForHandle(platform::Handle handle) {
    const auto it = Handles.find(handle);
    if (it == Handles.end() || it->second >= TheMachine.Drives.size()) return nullptr;
    return &TheMachine.Drives[it->second];
}

platform::Handle OpenHandle(size_t driveIndex) {
    const platform::Handle handle = NextHandle;
    NextHandle += 4;
    Handles[handle] = driveIndex;
    return handle;
}

bool CloseDriveHandle(platform::Handle handle) { return Handles.erase(handle) == 1; }

unsigned OpenHandleCount() {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    return static_cast<unsigned>(Handles.size());
}

void SetReplyHook(ReplyHook hook) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    TheReplyHook = std::move(hook);
}

}  // namespace sim
