#include "device/DriveRecord.h"

#include <atomic>
#include <mutex>
#include <shared_mutex>

#include "device/DiagnosticLog.h"
#include "device/DriveTableFill.h"
#include "device/TIOCTL.h"

namespace {

struct DriveTableType {
    std::unique_ptr<DriveRecord> Drives[MaxPhysicalDisks];
    platform::OwnedHandle Handles[MaxPhysicalDisks];
    std::atomic<unsigned> Count{0};  // read without the lock: it changes only while no other thread runs
};

DriveTableType DriveTable;
std::shared_mutex TableLock;
thread_local bool HoldsWriter = false;

}  // namespace

unsigned DriveCount() { return DriveTable.Count; }

DriveRecord& DriveForCommands(unsigned index) { return *DriveTable.Drives[index]; }

namespace {
// The lock is taken before the record is looked up, so that the table cannot be emptied in between.
DriveRecord& LockedForWriting(unsigned index) {
    TableLock.lock();
    HoldsWriter = true;
    return DriveForCommands(index);
}
DriveRecord& LockedForWriting(DriveRecord& drive) {
    TableLock.lock();
    HoldsWriter = true;
    return drive;
}
const DriveRecord& LockedForReading(unsigned index) {
    TableLock.lock_shared();
    return DriveForCommands(index);
}
const DriveRecord& LockedForReading(const DriveRecord& drive) {
    TableLock.lock_shared();
    return drive;
}
}  // namespace

DriveWriter::DriveWriter(unsigned index) : drive_(LockedForWriting(index)) {}
DriveWriter::DriveWriter(DriveRecord& drive) : drive_(LockedForWriting(drive)) {}
DriveWriter::~DriveWriter() {
    HoldsWriter = false;
    TableLock.unlock();
}

DriveReader::DriveReader(unsigned index) : drive_(LockedForReading(index)) {}
DriveReader::DriveReader(const DriveRecord& drive) : drive_(LockedForReading(drive)) {}
DriveReader::~DriveReader() { TableLock.unlock_shared(); }

bool ThisThreadHoldsDriveWriter() { return HoldsWriter; }

DriveRecord SnapshotDrive(unsigned index) {
    std::shared_lock<std::shared_mutex> hold(TableLock);
    if (index >= DriveCount()) return DriveRecord();
    DriveRecord copy = CopyWithLog(DriveForCommands(index));
    copy.Handle = 0;
    return copy;
}

bool CloseDriveHandle(platform::Handle handle) {
    for (unsigned i = 0; i < DriveCount(); ++i) {
        DriveWriter writer(i);
        if (handle == 0 || writer->Handle != handle) continue;
        DriveCallSlot slot;
        DriveTable.Handles[i].Reset(0);
        writer->Handle = 0;
        return true;
    }
    return false;
}

bool AddDrive(std::unique_ptr<DriveRecord> drive, platform::OwnedHandle handle) {
    std::unique_lock<std::shared_mutex> hold(TableLock);
    const unsigned count = DriveTable.Count;
    if (count >= MaxPhysicalDisks) return false;
    drive->Handle = handle;
    DriveTable.Handles[count] = std::move(handle);
    DriveTable.Drives[count] = std::move(drive);
    DriveTable.Count = count + 1;
    return true;
}

void ClearDriveTable() {
    std::unique_lock<std::shared_mutex> hold(TableLock);
    const unsigned count = DriveTable.Count;
    DriveTable.Count = 0;
    for (unsigned i = 0; i < count; ++i) {
        DriveTable.Drives[i].reset();
        DriveTable.Handles[i].Reset(0);
    }
}
