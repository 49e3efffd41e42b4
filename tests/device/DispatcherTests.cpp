// The dispatcher: access orders per kind of drive, the lines it logs once or every time, failure
// reports and the failures it keeps quiet about.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "TestMachine.h"
#include "device/TIOCTL.h"
#include "device/DiagnosticLog.h"

using testmachine::OpenRecord;
using testmachine::SataDrive;

namespace {

AtaTaskFile IdentifyCommand() {
    AtaTaskFile tf;
    tf.Command = ATA_IDENTIFY_DEVICE;
    tf.SectorCount = 1;
    return tf;
}

std::vector<AccessMethod> MethodsTried(const sim::Drive& d) {
    std::vector<AccessMethod> methods;
    for (const sim::Request& r : d.History) methods.push_back(r.method);
    return methods;
}

using M = AccessMethod;

class Dispatcher : public MachineTest {
protected:
    // One drive reachable through `methods` only; returns its open record.
    DriveRecord DriveReachableBy(std::vector<AccessMethod> methods, bool usb = false, bool nvme = false) {
        sim::Machine m;
        m.Drives.push_back(SataDrive("S1", 0, std::move(methods)));
        Install(std::move(m));
        return OpenRecord(0, usb, nvme);
    }
    uint8_t buffer[512] = {};
};

TEST_F(Dispatcher, TriesEachKindOfDriveInItsOwnOrder) {
    DriveRecord ata = DriveReachableBy({});
    EXPECT_FALSE(ExecuteCommand(ata, IdentifyCommand(), buffer, sizeof buffer));
    EXPECT_EQ(MethodsTried(Drive(0)), (std::vector<M>{M::ATA, M::ATA, M::ATA, M::SCSI, M::OLD, M::IDE, M::SAT}));

    DriveRecord usb = DriveReachableBy({}, true);
    EXPECT_FALSE(ExecuteCommand(usb, IdentifyCommand(), buffer, sizeof buffer));
    EXPECT_EQ(MethodsTried(Drive(0)), (std::vector<M>{M::SAT, M::ATA, M::SCSI, M::OLD, M::IDE}));

    DriveRecord nvme = DriveReachableBy({}, true, true);  // NVMe wins over USB
    uint8_t page[4096];
    EXPECT_FALSE(ExecuteCommand(nvme, IdentifyCommand(), page, sizeof page));
    EXPECT_EQ(MethodsTried(Drive(0)), (std::vector<M>{M::NVMe, M::ATA, M::SCSI}));
}

TEST_F(Dispatcher, StopsAtTheFirstMethodThatWorks) {
    DriveRecord d = DriveReachableBy({M::OLD, M::SAT});
    EXPECT_TRUE(ExecuteCommand(d, IdentifyCommand(), buffer, sizeof buffer));
    EXPECT_EQ(MethodsTried(Drive(0)), (std::vector<M>{M::ATA, M::ATA, M::ATA, M::SCSI, M::OLD}));
    EXPECT_EQ(testmachine::SataIdentify("S1").Bytes(), std::vector<uint8_t>(buffer, buffer + 512));
}

TEST_F(Dispatcher, LogsAWorkingFallbackOnceAndSetsItsFlag) {
    DriveRecord d = DriveReachableBy({M::OLD});
    ASSERT_TRUE(ExecuteCommand(d, IdentifyCommand(), buffer, sizeof buffer));
    ASSERT_TRUE(ExecuteCommand(d, SmartTaskFile(SMART_READ_DATA, 1), buffer, sizeof buffer));
    EXPECT_EQ(d.Log, "DEBUG - Access via OLD");
    EXPECT_TRUE(d.UsedOLD);
    EXPECT_FALSE(d.UsedIDE || d.UsedSCSI || d.UsedSAT);

    struct Case { std::vector<M> methods; bool usb, nvme; const char* line; bool DriveRecord::*flag; };
    const Case cases[] = {
        {{M::SCSI}, false, false, "DEBUG - Access via SCSI", &DriveRecord::UsedSCSI},
        {{M::IDE}, false, false, "DEBUG - Access via IDE", &DriveRecord::UsedIDE},
        {{M::SAT}, false, false, "DEBUG - Access via SAT", &DriveRecord::UsedSAT},
        {{M::ATA}, true, false, "DEBUG - USB via ATA", &DriveRecord::UsedUSB_ATA},
        {{M::SCSI}, true, false, "DEBUG - USB via SCSI", &DriveRecord::UsedUSB_SCSI},
        {{M::OLD}, true, false, "DEBUG - USB via OLD", &DriveRecord::UsedUSB_OLD},
        {{M::IDE}, true, false, "DEBUG - USB via IDE", &DriveRecord::UsedUSB_IDE},
        {{M::ATA}, false, true, "DEBUG - NVMe via ATA", &DriveRecord::UsedNVMe_ATA},
        {{M::SCSI}, false, true, "DEBUG - NVMe via SCSI", &DriveRecord::UsedNVMe_SCSI},
    };
    for (const Case& c : cases) {
        DriveRecord r = DriveReachableBy(c.methods, c.usb, c.nvme);
        ASSERT_TRUE(ExecuteCommand(r, SmartTaskFile(SMART_READ_DATA, 1), buffer, sizeof buffer)) << c.line;
        ASSERT_TRUE(ExecuteCommand(r, SmartTaskFile(SMART_READ_DATA, 1), buffer, sizeof buffer)) << c.line;
        EXPECT_EQ(r.Log, c.line);
        EXPECT_TRUE(r.*c.flag) << c.line;
    }
}

TEST_F(Dispatcher, FirstMethodsOfEachOrderAreNotLogged) {
    DriveRecord sat = DriveReachableBy({M::SAT}, true);
    ASSERT_TRUE(ExecuteCommand(sat, IdentifyCommand(), buffer, sizeof buffer));
    DriveRecord ata = DriveReachableBy({M::ATA});
    ASSERT_TRUE(ExecuteCommand(ata, IdentifyCommand(), buffer, sizeof buffer));
    EXPECT_EQ(sat.Log, "");
    EXPECT_EQ(ata.Log, "");
    EXPECT_FALSE(sat.UsedSAT);
}

TEST_F(Dispatcher, RepeatedPassThroughAttemptsAreLoggedEveryTimeWithTheTime) {
    DriveRecord d = DriveReachableBy({M::ATA});
    Drive(0).Faults.push_back({M::ATA, 0xEC, -1, sim::FaultKind::FailFirst, 1});
    ASSERT_TRUE(ExecuteCommand(d, IdentifyCommand(), buffer, sizeof buffer));
    EXPECT_EQ(d.Log, "DEBUG - 3:04:05 PM: The second access attempt was successful");

    d.Log.clear();
    Drive(0).Faults = {{M::ATA, -1, -1, sim::FaultKind::FailFirst, 2}};
    ASSERT_TRUE(ExecuteCommand(d, IdentifyCommand(), buffer, sizeof buffer));
    Drive(0).Faults[0].seen = 0;
    sim::SetLocalTime(9, 30, 0);
    ASSERT_TRUE(ExecuteCommand(d, IdentifyCommand(), buffer, sizeof buffer));
    EXPECT_EQ(d.Log,
              "DEBUG - 3:04:05 PM: The third access attempt was successful\r\n\r\n"
              "DEBUG - 9:30:00 AM: The third access attempt was successful");
    EXPECT_FALSE(d.UsedOLD || d.UsedIDE || d.UsedSCSI || d.UsedSAT);
}

TEST_F(Dispatcher, FailureReportNamesTheCommand) {
    DriveRecord d = DriveReachableBy({});
    EXPECT_FALSE(ExecuteCommand(d, IdentifyCommand(), buffer, sizeof buffer));
    EXPECT_EQ(d.Log, "DEBUG - IOCTL failed.\r\nCommand - IDENTIFY DEVICE\r\nTime - 3:04:05 PM");

    d.Log.clear();
    EXPECT_FALSE(ExecuteCommand(d, SmartTaskFile(SMART_READ_LOG, 1, 0x06), buffer, sizeof buffer));
    EXPECT_EQ(d.Log,
              "DEBUG - IOCTL failed.\r\nCommand - SMART\r\nFeatures - READ LOG SECTOR\r\n"
              "SectorNumber - 6\r\nTime - 3:04:05 PM");

    DriveRecord nvme = DriveReachableBy({}, false, true);
    AtaTaskFile feature;
    feature.Command = ATA_SET_FEATURES;
    feature.Features = 0x0D;
    EXPECT_FALSE(ExecuteCommand(nvme, feature, buffer, sizeof buffer));
    EXPECT_EQ(nvme.Log,
              "DEBUG - IOCTL failed.\r\nCommand - FEATURES\r\nFeatures - NVME_FEATURE_HOST_MEMORY_BUFFER\r\n"
              "SectorNumber - 0\r\nTime - 3:04:05 PM");
}

TEST_F(Dispatcher, KeepsQuietAboutLogsManyDrivesLack) {
    DriveRecord d = DriveReachableBy({});
    for (uint8_t log : {IdentifyDeviceDataLog, SctCommandLog, SctDataLog})
        EXPECT_FALSE(ExecuteCommand(d, SmartTaskFile(SMART_READ_LOG, 1, log), buffer, sizeof buffer));
    EXPECT_FALSE(ExecuteCommand(d, SmartTaskFile(SMART_WRITE_LOG, 1, SctCommandLog), buffer, sizeof buffer));
    EXPECT_EQ(d.Log, "");

    // The log directory is reported, except through USB or on a drive that needed the legacy requests.
    EXPECT_FALSE(ExecuteCommand(d, SmartTaskFile(SMART_READ_LOG, 1, LogDirectory), buffer, sizeof buffer));
    EXPECT_NE(d.Log.find("Features - READ LOG SECTOR\r\nSectorNumber - 0"), std::string::npos);
    DriveRecord usb = DriveReachableBy({}, true);
    EXPECT_FALSE(ExecuteCommand(usb, SmartTaskFile(SMART_READ_LOG, 1, LogDirectory), buffer, sizeof buffer));
    EXPECT_EQ(usb.Log, "");
    DriveRecord legacy = DriveReachableBy({});
    legacy.UsedOLD = true;
    EXPECT_FALSE(ExecuteCommand(legacy, SmartTaskFile(SMART_READ_LOG, 1, LogDirectory), buffer, sizeof buffer));
    EXPECT_EQ(legacy.Log, "");

    // A WRITE LOG elsewhere than the SCT command log is reported.
    EXPECT_FALSE(ExecuteCommand(usb, SmartTaskFile(SMART_WRITE_LOG, 1, 0x81), buffer, sizeof buffer));
    EXPECT_NE(usb.Log.find("WRITE LOG SECTOR"), std::string::npos);
}

TEST_F(Dispatcher, ThrottledSelfTestSilencesEveryReport) {
    DriveRecord d = DriveReachableBy({});
    SelfTestThrottled = true;
    EXPECT_FALSE(ExecuteCommand(d, IdentifyCommand(), buffer, sizeof buffer));
    EXPECT_EQ(d.Log, "");
}

TEST_F(Dispatcher, BufferTooSmallForTheCommandIsNeverWrittenPast) {
    DriveRecord d = DriveReachableBy({M::ATA, M::IDE, M::OLD, M::SAT, M::SCSI});
    std::vector<uint8_t> small(100, 0xCC);
    EXPECT_FALSE(ExecuteCommand(d, IdentifyCommand(), small.data(), small.size()));
    EXPECT_EQ(small, std::vector<uint8_t>(100, 0xCC));
    EXPECT_EQ(Drive(0).RequestCount(), 0u);  // no transport may send what it cannot take back
}

TEST_F(Dispatcher, WriteLogSendsTheBufferThroughEveryMethodThatCanSend) {
    for (M method : {M::ATA, M::IDE, M::SAT, M::SCSI}) {
        DriveRecord d = DriveReachableBy({method});
        uint8_t data[512];
        for (int i = 0; i < 512; ++i) data[i] = static_cast<uint8_t>(i * 7);
        EXPECT_TRUE(ExecuteCommand(d, SmartTaskFile(SMART_WRITE_LOG, 1, 0x80), data, sizeof data))
            << AccessMethodName(method);
        ASSERT_EQ(Drive(0).Written.size(), 1u) << AccessMethodName(method);
        EXPECT_EQ(Drive(0).Written[0], std::vector<uint8_t>(data, data + 512));
    }
}

// The legacy requests have no way to send data: a WRITE LOG there is refused before any request,
// and the caller's data is left as it was.
TEST_F(Dispatcher, LegacyRequestsRefuseToCarryAWrite) {
    DriveRecord d = DriveReachableBy({M::OLD});
    uint8_t data[512];
    std::fill(data, data + 512, 0x5A);
    EXPECT_FALSE(ExecuteCommand(d, SmartTaskFile(SMART_WRITE_LOG, 1, 0x80), data, sizeof data));
    EXPECT_EQ(Drive(0).Requests[M::OLD], 0u);
    EXPECT_TRUE(Drive(0).Written.empty());
    EXPECT_EQ(std::count(data, data + 512, 0x5A), 512);
    EXPECT_FALSE(d.UsedOLD);
}

TEST(DiagnosticLog, EntriesAreSeparatedByOneEmptyLine) {
    DriveRecord d;
    WriteLog("first", &d);
    EXPECT_EQ(d.Log, "DEBUG - first");
    WriteLog("second", &d);
    WriteLog("", &d);
    EXPECT_EQ(d.Log, "DEBUG - first\r\n\r\nDEBUG - second\r\n\r\nDEBUG - ");

    ClearGlobalLog();
    WriteLog("global");
    WriteLog("again", nullptr);
    EXPECT_EQ(GlobalLogText(), "DEBUG - global\r\n\r\nDEBUG - again");
    EXPECT_EQ(d.Log.find("global"), std::string::npos);
}

// The once-only entry is left out only when the log holds it whole, not as part of another.
TEST(DiagnosticLog, AnEntryWrittenOnceIsLeftOutOnlyWhenTheLogHoldsItWhole) {
    DriveRecord d;
    for (const char* message : {"A B", "B A", "A", "A", "B", "A"}) WriteLogOnce(message, &d);
    EXPECT_EQ(d.Log, "DEBUG - A B\r\n\r\nDEBUG - B A\r\n\r\nDEBUG - A\r\n\r\nDEBUG - B");
}

TEST(CommandNames, CoverTheTablesAndTheirEdges) {
    EXPECT_STREQ(CommandName(0xA1), "IDENTIFY PACKET DEVICE");
    EXPECT_STREQ(CommandName(0xE5), "CHECK POWER MODE");
    EXPECT_STREQ(CommandName(0xF6), "DISABLE PASSWORD");
    EXPECT_STREQ(CommandName(0x25), "Unknown");

    EXPECT_STREQ(SubcommandName(0xB0, 0xD0, false), "READ VALUES");
    EXPECT_STREQ(SubcommandName(0xB0, 0xDB, true), "AUTO OFFLINE");
    EXPECT_STREQ(SubcommandName(0xB0, 0xCF, false), "Unknown");
    EXPECT_STREQ(SubcommandName(0xB0, 0xDC, false), "Unknown");

    EXPECT_STREQ(SubcommandName(0xEF, 0x42, false), "AAM ENABLE");
    EXPECT_STREQ(SubcommandName(0xEF, 0x85, false), "APM DISABLE");
    EXPECT_STREQ(SubcommandName(0xEF, 0x0D, false), "Unknown");
    EXPECT_STREQ(SubcommandName(0xEF, 0x05, true), "NVME_FEATURE_ERROR_RECOVERY");
    EXPECT_STREQ(SubcommandName(0xEF, 0x01, true), "NVME_FEATURE_ARBITRATION");
    EXPECT_STREQ(SubcommandName(0xEF, 0x1A, true), "NVMe_FEATURE_SPINUP_CONTROL");
    EXPECT_STREQ(SubcommandName(0xEF, 0x7D, true), "NVME_FEATURE_ENHANCED_CONTROLLER_METADATA");
    EXPECT_STREQ(SubcommandName(0xEF, 0x84, true), "NVME_FEATURE_NVM_NAMESPACE_WRITE_PROTECTION_CONFIG");
    for (uint8_t f : {0x00, 0x1B, 0x7C, 0x85}) EXPECT_STREQ(SubcommandName(0xEF, f, true), "Unknown") << int(f);
    EXPECT_STREQ(SubcommandName(0xEC, 0xD0, false), "Unknown");
}

}  // namespace

namespace {

// The monitoring thread and the user-interface thread send commands and read logs at the same time.
TEST_F(MachineTest, CommandsFromSeveralThreadsStayApart) {
    sim::Machine m;
    m.Drives.push_back(SataDrive("T1", 1, {AccessMethod::OLD}));
    m.Drives.push_back(SataDrive("T2", 2, {AccessMethod::ATA}));
    Install(std::move(m));
    DriveRecord a = OpenRecord(0), b = OpenRecord(1);
    std::atomic<int> failures{0};
    auto hammer = [&failures](DriveRecord& d) {
        uint8_t page[512];
        for (int i = 0; i < 200; ++i)
            if (!ExecuteCommand(d, SmartTaskFile(SMART_READ_DATA, 1), page, sizeof page)) ++failures;
    };
    std::thread first(hammer, std::ref(a)), second(hammer, std::ref(b));
    std::thread reader([&] {
        for (int i = 0; i < 200; ++i) {
            WriteLog("reader " + std::to_string(i));
            (void)DriveLogText(a).size();
        }
    });
    first.join();
    second.join();
    reader.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(DriveLogText(a), "DEBUG - Access via OLD");
    EXPECT_EQ(Drive(0).Requests[AccessMethod::OLD], 200u);
    EXPECT_EQ(Drive(1).Requests[AccessMethod::ATA], 200u);
}

}  // namespace
