// Records shared between threads: the monitoring thread scans and re-examines the drives while the
// user-interface thread reads every field of every record, as the report does, under the table's
// reader lock or from a snapshot. Run under ThreadSanitizer, this proves the locking rule; natively
// it checks that readers never change what the writer computes.
#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>
#include <thread>

#include "TestMachine.h"
#include "device/DriveTableFill.h"
#include "app/AttributeDump.h"
#include "app/HealthDump.h"
#include "app/RecordDump.h"
#include "device/DiagnosticLog.h"
#include "discovery/Scan.h"
#include "platform/sim/SimSmart.h"
#include "smart/Condition.h"
#include "smart/SmartData.h"

namespace {

std::string Dump(const DriveRecord& d) {
    std::ostringstream out;
    DumpDriveRecord(out, d);
    DumpAttributes(out, d);
    DumpHealth(out, d);
    return out.str();
}

// What a monitoring cycle does to each drive, one drive at a time under the writer lock.
void ReexamineDrives() {
    for (unsigned i = 0; i < DriveCount(); ++i) {
        DriveWriter writer(i);
        DriveRecord& d = *writer;
        ReadSmartData(d);
        if (!d.IsNVMe) d.AttributeCount = CountAttributes(d);
        ExtractSmartValues(d);
        EvaluateCondition(d);
    }
}

// Three start-ups, each with a scan and ten minutes of cycles; the dump of every drive at the end.
std::string ScanAndMonitor() {
    sim::SetLocalTime(15, 4, 5);
    for (int startup = 0; startup < 3; ++startup) {
        ClearDriveTable();
        sim::Install(sim::DefaultMachine());
        ScanDrives();
        for (int cycle = 0; cycle < 10; ++cycle) {
            sim::PassTime(60);
            ReexamineDrives();
        }
    }
    std::string all;
    for (unsigned i = 0; i < DriveCount(); ++i) {
        const std::string dump = Dump(DriveForCommands(i));
        const size_t handle = dump.find("\nHandle = ");  // handle numbers count on across start-ups
        all += dump.substr(0, handle) + dump.substr(dump.find('\n', handle + 1));
    }
    return all;
}

TEST_F(MachineTest, ReadersSeeWholeRecordsWhileScansAndCyclesWrite) {
    const std::string alone = ScanAndMonitor();
    ASSERT_NE(alone, "");

    std::atomic<bool> done{false};
    std::string together;
    std::thread monitoring([&] {
        together = ScanAndMonitor();
        done = true;
    });
    unsigned lockedReads = 0, snapshots = 0;
    while (!done) {
        for (unsigned i = 0; i < DriveCount(); ++i, ++lockedReads) Dump(SnapshotDrive(i));
        const DriveRecord copy = SnapshotDrive(snapshots++ % MaxPhysicalDisks);
        EXPECT_EQ(static_cast<platform::Handle>(copy.Handle), 0u) << "a snapshot owns no drive handle";
        Dump(copy);
    }
    monitoring.join();
    EXPECT_EQ(together, alone);
    EXPECT_GT(lockedReads + snapshots, 0u);
}

// Any thread may append to a drive's log while holding only the reader lock, as alerts and workers
// do; a snapshot taken meanwhile copies the log with whole entries only.
TEST_F(MachineTest, SnapshotsCopyTheLogWhileAnotherThreadWritesIt) {
    sim::Install(sim::DefaultMachine());
    ScanDrives();
    ASSERT_GT(DriveCount(), 0u);
    const std::string message = "a message from another thread", entry = "DEBUG - " + message;
    std::atomic<bool> done{false};
    std::thread logging([&] {
        for (int i = 0; i < 500; ++i) {
            DriveReader reader(0);
            WriteLog(message, &DriveForCommands(0));
        }
        done = true;
    });
    unsigned snapshots = 0;
    while (!done || snapshots == 0) {
        const std::string log = SnapshotDrive(0).Log;
        ++snapshots;
        if (log.find(entry) == std::string::npos) continue;  // taken before the first entry
        EXPECT_EQ(log.compare(log.size() - entry.size(), entry.size(), entry), 0) << "a torn entry";
    }
    logging.join();
    EXPECT_EQ(SnapshotDrive(0).Log, DriveLogText(DriveForCommands(0)));
    EXPECT_GT(snapshots, 0u);
}

}  // namespace
