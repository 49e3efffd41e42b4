#include "device/DriveRecord.h"

#include <shared_mutex>

#include "device/DiagnosticLog.h"

DriveTableType DriveTable;

namespace {
std::shared_mutex TableLock;
thread_local bool HoldsWriter = false;
}  // namespace

DriveWriter::DriveWriter() {
    TableLock.lock();
    HoldsWriter = true;
}
DriveWriter::~DriveWriter() {
    HoldsWriter = false;
    TableLock.unlock();
}
DriveReader::DriveReader() { TableLock.lock_shared(); }
DriveReader::~DriveReader() { TableLock.unlock_shared(); }

bool ThisThreadHoldsDriveWriter() { return HoldsWriter; }

DriveRecord SnapshotDrive(unsigned index) {
    DriveReader reader;
    if (index >= DriveTable.Count) return DriveRecord();
    return CopyWithLog(*DriveTable.Drives[index]);
}

bool AddDrive(std::unique_ptr<DriveRecord> drive) {
    DriveWriter writer;
    if (DriveTable.Count >= MaxPhysicalDisks) return false;
    DriveTable.Drives[DriveTable.Count++] = std::move(drive);
    return true;
}

void ClearDriveTable() {
    DriveWriter writer;
    for (unsigned i = 0; i < DriveTable.Count; ++i) DriveTable.Drives[i].reset();
    DriveTable.Count = 0;
}
