// Worked hours: the power-on timer is calibrated by watching a drive's own counter for an hour.
#include <gtest/gtest.h>

#include "TestMachine.h"
#include "protocol/Bytes.h"
#include "discovery/Scan.h"
#include "smart/Condition.h"
#include "smart/PowerOnTime.h"
#include "smart/SmartData.h"

namespace {

class PowerOnTime : public MachineTest {
protected:
    // A drive whose attribute 9 counts units of `secondsPerUnit`, scanned.
    DriveRecord& ScanDriveCounting(uint32_t secondsPerUnit, uint64_t counter) {
        std::vector<sim::Attribute> attributes = testmachine::SomeAttributes(1);
        attributes[2].raw = counter;
        sim::Drive drive = testmachine::SataDrive("P1", 1);
        drive.SmartData = sim::SmartValuePage(attributes);
        drive.Aging.SecondsPerPowerOnUnit = secondsPerUnit;
        ClearDriveTable();
        sim::Machine m;
        m.Drives.push_back(drive);
        Install(std::move(m));
        ScanDrives();
        return *DriveTable.Drives[0];
    }
    // An hour of monitoring cycles, as far as the counter is concerned.
    static void RunAnHour(DriveRecord& d) {
        for (int minute = 0; minute < 60; ++minute) {
            sim::PassTime(60);
            ReadSmartData(d);
            ExtractSmartValues(d);
        }
    }
};

TEST_F(PowerOnTime, TheHourMeasuresTheDrivesUnit) {
    DriveRecord& minutes = ScanDriveCounting(60, 600000);
    EXPECT_EQ(minutes.PowerTimeCheckPoint, 600000u);
    EXPECT_TRUE(PowerOnTimerCalibrating(minutes));
    EXPECT_EQ(WorkedHoursText(minutes), "calculated...");
    RunAnHour(minutes);
    EXPECT_TRUE(CalibratePowerOnTimer(minutes));
    EXPECT_EQ(minutes.PowerOnTimerPeriod, 60u);
    EXPECT_EQ(WorkedHoursText(minutes), "10001");  // 600,060 div 60
    EXPECT_FALSE(CalibratePowerOnTimer(minutes)) << "calibrated once for good";

    DriveRecord& hours = ScanDriveCounting(3600, 9001);
    RunAnHour(hours);
    EXPECT_TRUE(CalibratePowerOnTimer(hours));
    EXPECT_EQ(WorkedHoursText(hours), "9002");

    DriveRecord& still = ScanDriveCounting(0, 500);  // asleep, or counting coarsely: taken as measured
    RunAnHour(still);
    EXPECT_TRUE(CalibratePowerOnTimer(still));
    EXPECT_EQ(still.PowerOnTimerPeriod, 1u);
}

TEST_F(PowerOnTime, ACounterThatWrapsIsMeasuredAgain) {
    DriveRecord& d = ScanDriveCounting(60, 4294967280u);
    RunAnHour(d);
    EXPECT_EQ(d.PowerTime, 44u) << "bytes 0..3 of the 48-bit counter wrapped";
    EXPECT_FALSE(CalibratePowerOnTimer(d));
    EXPECT_NE(d.Log.find("DEBUG - PowerTime overflow (PowerTimeCheckPoint = 4294967280, PowerTime = 44)"),
              std::string::npos);
    EXPECT_TRUE(PowerOnTimerCalibrating(d));
    RunAnHour(d);
    EXPECT_TRUE(CalibratePowerOnTimer(d));
    EXPECT_EQ(d.PowerOnTimerPeriod, 60u);
}

TEST_F(PowerOnTime, NvmeCountsHoursAndADriveWithoutAttribute9NeverCalibrates) {
    DriveRecord nvme;
    nvme.IsNVMe = true;
    Put64(nvme.SmartData, 128, 12345);
    ExtractSmartValues(nvme);
    EXPECT_FALSE(PowerOnTimerCalibrating(nvme));
    EXPECT_EQ(WorkedHoursText(nvme), "12345");

    DriveRecord ata;
    ata.SmartData[2] = 12;  // only a power-cycle attribute
    ata.AttributeCount = 1;
    ExtractSmartValues(ata);
    EXPECT_FALSE(PowerOnTimerCalibrating(ata));
    EXPECT_FALSE(CalibratePowerOnTimer(ata));

    DriveRecord& cycles = ScanDriveCounting(3600, 100);
    sim::PowerCycle(Drive(0));
    ReadSmartData(cycles);
    ExtractSmartValues(cycles);
    EXPECT_EQ(cycles.PowerCycleCount, 121u);
}

}  // namespace
