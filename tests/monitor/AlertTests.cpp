// The alerts: every box byte for byte, what the answers leave behind, and how a box still open keeps
// its kind from repeating while the monitoring cycle goes on every minute.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "TestMachine.h"
#include "monitor/MonitorTest.h"
#include "app/ProgramLife.h"
#include "monitor/Alerts.h"
#include "monitor/Monitor.h"
#include "platform/UserInterface.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimShell.h"
#include "platform/sim/SimSmart.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/SimUserInterface.h"
#include "protocol/Bytes.h"
#include "system/Settings.h"

namespace {

using monitortest::Written;

constexpr uint64_t Minute = 60000;
const char Header[] = "Model - TESTDISK 1000\r\nSerial number - ALERTED\r\n";
const char PreFailureText[] = "The pre-failure state is detected! Backup important information!";
const char RemapText[] = "New remapped sector is found! Backup important information!";


std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const sim::MessageBoxCall& b : sim::MessageBoxCalls()) texts.push_back(b.Text);
    std::sort(texts.begin(), texts.end());  // boxes of one cycle open on threads of their own
    return texts;
}

// One SATA disk (temperature limit 55 degrees) watched by the running program.
class Alerts : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        Install({}).Drives.push_back(testmachine::SataDrive("ALERTED", 1));
        StartResidentProgram();
        sim::ClearRegistryWrites();
    }
    DriveRecord& Record() { return DriveForCommands(0); }
    void Raise(void (*alert)(DriveRecord&)) {
        DriveWriter writer(0);
        alert(*writer);
    }
    // Minutes on the timeline: the cycles run on the timer's thread, nobody waits for the boxes.
    static void Minutes(unsigned n) {
        for (unsigned i = 0; i < n; ++i) sim::AdvanceTime(Minute);
    }
};

using platform::MB_ICONEXCLAMATION;
using platform::MB_ICONINFORMATION;
using platform::MB_SYSTEMMODAL;
using platform::MB_YESNO;

const struct AlertCase {
    void (*raise)(DriveRecord&);
    const char* text;
    const char* caption;
    uint32_t flags;
} AlertCases[] = {
    {AlertDriveLost, "Control over the drive has been lost!", "KORVANTE :: Warning!", MB_ICONEXCLAMATION | MB_SYSTEMMODAL},
    {AlertRemap, RemapText, "KORVANTE :: Warning!", MB_ICONEXCLAMATION | MB_SYSTEMMODAL},
    {AlertTemperature, "Excess of the recommended temperature is detected - 55. Want to know more?",
     "KORVANTE :: Warning!", MB_YESNO | MB_ICONEXCLAMATION | MB_SYSTEMMODAL},
    {AlertSelfTestPassed, "Self-diagnostics is successfully completed.", "KORVANTE :: Information",
     MB_ICONINFORMATION | MB_SYSTEMMODAL},
    {AlertSelfTestInterrupted, "Self-diagnostics is interrupted by another process.", "KORVANTE :: Information",
     MB_ICONINFORMATION | MB_SYSTEMMODAL},
    {AlertSelfTestFailed, "Self-diagnostics detected a nonrecoverable error!", "KORVANTE :: Warning!",
     MB_ICONEXCLAMATION | MB_SYSTEMMODAL},
    {AlertPreFailure, PreFailureText, "KORVANTE :: Warning!", MB_ICONEXCLAMATION | MB_SYSTEMMODAL},
    {AlertNonCritical, "Non-critical parameters exceeded design limits. Backup important information!",
     "KORVANTE :: Warning!", MB_ICONEXCLAMATION | MB_SYSTEMMODAL},
};

TEST_F(Alerts, EveryAlertNamesTheDriveInASystemModalBoxOfItsOwnThread) {
    for (const AlertCase& c : AlertCases) {
        sim::ResetMessageBoxes();
        Raise(c.raise);
        sim::WaitForWorkers();
        const std::vector<sim::MessageBoxCall> boxes = sim::MessageBoxCalls();
        ASSERT_EQ(boxes.size(), 1u) << c.text;
        EXPECT_EQ(boxes[0].Text, Header + std::string(c.text));
        EXPECT_EQ(boxes[0].Caption, c.caption) << c.text;
        EXPECT_EQ(boxes[0].Flags, c.flags) << c.text;
        EXPECT_EQ(boxes[0].Owner, 0u) << c.text;
        EXPECT_NE(boxes[0].Thread, std::this_thread::get_id()) << c.text;
    }
    const DriveRecord& d = Record();
    EXPECT_FALSE(d.RemapAlertShowing || d.TemperatureAlertShowing || d.SelfTestPassedShowing ||
                 d.SelfTestInterruptedShowing || d.SelfTestFailedShowing || d.PreFailureAlertShowing ||
                 d.NonCriticalAlertShowing)
        << "every box was closed";
}

const struct CoolingCase {
    int answer;
    bool fahrenheit;
    const char* ending;
    bool opensPage;
} CoolingCases[] = {
    {platform::IDYES, true, " - 131. Want to know more?", true},
    {platform::IDNO, true, " - 131. Want to know more?", false},
    {platform::IDNO, false, " - 55. Want to know more?", false},
};

TEST_F(Alerts, TheTemperatureAlertShowsTheLimitAndEitherAnswerRecordsItForGood) {
    ASSERT_EQ(Record().TemperatureLimit, 55);
    ApplicationWindow = 0x4711;
    for (const CoolingCase& c : CoolingCases) {
        sim::ResetMessageBoxes();
        sim::ClearShellRequests();
        sim::ClearRegistryWrites();
        Record().MaxRecommendedTempReport = false;
        Settings.Fahrenheit = c.fahrenheit;
        sim::QueueMessageBoxAnswer(c.answer);
        Raise(AlertTemperature);
        sim::WaitForWorkers();
        const std::vector<sim::MessageBoxCall> boxes = sim::MessageBoxCalls();
        ASSERT_EQ(boxes.size(), 1u) << c.ending;
        const std::string& text = boxes[0].Text;
        EXPECT_EQ(text.substr(text.size() - std::string(c.ending).size()), c.ending);
        const std::vector<sim::ShellRequest> opened = sim::ShellRequests();
        ASSERT_EQ(opened.size(), c.opensPage ? 1u : 0u) << c.answer;
        if (c.opensPage) {
            EXPECT_EQ(opened[0].Window, 0x4711u);
            EXPECT_EQ(opened[0].Verb, "open");
            EXPECT_EQ(opened[0].File, "https://www.korvante.com/active_cooling.htm");
            EXPECT_EQ(opened[0].Parameters + opened[0].Directory, "");
            EXPECT_EQ(opened[0].ShowCommand, 3) << "maximized";
        }
        EXPECT_EQ(Written("MaxRecommendedTempReport"), std::vector<uint32_t>{1}) << c.answer;
        EXPECT_TRUE(Record().MaxRecommendedTempReport);
    }
}

TEST_F(Alerts, RemapsWhileTheBoxIsOpenAreRecordedButShowNoSecondBox) {
    sim::HoldMessageBoxes();
    sim::RemapSectors(Drive(0), 1);
    Minutes(1);
    ASSERT_TRUE(sim::WaitForOpenMessageBoxes(1));
    sim::RemapSectors(Drive(0), 2);
    Minutes(1);
    EXPECT_EQ(Written("Remaped"), (std::vector<uint32_t>{1, 3}));
    EXPECT_EQ(sim::MessageBoxCalls().size(), 1u);

    sim::StopHoldingMessageBoxes();
    ASSERT_TRUE(sim::ReleaseMessageBox(platform::IDOK));
    sim::WaitForWorkers();
    sim::RemapSectors(Drive(0), 1);
    Minutes(1);
    sim::WaitForWorkers();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>(2, Header + std::string(RemapText))) << "closed, it can come again";
}

TEST_F(Alerts, ThePreFailureStateAndANewRemapInOneCycleShowTwoBoxes) {
    sim::SetAttributeValue(Drive(0), 1, 5);
    sim::RemapSectors(Drive(0), 1);
    Minutes(1);
    sim::WaitForWorkers();
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{Header + std::string(RemapText), Header + std::string(PreFailureText)}));
}

TEST_F(Alerts, APreFailureBoxLeftOpenForAnHourIsNotRepeatedAndRecordedOnlyWhenClosed) {
    sim::HoldMessageBoxes();
    sim::SetAttributeValue(Drive(0), 1, 5);
    Minutes(1);
    ASSERT_TRUE(sim::WaitForOpenMessageBoxes(1));
    Minutes(59);
    EXPECT_EQ(sim::MessageBoxCalls().size(), 1u);
    EXPECT_TRUE(Written("PreFailureReport").empty());
    EXPECT_FALSE(SnapshotDrive(0).PreFailureReport);

    sim::StopHoldingMessageBoxes();
    ASSERT_TRUE(sim::ReleaseMessageBox(platform::IDOK));
    sim::WaitForWorkers();
    EXPECT_EQ(Written("PreFailureReport"), std::vector<uint32_t>{1});
    EXPECT_TRUE(SnapshotDrive(0).PreFailureReport);
    Minutes(1);
    sim::WaitForWorkers();
    EXPECT_EQ(sim::MessageBoxCalls().size(), 1u) << "the episode was seen";
}

const struct EndedCase {
    uint8_t attribute, failing;
    const char* value;
    bool DriveRecord::*flag;
} EndedCases[] = {
    {1, 5, "PreFailureReport", &DriveRecord::PreFailureReport},
    {12, 10, "WarrantyReport", &DriveRecord::WarrantyReport},
};

TEST_F(Alerts, AnEpisodeThatEndsWhileItsBoxIsOpenIsNotRecordedSoTheNextOneAlerts) {
    for (const EndedCase& c : EndedCases) {
        TearDown();
        SetUp();
        sim::HoldMessageBoxes();
        sim::SetAttributeValue(Drive(0), c.attribute, c.failing);
        Minutes(1);
        ASSERT_TRUE(sim::WaitForOpenMessageBoxes(1)) << c.value;
        sim::SetAttributeValue(Drive(0), c.attribute, 100);
        Minutes(1);  // the condition clears with the box still open
        sim::StopHoldingMessageBoxes();
        ASSERT_TRUE(sim::ReleaseMessageBox(platform::IDOK)) << c.value;
        sim::WaitForWorkers();
        EXPECT_EQ(Written(c.value), std::vector<uint32_t>{0}) << c.value;
        EXPECT_FALSE(SnapshotDrive(0).*c.flag) << c.value;

        sim::SetAttributeValue(Drive(0), c.attribute, c.failing);
        Minutes(1);
        sim::WaitForWorkers();
        EXPECT_EQ(sim::MessageBoxCalls().size(), 2u) << c.value << ": the relapse has its box";
    }
}

}  // namespace
