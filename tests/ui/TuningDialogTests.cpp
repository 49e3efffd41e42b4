// The tuning dialog on the simulated windowing: what it shows for a drive, what each action sends and
// shows, refusals, the background reader, and what closing stores and sets off.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "TestMachine.h"
#include "app/ProgramLife.h"
#include "monitor/Alerts.h"
#include "monitor/DriveState.h"
#include "monitor/Monitor.h"
#include "platform/Dialogs.h"
#include "platform/sim/SimDialogs.h"
#include "platform/sim/SimUserInterface.h"
#include "platform/sim/SimWindowing.h"
#include "system/RegUtils.h"
#include "ui/Main.h"
#include "ui/TuningDialog.h"

namespace {

using namespace platform;
using testmachine::TunableDrive;

struct Sent {
    unsigned features, count;
    bool operator==(const Sent& o) const { return features == o.features && count == o.count; }
};

class TuningDialogTest : public MachineTest {
protected:
    // The resident program on these drives, its main window shown.
    void Start(std::vector<sim::Drive> drives) {
        Install({}).Drives = std::move(drives);
        StartResidentProgram();
        StopMonitorTimer();  // the reader moves the timeline: no cycle in between
        ASSERT_TRUE(CreateMainWindow());
        ShowWindow(MainWindow, SW_SHOW);
        for (sim::Drive& d : sim::Current().Drives) d.History.clear();
    }
    // How often the performance window was shown.
    static unsigned Measurements() {
        unsigned shown = 0;
        for (const sim::WindowRecord& w : sim::WindowRecords()) shown += w.Text == "KORVANTE :: Performance analysis";
        return shown;
    }
    // The report in the box, as the window shows it.
    static bool ReportShown() { return IsWindowVisible(MainWindow) && !GetWindowText(ReportBox).empty(); }
    std::vector<Sent> SetFeaturesSent(size_t drive) {
        std::vector<Sent> sent;
        for (const sim::Request& r : Drive(drive).History)
            if (r.taskFile.Command == ATA_SET_FEATURES) sent.push_back({r.taskFile.Features, r.taskFile.SectorCount});
        return sent;
    }
    static std::string Text(HWnd dialog, uint32_t id) { return sim::ChildRecord(dialog, id).Text; }
    static int Position(HWnd dialog, uint32_t id) { return sim::ChildRecord(dialog, id).Position; }
    static bool Enabled(HWnd dialog, uint32_t id) { return sim::ChildRecord(dialog, id).Enabled; }
};

// One drive with AAM on at 128 and APM off: what each action sends, what the groups then show (caption,
// slider position and whether the slider is live) and what closing stores.
TEST_F(TuningDialogTest, EachActionSendsItsCommandAndTheGroupShowsWhatTheDriveHas) {
    const auto click = [](uint32_t id) { return [id](HWnd d) { sim::ClickButton(GetDlgItem(d, id)); }; };
    const auto slide = [](int via, int to) {
        return [via, to](HWnd d) {
            sim::DragSlider(GetDlgItem(d, AamSliderId), via);
            sim::DragSlider(GetDlgItem(d, AamSliderId), to);
            sim::ReleaseSlider(GetDlgItem(d, AamSliderId));
        };
    };
    const std::string aam = "Automatic acoustic management", apm = "Advanced power management";
    const struct {
        const char* what;
        std::function<void(HWnd)> act;
        std::vector<Sent> sent;
        std::string shown, stored;
    } cases[] = {
        {"nothing done", [](HWnd) {}, {}, aam + " - 128 128 1|" + apm + " 1 0", "1 128 0 0"},
        {"APM enabled", click(ApmEnabledId), {{0x05, 128}}, aam + " - 128 128 1|" + apm + " - 128 128 1", "1 128 1 128"},
        {"AAM disabled", click(AamDisabledId), {{0xC2, 0}}, aam + " 128 0|" + apm + " 1 0", "0 0 0 0"},
        {"AAM Enabled clicked while on", click(AamEnabledId), {}, aam + " - 128 128 1|" + apm + " 1 0", "1 128 0 0"},
        {"AAM slider released at 200", slide(170, 200), {{0x42, 200}}, aam + " - 200 200 1|" + apm + " 1 0", "1 200 0 0"},
        {"AAM slider released on its start value", slide(254, 128), {}, aam + " - 128 128 1|" + apm + " 1 0", "1 128 0 0"},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        Start({TunableDrive("T1", 128, 0)});
        std::string shown;
        sim::SetModalScript([&](HWnd dialog) {
            EXPECT_FALSE(IsWindowVisible(MainWindow)) << c.what;
            EXPECT_EQ(sim::ChildRecord(dialog, TuningDriveListId).Items, std::vector<std::string>{DriveForCommands(0).Caption});
            EXPECT_TRUE(Enabled(dialog, ApmEnabledId) && !Enabled(dialog, ApmDisabledId)) << "only APM's Enabled radio is live";
            c.act(dialog);
            static_assert(AamGroupId + 3 == AamSliderId && ApmGroupId + 3 == ApmSliderId, "a group's slider");
            for (const uint32_t group : {AamGroupId, ApmGroupId})
                shown += (shown.empty() ? "" : "|") + Text(dialog, group) + " " + std::to_string(Position(dialog, group + 3)) +
                         " " + std::to_string(Enabled(dialog, group + 3));
        });
        RunTuningCommand();
        EXPECT_EQ(SetFeaturesSent(0), c.sent) << c.what;
        EXPECT_EQ(shown, c.shown) << c.what;
        EXPECT_TRUE(sim::MessageBoxCalls().empty()) << c.what;
        // Never measured yet, the drive is stored whether changed or not, and measured again.
        const DriveRecord& d = DriveForCommands(0);
        std::string stored;
        for (const char* name : {"AAM", "AAM_value", "APM", "APM_value"})
            stored += (stored.empty() ? "" : " ") + std::to_string(RegistryDword(d.RegKey, name));
        EXPECT_EQ(stored, c.stored) << c.what;
        EXPECT_TRUE(d.MeasuredThisRun) << c.what;
        EXPECT_FALSE(d.PerformanceTestPending) << c.what;
        EXPECT_EQ(Measurements(), 1u) << c.what;
        EXPECT_TRUE(ReportShown()) << c.what;
    }
}

// A measured drive that was not changed is not stored again; one that was, is.
TEST_F(TuningDialogTest, OnlyChangedDrivesAreStoredAfterTheirMeasurement) {
    Start({TunableDrive("T1", 128, 0, true, 1), TunableDrive("T2", 128, 0, true, 2)});
    for (unsigned i = 0; i < 2; ++i) DriveForCommands(i).PerformanceTestPending = DriveForCommands(i).MeasuredThisRun = false;
    sim::SetModalScript([](HWnd dialog) {
        sim::SelectListItem(GetDlgItem(dialog, TuningDriveListId), 1);
        sim::ClickButton(GetDlgItem(dialog, ApmEnabledId));
    });
    RunTuningCommand();
    EXPECT_TRUE(SetFeaturesSent(0).empty());
    EXPECT_EQ(SetFeaturesSent(1), (std::vector<Sent>{{0x05, 128}}));
    EXPECT_FALSE(RegistryValueExists(DriveForCommands(0).RegKey, "APM"));
    EXPECT_EQ(RegistryDword(DriveForCommands(1).RegKey, "APM"), 1u);
    EXPECT_TRUE(DriveForCommands(1).MeasuredThisRun);
    EXPECT_FALSE(DriveForCommands(0).MeasuredThisRun);
    EXPECT_EQ(RegistryDword(DriveForCommands(1).RegKey, "ReadSpeedsComplete"), 1u) << "the changed drive measured again";
    EXPECT_FALSE(RegistryValueExists(DriveForCommands(0).RegKey, "ReadSpeedsComplete"));
}

// A driver that refuses SET FEATURES: one box each time; the dialog closes itself only when the
// drive was the only one it could tune.
TEST_F(TuningDialogTest, ARefusedCommandShowsTheBoxAndClosesADialogOfOneDrive) {
    for (const unsigned drives : {1u, 2u}) {
        TearDown();
        SetUp();
        std::vector<sim::Drive> machine;
        for (unsigned i = 0; i < drives; ++i) machine.push_back(TunableDrive("R" + std::to_string(i), 128, 0, true, i + 1));
        machine[0].Faults.push_back({AccessMethod::ATA, ATA_SET_FEATURES, -1, sim::FaultKind::Refuse});
        Start(std::move(machine));
        bool openAfterRefusal = false;
        std::string radio;
        sim::SetModalScript([&](HWnd dialog) {
            sim::ClickButton(GetDlgItem(dialog, ApmEnabledId));
            radio = sim::ChildRecord(dialog, ApmDisabledId).Checked ? "Disabled" : "Enabled";
            sim::PumpPostedMessages();
            openAfterRefusal = IsWindow(dialog);
        });
        RunTuningCommand();
        const std::vector<sim::MessageBoxCall> boxes = sim::MessageBoxCalls();
        ASSERT_EQ(boxes.size(), 1u) << drives;
        EXPECT_EQ(boxes[0].Text, "Tuning is blocked by the driver");
        EXPECT_EQ(boxes[0].Caption, InfoCaption);
        EXPECT_EQ(boxes[0].Flags, 0x50030u);
        EXPECT_NE(boxes[0].Owner, MainWindow) << "owned by the dialog";
        EXPECT_EQ(openAfterRefusal, drives > 1);
        EXPECT_EQ(radio, "Disabled") << "the drive's APM stays off";
        EXPECT_FALSE(DriveForCommands(0).APM_Enabled);
    }
}

TEST_F(TuningDialogTest, WithoutATunableDriveTheCommandRefusesWithABox) {
    Start({testmachine::SataDrive("PLAIN", 1)});
    RunTuningCommand();
    const std::vector<sim::MessageBoxCall> boxes = sim::MessageBoxCalls();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Data drives do not support tuning.");
    EXPECT_EQ(boxes[0].Owner, MainWindow);
    EXPECT_EQ(boxes[0].Flags, 0x50030u);
    EXPECT_TRUE(IsWindowVisible(MainWindow));
    for (const sim::WindowRecord& w : sim::WindowRecords()) EXPECT_NE(w.Text, "KORVANTE :: Tuning");
    EXPECT_EQ(Measurements(), 0u);
    EXPECT_TRUE(GetWindowText(ReportBox).empty());
}

// While the dialog is open the selected drive with AAM keeps reading; a drive without AAM gets no
// reader, and closing stops it.
TEST_F(TuningDialogTest, TheSelectedDriveWithAamKeepsReadingWhileTheDialogIsOpen) {
    sim::Drive apmOnly = TunableDrive("P2", 0, 0, true, 2);
    apmOnly.Identify[2 * 83 + 1] &= ~0x02;  // word 83 bit 9: no AAM
    Start({TunableDrive("A1", 128, 0, true, 1), apmOnly});
    ASSERT_FALSE(DriveForCommands(1).AAM_Support);
    for (unsigned i = 0; i < 2; ++i)  // measured at this start: no reads after the dialog
        DriveForCommands(i).PerformanceTestPending = DriveForCommands(i).MeasuredThisRun = false;
    const unsigned before[] = {Drive(0).Power.Reads, Drive(1).Power.Reads};
    sim::SetModalScript([](HWnd dialog) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        sim::SelectListItem(GetDlgItem(dialog, TuningDriveListId), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    });
    RunTuningCommand();
    const unsigned afterClose = Drive(0).Power.Reads;
    EXPECT_GT(afterClose, before[0]);
    EXPECT_EQ(Drive(1).Power.Reads, before[1]);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(Drive(0).Power.Reads, afterClose) << "the reader ended with the dialog";
}

}  // namespace
