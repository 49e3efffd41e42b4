// The tray icons on the simulated tray: what each temperature icon shows, which drive the single
// icon follows, how a refresh treats sleeping and lost drives, waiting for the tray, balloons, and
// the processor-load graph.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "device/DriveTableFill.h"
#include "app/ProgramLife.h"
#include "monitor/Monitor.h"
#include "platform/Time.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimPower.h"
#include "platform/sim/SimSmart.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/SimTray.h"
#include "platform/sim/SimUserInterface.h"
#include "platform/sim/SimWindowing.h"
#include "system/Settings.h"
#include "ui/Main.h"
#include "ui/TrayIcons.h"

using platform::Rgb;

namespace {

constexpr uint32_t Green = Rgb(0, 191, 0), Red = Rgb(255, 0, 0), Grey = Rgb(128, 128, 128);

struct DriveFacts {
    const char* Model;
    const char* Letters;
    uint8_t Temperature;
    bool Lost = false;
};

class TrayIcons : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        DriveIconSlots.clear();
    }
    void TearDown() override {
        ReleaseDriveIcons();
        DriveIconSlots.clear();
        MachineTest::TearDown();
    }
    static void AddDrives(const std::vector<DriveFacts>& drives) {
        for (const DriveFacts& f : drives) {
            auto d = std::make_unique<DriveRecord>();
            d->Model = f.Model;
            d->LogicalDrives = f.Letters;
            d->Temperature = f.Temperature;
            d->TemperatureLimit = 50;
            d->SmartLost = f.Lost;
            AddDrive(std::move(d), {});
        }
    }
    // Each active entry as "tip=text/colour", or "tip=program" for the program's icon.
    static std::vector<std::string> Shown() {
        std::vector<std::string> shown;
        for (const sim::TrayEntry& e : sim::ActiveTrayEntries())
            shown.push_back(e.Tip + "=" + (e.ProgramIcon ? std::string("program") : e.Drawing.Text + "/" +
                            (e.Drawing.Colour == Green ? "green" : e.Drawing.Colour == Red ? "red" : "grey")));
        return shown;
    }
};

TEST_F(TrayIcons, TemperatureDrawingsChooseTextColourAndFont) {
    struct Case {
        uint8_t t;
        bool active, fahrenheit;
        const char* text;
        uint32_t colour;
        int height, x, y;
        platform::Rect clip;
        int edge = 16;
    } cases[] = {
        {37, true, true, "98", Green, -14, 0, -1, {0, 0, 16, 16}},
        {38, true, true, "100", Green, -10, -2, 1, {0, 0, 15, 15}},
        {50, true, false, "50", Red, -14, 0, -1, {0, 0, 16, 16}},       // at the limit
        {49, true, false, "49", Green, -14, 0, -1, {0, 0, 16, 16}},     // one below
        {60, false, false, "60", Grey, -14, 0, -1, {0, 0, 16, 16}},     // asleep, over the limit
        {100, true, false, "100", Red, -10, -2, 1, {0, 0, 15, 15}},
        {255, true, true, "491", Red, -10, -2, 1, {0, 0, 15, 15}},     // no byte wrap on the way
        // At the small-icon sizes of 150 and 200 %: the 16-pixel drawing scaled, halves away from zero.
        {45, true, false, "45", Green, -21, 0, -2, {0, 0, 24, 24}, 24},
        {100, true, false, "100", Red, -15, -3, 2, {0, 0, 23, 23}, 24},
        {100, true, false, "100", Red, -20, -4, 2, {0, 0, 30, 30}, 32},
    };
    for (const Case& c : cases) {
        Settings.Fahrenheit = c.fahrenheit;
        const platform::TextIconDrawing d = TemperatureIconDrawing(c.t, c.active, 50, c.edge);
        SCOPED_TRACE(c.text);
        EXPECT_EQ(d, (platform::TextIconDrawing{c.text, c.colour, "Microsoft Sans Serif", c.height, c.x, c.y, c.clip,
                                                c.edge}));
    }
}

TEST_F(TrayIcons, HottestDriveTakesTheFirstOfTheHighestAndSkipsLostDrives) {
    struct Case {
        std::vector<DriveFacts> drives;
        unsigned hottest;
    } cases[] = {
        {{}, 0},
        {{{"A", "", 0}, {"B", "", 0}}, 0},
        {{{"A", "", 40}, {"B", "", 45}, {"C", "", 45}}, 1},
        {{{"A", "", 60, true}, {"B", "", 45}}, 1},
        {{{"A", "", 0}, {"B", "", 30}}, 1},
        {{{"A", "", 30}, {"B", "", 70, true}}, 0},
        {{{"A", "", 0, true}, {"B", "", 0}}, 1},  // no temperature anywhere: the first drive answering
        {{{"A", "", 40, true}, {"B", "", 45, true}}, 0},
    };
    for (const Case& c : cases) {
        ClearDriveTable();
        AddDrives(c.drives);
        EXPECT_EQ(HottestDrive(), c.hottest) << c.drives.size() << " drives";
    }
}

TEST_F(TrayIcons, TooltipsNameTheModelAndItsLetters) {
    EXPECT_EQ(DriveTooltip("ST1000DM003", ""), "ST1000DM003");
    EXPECT_EQ(DriveTooltip("ST1000DM003", "C: E:"), "ST1000DM003 (C: E:)");
}

TEST_F(TrayIcons, AllDrivesRefreshGreysSleepersAndFreezesLostDrives) {
    AddDrives({{"A", "C:", 40}, {"B", "", 0}, {"C", "D: E:", 55}});
    CreateDriveIcons();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"A (C:)=40/green", "B=program", "C (D: E:)=55/red"}));

    DriveForCommands(0).Temperature = 45;
    DriveForCommands(1).Temperature = 30;
    DriveForCommands(1).Sleeping = 1;
    DriveForCommands(2).Temperature = 20;
    DriveForCommands(2).SmartLost = true;
    DriveForCommands(2).Model = "renamed";
    RefreshDriveIcons();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"A (C:)=45/green", "B=30/grey", "C (D: E:)=55/red"}));
    EXPECT_EQ(sim::LiveIcons(), 3u);  // every replaced image destroyed
    EXPECT_EQ(sim::TrayEntries().size(), 3u);
}

TEST_F(TrayIcons, HottestOnlyShowsOneIconThatFollowsTheHottestDrive) {
    Settings.ShowHottestDiskOnly = true;
    AddDrives({{"A", "", 40}, {"B", "F:", 45}, {"C", "", 45}});
    CreateDriveIcons();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"B (F:)=45/green"}));
    ASSERT_EQ(DriveIconSlots.size(), 3u);
    EXPECT_TRUE(DriveIconSlots[0] && !DriveIconSlots[1] && !DriveIconSlots[2]);

    DriveForCommands(2).Temperature = 52;
    RefreshDriveIcons();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"C=52/red"}));

    for (unsigned i = 0; i < 3; ++i) DriveForCommands(i).Temperature = 0;
    RefreshDriveIcons();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"A=program"}));
    EXPECT_EQ(sim::LiveIcons(), 0u);

    DriveForCommands(0).SmartLost = true;  // the first drive lost: the icon follows the others
    DriveForCommands(1).Temperature = 44;
    RefreshDriveIcons();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"B (F:)=44/green"}));

    DriveForCommands(1).SmartLost = DriveForCommands(2).SmartLost = true;  // none answers: it stays
    DriveForCommands(2).Temperature = 60;
    RefreshDriveIcons();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"B (F:)=44/green"}));
}

TEST_F(TrayIcons, OneDriveIconInHottestOnlyModeTakesSlotZero) {
    Settings.ShowHottestDiskOnly = true;
    AddDrives({{"A", "", 40}, {"B", "", 45}});
    CreateDriveIcon(1);
    ASSERT_EQ(DriveIconSlots.size(), 2u);
    EXPECT_TRUE(DriveIconSlots[0] && !DriveIconSlots[1]);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"B=45/green"}));
}

TEST_F(TrayIcons, SwitchingToHottestOnlyTakesTheOtherIconsAway) {
    AddDrives({{"A", "", 40}, {"B", "", 45}});
    CreateDriveIcons();
    Settings.ShowHottestDiskOnly = true;
    RefreshDriveIcons();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"B=45/green"}));
    EXPECT_EQ(sim::LiveIcons(), 1u);
}

TEST_F(TrayIcons, TheMonitoringCycleRedrawsTheIconsOnTheTimerThread) {
    sim::Drive warming = testmachine::SataDrive("WARMING", 1), steady = testmachine::SataDrive("STEADY", 2);
    sim::SetTemperature(warming, 30);
    sim::SetTemperature(steady, 35);
    warming.Events = {{30000, sim::EventKind::Temperature, 47}};
    sim::Machine machine;
    machine.Drives = {warming, steady};
    Install(std::move(machine));
    StartResidentProgram();
    CreateDriveIcons();
    Callouts.RefreshDriveIcons = RefreshDriveIconsFromCycle;
    sim::AdvanceTime(60000);
    const auto entries = sim::ActiveTrayEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].Drawing.Text, "47");
    EXPECT_EQ(entries[1].Drawing.Text, "35");
}

// An entry the tray lost without a word refuses its update: the refresh adds it again.
TEST_F(TrayIcons, AnEntryTheTrayLostComesBackAtTheNextRefresh) {
    AddDrives({{"A", "", 40}, {"B", "", 41}});
    CreateDriveIcons();
    platform::NotifyIconData lost;
    lost.Id = DriveIconSlots[0]->Id;
    ASSERT_TRUE(platform::Shell_NotifyIcon(platform::NIM_DELETE, lost));
    const unsigned adds = sim::NotifyIconAddCalls();
    DriveForCommands(0).Temperature = 42;
    RefreshDriveIcons();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"A=42/green", "B=41/green"}));
    EXPECT_EQ(sim::NotifyIconAddCalls(), adds + 1);
}

// A cycle that was already under way when exit stopped the timer ends with its refresh: the icons stay
// out of the tray, until they are created again.
TEST_F(TrayIcons, ARefreshAfterTheIconsLeftForGoodAddsNone) {
    AddDrives({{"A", "", 40}, {"B", "", 41}});
    CreateDriveIcons();
    RemoveAllIcons();
    RefreshDriveIconsFromCycle();
    RefreshDriveIcons();
    EXPECT_TRUE(sim::ActiveTrayEntries().empty());
    CreateDriveIcons();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"A=40/green", "B=41/green"}));
}

// The last box has the main window's caption, as the report last set it.
TEST_F(TrayIcons, WaitsForTheTrayThenGivesUpAfterAMinute) {
    AddDrives({{"A", "", 40}});
    ASSERT_TRUE(CreateMainWindow());
    sim::ClickButton(platform::GetDlgItem(MainWindow, ExpertModeId));
    sim::FailNotifyIconAdds(5);
    CreateDriveIcons();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"A=40/green"}));
    EXPECT_EQ(sim::NotifyIconAddCalls(), 6u);
    EXPECT_EQ(platform::GetTickCount(), 500u);
    EXPECT_TRUE(sim::MessageBoxCalls().empty());

    DriveForCommands(0).SmartLost = true;  // the cycle due meanwhile leaves the made-up drive alone
    ASSERT_TRUE(StartMonitorTimer());
    ReleaseDriveIcons();
    sim::FailNotifyIconAdds(1000);
    CreateDriveIcons();
    EXPECT_EQ(sim::NotifyIconAddCalls(), 6u + 601u);  // at 0, 100, ... 60,000 ms
    EXPECT_EQ(platform::GetTickCount(), 500u + 60000u);
    EXPECT_EQ(sim::TimerCount(), 0u);
    const auto boxes = sim::MessageBoxCalls();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "KORVANTE did not find Windows Explorer!");
    EXPECT_EQ(boxes[0].Caption, "KORVANTE :: Expert mode");
    EXPECT_EQ(boxes[0].Caption, platform::GetWindowText(MainWindow));
    EXPECT_EQ(boxes[0].Flags, 0u);
    EXPECT_EQ(boxes[0].Owner, 0u);
    EXPECT_EQ(sim::ProcessExits(), std::vector<uint32_t>{0});
}

TEST_F(TrayIcons, BalloonGoesToTheIconInTheSlot) {
    AddDrives({{"A", "", 40}, {"B", "", 41}});
    CreateDriveIcons();
    ShowBalloon("KORVANTE :: Information", "The installation was completed successfully.", platform::NIIF_INFO, 1);
    ShowBalloon("title", "nothing there", platform::NIIF_INFO, 2);
    const auto balloons = sim::Balloons();
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(balloons[0].Id, DriveIconSlots[1]->Id);
    EXPECT_EQ(balloons[0].Title, "KORVANTE :: Information");
    EXPECT_EQ(balloons[0].Text, "The installation was completed successfully.");
    EXPECT_EQ(balloons[0].InfoFlags, 0x21u);
}

// Column x of the graph from top to bottom: '.' black, 'g' green, 'r' red.
std::string Column(const CpuGraph& graph, int x) {
    std::string column;
    for (const auto& row : graph.Pixels)
        column += row[x] == 0 ? '.' : row[x] == Rgb(0, 128, 0) ? 'g' : row[x] == Red ? 'r' : '?';
    return column;
}

TEST_F(TrayIcons, CpuGraphBarsScrollLeftAndSixFullSamplesPaintTheRedBlock) {
    const std::string full(16, 'g'), red(16, 'r'), black(16, '.');
    struct Case {
        std::vector<unsigned> loads;
        std::vector<std::string> lastColumns;  // columns 16 - n .. 15
        unsigned fullSamples;
    } cases[] = {
        {{0, 5, 6, 95, 96, 250}, {black, black, std::string(15, '.') + "g", "." + std::string(15, 'g'), full, full}, 2},
        {{100, 100, 100, 100, 100}, {black, full, full, full, full, full}, 5},
        {{100, 100, 100, 100, 100, 100}, {black, red, red, red, red, red, red}, 0},
        {{100, 100, 100, 100, 100, 100, 50}, {black, red, red, red, red, red, red, std::string(8, '.') + std::string(8, 'g')}, 0},
        {{100, 100, 100, 100, 100, 90, 100}, {full, full, full, full, full, "." + std::string(15, 'g'), full}, 1},
    };
    for (const Case& c : cases) {
        CpuGraph graph;
        for (unsigned load : c.loads) AddCpuSample(graph, load);
        const int first = CpuGraph::Size - static_cast<int>(c.lastColumns.size());
        for (int x = 0; x < CpuGraph::Size; ++x)
            EXPECT_EQ(Column(graph, x), x < first ? black : c.lastColumns[x - first]) << c.loads.size() << " samples, column " << x;
        EXPECT_EQ(graph.FullSamples, c.fullSamples);
    }
    EXPECT_EQ(CpuTooltip(42), "CPU usage - 42%");
}

}  // namespace
