// The performance window on the simulated machine: which drives are measured, the window's text and
// geometry as it grows (watched at every read through the clock), what is stored, and a failing drive.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "device/DriveTableFill.h"
#include "discovery/Scan.h"
#include "monitor/DriveState.h"
#include "platform/Menus.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimForeground.h"
#include "platform/sim/SimMenus.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimUserInterface.h"
#include "platform/sim/SimWindowing.h"
#include "system/Settings.h"
#include "ui/Main.h"
#include "ui/PerformanceWindow.h"
#include "ui/Report.h"
#include "ui/TrayIcons.h"
#include "ui/TuningDialog.h"
#include "ui/TrayMenu.h"

namespace {

using namespace platform;

const char Caption[] = "KORVANTE :: Performance analysis";

// The window as a user would see it at one moment.
struct Snapshot {
    bool ExitGrayed = false;
    sim::WindowRecord Window, Edit;
    LParam Colour = 0;
};
std::vector<Snapshot>* Watching = nullptr;

sim::WindowRecord PerformanceWindowRecord() {
    for (const sim::WindowRecord& w : sim::WindowRecords())
        if (w.Text == Caption) return w;
    return {};
}

bool ExitGrayed() {
    for (const sim::MenuItem& item : sim::MenuItems(TrayMenu))
        if (item.Id == TrayExitId) return (item.Flags & MF_GRAYED) != 0;
    return false;
}

// At every move of the clock (each read): what shows; and the user tries to close the window.
void Watch(uint64_t) {
    if (!Watching) return;
    Snapshot s{ExitGrayed(), PerformanceWindowRecord(), {}, 0};
    if (s.Window.Handle && !s.Window.Destroyed) {
        s.Edit = sim::ChildRecord(s.Window.Handle, 0);
        s.Colour = SendMessage(s.Window.Handle, WM_CTLCOLORSTATIC, 0, static_cast<LParam>(s.Edit.Handle));
        SendMessage(s.Window.Handle, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    Watching->push_back(s);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

// Independent of the measuring: a character of the simulated 12-pixel font is 7 pixels wide, the
// longest line gets 8 of margin, the caption (32 characters of 6 pixels, the close button's 12 and 16
// of padding) is never cut, and the window is centred in the 1024 x 728 work area.
void ExpectSizedToItsText(const sim::WindowRecord& w, const sim::WindowRecord& edit, int height, const std::string& at) {
    size_t longest = 0;
    for (const std::string& line : Lines(edit.Text)) longest = std::max(longest, line.size());
    EXPECT_EQ(w.Width, std::max(7 * static_cast<int>(longest) + 8, 32 * 6 + 12 + 16)) << at;
    EXPECT_EQ(w.Height, height) << at;
    EXPECT_EQ(w.X, (1024 - w.Width) / 2) << at;
    EXPECT_EQ(w.Y, (728 - height) / 2) << at;
    EXPECT_TRUE(edit.X == 0 && edit.Y == 0 && edit.Width == w.Width && edit.Height == height) << at;
}

// Each drive its own S.M.A.R.T. page: the scan keeps no drive that repeats another's.
unsigned Seed = 0;
sim::Drive Ssd(const std::string& serial, const std::string& model = "TESTDISK 1000") {
    sim::Drive d = testmachine::SataDrive(serial, ++Seed);
    d.Identify = testmachine::SataIdentify(serial).Model(model).Word(217, 1).Bytes();
    return d;
}
sim::Drive Hdd(const std::string& serial) { return testmachine::SataDrive(serial, ++Seed); }

// The figures the simulated timings give (the read measurement's own tests work them out).
const std::string SsdBlock[] = {"Buffered read speed - 625 MiB/s", "Average read speed - 500 MiB/s",
                                "Average access time - 0.06 msec"};
const std::string HddBlock[] = {"Buffered read speed - 500 MiB/s", "Average read speed - 167 MiB/s",
                                "Average access time - 12.67 msec"};

class PerformanceWindowTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        ASSERT_TRUE(CreateMainWindow() && CreateTrayMenu() && OpenSettingsKey());
        sim::AddClockListener(Watch);
    }
    void TearDown() override {
        Watching = nullptr;
        MachineTest::TearDown();
    }
    // Scans the drives and takes in their state: drives without stored results are pending.
    void Start(std::vector<sim::Drive> drives) {
        Install({}).Drives = std::move(drives);
        ScanDrives();
        for (unsigned i = 0; i < DriveCount(); ++i) LoadPersistedDriveState(DriveForCommands(i));
    }
    void Run() {
        snapshots.clear();
        Watching = &snapshots;
        RunPerformanceWindow();
        Watching = nullptr;
    }
    // Each REG_DWORD written to a drive's key as "serial name=value".
    static std::vector<std::string> DriveWrites() {
        std::vector<std::string> writes;
        const std::string prefix = "HKEY_LOCAL_MACHINE\\Software\\KORVANTE\\";
        for (const sim::RegistryWrite& w : sim::RegistryWrites())
            if (w.Key.compare(0, prefix.size(), prefix) == 0 && w.Type == REG_DWORD && w.Data.size() == 4)
                writes.push_back(w.Key.substr(w.Key.rfind('\\') + 1) + " " + w.Name + "=" +
                                 std::to_string(w.Data[0] | w.Data[1] << 8 | w.Data[2] << 16 | w.Data[3] << 24));
        return writes;
    }
    static std::vector<std::string> Stored(const std::string& serial, const std::vector<int>& values) {
        const char* const names[] = {"AverageReadSpeed", "BufferingReadSpeed", "MaxReadSpeed", "StabilityReadSpeed",
                                     "MinReadSpeed", "AverageAccessTime", "AverageAccessTimeFrac"};
        std::vector<std::string> writes = {serial + " ReadSpeedsComplete=0"};  // being written
        for (size_t i = 0; i < values.size(); ++i) writes.push_back(serial + " " + names[i] + "=" + std::to_string(values[i]));
        writes.push_back(serial + " ReadSpeedsComplete=1");
        return writes;
    }
    std::vector<Snapshot> snapshots;
};

// A read test asked for while one runs (its window pumps messages; the prompt's worker may ask too)
// is refused with a box and reads nothing, and the Tuning command opens nothing then.
TEST_F(PerformanceWindowTest, OneReadTestAtATime) {
    Start({Ssd("SSD1")});
    static std::vector<bool> nested;
    nested.clear();
    sim::AddClockListener([](uint64_t) {
        if (!nested.empty()) return;
        nested.push_back(RunPerformanceWindow());
        RunTuningCommand();
        nested.push_back(sim::WindowRecords().back().Text == "KORVANTE :: Tuning");
    });
    Run();
    EXPECT_EQ(nested, (std::vector<bool>{false, false}));
    std::vector<std::string> boxes;
    for (const sim::MessageBoxCall& b : sim::MessageBoxCalls()) boxes.push_back(b.Text);
    EXPECT_EQ(boxes, std::vector<std::string>(2, "A read test is already running."));
    unsigned windows = 0;
    for (const sim::WindowRecord& w : sim::WindowRecords()) windows += w.Text == Caption;
    EXPECT_EQ(windows, 1u);
    EXPECT_TRUE(RunPerformanceWindow());  // the next one runs (no candidate is left)
}

// A drive with stored results, a pending one that is security-locked and one that is lost: none is
// woken, shown or stored, and the two flags stay.
TEST_F(PerformanceWindowTest, WithoutCandidatesNothingIsShownReadOrStored) {
    Start({Ssd("DONE1"), Ssd("LOCKED1"), Ssd("LOST1")});
    DriveForCommands(0).PerformanceTestPending = false;
    DriveForCommands(1).SecurityLocked = true;
    DriveForCommands(2).SmartLost = true;
    sim::ClearRegistryWrites();
    const unsigned reads = Drive(0).Power.Reads + Drive(1).Power.Reads + Drive(2).Power.Reads;
    Run();
    EXPECT_EQ(PerformanceWindowRecord().Handle, 0u);
    EXPECT_TRUE(std::none_of(snapshots.begin(), snapshots.end(), [](const Snapshot& s) { return s.ExitGrayed; }));
    EXPECT_FALSE(ExitGrayed());
    EXPECT_EQ(Drive(0).Power.Reads + Drive(1).Power.Reads + Drive(2).Power.Reads, reads);
    EXPECT_EQ(Drive(1).Raw.Flushes + Drive(2).Raw.Flushes, 0u);
    EXPECT_TRUE(DriveWrites().empty());
    EXPECT_TRUE(sim::ForegroundLockCalls().empty());
    EXPECT_TRUE(DriveForCommands(1).PerformanceTestPending && DriveForCommands(2).PerformanceTestPending);
}

TEST_F(PerformanceWindowTest, CandidatesAreShownLineByLineInAWindowSizedToItsTextThenStored) {
    const std::string longModel = "A MODEL NAME OF FORTY CHARACTERS LONG 01";
    const struct {
        const char* name;
        std::vector<sim::Drive> drives;
        std::vector<int> candidates;  // indexes
        bool firstFails;              // drive 0's reads fail from the 100th of its sequential run on
        int height;                   // lines of 15 pixels (5 n - 1 + 1 of them) and 8 of margin
        std::vector<std::string> lines;
        std::vector<std::string> writes;
    } cases[] = {
        {"one", {Ssd("SSD1")}, {0}, false, 83,
         {"Please wait...", "Model - TESTDISK 1000", SsdBlock[0], SsdBlock[1], SsdBlock[2]},
         Stored("SSD1", {500, 625, 500, 500, 500, 0, 6})},
        // The last drive is pending but locked: no line break after the last candidate's block.
        {"three", {Ssd("SSD1", longModel), Hdd("HDD1"), Ssd("SSD2"), Ssd("LOCKED1")}, {0, 1, 2}, false, 233,
         {"Please wait...", "Model - " + longModel, SsdBlock[0], SsdBlock[1], SsdBlock[2], "",
          "Model - TESTDISK 1000", HddBlock[0], HddBlock[1], HddBlock[2], "",
          "Model - TESTDISK 1000", SsdBlock[0], SsdBlock[1], SsdBlock[2]},
         {}},
        // The failing drive shows its failures and stores none of its figures, only that its set is not
        // whole (and the failure's date); the next one goes on.
        {"failing", {Hdd("BAD1"), Ssd("SSD1")}, {0, 1}, true, 158,
         {"Please wait...", "Model - TESTDISK 1000", HddBlock[0], "Average read speed - failed",
          "Average access time - failed", "", "Model - TESTDISK 1000", SsdBlock[0], SsdBlock[1], SsdBlock[2]},
         {}},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        Start(c.drives);
        if (c.drives.size() == 4) DriveForCommands(3).SecurityLocked = true;
        // The wake read, the buffered run's 502, the sequential run's warm-up and 99 samples.
        if (c.firstFails) Drive(0).Raw.ReadsBeforeFailure = Drive(0).Power.Reads + 1 + 502 + 100;
        sim::ClearRegistryWrites();
        Run();
        const int height = c.height;
        const sim::WindowRecord w = PerformanceWindowRecord();
        EXPECT_TRUE(w.Destroyed) << c.name;
        EXPECT_EQ(w.Parent, MainWindow) << c.name;
        EXPECT_EQ(w.ExStyle, WS_EX_TOOLWINDOW | WS_EX_TOPMOST) << c.name;
        EXPECT_EQ(w.Style & (WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU) << c.name;
        const auto deleted = sim::DeletedSystemMenuCommands();
        EXPECT_EQ(deleted, (std::vector<std::pair<HWnd, WParam>>{{w.Handle, SC_CLOSE}})) << c.name;
        EXPECT_EQ(sim::ForegroundWindow(), w.Handle) << c.name;
        EXPECT_EQ(sim::ForegroundLockCalls(), (std::vector<uint32_t>{LSFW_LOCK, LSFW_UNLOCK})) << c.name;
        EXPECT_FALSE(ExitGrayed()) << c.name;

        // The text, and the edit control that held it, as the window closed.
        sim::WindowRecord last;
        for (const sim::WindowRecord& r : sim::WindowRecords())
            if (r.Parent == w.Handle) last = r;
        EXPECT_EQ(last.Class, "EDIT") << c.name;
        EXPECT_EQ(last.Style, WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY) << c.name;
        EXPECT_EQ(last.FontFace, "Courier New") << c.name;
        EXPECT_EQ(Lines(last.Text), c.lines) << c.name;
        ExpectSizedToItsText(w, last, height, c.name);

        // While it was up: 260 wide until shown, then always sized to its text, each read made while a
        // line ends in "?", "Exit" grayed, the close request ignored, the window colour behind the text.
        const auto shown = std::find_if(snapshots.begin(), snapshots.end(), [](const Snapshot& s) { return s.Window.Handle != 0; });
        ASSERT_NE(shown, snapshots.end()) << c.name;
        EXPECT_TRUE(shown->Window.Width == 260 && !shown->Window.Visible && shown->Edit.Text.empty()) << c.name;
        for (auto s = shown + 1; s != snapshots.end() && !s->Window.Destroyed; ++s) {
            ASSERT_TRUE(s->Window.Visible && s->ExitGrayed && s->Colour == sim::WindowColourBrush) << c.name;
            ASSERT_EQ(s->Edit.Text.back(), '?') << c.name;
            ExpectSizedToItsText(s->Window, s->Edit, height, c.name + std::string(" at ") + s->Edit.Text);
        }
        EXPECT_TRUE(std::none_of(snapshots.begin(), shown, [](const Snapshot& s) { return s.ExitGrayed; })) << c.name << ": woken first";

        std::vector<std::string> writes;
        for (const int i : c.candidates) {
            const DriveRecord& d = DriveForCommands(i);
            EXPECT_EQ(Drive(i).Raw.Flushes, 1u) << c.name << i;
            const bool failed = c.firstFails && i == 0;
            EXPECT_FALSE(d.PerformanceTestPending) << c.name << i;
            EXPECT_EQ(d.ReadTestFailed.Year != 0, failed) << c.name << i;
            if (failed) {
                EXPECT_EQ(d.BufferingReadSpeed, 0) << c.name << ": the figure the window showed is not kept";
                writes.push_back(d.SerialNumber + " ReadSpeedsComplete=0");
                continue;
            }
            for (const std::string& v : Stored(d.SerialNumber, {d.AverageReadSpeed, d.BufferingReadSpeed, d.MaxReadSpeed,
                                                                d.StabilityReadSpeed, d.MinReadSpeed, d.AverageAccessTime,
                                                                d.AverageAccessTimeFrac}))
                writes.push_back(v);
        }
        EXPECT_EQ(DriveWrites(), writes) << c.name;
        if (!c.writes.empty()) {
            EXPECT_EQ(DriveWrites(), c.writes) << c.name;
        }
    }
}

// A re-measurement killed after any number of its writes: the next start takes the earlier results or
// the new ones, each whole, or measures the drive again; never a mix of the two.
TEST_F(PerformanceWindowTest, AMeasurementKilledWhileStoringLeavesAWholeSetOrNone) {
    const std::vector<int> earlier = {11, 12, 13, 14, 15, 3, 45};  // in the order of Stored's names
    const std::vector<int> measured = {500, 625, 500, 500, 500, 0, 6};
    const unsigned setWrites = static_cast<unsigned>(Stored("SSD1", measured).size());
    for (unsigned cut = 0; cut <= setWrites; ++cut) {
        TearDown();
        SetUp();
        Start({Ssd("SSD1")});
        DriveRecord& d = DriveForCommands(0);
        d.AverageReadSpeed = 11, d.BufferingReadSpeed = 12, d.MaxReadSpeed = 13, d.StabilityReadSpeed = 14;
        d.MinReadSpeed = 15, d.AverageAccessTime = 3, d.AverageAccessTimeFrac = 45;
        StoreReadSpeeds(d);
        d.PerformanceTestPending = true;  // a tuning change: measured again
        sim::ClearRegistryWrites();
        sim::StopRegistryWritesAfter(cut);
        Run();
        sim::StopRegistryWritesAfter(sim::NoWriteLimit);
        ASSERT_EQ(DriveWrites().size(), cut);

        ClearDriveTable();  // the next start
        ScanDrives();
        DriveRecord& next = DriveForCommands(0);
        LoadPersistedDriveState(next);
        const std::vector<int> loaded = {next.AverageReadSpeed, next.BufferingReadSpeed, next.MaxReadSpeed,
                                         next.StabilityReadSpeed, next.MinReadSpeed, next.AverageAccessTime,
                                         next.AverageAccessTimeFrac};
        const std::string at = "killed after " + std::to_string(cut) + " writes";
        if (cut == 0) {
            EXPECT_EQ(loaded, earlier) << at;
        } else if (cut == setWrites) {
            EXPECT_EQ(loaded, measured) << at;
        } else {
            EXPECT_EQ(loaded, std::vector<int>(7, 0)) << at;
        }
        EXPECT_EQ(next.PerformanceTestPending, cut != 0 && cut != setWrites) << at;
    }
}

// The figures of the read-test lines of the expert report (a one-drive machine), in their order.
std::vector<std::string> ReportedFigures() {
    std::istringstream report(ReportPlainText(BuildReportDocument(ReportDepth::Expert)));
    std::vector<std::string> figures;
    for (std::string line; std::getline(report, line);)
        for (const std::string label : {" read speed - ", "Instability of reading - ", "Average access time - "})
            if (const size_t at = line.find(label); at != std::string::npos) figures.push_back(line.substr(at + label.size()));
    return figures;
}

// A drive whose reads fail is tried at the first start, left alone by the starts of the week after
// and tried again after it; the report says the test failed until it succeeds, then shows its figures.
TEST_F(PerformanceWindowTest, AFailedReadTestIsRetriedOnceAWeekAndReportedAsFailed) {
    const uint64_t day = 24 * 3600 * 1000ull;
    const std::vector<std::string> failed(7, "test failed");
    const std::vector<std::string> measured = {"625 MiB/s", "500 MiB/s", "500 MiB/s", "500 MiB/s", "500 MiB/s", "0%", "0.06 msec"};
    const struct { uint64_t after; bool readsFail, tried; std::vector<std::string> figures; } starts[] = {
        {0, true, true, failed},       {1 * day, true, false, failed},  {5 * day, true, false, failed},
        {2 * day, true, true, failed}, {6 * day, false, false, failed}, {2 * day, false, true, measured},
        {1 * day, false, false, measured}};
    Start({Ssd("BAD1")});
    for (const auto& s : starts) {
        const std::string at = std::to_string(&s - starts);
        if (s.after != 0) {
            sim::AdvanceTime(s.after);
            ClearDriveTable();
            ScanDrives();
            LoadPersistedDriveState(DriveForCommands(0));
        }
        // Publishing measures a drive not tried at this start.
        EXPECT_TRUE(DriveForCommands(0).PerformanceTestPending == s.tried && DriveForCommands(0).MeasuredThisRun == s.tried) << at;
        const unsigned reads = Drive(0).Power.Reads;
        Drive(0).Raw.ReadsBeforeFailure = s.readsFail ? reads + 1 : -1;  // the wake read goes through
        Run();
        Drive(0).Raw.ReadsBeforeFailure = -1;  // the next scan reads as usual
        EXPECT_EQ(Drive(0).Power.Reads > reads, s.tried) << at;
        EXPECT_EQ(ReportedFigures(), s.figures) << at;
    }
}

class StartUpMeasurement : public MachineTest {};

// Start-up measures the drives whose results are missing before the icons come.
TEST_F(StartUpMeasurement, TheDrivesWithoutStoredResultsAreMeasuredAtStartUp) {
    Install({}).Drives = {Ssd("SSD1")};
    RunProgram("", ProgramKind::Simulated);
    const sim::WindowRecord w = PerformanceWindowRecord();
    EXPECT_TRUE(w.Handle && w.Destroyed && w.Parent == MainWindow);
    ASSERT_EQ(DriveCount(), 1u);
    EXPECT_FALSE(DriveForCommands(0).PerformanceTestPending);
    EXPECT_EQ(DriveForCommands(0).BufferingReadSpeed, 625);
}

}  // namespace
