// The tray menu and the mouse on the tray icons, through the main window of a program without drives;
// the processor-load icon's sampler on a simulated worker; and the first start's registration that
// keeps the icons in view, on the simulated registry and Explorer.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "device/DriveTableFill.h"
#include "device/DiagnosticLog.h"
#include "monitor/Alerts.h"
#include "platform/Time.h"
#include "platform/UserInterface.h"
#include "platform/sim/SimExplorer.h"
#include "platform/sim/SimGraphBitmap.h"
#include "platform/sim/SimMenus.h"
#include "platform/sim/SimNetwork.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimShell.h"
#include "platform/sim/SimSystem.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/SimTray.h"
#include "platform/sim/SimUserInterface.h"
#include "platform/sim/SimWindowing.h"
#include "platform/sim/SimWorld.h"
#include "system/OSInfo.h"
#include "system/Settings.h"
#include "ui/CpuIcon.h"
#include "ui/FirstRunTray.h"
#include "ui/Main.h"
#include "ui/TrayIcons.h"
#include "ui/TrayMenu.h"

namespace {

using namespace platform;

class TrayMenuTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        ASSERT_TRUE(CreateMainWindow());
        ShowWindow(MainWindow, SW_SHOW);
        ApplicationWindow = MainWindow;
        ASSERT_TRUE(CreateTrayMenu());
    }
    void TearDown() override {
        ReleaseDriveIcons();
        MachineTest::TearDown();
    }
    // What the commands did, in a few words: the report built, the settings dialog shown, the vendor's
    // version asked for, the process ended, and what the shell was asked to open.
    static std::string Effects() {
        std::string effects;
        if (!GetWindowText(ReportBox).empty()) effects += "report ";
        for (const sim::WindowRecord& w : sim::WindowRecords())
            if (w.Text == "KORVANTE :: Settings") effects += "settings ";
        for (const sim::UrlRequest& r : sim::UrlRequests()) effects += "asks " + r.Url + " ";
        if (!sim::ProcessExits().empty()) effects += "ends ";
        for (const sim::ShellRequest& r : sim::ShellRequests())
            effects += r.Verb + " " + r.File + " " + std::to_string(r.ShowCommand) + " ";
        return effects;
    }
};

TEST_F(TrayMenuTest, MenuHoldsItsItemsInOrder) {
    std::vector<std::string> items;
    for (const sim::MenuItem& item : sim::MenuItems(TrayMenu))
        items.push_back(item.Flags == MF_SEPARATOR ? "-" : std::to_string(item.Id) + ":" + item.Text);
    EXPECT_EQ(items, (std::vector<std::string>{"200:Open", "-", "201:Settings", "202:Help", "203:Update", "-", "204:Exit"}));
}

TEST_F(TrayMenuTest, EachPickedItemDoesItsCommand) {
    const std::pair<uint32_t, std::string> cases[] = {
        {TrayOpenId, "report "}, {TraySettingsId, "settings "}, {TrayUpdateId, "asks https://www.korvante.com/version.txt "},
        {TrayExitId, "ends "}, {TrayHelpId, "open https://www.korvante.com/help.htm 5 "},
        {0, ""},  // a separator cannot be picked
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        sim::PickMenuItem(c.first);
        SendMessage(MainWindow, TrayCallbackMessage, 1, WM_RBUTTONUP);
        sim::PumpPostedMessages();
        EXPECT_EQ(Effects(), c.second) << c.first;
        EXPECT_TRUE(IsWindowVisible(MainWindow)) << c.first;
    }
    EXPECT_FALSE(OnTrayMenuCommand(TuningId));
}

TEST_F(TrayMenuTest, RightButtonPopsUpTheMenuAtTheCursorLeftButtonOpensTheReport) {
    struct Case {
        uint32_t mouse;
        bool handled;
        size_t popups;
        const char* effects;
    } cases[] = {
        {WM_RBUTTONDOWN, true, 1, ""},     {WM_RBUTTONUP, true, 1, ""},     {WM_LBUTTONDOWN, true, 0, "report "},
        {WM_LBUTTONDBLCLK, true, 0, "report "}, {0x0202 /* left up */, false, 0, ""}, {0x0200 /* move */, false, 0, ""},
    };
    for (const Case& c : cases) {
        TearDown();
        SetUp();
        sim::SetCursorPosition(1800, 1050);
        EXPECT_EQ(OnTrayIconMessage(3, c.mouse), c.handled) << c.mouse;
        const auto popups = sim::Popups();
        ASSERT_EQ(popups.size(), c.popups) << c.mouse;
        if (!popups.empty()) {
            EXPECT_EQ(std::vector<uintptr_t>({popups[0].Menu, uintptr_t(popups[0].X), uintptr_t(popups[0].Y), popups[0].Window}),
                      std::vector<uintptr_t>({TrayMenu, 1800, 1050, MainWindow}));
            EXPECT_EQ(sim::ForegroundWindow(), MainWindow);
        }
        EXPECT_TRUE(IsWindowVisible(MainWindow)) << c.mouse;
        EXPECT_EQ(Effects(), c.effects) << c.mouse;
    }
}

// Column x of a graph icon from top to bottom: '.' black, 'g' green, 'r' red.
std::string Column(const sim::GraphImage& pixels, int x) {
    std::string column;
    for (const auto& row : pixels) column += row[x] == 0 ? '.' : row[x] == Rgb(0, 128, 0) ? 'g' : row[x] == Rgb(255, 0, 0) ? 'r' : '?';
    return column;
}

TEST_F(TrayMenuTest, SamplerDrawsTheLoadEverySecondUntilStopped) {
    constexpr uint64_t Second = 10000000;
    const std::string black(16, '.'), green(16, 'g'), red(16, 'r'), half = std::string(8, '.') + std::string(8, 'g');
    struct Case {
        sim::ProcessorLoad load;
        const char* tip;
        std::vector<std::string> fifthIcon, sixthIcon;  // columns 10..15
    } cases[] = {
        {{0, Second, 0}, "CPU usage - 100%", {black, green, green, green, green, green}, {red, red, red, red, red, red}},
        {{Second / 2, Second / 2, Second / 2}, "CPU usage - 50%", {black, half, half, half, half, half}, {half, half, half, half, half, half}},
    };
    for (const Case& c : cases) {
        sim::ResetGraphBitmaps();
        sim::Machine m;
        m.NumberOfProcessors = 1;
        Install(m);
        sim::SetProcessorLoads({c.load});
        InitOSInfo();
        const uint32_t start = GetTickCount();
        StartCpuIcon();
        ASSERT_TRUE(sim::WaitForGraphIcons(6));
        StopCpuIcon();
        const size_t drawn = sim::GraphIcons().size();
        const uint32_t stopped = GetTickCount();
        sim::WaitForWorkers();
        EXPECT_EQ(GetTickCount(), stopped) << "the sampler ended before StopCpuIcon returned";
        const uint32_t elapsed = GetTickCount() - start;  // a last measurement may have been cut short
        EXPECT_TRUE(elapsed == 1000u * drawn || elapsed == 1000u * (drawn + 1)) << elapsed << " ms, " << drawn << " icons";

        const auto icons = sim::GraphIcons();
        for (int x = 0; x < 16; ++x) {
            EXPECT_EQ(Column(icons[4].Pixels, x), x < 10 ? black : c.fifthIcon[x - 10]) << c.tip << ", fifth, column " << x;
            EXPECT_EQ(Column(icons[5].Pixels, x), x < 10 ? black : c.sixthIcon[x - 10]) << c.tip << ", sixth, column " << x;
        }
        const auto entries = sim::TrayEntries();
        ASSERT_FALSE(entries.empty());
        EXPECT_EQ(entries.back().Tip, c.tip);
        EXPECT_FALSE(entries.back().Active);
        EXPECT_EQ(sim::LiveIcons() + sim::LiveGraphBitmaps(), 0u) << "icon and bitmap freed";
    }
}

TEST_F(TrayMenuTest, WithoutALoadSourceTheSettingIsSwitchedOffAndStored) {
    sim::SetNtQuerySystemInformationPresent(false);
    ASSERT_TRUE(OpenSettingsKey());
    Settings.ShowCPU_usage = true;
    StartCpuIcon();
    EXPECT_FALSE(Settings.ShowCPU_usage);
    EXPECT_NE(GlobalLogText().find("DEBUG - NtQuerySystemInformation not supported."), std::string::npos);
    const auto writes = sim::RegistryWrites();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].Key + "|" + writes[0].Name, "HKEY_LOCAL_MACHINE\\Software\\KORVANTE|ShowCPU_usage");
    EXPECT_EQ(writes[0].Data, (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_TRUE(sim::TrayEntries().empty());
    EXPECT_EQ(sim::WorkersStarted(), 0u);
}

void PutValue(const std::string& path, const std::string& name, uint32_t type, const std::vector<uint8_t>& data) {
    HKey key = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, path, KEY_ALL_ACCESS, key), ERROR_SUCCESS);
    RegSetValueEx(key, name, type, data);
    RegCloseKey(key);
}

std::vector<uint8_t> Text(const std::string& s) { return std::vector<uint8_t>(s.c_str(), s.c_str() + s.size() + 1); }

const char IconSettings[] = "Control Panel\\NotifyIconSettings";
const char Installed[] = "{7C5A40EF-A0FB-4BFC-874A-C0F2E0B9FA8E}\\KORVANTE\\KORVANTE.exe";

TEST_F(TrayMenuTest, FirstRunPromotesTheProgramsIconSettingsEntry) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> entries;  // subkey, ExecutablePath
        const char* promoted;                                      // none: Explorer is restarted
    } cases[] = {
        {{{"111", "C:\\Other.exe"}, {"222", Installed}, {"333", Installed}}, "222"},
        {{{"111", "{7C5A40EF-A0FB-4BFC-874A-C0F2E0B9FA8E}\\KORVANTE\\korvante.exe"}}, nullptr},  // case counts
        {{}, nullptr},
    };
    for (const Case& c : cases) {
        sim::ResetWorld();
        sim::SetExplorer({true, 2024, false, 0});
        for (const auto& e : c.entries) PutValue(std::string(IconSettings) + "\\" + e.first, "ExecutablePath", REG_SZ, Text(e.second));
        sim::ClearRegistryWrites();
        FirstRunTrayRegistration();
        std::string written;
        for (const sim::RegistryWrite& w : sim::RegistryWrites()) written += w.Key + "|" + w.Name + "=" + std::to_string(w.Data.at(0));
        SCOPED_TRACE(c.entries.size());
        EXPECT_EQ(written, c.promoted ? std::string("HKEY_CURRENT_USER\\") + IconSettings + "\\" + c.promoted + "|IsPromoted=1" : "");
        EXPECT_EQ(sim::ExplorerExitRequests(), c.promoted ? 0u : 1u);
        EXPECT_EQ(sim::MessageBoxCalls().size(), c.promoted ? 0u : 1u);
    }
}

TEST_F(TrayMenuTest, ExplorerRestartSetsTheIconToAlwaysShow) {
    const std::string trayNotify = "SOFTWARE\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\TrayNotify";
    struct Case {
        const char* what;
        bool endsWhenAsked;
        size_t tail;  // bytes after the pattern's start
        bool patched;
        uint32_t waitedMs;
    } cases[] = {
        {"Explorer ends", true, 600, true, 400},
        {"visibility byte past the value's end", true, 528, false, 400},
        {"Explorer stays", false, 600, false, 10000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReleaseDriveIcons();
        DriveIconSlots.clear();
        ClearDriveTable();
        sim::ResetWorld();
        ApplicationWindow = MainWindow = 0;
        sim::SetExplorer({true, 2024, c.endsWhenAsked, 400});
        auto drive = std::make_unique<DriveRecord>();
        drive->Model = "M";
        drive->Temperature = 40;
        AddDrive(std::move(drive), {});
        CreateDriveIcons();
        std::vector<uint8_t> streams(44, 0x11);  // a header and another program's entry
        for (const char ch : std::string("{7P5N40RS-N0SO-4OSP-874N-P0S2R0O9SN8R}\\XBEINAGR\\XBEINAGR.rkr"))
            streams.insert(streams.end(), {static_cast<uint8_t>(ch), 0});  // the installed path, ROT13, UTF-16
        streams.resize(44 + c.tail, 0x01);
        PutValue(trayNotify, "IconStreams", REG_BINARY, streams);
        sim::ClearRegistryWrites();
        const uint32_t start = GetTickCount();

        FirstRunTrayRegistration();
        EXPECT_EQ(GetTickCount() - start, c.waitedMs);
        EXPECT_EQ(sim::ProcessOpenRights(), std::vector<uint32_t>{PROCESS_ALL_ACCESS});
        const auto boxes = sim::MessageBoxCalls();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].Text + "|" + boxes[0].Caption + "|" + std::to_string(boxes[0].Flags),  // 0x50030
                  "Windows Explorer will be restarted to complete the installation.|KORVANTE :: Information|327728");
        const auto writes = sim::RegistryWrites();
        ASSERT_EQ(writes.size(), c.patched ? 1u : 0u);
        if (c.patched) {
            streams[44 + 528] = 2;
            EXPECT_EQ(writes[0].Name, "IconStreams");
            EXPECT_EQ(writes[0].Data, streams);
        }
        const auto shell = sim::ShellRequests();
        ASSERT_EQ(shell.size(), 1u);
        EXPECT_EQ(shell[0].File + "|" + std::to_string(shell[0].ShowCommand), "C:\\Windows\\explorer.exe|0") << "hidden";
        // The old icon left the tray before Explorer was asked to exit; it comes back only with a new Explorer.
        std::string shown;
        for (const sim::TrayEntry& e : sim::TrayEntries()) shown += e.Drawing.Text + (e.Active ? "+ " : "- ");
        EXPECT_EQ(shown, c.endsWhenAsked ? "40- 40+ " : "40- ");
    }
}

}  // namespace
