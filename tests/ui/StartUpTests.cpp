// The program's start-up on the simulated machine: the checks that end it, the diagnostic mode
// without drives, the resident start with its first-start registration, and device changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "TestMachine.h"
#include "discovery/Scan.h"
#include "monitor/Monitor.h"
#include "net/Installer.h"
#include "net/NetCalls.h"
#include "platform/Registry.h"
#include "platform/Storage.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimGraphBitmap.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimSystem.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/SimTray.h"
#include "platform/sim/SimUserInterface.h"
#include "platform/sim/SimWindowing.h"
#include "platform/sim/SimWorld.h"
#include "system/RegUtils.h"
#include "system/Settings.h"
#include "ui/Main.h"
#include "ui/ProcessState.h"

namespace {

using namespace platform;

class StartUp : public MachineTest {
protected:
    int Run(unsigned drives, ProgramKind kind = ProgramKind::Simulated) {
        sim::Machine& m = Install({});
        for (unsigned i = 0; i < drives; ++i) m.Drives.push_back(testmachine::SataDrive("S" + std::to_string(i), i + 1));
        return RunProgram("", kind);
    }
    static std::vector<uint32_t> Exits() { return sim::ProcessExits(); }
    // The settings a later start finds, the processor-load icon switched on.
    static void StoreSettingsWithCpuIcon() {
        ASSERT_TRUE(OpenSettingsKey());
        for (const char* name : {"Fahrenheit", "ShowHottestDiskOnly", "CheckUpdate"}) SetRegistryDword(SettingsKey, name, 0);
        SetRegistryDword(SettingsKey, "ShowCPU_usage", 1);
        SetRegistryDword(SettingsKey, "InstallationSuccess", 1);
        ResetProcessState();
    }
    static std::vector<uint32_t> ActiveIds() {
        std::vector<uint32_t> ids;
        for (const sim::TrayEntry& e : sim::ActiveTrayEntries()) ids.push_back(e.Id);
        return ids;
    }
};

// A failed check shows its one box and ends the process before anything is written or scanned.
TEST_F(StartUp, FailedChecksShowTheirBoxAndLeaveNothingBehind) {
    const struct { const char* name; unsigned major, minor; bool administrator; const char* text; } cases[] = {
        {"Vista", 6, 0, true, "KORVANTE requires the operating system \"Windows 7\" or higher."},
        {"no rights", 10, 0, false, "Run as administrator is required."},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        sim::SetOsVersion({c.major, c.minor, 7600, VER_PLATFORM_WIN32_NT, ""});
        sim::SetAdministrator(c.administrator);
        Run(1);
        ASSERT_EQ(sim::MessageBoxCalls().size(), 1u) << c.name;
        const sim::MessageBoxCall box = sim::MessageBoxCalls().front();
        EXPECT_EQ(box.Text, c.text) << c.name;
        EXPECT_EQ(box.Caption, "KORVANTE :: Information") << c.name;
        EXPECT_EQ(box.Flags, 0x50010u) << c.name;
        EXPECT_EQ(box.Owner, MainWindow) << c.name;
        EXPECT_EQ(Exits(), std::vector<uint32_t>{0}) << c.name;
        EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, "Software\\KORVANTE")) << c.name;
        EXPECT_EQ(Drive(0).RequestCount(), 0u) << c.name;
        EXPECT_EQ(sim::TimerCount(), 0u) << c.name;
    }
}

TEST_F(StartUp, WithoutDrivesOnlyPublishIsLiveAndTheWindowStaysResizable) {
    EXPECT_EQ(Run(0), -1);  // the simulated message loop ends with nothing left to do
    EXPECT_EQ(GetWindowText(ReportBox), "S.M.A.R.T. is not available! Please publish the KORVANTE data.");
    for (uint32_t id = ExpertModeId; id <= TuningId; ++id)
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(MainWindow, id)), id == PublishId) << id;
    EXPECT_TRUE(IsWindowVisible(MainWindow));
    EXPECT_EQ(GetWindowLong(MainWindow, GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX), WS_THICKFRAME | WS_MAXIMIZEBOX);
    EXPECT_TRUE(sim::ActiveTrayEntries().empty());
    EXPECT_EQ(sim::TimerCount(), 0u);
    EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, "Software\\KORVANTE"));
}

TEST_F(StartUp, TheResidentProgramStartsHiddenWithIconsTimerAndItsFirstStartRegistration) {
    sim::AddFile(GetTempPath() + "KORVANTE.exe");
    Run(2);
    EXPECT_FALSE(IsWindowVisible(MainWindow));
    EXPECT_EQ(GetWindowLong(MainWindow, GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0u);
    EXPECT_EQ(sim::ActiveTrayEntries().size(), 2u);
    EXPECT_EQ(sim::TimerCount(), 1u);
    EXPECT_EQ(sim::Current().InterfaceNotifications, std::vector<std::uintptr_t>{MainWindow});
    EXPECT_FALSE(sim::FileExists(GetTempPath() + "KORVANTE.exe"));
    EXPECT_EQ(sim::WorkingSetTrims(), 1u);
    EXPECT_EQ(RegistryDword(SettingsKey, "InstallationSuccess"), 1u);
    ASSERT_EQ(sim::Balloons().size(), 1u);
    EXPECT_EQ(sim::Balloons()[0].Text, "The installation was completed successfully.");
    EXPECT_EQ(sim::Balloons()[0].Title, "KORVANTE :: Information");
    EXPECT_EQ(sim::Balloons()[0].InfoFlags, 0x21u);  // information, large icon

    sim::AdvanceTime(60000);  // the cycle refreshes the icons
    EXPECT_EQ(CycleCounter, 1u);

    // The next start is not the first: no balloon.
    TearDown();
    SetUp();
    sim::Machine& m = Install({});
    m.Drives.push_back(testmachine::SataDrive("S0", 1));
    OpenSettingsKey();
    SetRegistryDword(SettingsKey, "InstallationSuccess", 1);
    ResetProcessState();
    RunProgram("", ProgramKind::Simulated);
    EXPECT_TRUE(sim::Balloons().empty());
}

// The entries of a struct of function pointers, each filled or empty: read as the pointers it is
// made of, so that an entry added later is counted without this test knowing its name.
template <typename Calls>
std::vector<bool> Filled(const Calls& calls) {
    using Entry = void (*)();
    static_assert(sizeof(Calls) % sizeof(Entry) == 0, "function pointers only");
    std::vector<bool> filled;
    for (size_t at = 0; at < sizeof(Calls); at += sizeof(Entry)) {
        Entry entry = nullptr;
        std::memcpy(&entry, reinterpret_cast<const char*>(&calls) + at, sizeof entry);
        filled.push_back(entry != nullptr);
    }
    return filled;
}

// The lower layers' calls into the user interface are all connected by the start-up, whichever way it
// ends, and the process's reset empties them again.
TEST_F(StartUp, StartUpConnectsEveryCallOfTheLowerLayers) {
    for (const unsigned drives : {1u, 0u}) {
        TearDown();
        SetUp();
        const std::vector<bool> monitor = Filled(Callouts), network = Filled(NetCalls);
        EXPECT_EQ(std::count(monitor.begin(), monitor.end(), true) + std::count(network.begin(), network.end(), true), 0);
        Run(drives);
        EXPECT_EQ(Filled(Callouts), std::vector<bool>(monitor.size(), true)) << drives;
        EXPECT_EQ(Filled(NetCalls), std::vector<bool>(network.size(), true)) << drives;
        ResetProcessState();
        EXPECT_EQ(Filled(Callouts), monitor) << drives;
        EXPECT_EQ(Filled(NetCalls), network) << drives;
    }
}

// After the world's and the process's reset the program starts as it did the first time: nothing of
// the run before (icon identifiers, the caption, a restart asked for) is left over.
TEST_F(StartUp, AfterTheResetTheProgramStartsAsTheFirstTime) {
    const auto run = [this] {
        Run(2, ProgramKind::RestartedByRunner);
        std::ostringstream seen;
        seen << "caption '" << MainWindowCaption() << "' restart " << RestartRequested() << "\n";
        sim::ClickButton(GetDlgItem(MainWindow, ExpertModeId));
        for (const sim::TrayEntry& e : sim::TrayEntries()) seen << "tray " << e.Id << " " << e.Tip << " " << e.Active << "\n";
        for (const sim::WindowRecord& w : sim::WindowRecords())
            seen << "window " << w.Handle << " " << w.Class << " '" << w.Text << "' " << w.Visible << "\n";
        DeviceBroadcast arrival{DBT_DEVTYP_DEVICEINTERFACE, 0};
        SendMessage(MainWindow, WM_DEVICECHANGE, 0x8000, reinterpret_cast<LParam>(&arrival));
        seen << "caption '" << MainWindowCaption() << "' restart " << RestartRequested() << " timers " << sim::TimerCount()
             << " icons " << sim::ActiveTrayEntries().size() << "\n";
        return seen.str();
    };
    const std::string first = run();
    ASSERT_NE(first.find("restart 1 timers 0 icons 0"), std::string::npos) << first;
    sim::ResetWorld();
    ResetProcessState();
    EXPECT_EQ(run(), first);
}

// KORVANTE-sim.exe's drives never change: a device change leaves it running as it was. (The runner's
// restart: below; the installed copy's restart through its logon task: the installer's tests.)
TEST_F(StartUp, TheSimulatedProgramIgnoresDeviceChanges) {
    Run(1, ProgramKind::Simulated);
    DeviceBroadcast arrival{DBT_DEVTYP_DEVICEINTERFACE, 0};
    for (const WParam event : {0x8000u, 0x8004u, 0x8002u})
        SendMessage(MainWindow, WM_DEVICECHANGE, event, reinterpret_cast<LParam>(&arrival));
    EXPECT_FALSE(RestartRequested());
    EXPECT_EQ(sim::ActiveTrayEntries().size(), 1u);
    EXPECT_EQ(sim::TimerCount(), 1u);
}

// Ejecting a drive: each drive's handle notification goes to the main window, whose answer to the
// query closes that drive's handle, so Windows lets the drive go and the program restarts. A handle
// open elsewhere makes Windows refuse, which restarts the program all the same.
TEST_F(StartUp, SafeRemovalFindsTheDriveHandleClosed) {
    const struct { const char* name; bool otherHandle; bool removed; } cases[] = {
        {"only the program's handle", false, true},
        {"another handle open", true, false},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        Run(2, ProgramKind::RestartedByRunner);
        const Handle kept = DriveForCommands(0).Handle, ejected = DriveForCommands(1).Handle;
        EXPECT_EQ(sim::Current().Notifications,
                  (std::vector<sim::HandleNotification>{{MainWindow, kept}, {MainWindow, ejected}})) << c.name;
        const Handle other = c.otherHandle ? CreateFile(Drive(1).DevicePath) : INVALID_HANDLE_VALUE;
        EXPECT_EQ(sim::RequestDeviceRemoval(1), c.removed) << c.name;
        EXPECT_EQ(static_cast<Handle>(DriveForCommands(1).Handle), 0u) << c.name;
        EXPECT_EQ(static_cast<Handle>(DriveForCommands(0).Handle), kept) << c.name;
        EXPECT_TRUE(RestartRequested()) << c.name;
        EXPECT_EQ(sim::TimerCount(), 0u) << c.name;
        bool on = false;
        EXPECT_EQ(GetDevicePowerState(other, on), !c.removed) << c.name;  // the drive still answers
        CloseHandle(other);
    }
}

TEST_F(StartUp, AfterExplorerRestartsEveryIconIsInTheTrayAgain) {
    StoreSettingsWithCpuIcon();
    Run(2);
    ASSERT_TRUE(sim::WaitForGraphIcons(1));
    const std::vector<uint32_t> shown = ActiveIds();
    ASSERT_EQ(shown.size(), 3u);  // two drives and the processor load
    sim::RestartExplorer();
    EXPECT_EQ(ActiveIds(), shown);
    for (const sim::WindowRecord& w : sim::WindowRecords())  // Explorer runs with fewer rights
        if (w.Handle == MainWindow)
            EXPECT_EQ(w.AllowedMessages, std::vector<uint32_t>{RegisterWindowMessage("TaskbarCreated")});
}

// Whatever ends or restarts the program, the monitoring timer stops and no icon of it stays behind.
TEST_F(StartUp, EndingOrRestartingLeavesNoIconInTheTray) {
    const struct { const char* name; void (*end)(); } ways[] = {
        {"Exit", [] { SendMessage(MainWindow, WM_CLOSE, 0, 0); }},
        {"a drive arrives", [] {
             DeviceBroadcast arrival{DBT_DEVTYP_DEVICEINTERFACE, 0};
             SendMessage(MainWindow, WM_DEVICECHANGE, 0x8000, reinterpret_cast<LParam>(&arrival));
         }},
        {"the installer's restart", RestartViaTask},
    };
    for (const auto& way : ways) {
        TearDown();
        SetUp();
        StoreSettingsWithCpuIcon();
        Run(2, ProgramKind::RestartedByRunner);
        ASSERT_TRUE(sim::WaitForGraphIcons(1)) << way.name;
        way.end();
        EXPECT_TRUE(sim::ActiveTrayEntries().empty()) << way.name;
        EXPECT_EQ(sim::TimerCount(), 0u) << way.name;
    }
}

}  // namespace
