// The installed simulated machine and its table of open handles.
#include <map>

#include "platform/sim/SimInternal.h"

namespace sim {

namespace {

Machine TheMachine;
std::map<platform::Handle, size_t> Handles;  // handle -> drive index
std::map<platform::Handle, size_t> VolumeHandles;  // handle -> volume index
std::map<platform::Handle, uint64_t> FilePointers;  // drive handle -> where its next raw read starts
platform::Handle NextHandle = 0x100;

// Every open gets a value of its own, spaced as Windows spaces handle values.
platform::Handle NewHandleValue() {
    const platform::Handle handle = NextHandle;
    NextHandle += 4;
    return handle;
}

}  // namespace

ReplyHook TheReplyHook;
PageHook ThePageHook;

std::recursive_mutex& MachineLock() {
    static std::recursive_mutex lock;
    return lock;
}

Machine& Current() { return TheMachine; }

void Install(Machine machine) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    TheMachine = std::move(machine);
    Handles.clear();
    VolumeHandles.clear();
    FilePointers.clear();
}

Drive* DriveForHandle(platform::Handle handle) {
    const auto it = Handles.find(handle);
    if (it == Handles.end() || it->second >= TheMachine.Drives.size()) return nullptr;
    Drive& drive = TheMachine.Drives[it->second];
    return drive.Removed ? nullptr : &drive;
}

platform::Handle OpenHandle(size_t driveIndex) {
    const platform::Handle handle = NewHandleValue();
    Handles[handle] = driveIndex;
    FilePointers[handle] = 0;
    return handle;
}

std::vector<platform::Handle> OpenHandlesOf(size_t driveIndex) {
    std::vector<platform::Handle> open;
    for (const auto& [handle, drive] : Handles)
        if (drive == driveIndex) open.push_back(handle);
    return open;
}

bool CloseDriveHandle(platform::Handle handle) {
    FilePointers.erase(handle);
    return Handles.erase(handle) == 1;
}

uint64_t* FilePointer(platform::Handle handle) {
    const auto it = FilePointers.find(handle);
    return it == FilePointers.end() ? nullptr : &it->second;
}

Volume* VolumeForHandle(platform::Handle handle) {
    const auto it = VolumeHandles.find(handle);
    if (it == VolumeHandles.end() || it->second >= TheMachine.Volumes.size()) return nullptr;
    return &TheMachine.Volumes[it->second];
}

platform::Handle OpenVolumeHandle(size_t volumeIndex) {
    const platform::Handle handle = NewHandleValue();
    VolumeHandles[handle] = volumeIndex;
    return handle;
}

bool CloseVolumeHandle(platform::Handle handle) { return VolumeHandles.erase(handle) == 1; }

unsigned OpenHandleCount() {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    return static_cast<unsigned>(Handles.size() + VolumeHandles.size());
}

void SetReplyHook(ReplyHook hook) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    TheReplyHook = std::move(hook);
}

void SetPageHook(PageHook hook) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    ThePageHook = std::move(hook);
}

}  // namespace sim
