// The settings at start-up and the settings dialog on the simulated windowing: first run, stored values,
// layout, the open mark, closing by any way, refused writes, and what a change sets off.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "device/DriveTableFill.h"
#include "platform/sim/SimDialogs.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/SimTray.h"
#include "platform/sim/SimWindowing.h"
#include "system/RegUtils.h"
#include "system/Settings.h"
#include "ui/CpuIcon.h"
#include "ui/Main.h"
#include "ui/Settings.h"
#include "ui/TrayIcons.h"

namespace {

using namespace platform;

const char* const Names[] = {"Fahrenheit", "ShowHottestDiskOnly", "ShowCPU_usage", "CheckUpdate"};
const SettingsControl Boxes[] = {FahrenheitBoxId, HottestDiskOnlyBoxId, CpuUsageBoxId, CheckUpdateBoxId};

class SettingsTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        ASSERT_TRUE(CreateMainWindow());
        ASSERT_TRUE(OpenSettingsKey());
    }
    void TearDown() override {
        ReleaseDriveIcons();
        MachineTest::TearDown();
    }
    // The four flags as 0/1, in storing order.
    static std::vector<int> Flags() {
        return {Settings.Fahrenheit, Settings.ShowHottestDiskOnly, Settings.ShowCPU_usage, Settings.CheckUpdate};
    }
    static void Store(const std::vector<uint32_t>& values) {
        for (size_t i = 0; i < values.size(); ++i) ASSERT_TRUE(SetRegistryDword(SettingsKey, Names[i], values[i]));
    }
    // The settings dialogs (no parent given) or a dialog's controls, destroyed ones included.
    static std::vector<sim::WindowRecord> Windows(HWnd parent = 0) {
        std::vector<sim::WindowRecord> found;
        for (const sim::WindowRecord& w : sim::WindowRecords())
            if (parent ? w.Parent == parent : w.Text == "KORVANTE :: Settings") found.push_back(w);
        return found;
    }
    // The modal loop notes the boxes' states as the dialog opens, then clicks the boxes of `clicks`.
    void ScriptClicks(std::vector<int> clicks) {
        sim::SetModalScript([this, clicks](HWnd dialog) {
            opening.clear();
            for (const SettingsControl id : Boxes) opening.push_back(sim::ChildRecord(dialog, id).Checked);
            for (const int i : clicks) sim::ClickButton(GetDlgItem(dialog, Boxes[i]));
        });
    }
    std::vector<int> opening;
    // Each four-byte REG_DWORD write under the settings key as "name=value"; other writes are left out.
    static std::vector<std::string> Writes() {
        std::vector<std::string> writes;
        for (const sim::RegistryWrite& w : sim::RegistryWrites())
            if (w.Key == "HKEY_LOCAL_MACHINE\\Software\\KORVANTE" && w.Type == REG_DWORD && w.Data.size() == 4)
                writes.push_back(w.Name + "=" + std::to_string(w.Data[0] | w.Data[1] << 8 | w.Data[2] << 16 | w.Data[3] << 24));
        return writes;
    }
};

// A fresh installation, or one value deleted: the dialog comes once, with the stored values and the
// missing ones at their defaults; closed untouched it stores all four, and the next start just reads.
TEST_F(SettingsTest, MissingValuesAskOnceWithTheOthersAsStored) {
    const struct { std::vector<uint32_t> stored; int missing; std::vector<int> shown; } cases[] = {
        {{}, -1, {0, 0, 0, 1}},  // fresh installation
        {{1, 1, 0, 0}, 0, {0, 1, 0, 0}},
        {{1, 1, 0, 0}, 1, {1, 0, 0, 0}},
        {{1, 1, 0, 0}, 2, {1, 1, 0, 0}},
        {{1, 1, 0, 0}, 3, {1, 1, 0, 1}},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        Store(c.stored);
        if (c.missing >= 0) {
            EXPECT_EQ(RegDeleteValue(SettingsKey, Names[c.missing]), ERROR_SUCCESS);
        }
        sim::ClearRegistryWrites();
        ScriptClicks({});
        LoadSettings();
        EXPECT_EQ(opening, c.shown) << c.missing;
        std::vector<std::string> writes;
        for (size_t i = 0; i < 4; ++i) writes.push_back(Names[i] + ("=" + std::to_string(c.shown[i])));
        EXPECT_EQ(Writes(), writes) << c.missing;
        ResetSettings();  // the next start
        ASSERT_TRUE(OpenSettingsKey());
        LoadSettings();
        EXPECT_EQ(Windows().size(), 1u) << c.missing;
        EXPECT_EQ(Flags(), c.shown) << c.missing;
    }
}

TEST_F(SettingsTest, StoredValuesReadAsTheirLowestByteAndOthersAsZero) {
    const struct { const char* name; uint32_t type; std::vector<uint8_t> data; int flag; } cases[] = {
        {"one", REG_DWORD, {1, 0, 0, 0}, 1},
        {"high bytes only", REG_DWORD, {0, 1, 0, 0}, 0},
        {"lowest byte and more", REG_DWORD, {2, 0, 0, 0x80}, 1},
        {"short", REG_DWORD, {1, 0}, 0},
        {"long", REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0}, 0},
        {"text", REG_SZ, {'1', 0}, 0},
        {"binary", REG_BINARY, {1, 0, 0, 0}, 0},
    };
    for (const auto& c : cases) {
        Store({0, 1, 1, 1});
        ASSERT_EQ(RegSetValueEx(SettingsKey, "Fahrenheit", c.type, c.data), ERROR_SUCCESS);
        Settings.Fahrenheit = !c.flag;
        LoadSettings();
        EXPECT_TRUE(Windows().empty()) << c.name;  // present, whatever its type
        EXPECT_EQ(Flags(), std::vector<int>({c.flag, 1, 1, 1})) << c.name;
    }
}

TEST_F(SettingsTest, DialogIsLaidOutAroundItsCaptions) {
    sim::SetModalScript([](HWnd dialog) { EXPECT_TRUE(IsWindowVisible(dialog)); });
    RunSettingsDialog(false);
    const sim::WindowRecord d = Windows().at(0);
    EXPECT_EQ(d.Parent, MainWindow);
    EXPECT_EQ(d.ExStyle, WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_TOPMOST);
    EXPECT_EQ(d.Style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), WS_CAPTION | WS_SYSMENU);
    EXPECT_TRUE(sim::WindowIconRemoved(d.Handle));
    EXPECT_EQ(d.FontFace + std::to_string(d.FontHeight), "MS Sans Serif-11");
    const std::vector<sim::WindowRecord> boxes = Windows(d.Handle);
    const int ys[] = {17, 41, 65, 89};
    ASSERT_EQ(boxes.size(), 4u);
    int widest = 0;
    for (size_t i = 0; i < 4; ++i) {
        const sim::WindowRecord& box = boxes[i];
        const int width = sim::CheckMarkSize + 6 + sim::CharacterWidth * static_cast<int>(box.Text.size());
        EXPECT_EQ(std::vector<int>({box.X, box.Y, box.Width, box.Height}), std::vector<int>({20, ys[i], width, 13})) << box.Text;
        EXPECT_EQ(box.Style & 0xF, BS_AUTOCHECKBOX);
        EXPECT_EQ(box.FontFace + std::to_string(box.FontHeight), "MS Sans Serif-11");
        widest = std::max(widest, width);
    }
    EXPECT_EQ(boxes[0].Text + "|" + boxes[1].Text + "|" + boxes[2].Text + "|" + boxes[3].Text,
              "Use Fahrenheit temperature scale|Show the icon of the hottest disk only|Show CPU usage|Check for updates");
    EXPECT_EQ(widest, 13 + 6 + 6 * 38);  // the hottest-disk box
    const int width = widest + 20 + 8;  // the simulated frame adds nothing to the client area
    EXPECT_EQ(std::vector<int>({d.X, d.Y, d.Width, d.Height}),
              std::vector<int>({(1024 - width) / 2, (728 - 125) / 2, width, 125}));  // in the work area
}

// While the loop runs the dialog is marked open, the main window is disabled and a second "Settings"
// opens nothing; closing by any way stores the boxes and clears the mark.
TEST_F(SettingsTest, DialogIsMarkedOpenDuringItsLoopAndStoresHoweverItCloses) {
    const struct { const char* name; void (*close)(HWnd); } ways[] = {
        {"left to the loop", [](HWnd) {}},
        {"close button", [](HWnd d) { SendMessage(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"posted close", [](HWnd d) { PostMessage(d, WM_CLOSE, 0, 0); }},
        {"destroyed", [](HWnd d) { DestroyWindow(d); }},
    };
    for (const auto& way : ways) {
        TearDown();
        SetUp();
        int loops = 0;
        sim::SetModalScript([&way, &loops](HWnd dialog) {
            if (++loops > 1) return;  // a second dialog, which the check below counts
            EXPECT_EQ(SettingsDialog, dialog) << way.name;
            EXPECT_FALSE(IsWindowEnabled(MainWindow)) << way.name;
            RunSettingsCommand();  // refused: already open
            sim::ClickButton(GetDlgItem(dialog, FahrenheitBoxId));
            way.close(dialog);
        });
        RunSettingsCommand();
        EXPECT_EQ(Windows().size(), 1u) << way.name;
        EXPECT_EQ(SettingsDialog, 0u) << way.name;
        EXPECT_TRUE(IsWindowEnabled(MainWindow)) << way.name;
        EXPECT_EQ(Writes(), std::vector<std::string>({"Fahrenheit=1", "ShowHottestDiskOnly=0", "ShowCPU_usage=0",
                                                      "CheckUpdate=1"})) << way.name;
    }
}

TEST_F(SettingsTest, RefusedWritesLeaveTheRegistryButSetTheFlags) {
    for (unsigned allowed = 0; allowed <= 4; ++allowed) {
        Store({0, 0, 0, 0});
        sim::ClearRegistryWrites();
        sim::StopRegistryWritesAfter(allowed);
        ScriptClicks({0, 1, 2, 3});
        RunSettingsDialog(false);
        sim::StopRegistryWritesAfter(sim::NoWriteLimit);
        EXPECT_EQ(Flags(), std::vector<int>({1, 1, 1, 1})) << allowed;
        for (unsigned i = 0; i < 4; ++i) EXPECT_EQ(RegistryDword(SettingsKey, Names[i]), i < allowed ? 1u : 0u) << allowed;
    }
}

// The first run's dialog leaves the processor-load icon to the start-up that follows it.
TEST_F(SettingsTest, ShowCpuUsageChangeStartsOrStopsTheCpuIconAfterALaterDialog) {
    const struct { const char* name; bool firstRun; uint32_t stored; bool click; bool shown; } cases[] = {
        {"switched on", false, 0, true, true},
        {"switched off", false, 1, true, false},
        {"left on", false, 1, false, true},
        {"first run, ticked", true, 0, true, false},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        Store({0, 0, c.stored, 1});
        Settings.ShowCPU_usage = c.stored != 0;
        if (c.stored) StartCpuIcon();
        ScriptClicks(c.click ? std::vector<int>{2} : std::vector<int>{});
        RunSettingsDialog(c.firstRun);
        const std::vector<sim::TrayEntry> shown = sim::ActiveTrayEntries();
        EXPECT_EQ(shown.size(), c.shown ? 1u : 0u) << c.name;
        EXPECT_EQ(sim::WorkersStarted(), c.shown || c.stored ? 1u : 0u) << c.name << ": the sampler";
    }
}

TEST_F(SettingsTest, SettingsCommandRedrawsTheDriveIconsInTheNewUnit) {
    auto drive = std::make_unique<DriveRecord>();
    drive->Model = "M";
    drive->Temperature = 40;
    drive->TemperatureLimit = 50;
    AddDrive(std::move(drive), {});
    CreateDriveIcons();
    ASSERT_EQ(sim::ActiveTrayEntries().at(0).Drawing.Text, "40");
    ScriptClicks({0});
    RunSettingsCommand();
    EXPECT_EQ(sim::ActiveTrayEntries().at(0).Drawing.Text, "104");
}

}  // namespace
