// Condition, temperatures and counters as the scan leaves them, on the built-in machine and on the
// pages of real drives, and how they follow a drive that changes between two reads.
#include <gtest/gtest.h>

#include "TestMachine.h"
#include "discovery/Scan.h"
#include "smart/Condition.h"
#include "smart/SmartData.h"
#include "smart/WorkedHours.h"

namespace {

struct Expected {
    const char* model;
    const char* condition;
    uint8_t temperature, top, warning, critical, limit;
    uint32_t powerTime, powerCycles;
    const char* hours;
};

void ExpectHealth(const DriveRecord& d, const Expected& e) {
    SCOPED_TRACE(e.model);
    EXPECT_EQ(d.Model, e.model);
    EXPECT_STREQ(ConditionText(d), e.condition);
    EXPECT_EQ(d.Temperature, e.temperature);
    EXPECT_EQ(d.TopTemperature, e.top);
    EXPECT_EQ(d.WarningTemperature, e.warning);
    EXPECT_EQ(d.CriticalTemperature, e.critical);
    EXPECT_EQ(d.TemperatureLimit, e.limit);
    EXPECT_EQ(d.PowerTime, e.powerTime);
    EXPECT_EQ(d.PowerCycleCount, e.powerCycles);
    EXPECT_EQ(WorkedHoursText(d), e.hours);
}

TEST_F(MachineTest, TheDefaultMachinesDrivesReadAsTheirPagesSay) {
    Install(sim::DefaultMachine());
    ScanDrives();
    ASSERT_EQ(DriveCount(), 9);
    const Expected expected[] = {
        // SCT status and temperature history table; the attribute says the same current temperature.
        {"WDC WD10EZEX-08WN4A0", "operational", 35, 47, 60, 85, 60, 15762, 1330, "calculated..."},
        {"Samsung SSD 860 EVO 500GB", "operational", 32, 47, 70, 70, 70, 2150, 418, "calculated..."},
        // No SCT, and attribute 194 keeps no extremes: no lifetime maximum.
        {"Maxtor 6Y080L0", "operational", 38, 0, 0, 0, 55, 29911, 1262, "calculated..."},
        {"ST3160815AS", "operational", 37, 0, 0, 0, 55, 25847, 231, "calculated..."},
        // Limits from Identify Controller (358 K), temperature from the health log (311 K).
        {"Samsung SSD 970 EVO Plus 1TB", "operational", 38, 0, 85, 85, 85, 2104, 512, "2104"},
        {"WDC WD20SPZX-22UA7T0", "operational", 34, 48, 60, 85, 60, 1820, 403, "calculated..."},
        // No SCT: the highest temperature comes from the attribute's raw bytes (36 now, 31 lowest, 49 highest).
        {"WD Blue SA510 2.5 1000GB", "operational", 36, 49, 0, 0, 70, 3150, 211, "calculated..."},
        // Behind USB bridges: the health log through ASMedia's tunnel (313 K; limits 343 and 358 K),
        // and the attributes through JMicron's own pass-through (raw 36 now, 48 highest).
        {"CT1000P3SSD8", "operational", 40, 0, 70, 85, 70, 412, 97, "412"},
        {"ST9500325AS", "operational", 36, 48, 0, 0, 55, 8132, 2398, "calculated..."},
    };
    for (unsigned i = 0; i < 9; ++i) ExpectHealth(DriveForCommands(i), expected[i]);
    EXPECT_TRUE(DriveForCommands(0).SCT_StatusRead);
    EXPECT_EQ(DriveForCommands(0).PowerTimeCheckPoint, 0u) << "taken by the first cycle, not the scan";
    EXPECT_EQ(DriveForCommands(0).RemapIndex, 4);
    EXPECT_EQ(DriveForCommands(1).TemperatureIndex, 10) << "attribute 190 of the SSD";
    EXPECT_FALSE(DriveForCommands(3).SCT_StatusRead);
    for (unsigned i = 0; i < 9; ++i) EXPECT_EQ(DriveForCommands(i).Log.find("SCT version"), std::string::npos);
}

TEST_F(MachineTest, RealDrivesReadAsOtherToolsReadThem) {
    if (InstallRealDrives() == 0) return;
    ScanDrives();
    ASSERT_EQ(DriveCount(), 7);
    // Temperatures and lifetime maxima as the peers decode them ("30 (Min/Max 19/37)"). The WD20EARS
    // fails attribute 5 now. The Maxtor failed attribute 5 in the past, and its advisory attribute 196
    // is worn down to 1, which fails even without a threshold: unreliable is the stronger flag.
    // No SCT engine: no limits.
    const Expected expected[] = {
        {"Hitachi HDS721010CLA632", "operational", 30, 37, 0, 0, 55, 8055, 44, "calculated..."},
        {"INTEL SSDSA2CW120G3", "operational", 0, 0, 0, 0, 70, 45, 14, "calculated..."},
        {"KINGSTON SA400S37480G", "operational", 30, 49, 0, 0, 70, 4569, 1015, "calculated..."},
        {"Maxtor 6Y120P0", "operational (unreliable)", 36, 0, 0, 0, 55, 28870, 2264, "calculated..."},
        {"SAMSUNG HD501LJ", "operational", 47, 0, 0, 0, 55, 7326, 88, "calculated..."},
        {"TOSHIBA THNSNH128GBST", "operational", 34, 48, 0, 0, 70, 37383, 2331, "calculated..."},
        {"WDC WD20EARS-00MVWB0", "pre-failure", 44, 0, 0, 0, 55, 6684, 22, "calculated..."},
    };
    for (unsigned i = 0; i < 7; ++i) ExpectHealth(DriveForCommands(i), expected[i]);
    EXPECT_EQ(DriveForCommands(0).RemappedSectors, 43u) << "two counters, read by the peer as 43 (0 43)";
    EXPECT_EQ(DriveForCommands(4).RemappedSectors, 1u);
    EXPECT_EQ(DriveForCommands(6).RemappedSectors, 655u);
}

// What the monitoring cycle does after each read, for a drive whose values change in between.
void Reread(DriveRecord& d) {
    ReadSmartData(d);
    d.AttributeCount = CountAttributes(d);
    ExtractSmartValues(d);
    EvaluateCondition(d);
}

TEST_F(MachineTest, ValuesFollowADriveThatChangesBetweenReads) {
    Install(sim::DefaultMachine());
    ScanDrives();
    ASSERT_EQ(DriveCount(), 9);
    DriveRecord& disk = DriveForCommands(0);
    DriveRecord& nvme = DriveForCommands(4);

    // Virtual time: the disk warms a degree every ten minutes up to 41 °C and counts hours.
    sim::PassTime(3 * 3600);
    Reread(disk);
    Reread(nvme);
    EXPECT_EQ(disk.Temperature, 41);
    EXPECT_EQ(disk.PowerTime, 15765u);
    EXPECT_EQ(nvme.PowerTime, 2107u);

    sim::RemapSectors(Drive(0), 2);
    Reread(disk);
    EXPECT_EQ(disk.RemappedSectors, 2u);
    EXPECT_STREQ(ConditionText(disk), "operational");

    sim::SetAttributeValue(Drive(0), 5, 140);  // at its threshold, a pre-failure attribute
    Reread(disk);
    EXPECT_STREQ(ConditionText(disk), "pre-failure");
    sim::SetAttributeValue(Drive(0), 5, 200);
    Reread(disk);
    EXPECT_STREQ(ConditionText(disk), "operational (was pre-failure)") << "the worst value remembers";

    sim::SetTemperature(Drive(4), 80);
    sim::SetNvmeCriticalWarning(Drive(4), 0x02);
    Reread(nvme);
    EXPECT_EQ(nvme.Temperature, 80);
    EXPECT_STREQ(ConditionText(nvme), "pre-failure");

    sim::CorruptSmartChecksum(Drive(0));
    EXPECT_EQ(ReadSmartData(disk), PageOutcome::Damaged);
    EXPECT_TRUE(SmartChecksumOk(disk)) << "the last good page stays";
    sim::RemapSectors(Drive(0), 1);  // the page stays as wrong as it was
    EXPECT_EQ(ReadSmartData(disk), PageOutcome::Damaged);
    ExtractSmartValues(disk);
    EXPECT_EQ(disk.RemappedSectors, 2u) << "a damaged page is never taken";

    sim::EraseAttributeTable(Drive(5));
    DriveRecord& usb = DriveForCommands(5);
    ReadSmartData(usb);
    EXPECT_TRUE(SmartChecksumOk(usb));
    EXPECT_EQ(CountAttributes(usb), 0);
    usb.AttributeCount = 0;
    ExtractSmartValues(usb);
    EXPECT_EQ(usb.Temperature, 34) << "no attributes: the last values stay";
}

}  // namespace
