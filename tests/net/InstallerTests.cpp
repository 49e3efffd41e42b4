// The program as its own installer on the simulated machine: a fresh installation, the installed copy
// reached through any form of its path, the single instance, updates with and without the licence
// agreement, the uninstallation and paths that are awkward to put into command lines.
#include <gtest/gtest.h>

#include "TestMachine.h"
#include "net/Installer.h"
#include "platform/FileVersion.h"
#include "platform/Installation.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/Storage.h"
#include "platform/sim/SimDialogs.h"
#include "platform/sim/SimExplorer.h"
#include "platform/sim/SimInstallation.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimShell.h"
#include "platform/sim/SimSystem.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/SimTray.h"
#include "platform/sim/SimTrust.h"
#include "platform/sim/SimUserInterface.h"
#include "platform/sim/SimWindowing.h"
#include "system/FileUtils.h"
#include "system/RegUtils.h"
#include "system/Settings.h"
#include "ui/Main.h"
#include "ui/ProcessState.h"

namespace {

using namespace platform;

// The system's programs, by their full paths in the simulated system folder.
const std::string Schtasks = "C:\\Windows\\system32\\schtasks.exe ";
const std::string Cmd = "C:\\Windows\\system32\\cmd.exe /D /S /C ";

// The deleting batch's text for these paths (as they stand in it, '%' doubled).
std::string DeletingBatch(const std::string& executable, const std::string& folder, const std::string& batch) {
    const std::string file = "\"" + executable + "\"";
    return "@echo off\r\nsetlocal DisableDelayedExpansion\r\nset /a tries=0\r\n:Loop\r\ndel /F /Q " + file +
           "\r\nif not exist " + file + " goto Gone\r\nset /a tries+=1\r\nif %tries% geq 300 goto Gone\r\n"
           "\"C:\\Windows\\system32\\ping.exe\" -n 2 127.0.0.1 > nul\r\ngoto Loop\r\n:Gone\r\n" +
           (folder.empty() ? "" : "rd /Q \"" + folder + "\"\r\n") + "del \"" + batch + "\"";
}

constexpr char ProgramFiles[] = "C:\\Program Files (x86)";
constexpr char Installed[] = "C:\\Program Files (x86)\\KORVANTE\\KORVANTE.exe";
constexpr char Download[] = "C:\\Users\\User\\AppData\\Local\\Temp\\KORVANTE.exe";
constexpr char UninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\UnInstall\\KORVANTE";
constexpr FixedFileVersion V7710{0x00020000, 7710}, V7711{0x00020000, 7711}, V7712{0x00020000, 7712};

std::string Text(const std::string& path, const std::string& name) {
    HKey key = 0;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, path, KEY_READ, key) != ERROR_SUCCESS) return "<no key>";
    const std::string text = RegistryText(key, name);
    RegCloseKey(key);
    return text;
}

uint32_t Dword(const std::string& path, const std::string& name) {
    HKey key = 0;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, path, KEY_READ, key) != ERROR_SUCCESS) return 0xDEAD;
    const uint32_t value = RegistryDword(key, name);
    RegCloseKey(key);
    return value;
}

void WriteText(const std::string& path, const std::string& name, const std::string& text) {
    HKey key = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS, key), ERROR_SUCCESS);
    SetRegistryText(key, name, text);
    RegCloseKey(key);
}

void PutProgram(const std::string& path, const FixedFileVersion& version, uint64_t size = 3 * 1024 * 1024 + 5) {
    sim::AddFile(path);
    sim::SetFileVersion(path, version);
    sim::SetFileSize(path, size);
}

class Installer : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        sim::Machine& m = Install({});
        m.Drives.push_back(testmachine::SataDrive("S0", 1));
        UseProgramFiles(ProgramFiles);
        LicenceShown = 0;
        sim::SetRawResource("License", "Terms\r\nof use\r\n");
        AcceptLicence = true;
        sim::SetModalScript([this](HWnd dialog) {
            if (GetWindowText(dialog) != "KORVANTE :: License Agreement") return;  // the first start's settings
            ++LicenceShown;
            EXPECT_EQ(GetWindowText(GetDlgItem(dialog, 3)), "Terms\r\nof use\r\n");  // the resource, whole
            if (AcceptLicence) sim::ClickButton(GetDlgItem(dialog, 1));
        });
    }
    static void UseProgramFiles(const std::string& folder) {
        WriteText("Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", folder);
        sim::AddFolder(folder);
    }
    // An installed copy of `version` as a fresh installation leaves it.
    static void MakeInstalled(const FixedFileVersion& version, const std::string& path = Installed) {
        sim::AddFolder(path.substr(0, path.find_last_of('\\')));
        PutProgram(path, version);
        WriteText("Software\\KORVANTE", "InstallationPath", path);
        WriteText(UninstallKey, "DisplayVersion", "old");
    }
    int Start(const std::string& path, const FixedFileVersion& version, const std::string& commandLine = "") {
        if (!sim::FileExists(path)) PutProgram(path, version);
        sim::SetModuleFileName(path);
        return RunProgram(commandLine, ProgramKind::Installed);
    }
    static std::vector<std::string> ShellLines() {
        std::vector<std::string> lines;
        for (const sim::ShellRequest& r : sim::ShellRequests())
            lines.push_back(r.File + " " + r.Parameters + (r.Directory.empty() ? "" : " in " + r.Directory) +
                            (r.ShowCommand == SW_HIDE ? "" : " (shown)"));
        return lines;
    }
    static std::vector<std::string> Boxes() {
        std::vector<std::string> boxes;
        for (const sim::MessageBoxCall& b : sim::MessageBoxCalls())
            boxes.push_back(b.Caption + " | " + b.Text + " | " + std::to_string(b.Flags));
        return boxes;
    }
    unsigned LicenceShown = 0;
    bool AcceptLicence = true;
};

TEST_F(Installer, AFreshInstallationCopiesRegistersTheTaskAndTheEntryAndRestartsThroughTheTask) {
    sim::SetShortPathName(std::string(ProgramFiles) + "\\KORVANTE\\KORVANTE.xml", "C:\\PROGRA~2\\KORVANTE\\KORVANTE.xml");
    Start(Download, V7711);
    EXPECT_EQ(LicenceShown, 1u);
    EXPECT_TRUE(sim::FolderExists(std::string(ProgramFiles) + "\\KORVANTE"));
    ASSERT_TRUE(sim::FileExists(Installed));
    FixedFileVersion copied{};
    EXPECT_TRUE(GetFileVersionInfo(Installed, copied));
    EXPECT_EQ(copied.FileVersionLS, 7711u);

    const std::vector<sim::WrittenFile> written = sim::WrittenFiles();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].Path, std::string(ProgramFiles) + "\\KORVANTE\\KORVANTE.xml");
    const std::string& xml = written[0].Bytes;
    EXPECT_EQ(xml.rfind("<Task version=\"1.3\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">", 0), 0u);
    for (const char* part : {"<LogonTrigger id=\"fcb45ad9-869e-4313-a260-9cfd764821f5\"></LogonTrigger>",
                             "<RunLevel>HighestAvailable</RunLevel>", "<DisallowStartIfOnBatteries>false<",
                             "<ExecutionTimeLimit>PT0S</ExecutionTimeLimit><Priority>0</Priority>",
                             "<Command>C:\\Program Files (x86)\\KORVANTE\\KORVANTE.exe</Command></Exec></Actions></Task>"})
        EXPECT_NE(xml.find(part), std::string::npos) << part;
    EXPECT_EQ(xml.find_first_of("\r\n"), std::string::npos);
    EXPECT_FALSE(sim::FileExists(written[0].Path));  // deleted once the task was made

    const std::vector<sim::WaitedProgram> waited = sim::WaitedPrograms();
    ASSERT_EQ(waited.size(), 1u);
    EXPECT_EQ(waited[0].Parameters, "/Create /TN KORVANTE /XML \"C:\\PROGRA~2\\KORVANTE\\KORVANTE.xml\"");
    EXPECT_EQ(waited[0].Milliseconds, 4000u);
    EXPECT_EQ(ShellLines(), (std::vector<std::string>{Schtasks + "/Create /TN KORVANTE /XML \"C:\\PROGRA~2\\KORVANTE\\KORVANTE.xml\"",
                                                      Schtasks + "/Run /I /TN KORVANTE"}));

    EXPECT_EQ(Text("Software\\KORVANTE", "InstallationPath"), Installed);
    const struct { const char* name; std::string text; } texts[] = {
        {"DisplayName", "KORVANTE"},
        {"UnInstallString", "\"C:\\Program Files (x86)\\KORVANTE\\KORVANTE.exe\" UnInstall"},
        {"Publisher", "KORVANTE Software"},
        {"DisplayIcon", std::string(Installed) + ",0"},
        {"DisplayVersion", "2.0.0.7711"},
    };
    for (const auto& t : texts) EXPECT_EQ(Text(UninstallKey, t.name), t.text) << t.name;
    EXPECT_EQ(Dword(UninstallKey, "NoModify"), 1u);
    EXPECT_EQ(Dword(UninstallKey, "NoRepair"), 1u);
    EXPECT_EQ(Dword(UninstallKey, "EstimatedSize"), 3072u);
    EXPECT_EQ(sim::ProcessExits(), std::vector<uint32_t>{0});
    EXPECT_TRUE(sim::ActiveTrayEntries().empty());
}

// What stops a fresh installation leaves nothing written and no task.
TEST_F(Installer, AFreshInstallationThatCannotGoOnWritesNothing) {
    const struct { const char* name; bool accept; bool lock; const char* programFiles; std::vector<std::string> boxes; } cases[] = {
        {"licence cancelled", false, false, ProgramFiles, {}},
        {"copy refused", true, true, ProgramFiles,
         {"KORVANTE :: Warning! | The installation was interrupted.\r\nError - The process cannot access the file "
          "because it is being used by another process. | 327728"}},
        {"quote in the folder", true, false, "C:\\Pro\"gram", {}},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        AcceptLicence = c.accept;
        if (c.lock) sim::LockFile(Installed);
        UseProgramFiles(c.programFiles);
        Start(Download, V7711);
        EXPECT_EQ(Boxes(), c.boxes) << c.name;
        EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, "Software\\KORVANTE")) << c.name;
        EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, UninstallKey)) << c.name;
        EXPECT_TRUE(sim::ShellRequests().empty()) << c.name;
        EXPECT_TRUE(sim::WrittenFiles().empty()) << c.name;
        EXPECT_FALSE(sim::FolderExists(std::string(c.programFiles) + "\\KORVANTE")) << c.name;
        EXPECT_EQ(sim::ProcessExits(), std::vector<uint32_t>{0}) << c.name;
    }
}

TEST_F(Installer, TheInstalledCopyRunsAloneWhicheverFormOfItsPathStartedIt) {
    const char* forms[] = {Installed, "c:\\program files (x86)\\korvante\\korvante.exe", "C:\\PROGRA~2\\KORVANTE\\KORVANTE.EXE"};
    for (const char* form : forms) {
        TearDown();
        SetUp();
        MakeInstalled(V7711);
        sim::SetShortPathName(Installed, "C:\\PROGRA~2\\KORVANTE\\KORVANTE.EXE");
        Start(form, V7711);
        EXPECT_TRUE(sim::ProcessExits().empty()) << form;
        EXPECT_EQ(sim::ActiveTrayEntries().size(), 1u) << form;
        uint32_t window = 0;
        EXPECT_TRUE(sim::MappingValue("KORVANTE", window)) << form;
        EXPECT_EQ(window, MainWindow) << form;
        EXPECT_EQ(LicenceShown, 0u) << form;
        for (const std::string& line : ShellLines()) EXPECT_EQ(line.find("schtasks"), std::string::npos) << form;
    }
    ResetProcessState();  // the process ends: its mapping goes with it
    uint32_t window = 0;
    EXPECT_FALSE(sim::MappingValue("KORVANTE", window));
}

// A drive that comes or goes restarts the installed copy through its logon task, once however many
// notifications follow, its icons out of the tray and its instance mapping closed for the next copy.
TEST_F(Installer, ADeviceChangeRestartsTheInstalledCopyThroughItsTaskOnce) {
    MakeInstalled(V7711);
    Start(Installed, V7711);
    ASSERT_EQ(sim::ActiveTrayEntries().size(), 1u);
    DeviceBroadcast arrival{DBT_DEVTYP_DEVICEINTERFACE, 0};
    for (const WParam event : {0x8000u, 0x8004u, 0x8002u, 0x8000u})
        SendMessage(MainWindow, WM_DEVICECHANGE, event, reinterpret_cast<LParam>(&arrival));
    std::vector<std::string> tasks;
    for (const std::string& line : ShellLines())
        if (line.rfind(Schtasks, 0) == 0) tasks.push_back(line);
    EXPECT_EQ(tasks, std::vector<std::string>{Schtasks + "/Run /I /TN KORVANTE"});
    EXPECT_EQ(sim::ProcessExits(), std::vector<uint32_t>{0});
    EXPECT_TRUE(sim::ActiveTrayEntries().empty());
    EXPECT_EQ(sim::TimerCount(), 0u);
    uint32_t window = 0;
    EXPECT_FALSE(sim::MappingValue("KORVANTE", window));
}

TEST_F(Installer, ASecondStartOfTheInstalledCopyEndsSilently) {
    MakeInstalled(V7711);
    bool existed = false;
    ASSERT_NE(CreateFileMapping("KORVANTE", 4, existed), 0u);  // the first instance's
    Start(Installed, V7711);
    EXPECT_EQ(sim::ProcessExits(), std::vector<uint32_t>{0});
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(sim::ActiveTrayEntries().empty());
    EXPECT_EQ(sim::TimerCount(), 0u);
}

// A copy started elsewhere replaces an older installed one; the agreement comes first only for
// installed versions older than 2.0.0.7711, compared as text.
TEST_F(Installer, ANewerCopyReplacesTheInstalledOneAndOnlyOldVersionsSeeTheAgreement) {
    const struct { FixedFileVersion installed; unsigned licence; } cases[] = {
        {V7710, 1}, {{0x00010009, 1}, 1}, {{0x00020000, 10000}, 1}, {V7711, 0}, {{0x00030000, 1}, 0},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        MakeInstalled(c.installed);
        bool existed = false;
        WriteMappedValue(CreateFileMapping("KORVANTE", 4, existed), 0x1234);  // a running instance
        Start(Download, {0x00040000, 1});
        const std::string name = GetFileVersion(Installed).Text;
        EXPECT_EQ(LicenceShown, c.licence) << name;
        EXPECT_EQ(Boxes(), std::vector<std::string>{"KORVANTE :: Information | The update was completed successfully. | 327744"}) << name;
        EXPECT_EQ(GetFileVersion(Installed).Number, GetFileVersion(Download).Number) << name;
        EXPECT_EQ(Text(UninstallKey, "DisplayVersion"), GetFileVersion(Download).Text) << name;
        EXPECT_EQ(ShellLines(), std::vector<std::string>{Schtasks + "/Run /I /TN KORVANTE"}) << name;
        EXPECT_EQ(sim::ProcessExits(), std::vector<uint32_t>{0}) << name;
    }
}

TEST_F(Installer, AnUpdateThatCannotGoOnLeavesTheInstalledCopy) {
    const struct { const char* name; FixedFileVersion running; bool stuckInstance; bool lock; std::vector<std::string> boxes; } cases[] = {
        {"equal version", V7711, false, false,
         {"KORVANTE :: Information | You already have the latest version of the program installed. | 327744"}},
        {"older version", V7710, false, false,
         {"KORVANTE :: Information | You already have the latest version of the program installed. | 327744"}},
        {"instance does not close", V7712, true, false, {}},
        {"copy refused", V7712, false, true,
         {"KORVANTE :: Warning! | The update was interrupted.\r\nError - The process cannot access the file because "
          "it is being used by another process. | 327728"}},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        MakeInstalled(V7711);
        if (c.lock) sim::LockFile(Installed);
        if (c.stuckInstance) {
            sim::SetExplorer({true, 2024, false, 400});  // a process that ignores being asked to close
            bool existed = false;
            WriteMappedValue(CreateFileMapping("KORVANTE", 4, existed), static_cast<uint32_t>(FindWindow("Shell_TrayWnd")));
        }
        Start("D:\\Elsewhere\\KORVANTE.exe", c.running);
        EXPECT_EQ(Boxes(), c.boxes) << c.name;
        EXPECT_EQ(GetFileVersion(Installed).Text, "2.0.0.7711") << c.name;
        EXPECT_EQ(Text(UninstallKey, "DisplayVersion"), "old") << c.name;
        EXPECT_TRUE(sim::ShellRequests().empty()) << c.name;
        EXPECT_EQ(sim::ProcessExits(), std::vector<uint32_t>{0}) << c.name;
    }
}

// A signed installed copy is replaced only by a copy Windows trusts, signed as the installed one is,
// held from the check through the copy; an unsigned installed copy (a development build) takes any.
TEST_F(Installer, ASignedInstalledCopyTakesOnlyAnUpdateSignedAsItIs) {
    const platform::Signer vendor{"CN=KORVANTE", "vendor key"}, other{"CN=Someone Else", "other key"};
    const std::string refused = "KORVANTE :: Warning! | The update was interrupted.\r\nThe new version is not signed by "
                                "the vendor of the installed one. | 327728";
    const struct { const char* name; const platform::Signer* installed; const platform::Signer* update; bool untrusted; bool replaced; } cases[] = {
        {"both the vendor's", &vendor, &vendor, false, true},
        {"the update unsigned", &vendor, nullptr, false, false},
        {"the update by another", &vendor, &other, false, false},
        {"the update's root not trusted", &vendor, &vendor, true, false},
        {"an unsigned installed copy", nullptr, &other, false, true},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        MakeInstalled(V7711);
        if (c.installed) sim::SetFileSigner(Installed, *c.installed);
        if (c.update) sim::SetFileSigner(Download, *c.update);
        sim::SetSignaturesUntrusted(c.untrusted);
        Start(Download, V7712);
        EXPECT_EQ(GetFileVersion(Installed).Text, c.replaced ? "2.0.0.7712" : "2.0.0.7711") << c.name;
        if (!c.replaced) EXPECT_EQ(Boxes(), std::vector<std::string>{refused}) << c.name;
        EXPECT_FALSE(sim::FileHeld(Download)) << c.name;
    }
}

TEST_F(Installer, ADeletedInstalledFileIsInstalledAfresh) {
    MakeInstalled(V7711);
    DeleteFile(Installed);
    Start(Download, V7711);
    EXPECT_EQ(LicenceShown, 1u);
    EXPECT_TRUE(sim::FileExists(Installed));
    EXPECT_EQ(ShellLines().back(), Schtasks + "/Run /I /TN KORVANTE");
}

TEST_F(Installer, UninstallingRemovesTheTaskKeysDriveDataAndLeavesTheFilesToABatch) {
    MakeInstalled(V7711);
    WriteText("Software\\KORVANTE\\WD-12345", "Model", "a drive's own key");
    Start(Installed, V7711, "UnInstall");
    EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, "Software\\KORVANTE"));
    EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
    EXPECT_TRUE(sim::KeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\UnInstall"));
    EXPECT_EQ(Boxes(), std::vector<std::string>{"KORVANTE :: Information | The uninstallation was completed successfully. | 327744"});
    const std::string batch = GetTempPath() + "KORVANTE.bat";
    EXPECT_EQ(ShellLines(), (std::vector<std::string>{Schtasks + "/Delete /TN KORVANTE /F", Cmd + "\"\"KORVANTE.bat\"\" in " + GetTempPath()}));
    const std::vector<sim::WrittenFile> written = sim::WrittenFiles();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].Path, batch);
    EXPECT_EQ(written[0].Bytes, DeletingBatch("C:\\Program Files (x86)\\KORVANTE\\KORVANTE.exe",
                                              "C:\\Program Files (x86)\\KORVANTE", batch));
    EXPECT_EQ(sim::ProcessExits(), std::vector<uint32_t>{0});
    EXPECT_TRUE(sim::ActiveTrayEntries().empty());
}

TEST_F(Installer, OnlyTheExactUninstallArgumentUninstalls) {
    for (const char* argument : {"uninstall", "UNINSTALL", "Uninstall", "/UnInstall"}) {
        TearDown();
        SetUp();
        MakeInstalled(V7711);
        Start(Installed, V7711, argument);
        EXPECT_TRUE(sim::KeyExists(HKEY_LOCAL_MACHINE, UninstallKey)) << argument;
        EXPECT_TRUE(sim::ProcessExits().empty()) << argument;  // the installed copy runs
    }
}

// Folders with blanks, an ampersand and ANSI letters beyond ASCII reach every command line quoted and
// the task definition escaped; a recorded path holding a double quote is never put into the batch.
TEST_F(Installer, AwkwardPathsAreQuotedEscapedOrRefused) {
    const std::string folder = "C:\\Programme & Tools \xC4\xD6\xDC";
    UseProgramFiles(folder);
    Start(Download, V7711);
    const std::string executable = folder + "\\KORVANTE\\KORVANTE.exe";
    EXPECT_EQ(Text(UninstallKey, "UnInstallString"), "\"" + executable + "\" UnInstall");
    ASSERT_FALSE(sim::WrittenFiles().empty());
    EXPECT_NE(sim::WrittenFiles()[0].Bytes.find("<Command>C:\\Programme &amp; Tools \xC3\x84\xC3\x96\xC3\x9C\\KORVANTE\\KORVANTE.exe</Command>"),
              std::string::npos);
    EXPECT_EQ(sim::WaitedPrograms().at(0).Parameters, "/Create /TN KORVANTE /XML \"" + folder + "\\KORVANTE\\KORVANTE.xml\"");

    TearDown();
    SetUp();
    MakeInstalled(V7711, "C:\\Odd\"Place\\KORVANTE.exe");
    Start(Download, V7711, "UnInstall");
    EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, "Software\\KORVANTE"));
    EXPECT_TRUE(sim::WrittenFiles().empty());
    EXPECT_EQ(ShellLines(), std::vector<std::string>{Schtasks + "/Delete /TN KORVANTE /F"});

    TearDown();
    SetUp();
    MakeInstalled(V7711, "C:\\\xC4pps\\KORVANTE.exe");
    Start(Download, V7711, "UnInstall");
    ASSERT_EQ(sim::WrittenFiles().size(), 1u);  // the batch, in the interpreter's code page
    EXPECT_NE(sim::WrittenFiles()[0].Bytes.find("rd /Q \"C:\\\x8Epps\"\r\n"), std::string::npos);

    // '%' would expand in the batch (a name that never matched, or another folder's files deleted): it
    // is doubled; a line break would end the command: nothing is written.
    const struct { const char* installed; const char* file; const char* folder; } batches[] = {
        {"C:\\100% & ^Tools!\\%TEMP%\\KORVANTE%20setup.exe", "C:\\100%% & ^Tools!\\%%TEMP%%\\KORVANTE%%20setup.exe",
         "C:\\100%% & ^Tools!\\%%TEMP%%"},
        {"C:\\Apps\r\ndel C:\\x\\KORVANTE.exe", nullptr, nullptr},
    };
    for (const auto& b : batches) {
        TearDown();
        SetUp();
        MakeInstalled(V7711, b.installed);
        Start(Download, V7711, "UnInstall");
        if (b.file) EXPECT_EQ(sim::WrittenFiles().at(0).Bytes, DeletingBatch(b.file, b.folder, GetTempPath() + "KORVANTE.bat"));
        else EXPECT_TRUE(sim::WrittenFiles().empty());
    }
}

TEST_F(Installer, ADownloadWithoutDrivesDeletesItselfWhenClosed) {
    Install({});
    sim::SetModuleFileName(Download);
    RunProgram("", ProgramKind::Installed);
    SendMessage(MainWindow, WM_CLOSE, 0, 0);
    const std::string batch = GetTempPath() + "KORVANTE.bat";
    ASSERT_EQ(sim::WrittenFiles().size(), 1u);
    EXPECT_EQ(sim::WrittenFiles()[0].Bytes, DeletingBatch(Download, "", batch));
    EXPECT_EQ(ShellLines(), std::vector<std::string>{Cmd + "\"\"KORVANTE.bat\"\" in " + GetTempPath()});
    EXPECT_EQ(sim::ProcessExits(), std::vector<uint32_t>{0});
}

}  // namespace
