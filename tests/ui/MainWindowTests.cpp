// The main window on the simulated windowing: its controls where the design puts them, close and Esc
// with and without drives or an open dialog, the power broadcasts, and the idle-task run.
#include <gtest/gtest.h>

#include "TestMachine.h"
#include "app/ProgramLife.h"
#include "knowledge/ModelNormalisation.h"
#include "knowledge/VendorSite.h"
#include "monitor/Monitor.h"
#include "platform/SystemInfo.h"
#include "platform/UserInterface.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimNetwork.h"
#include "platform/sim/SimShell.h"
#include "platform/sim/SimSystem.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/SimUserInterface.h"
#include "platform/sim/SimDialogs.h"
#include "platform/sim/SimWindowing.h"
#include "ui/Main.h"
#include "ui/SelfTestDialog.h"

namespace {

using namespace platform;

class MainWindowTest : public MachineTest {
protected:
    // The window of a program that found these drives (none: the diagnostic mode).
    void Create(unsigned drives) {
        sim::Machine& m = Install({});
        for (unsigned i = 0; i < drives; ++i) m.Drives.push_back(testmachine::SataDrive("M" + std::to_string(i), i + 1));
        if (drives) StartResidentProgram();
        ASSERT_TRUE(CreateMainWindow());
        ShowWindow(MainWindow, SW_SHOW);
    }
    // The exit code the process ended with, -1 while it runs.
    static int Ended() {
        const std::vector<uint32_t> exits = sim::ProcessExits();
        return exits.empty() ? -1 : static_cast<int>(exits.front());
    }
};

TEST_F(MainWindowTest, ControlsStandWhereTheDesignPutsThem) {
    Create(1);
    const sim::WindowRecord main = sim::WindowRecords().front();
    EXPECT_EQ(main.ExStyle & WS_EX_TOOLWINDOW, WS_EX_TOOLWINDOW);
    EXPECT_EQ(main.Style & (WS_THICKFRAME | WS_MAXIMIZEBOX), WS_THICKFRAME | WS_MAXIMIZEBOX);
    EXPECT_EQ(main.Text, "");
    EXPECT_EQ(main.Width, 400);
    EXPECT_EQ(main.Height, 284);
    EXPECT_EQ(main.FontFace + std::to_string(main.FontHeight), "MS Sans Serif-11");
    const struct { uint32_t id; const char* caption; int x, y, width, height; uint32_t style; } expected[] = {
        {ReportBoxId, "", 0, 0, 400, 179, ES_MULTILINE | ES_READONLY | WS_VSCROLL},
        {ExpertModeId, "Expert mode", 18, 204, 115, 27, BS_AUTOCHECKBOX | BS_PUSHLIKE},
        {DatabaseId, "Database", 143, 204, 115, 27, BS_PUSHBUTTON},
        {PublishId, "Publish", 268, 204, 115, 27, BS_PUSHBUTTON},
        {DefragmentationId, "Defragmentation", 18, 242, 115, 27, BS_PUSHBUTTON},
        {DiagnosticsId, "Diagnostics", 143, 242, 115, 27, BS_PUSHBUTTON},
        {TuningId, "Tuning", 268, 242, 115, 27, BS_PUSHBUTTON},
    };
    for (const auto& e : expected) {
        const sim::WindowRecord c = sim::ChildRecord(MainWindow, e.id);
        EXPECT_EQ(c.Text, e.caption) << e.id;
        EXPECT_EQ(std::vector<int>({c.X, c.Y, c.Width, c.Height}), std::vector<int>({e.x, e.y, e.width, e.height})) << e.id;
        EXPECT_EQ(c.Style & e.style, e.style) << e.id;
        EXPECT_TRUE(c.Visible && c.Enabled) << e.id;
    }
    const sim::WindowRecord report = sim::ChildRecord(MainWindow, ReportBoxId);
    EXPECT_EQ(report.Class, RichEditClass);
    EXPECT_EQ(report.TextLimit, 262144u);
    EXPECT_EQ(report.FontFace + " " + std::to_string(report.RichEditTwips), "Courier New 195");
}

// How the window answers close and Esc: with drives it hides (and the working set is trimmed); without
// drives it closes, which ends the process; with a dialog open the messages are not the program's.
TEST_F(MainWindowTest, CloseAndEscHideTheResidentWindowUnlessADialogIsOpen) {
    const struct { const char* name; unsigned drives; bool dialog; uint32_t message; WParam w; bool handled, visible; int ended; unsigned trims; } cases[] = {
        {"Esc, drives", 1, false, WM_KEYDOWN, VK_ESCAPE, true, false, -1, 1},
        {"close button, drives", 1, false, WM_SYSCOMMAND, SC_CLOSE, true, false, -1, 1},
        {"close button from the keyboard, drives", 1, false, WM_SYSCOMMAND, SC_CLOSE | 3, true, false, -1, 1},
        {"Esc, no drive", 0, false, WM_KEYDOWN, VK_ESCAPE, true, true, 0, 0},
        {"Esc, settings open", 1, true, WM_KEYDOWN, VK_ESCAPE, false, true, -1, 0},
        {"another key", 1, false, WM_KEYDOWN, 'A', false, true, -1, 0},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        Create(c.drives);
        if (c.dialog) SettingsDialog = 0x5E77;
        const unsigned trims = sim::WorkingSetTrims();
        SendMessage(MainWindow, c.message, c.w, 0);
        EXPECT_EQ(IsWindowVisible(MainWindow), c.visible) << c.name;
        EXPECT_EQ(Ended(), c.ended) << c.name;
        EXPECT_EQ(sim::WorkingSetTrims() - trims, c.trims) << c.name;
    }
}

// Keys go to the focused control; the loop hands Esc to the main window, and a modal dialog's loop
// closes the dialog on it, whichever of its controls has the focus.
TEST_F(MainWindowTest, EscFromAnyControlHidesTheWindowAndClosesADialog) {
    const struct { const char* name; uint32_t control; WParam key; bool visible; } cases[] = {
        {"Esc at the report box", ReportBoxId, VK_ESCAPE, false},
        {"Esc at a button", TuningId, VK_ESCAPE, false},
        {"another key at the report box", ReportBoxId, 'A', true},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        Create(1);
        sim::PressKey(GetDlgItem(MainWindow, c.control), c.key);
        RunMessageLoop();
        EXPECT_EQ(IsWindowVisible(MainWindow), c.visible) << c.name;
    }
    bool closed = false;
    sim::SetModalScript([&closed](HWnd dialog) {
        sim::PressKey(GetDlgItem(dialog, StartTestId), VK_ESCAPE);
        sim::PumpPostedMessages();
        closed = !IsWindow(dialog);
    });
    RunSelfTestCommand();
    EXPECT_TRUE(closed);
}

TEST_F(MainWindowTest, SuspendStopsTheTimerAndResumeRunsACycleAtOnce) {
    Create(2);
    ASSERT_EQ(sim::TimerCount(), 1u);
    sim::AdvanceTime(3 * 60000);
    EXPECT_EQ(SendMessage(MainWindow, WM_POWERBROADCAST, 4, 0), 1);
    EXPECT_EQ(sim::TimerCount(), 0u);
    sim::AdvanceTime(10 * 60000);
    const unsigned queries = Drive(0).Power.Queries;
    const unsigned commands = Drive(1).RequestCount();
    EXPECT_EQ(SendMessage(MainWindow, WM_POWERBROADCAST, 7, 0), 1);
    EXPECT_EQ(Drive(0).Power.Queries, queries + 1);          // the cycle ran on this thread, at once
    EXPECT_GT(Drive(1).RequestCount(), commands);
    EXPECT_EQ(sim::TimerCount(), 1u);
    EXPECT_EQ(CycleCounter, 0u);  // the drives calibrate: their hour starts again, uncounted
    sim::AdvanceTime(60000);
    EXPECT_EQ(CycleCounter, 1u);
}

// Windows sends PBT_APMRESUMEAUTOMATIC (0x12) at every wake and PBT_APMRESUMESUSPEND (7) as well once
// the user is there; each wake runs one resume cycle (a power-state query of the drive) and starts
// the timer again.
TEST_F(MainWindowTest, EachWakeResumesOnceWhicheverBroadcastsItBrings) {
    const struct { const char* name; std::vector<WParam> broadcasts; unsigned resumes; } cases[] = {
        {"timer wake", {4, 0x12}, 1},
        {"user wake", {4, 0x12, 7}, 1},
        {"resume without the automatic one", {4, 7}, 1},
        {"timer wake, asleep again, user wake", {4, 0x12, 4, 0x12, 7}, 2},
        {"a later resume without a suspend", {4, 0x12, 7, 7}, 2},
        {"asleep", {4}, 0},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        Create(1);
        const unsigned queries = Drive(0).Power.Queries;
        for (const WParam event : c.broadcasts) EXPECT_EQ(SendMessage(MainWindow, WM_POWERBROADCAST, event, 0), 1) << c.name;
        EXPECT_EQ(Drive(0).Power.Queries - queries, c.resumes) << c.name;
        EXPECT_EQ(sim::TimerCount(), c.resumes > 0 ? 1u : 0u) << c.name;
    }
}

bool WindowMade(const std::string& caption) {
    for (const sim::WindowRecord& w : sim::WindowRecords())
        if (w.Text == caption) return true;
    return false;
}

// Each button runs its command on this thread: the expert toggle shows the report at its depth,
// "Database" opens every drive's page of the online database in table order, "Publish" first asks
// the vendor's site for its version, "Diagnostics" runs its dialog and then shows the report, and
// "Tuning" says why it cannot (no drive has AAM or APM).
TEST_F(MainWindowTest, EachButtonRunsItsCommand) {
    const struct { const char* name; MainControl button; bool (*done)(); } cases[] = {
        {"the expert report", ExpertModeId,
         [] { return IsWindowVisible(MainWindow) && GetWindowText(MainWindow) == "KORVANTE :: Expert mode"; }},
        {"the database pages", DatabaseId,
         [] {
             std::vector<std::string> opened, pages;
             for (const sim::ShellRequest& r : sim::ShellRequests()) opened.push_back(r.File);
             for (unsigned i = 0; i < DriveCount(); ++i) pages.push_back(DatabaseAddress(DriveForCommands(i)));
             return opened.size() == 2 && opened == pages;
         }},
        {"the version check", PublishId,
         [] { return !sim::UrlRequests().empty() && sim::UrlRequests()[0].Url == VendorAddress("/version.txt"); }},
        {"the diagnostics", DiagnosticsId,
         [] { return WindowMade("KORVANTE :: Diagnostics") && !GetWindowText(ReportBox).empty(); }},
        {"the refused tuning", TuningId,
         [] { return sim::MessageBoxCalls().size() == 1 && sim::MessageBoxCalls()[0].Text == "Data drives do not support tuning."; }},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        Create(2);
        sim::ClearShellRequests();
        sim::ClickButton(GetDlgItem(MainWindow, c.button));
        sim::WaitForWorkers();
        EXPECT_TRUE(c.done()) << c.name;
    }
}

TEST_F(MainWindowTest, DefragmentationRunsTheIdleTasksWithItsButtonsDisabled) {
    Create(1);
    sim::HoldMessageBoxes();
    sim::ClickButton(GetDlgItem(MainWindow, DefragmentationId));
    ASSERT_TRUE(sim::WaitForOpenMessageBoxes(1));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(MainWindow, DefragmentationId)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(MainWindow, PublishId)));
    EXPECT_EQ(sim::ProcessIdleTasksCalls(), 1u);
    const sim::MessageBoxCall box = sim::MessageBoxCalls().front();
    EXPECT_EQ(box.Text, "Defragmentation of the file system is completed.");
    EXPECT_EQ(box.Caption, "KORVANTE :: Information");
    EXPECT_EQ(box.Flags, MB_ICONINFORMATION | MB_SYSTEMMODAL);
    EXPECT_EQ(box.Owner, 0u);
    sim::ReleaseMessageBox(IDOK);
    sim::WaitForWorkers();
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(MainWindow, DefragmentationId)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(MainWindow, PublishId)));

    sim::SetProcessIdleTasksPresent(false);  // nothing to run: nothing happens
    sim::ClickButton(GetDlgItem(MainWindow, DefragmentationId));
    sim::WaitForWorkers();
    EXPECT_EQ(sim::MessageBoxCalls().size(), 1u);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(MainWindow, DefragmentationId)));
}

}  // namespace
