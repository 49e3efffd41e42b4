// The diagnostics dialog on the simulated windowing: the durations it shows, every way a start ends,
// and a started test followed by the monitoring cycle on the virtual clock to its result alert.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestMachine.h"
#include "app/ProgramLife.h"
#include "device/TIOCTL.h"
#include "monitor/Alerts.h"
#include "monitor/MonitorTest.h"
#include "platform/Dialogs.h"
#include "platform/sim/SimDialogs.h"
#include "platform/sim/SimTray.h"
#include "platform/sim/SimUserInterface.h"
#include "platform/sim/SimWindowing.h"
#include "system/Settings.h"
#include "ui/Main.h"
#include "ui/SelfTestDialog.h"
#include "ui/TrayIcons.h"

namespace {

using namespace platform;

sim::Drive DriveWithTimes(const std::string& serial, unsigned seed, uint8_t capability, uint8_t extendedMinutes) {
    sim::Drive d = testmachine::SataDrive(serial, seed);
    sim::SmartCapabilities times;
    times.offlineCapability = capability;
    times.extendedMinutes = extendedMinutes;
    d.SmartData = sim::SmartValuePage(testmachine::SomeAttributes(seed), times);
    return d;
}

class SelfTestDialogTest : public MachineTest {
protected:
    void Start(std::vector<sim::Drive> drives) {
        Install({}).Drives = std::move(drives);
        StartResidentProgram();
        ASSERT_TRUE(CreateMainWindow());
        ApplicationWindow = MainWindow;
        CreateDriveIcons();
        ShowWindow(MainWindow, SW_SHOW);
    }
    void TearDown() override {
        ReleaseDriveIcons();
        DriveIconSlots.clear();
        MachineTest::TearDown();
    }
    // Opens the dialog on drive `index`, picks the test and clicks "Start"; whether the dialog was
    // still open afterwards.
    bool ClickStart(unsigned index, bool full = false) {
        bool open = false;
        sim::SetModalScript([&](HWnd dialog) {
            sim::SelectListItem(GetDlgItem(dialog, SelfTestDriveListId), static_cast<int>(index));
            if (full) sim::ClickButton(GetDlgItem(dialog, FullTestId));
            sim::ClickButton(GetDlgItem(dialog, StartTestId));
            sim::PumpPostedMessages();
            open = IsWindow(dialog);
        });
        RunSelfTestCommand();
        return open;
    }
    // Self-test requests that reached the drive (a refused one may be tried by several access methods).
    unsigned SelfTestCommands(size_t drive) {
        unsigned n = 0;
        for (const sim::Request& r : Drive(drive).History)
            n += r.taskFile.Command == ATA_SMART && r.taskFile.Features == SMART_EXECUTE_OFFLINE;
        return n + static_cast<unsigned>(Drive(drive).NvmeSelfTests.size());
    }
    static std::vector<std::string> BoxTexts() {
        std::vector<std::string> texts;
        for (const sim::MessageBoxCall& b : sim::MessageBoxCalls()) texts.push_back(b.Text);
        return texts;
    }
};

TEST_F(SelfTestDialogTest, EachDriveShowsTheDurationOfTheCheckedTest) {
    Start({DriveWithTimes("S1", 1, 0x7B, 120), DriveWithTimes("S2", 2, 0x7B, 255), DriveWithTimes("S3", 3, 0x6B, 120)});
    std::vector<std::string> shown;
    sim::SetModalScript([&](HWnd dialog) {
        EXPECT_EQ(sim::ChildRecord(dialog, SelfTestDriveListId).Items.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            sim::SelectListItem(GetDlgItem(dialog, SelfTestDriveListId), i);
            std::string line = sim::ChildRecord(dialog, DurationValueId).Text;
            sim::ClickButton(GetDlgItem(dialog, FullTestId));
            line += "|" + sim::ChildRecord(dialog, DurationValueId).Text;
            line += sim::ChildRecord(dialog, StartTestId).Enabled ? "|live" : "|disabled";
            sim::ClickButton(GetDlgItem(dialog, FastTestId));
            shown.push_back(line);
        }
    });
    RunSelfTestCommand();
    EXPECT_EQ(shown, (std::vector<std::string>{" - 2| - 120|live", " - 2| > 255|live", " - ?| - ?|disabled"}));
    EXPECT_EQ(SelfTestCommands(2), 0u);
}

// Every way a start ends, one start after another on the same drive: the boxes, the balloon, the
// running flag, and whether the dialog stays.
TEST_F(SelfTestDialogTest, EveryWayAStartEnds) {
    struct Attempt {
        const char* box;  // "" for none
        uint32_t flags;
        bool balloon, running, open;
        bool sends;  // the self-test command reaches the drive
    };
    const Attempt started = {"", 0, true, true, false, true};
    const char* const already = "Self-diagnostics has already been started";
    const char* const throttled =
        "The NVMe driver limits the frequency of running the disk self-test. Try running the self-test later.";
    const struct {
        const char* what;
        sim::Drive drive;
        const char* hostAdapter;  // "" to keep the scanned one
        std::vector<Attempt> attempts;
    } cases[] = {
        {"a short test, then a second start", testmachine::SataDrive("OK", 1), "",
         {started, {already, 0x50040, false, true, true, false}}},
        {"a drive that rejects the test", [] {
             sim::Drive d = testmachine::SataDrive("NO", 1);
             d.Faults.push_back({AccessMethod::ATA, ATA_SMART, SMART_EXECUTE_OFFLINE, sim::FaultKind::ErrorStatus});
             return d;
         }(), "", {{"Error starting drive self-test.", 0x50010, false, false, false, true}}},
        {"an NVMe driver that throttles once", [] {
             sim::Drive d = monitortest::NvmeDrive();
             d.NvmeThrottledSelfTests = 1;
             return d;
         }(), "", {{throttled, 0x50040, false, false, false, true}, started}},
        {"the blocking controller driver", testmachine::SataDrive("SAM", 1), "Samsung NVMe Controller",
         {{"The \"Samsung NVMe Controller\" driver blocks the launch of self-diagnosis. Change it to \"Standard NVM Express "
           "Controller\".", 0x50040, false, false, true, false}}},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        Start({c.drive});
        if (*c.hostAdapter) DriveForCommands(0).HostAdapter = c.hostAdapter;
        for (size_t i = 0; i < c.attempts.size(); ++i) {
            const Attempt& a = c.attempts[i];
            const std::string what = std::string(c.what) + ", attempt " + std::to_string(i + 1);
            sim::ResetMessageBoxes();
            const size_t balloons = sim::Balloons().size();
            const unsigned commands = SelfTestCommands(0);
            EXPECT_EQ(ClickStart(0), a.open) << what;
            const std::vector<sim::MessageBoxCall> boxes = sim::MessageBoxCalls();
            EXPECT_EQ(BoxTexts(), *a.box ? std::vector<std::string>{a.box} : std::vector<std::string>{}) << what;
            if (*a.box) {
                EXPECT_EQ(boxes[0].Flags, a.flags) << what;
                EXPECT_EQ(boxes[0].Caption, InfoCaption) << what;
            }
            EXPECT_EQ(sim::Balloons().size() - balloons, a.balloon ? 1u : 0u) << what;
            EXPECT_EQ(DriveForCommands(0).ShortSelfTestRunning, a.running) << what;
            EXPECT_FALSE(DriveForCommands(0).ExtendedSelfTestRunning) << what;
            EXPECT_FALSE(SelfTestThrottled) << what;
            EXPECT_EQ(SelfTestCommands(0) > commands, a.sends) << what;
        }
    }
}

// The balloon goes to the drive's own icon, or to the one icon with the hottest drive only.
TEST_F(SelfTestDialogTest, TheBalloonGoesToTheDrivesIcon) {
    for (const bool hottestOnly : {false, true}) {
        TearDown();
        SetUp();
        Settings.ShowHottestDiskOnly = hottestOnly;
        Start({testmachine::SataDrive("B1", 1), testmachine::SataDrive("B2", 2)});
        ClickStart(1, true);
        const std::vector<sim::BalloonCall> balloons = sim::Balloons();
        ASSERT_EQ(balloons.size(), 1u) << hottestOnly;
        EXPECT_EQ(balloons[0].Text, "Self-diagnosis has started.");
        EXPECT_EQ(balloons[0].Title, InfoCaption);
        EXPECT_EQ(balloons[0].Id, DriveIconSlots[hottestOnly ? 0 : 1]->Id) << hottestOnly;
        EXPECT_TRUE(DriveForCommands(1).ExtendedSelfTestRunning);
        const sim::Request& sent = Drive(1).History.back();
        EXPECT_EQ(sent.taskFile.SectorNumber, 2) << "the extended test";
    }
}

// The drive runs the test for its stated two minutes on the virtual clock (the first cycle still sees
// it in progress); the cycle that sees its end raises the alert of its result once and clears the flag.
TEST_F(SelfTestDialogTest, AStartedTestEndsInTheAlertOfItsResult) {
    const struct { uint8_t result; const char* text; } cases[] = {
        {0, "Self-diagnostics is successfully completed."},
        {1, "Self-diagnostics is interrupted by another process."},
        {5, "Self-diagnostics detected a nonrecoverable error!"},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        sim::Drive d = monitortest::SataDriveWithoutPowerOnCounter("RUN", 1);
        d.AtaSelfTest.EndsWith = c.result;
        Start({d});
        ClickStart(0);
        ASSERT_TRUE(DriveForCommands(0).ShortSelfTestRunning);
        std::vector<std::string> afterMinute;
        RunTimeline(4, [&](unsigned) {
            const std::vector<std::string> texts = BoxTexts();
            afterMinute.push_back(texts.empty() ? "-" : texts.back().substr(texts.back().find("Self-")));
        });
        EXPECT_EQ(afterMinute, (std::vector<std::string>{"-", c.text, c.text, c.text})) << unsigned(c.result);
        EXPECT_EQ(sim::MessageBoxCalls().size(), 1u) << unsigned(c.result);
        EXPECT_FALSE(DriveForCommands(0).ShortSelfTestRunning) << unsigned(c.result);
    }
}

}  // namespace
