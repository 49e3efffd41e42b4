// The installer as the copies of a program meet it under Wine: the real registry, files, short names,
// file mappings, processes and task scheduler, in a temporary program-files folder. Every start of a
// copy is a child process running InstalledCopyChild.Start, with the command line, the licence answer
// and the temporary folder given in its environment. The child's boxes and licence dialog are the
// simulated ones: it writes what they saw, whether the installer returned and whether it ended the
// process into a report file, which the parent reads. Three builds of this file differ only in their
// version: 2.0.1.0 (this one), 2.0.0.7711 and 2.0.0.7710 (beside it).
#include "platform/win32/WindowsApi.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "windows/TestRegistry.h"
#include "windows/TestTask.h"
#include "net/Installer.h"
#include "net/NetCalls.h"
#include "platform/FileVersion.h"
#include "platform/Installation.h"
#include "platform/Windowing.h"
#include "platform/sim/SimDialogs.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/SimUserInterface.h"
#include "platform/sim/SimWindowing.h"
#include "system/FileUtils.h"
#include "system/RegUtils.h"
#include "ui/LicenseDialog.h"

namespace {

constexpr char AppName[] = "KORVANTE-CopyTest";
constexpr char DisplayName[] = "KORVANTE copy test";
constexpr char ReportVariable[] = "KORVANTE_COPY_REPORT";
constexpr char ArgumentsVariable[] = "KORVANTE_COPY_ARGUMENTS";
constexpr char LicenceVariable[] = "KORVANTE_COPY_LICENCE";
constexpr char ModeVariable[] = "KORVANTE_COPY_MODE";  // run, hold or self-delete
constexpr char ReleaseEvent[] = "KORVANTE-CopyTest-Release";
constexpr char UninstallBase[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const std::string SettingsKey = std::string("Software\\") + AppName;
const std::string UninstallKey = std::string(UninstallBase) + "\\UnInstall\\" + AppName;
const char Latest[] =
    "KORVANTE copy test :: Information | You already have the latest version of the program installed.";
const char Updated[] = "KORVANTE copy test :: Information | The update was completed successfully.";
const char Uninstalled[] = "KORVANTE copy test :: Information | The uninstallation was completed successfully.";

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// ---- the child -------------------------------------------------------------------------------------

std::string OneLine(std::string text) {
    for (size_t at = 0; (at = text.find_first_of("\r\n", at)) != std::string::npos;) text.replace(at, 1, "/");
    return text;
}

// One start of a copy: the dispatcher with the licence dialog as start-up connects it, answered as
// the parent asked; an instance that registered may be held until the parent releases it. Or the end
// of a copy that did not install: the batch that deletes it once it has ended.
TEST(InstalledCopyChild, Start) {
    const std::string reportPath = Variable(ReportVariable);
    if (reportPath.empty()) GTEST_SKIP() << "runs only as a child of the tests below";
    std::vector<std::string> report;
    if (Variable(ModeVariable) == "self-delete") {
        std::ofstream(reportPath) << (SelfDeleteBatch(AppName) ? "batch started" : "batch refused") << "\n";
        return;
    }
    const bool accept = Variable(LicenceVariable) == "accept";
    sim::SetModalScript([&report, accept](platform::HWnd dialog) {
        const std::string text = platform::GetWindowText(platform::GetDlgItem(dialog, 3));
        const bool whole = !text.empty() && text == platform::LoadRawResource("LICENSE");
        report.push_back(std::string("licence ") + (whole ? "whole" : "differs"));
        if (accept) sim::ClickButton(platform::GetDlgItem(dialog, 1));
    });
    NetCalls.BeforeInstall = ShowLicenseAgreement;
    NetCalls.BeforeUpdate = LicenseBeforeUpdate;
    const bool returned = RunInstaller({AppName, DisplayName, "KORVANTE Software", true}, Variable(ArgumentsVariable));
    if (returned && Variable(ModeVariable) == "hold") {
        const HANDLE release = ::OpenEventA(SYNCHRONIZE, FALSE, ReleaseEvent);
        if (release) ::WaitForSingleObject(release, 60000);
        if (release) ::CloseHandle(release);
    }
    ResetInstaller();  // closes the instance mapping
    report.push_back(returned ? "returned" : "not returned");
    for (const uint32_t code : sim::ProcessExits()) report.push_back("ended " + std::to_string(code));
    for (const sim::MessageBoxCall& box : sim::MessageBoxCalls())
        report.push_back("box " + box.Caption + " | " + OneLine(box.Text) + " | " + std::to_string(box.Flags));
    std::ofstream out(reportPath);
    for (const std::string& line : report) out << line << "\n";
}

// ---- the parent ------------------------------------------------------------------------------------

struct Outcome {
    bool Ran = false;        // the child ran to its end and reported
    bool Returned = false;   // the dispatcher returned: this is the running installed copy
    bool Ended = false;      // the installer ended the process (with exit code 0)
    unsigned Licences = 0;   // licence dialogs shown, each with the resource's text whole
    std::vector<std::string> Boxes;  // "caption | text", flags 0x50040
    std::vector<std::string> Other;  // anything else reported
};

std::string ReportPath() { return platform::GetTempPath() + "korvante copy test report.txt"; }

Outcome ReadReport() {
    Outcome outcome;
    std::ifstream in(ReportPath());
    for (std::string line; std::getline(in, line);) {
        outcome.Ran = true;
        const std::string boxEnd = " | " + std::to_string(0x50040);
        if (line == "returned") outcome.Returned = true;
        else if (line == "not returned") continue;
        else if (line == "ended 0" && !outcome.Ended) outcome.Ended = true;
        else if (line == "licence whole") ++outcome.Licences;
        else if (line.rfind("box ", 0) == 0 && line.size() > boxEnd.size() + 4 &&
                 line.compare(line.size() - boxEnd.size(), boxEnd.size(), boxEnd) == 0)
            outcome.Boxes.push_back(line.substr(4, line.size() - 4 - boxEnd.size()));
        else outcome.Other.push_back(line);
    }
    ::DeleteFileA(ReportPath().c_str());
    return outcome;
}

// Variables the children started meanwhile inherit; the old values come back afterwards.
class Environment {
public:
    explicit Environment(const std::vector<std::pair<std::string, std::string>>& values) {
        for (const auto& v : values) {
            char old[32768];
            const DWORD length = ::GetEnvironmentVariableA(v.first.c_str(), old, sizeof old);
            const bool existed = length > 0 && length < sizeof old;
            Saved.push_back({v.first, existed ? std::string(old) : std::string(), existed});
            ::SetEnvironmentVariableA(v.first.c_str(), v.second.c_str());
        }
    }
    ~Environment() {
        for (const SavedValue& s : Saved)
            ::SetEnvironmentVariableA(s.Name.c_str(), s.Existed ? s.Value.c_str() : nullptr);
    }

private:
    struct SavedValue { std::string Name, Value; bool Existed; };
    std::vector<SavedValue> Saved;
};

struct Child {
    HANDLE Process = nullptr;
    DWORD Code = 0xFFFFFFFF;
};

// Starts `program` as InstalledCopyChild.Start with `arguments`; the child's temporary folder is `temp`.
Child StartChild(const std::string& program, const std::string& arguments, const std::string& temp,
                 const char* licence, const char* mode) {
    const Environment environment({{ReportVariable, ReportPath()}, {ArgumentsVariable, arguments},
                                   {LicenceVariable, licence}, {ModeVariable, mode},
                                   {"TMP", temp}, {"TEMP", temp}});
    std::string command = "\"" + program + "\" --gtest_filter=InstalledCopyChild.Start";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    Child child;
    if (::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        ::CloseHandle(process.hThread);
        child.Process = process.hProcess;
    }
    return child;
}

Outcome Finish(Child& child) {
    if (!child.Process) return {};
    if (::WaitForSingleObject(child.Process, 60000) != platform::WAIT_OBJECT_0) ::TerminateProcess(child.Process, 1);
    ::GetExitCodeProcess(child.Process, &child.Code);
    ::CloseHandle(child.Process);
    child.Process = nullptr;
    Outcome outcome = ReadReport();
    outcome.Ran = outcome.Ran && child.Code == 0;
    return outcome;
}

Outcome StartCopy(const std::string& program, const std::string& arguments, const std::string& temp,
                  const char* licence = "accept", const char* mode = "run") {
    Child child = StartChild(program, arguments, temp, licence, mode);
    return Finish(child);
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool GoneWithin(const std::string& path, DWORD milliseconds) {
    for (DWORD waited = 0; waited < milliseconds && Exists(path); waited += 100) ::Sleep(100);
    return !Exists(path);
}

std::string Case(std::string text, bool upper) {
    for (char& c : text) {
        const int letter = static_cast<unsigned char>(c);
        c = static_cast<char>(upper ? ::toupper(letter) : ::tolower(letter));
    }
    return text;
}

std::string Sibling(const std::string& file) {
    const std::string own = platform::GetModuleFileName();
    return own.substr(0, own.find_last_of('\\') + 1) + file;
}

std::string VersionOf(const std::string& path) { return GetFileVersion(path).Text; }

// A temporary program-files folder and a temporary folder for the children, named as a case asks;
// the copies start from a download folder inside the latter.
class InstalledCopy : public ::testing::Test {
protected:
    void SetUp() override {
        SavedProgramFiles = Text(UninstallBase, "ProgramFilesDir");
        Release = ::CreateEventA(nullptr, TRUE, FALSE, ReleaseEvent);
    }
    void TearDown() override {
        Clean();
        SetText(UninstallBase, "ProgramFilesDir", SavedProgramFiles);
        EXPECT_FALSE(Exists(StoredTaskPath(AppName))) << "the logon task is left behind";
        if (Release) ::CloseHandle(Release);
    }
    // Names the folders of one case and makes them; `download` is the new version's copy there.
    void UseFolders(const std::string& programFiles, const std::string& temp) {
        ProgramFiles = platform::GetTempPath() + programFiles;
        Temp = platform::GetTempPath() + temp;
        Folder = ProgramFiles + "\\" + AppName;
        Installed = Folder + "\\" + AppName + ".exe";
        Download = Temp + "\\KORVANTE setup.exe";
        ::CreateDirectoryA(ProgramFiles.c_str(), nullptr);
        ::CreateDirectoryA(Temp.c_str(), nullptr);
        ASSERT_TRUE(::CopyFileA(platform::GetModuleFileName().c_str(), Download.c_str(), FALSE));
        ASSERT_TRUE(SetText(UninstallBase, "ProgramFilesDir", ProgramFiles));
    }
    // Whatever a case left: keys, logon task, files and folders.
    void Clean() {
        DeleteRegistryTree(platform::HKEY_LOCAL_MACHINE, SettingsKey);
        DeleteRegistryTree(platform::HKEY_LOCAL_MACHINE, UninstallKey);
        DeleteTestTask(AppName);
        if (Temp.empty()) return;  // no case ran
        for (const std::string& file : {Installed, Download, Temp + "\\" + AppName + ".bat", Temp + "\\old.exe",
                                        Temp + "\\KORVANTE%20leftover.exe"})
            ::DeleteFileA(file.c_str());
        for (const std::string& folder : {Folder, ProgramFiles, Temp}) ::RemoveDirectoryA(folder.c_str());
    }
    // A fresh installation of `program` (a copy of one of the three builds) from the temporary folder.
    void InstallFrom(const std::string& program) {
        const Outcome installed = StartCopy(program, "", Temp);
        ASSERT_TRUE(installed.Ran);
        EXPECT_TRUE(installed.Ended);
        EXPECT_EQ(installed.Licences, 1u);
        EXPECT_TRUE(installed.Boxes.empty()) << installed.Boxes.front();
        ASSERT_TRUE(Exists(Installed));
    }
    std::string SavedProgramFiles, ProgramFiles, Temp, Folder, Installed, Download;
    HANDLE Release = nullptr;  // lets a held instance go on
};

// Waits until an instance has made its mapping, without keeping it open.
bool InstanceRuns() {
    for (int i = 0; i < 300; ++i) {
        if (const HANDLE mapping = ::OpenFileMappingA(FILE_MAP_READ, FALSE, AppName)) {
            ::CloseHandle(mapping);
            return true;
        }
        ::Sleep(100);
    }
    return false;
}

// Installation, the single instance under every form of the installed path, an equal version from
// elsewhere, arguments that are not the uninstall argument, and the uninstallation through the
// entry's own command line with the batch that removes the files: in folders with spaces, with
// characters beyond ASCII and with those the command interpreter treats specially (a lone "%" in the
// program folder, whose path the task scheduler would expand between two).
TEST_F(InstalledCopy, InstallsRunsAloneAndUninstallsInAwkwardFolders) {
    if (platform::GetModuleFileName().find(AppName) != std::string::npos) GTEST_SKIP();  // started by the task
    const struct { const char* programFiles; const char* temp; } cases[] = {
        {"korvante program files", "korvante temporary files"},
        {"Pr\xFC" "fung \xE9 programs", "Pr\xFC" "fung \xE9 temp"},
        {"korvante 100% ^&! programs", "korvante %TEMP% 50%% ^&! (temp)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.programFiles);
        UseFolders(c.programFiles, c.temp);
        InstallFrom(Download);
        EXPECT_EQ(Text(SettingsKey, "InstallationPath"), Installed);
        EXPECT_EQ(Text(UninstallKey, "UnInstallString"), "\"" + Installed + "\" UnInstall");
        EXPECT_EQ(Text(UninstallKey, "DisplayVersion"), "2.0.1.0");
        EXPECT_FALSE(Exists(Folder + "\\" + AppName + ".xml"));
        EXPECT_TRUE(Exists(StoredTaskPath(AppName))) << "the scheduler did not take the definition's short path";

        // The installed copy holds the instance; every second start ends without a word, through any
        // form of the path: not being recognised would show the equal version's box instead.
        Child holder = StartChild(Installed, "", Temp, "accept", "hold");
        ASSERT_NE(holder.Process, nullptr);
        ASSERT_TRUE(InstanceRuns());
        const std::string shortForm = platform::GetShortPathName(Installed);
        ASSERT_NE(shortForm, Installed);
        for (const std::string& form : {Installed, Case(Installed, true), Case(Installed, false), shortForm}) {
            SCOPED_TRACE(form);
            const Outcome second = StartCopy(form, "", Temp);
            ASSERT_TRUE(second.Ran);
            EXPECT_TRUE(second.Ended);
            EXPECT_FALSE(second.Returned);
            EXPECT_TRUE(second.Boxes.empty()) << second.Boxes.front();
            EXPECT_EQ(second.Licences, 0u);
        }
        ::SetEvent(Release);
        const Outcome held = Finish(holder);
        EXPECT_TRUE(held.Ran && held.Returned && !held.Ended);
        ::ResetEvent(Release);

        // Alone again, the short form runs as the installed copy; the same version from elsewhere
        // only says it is there already.
        const Outcome alone = StartCopy(shortForm, "", Temp);
        EXPECT_TRUE(alone.Ran && alone.Returned && !alone.Ended);
        const Outcome equal = StartCopy(Download, "", Temp);
        EXPECT_TRUE(equal.Ended);
        EXPECT_EQ(equal.Boxes, std::vector<std::string>{Latest});

        // Only the exact argument uninstalls.
        for (const char* argument : {"uninstall", "UNINSTALL", "Uninstall", "UnInstall2"}) {
            SCOPED_TRACE(argument);
            const Outcome other = StartCopy(Installed, argument, Temp);
            EXPECT_TRUE(other.Ran && other.Returned && other.Boxes.empty());
            EXPECT_EQ(Text(SettingsKey, "InstallationPath"), Installed);
        }

        // The entry's command line uninstalls: keys, per-drive data, the file and its folder go, the
        // last two through the batch in the temporary folder once the uninstaller has ended.
        ASSERT_TRUE(SetText(SettingsKey + "\\WDC WD10EZEX-08WN4A0\\WD-0123456789", "Temperature", "38"));
        const std::string entry = Text(UninstallKey, "UnInstallString");
        const size_t quote = entry.find('"', 1);
        ASSERT_TRUE(entry.size() > 2 && entry[0] == '"' && quote != std::string::npos && entry[quote + 1] == ' ');
        const Outcome uninstalled = StartCopy(entry.substr(1, quote - 1), entry.substr(quote + 2), Temp);
        EXPECT_TRUE(uninstalled.Ended);
        EXPECT_EQ(uninstalled.Boxes, std::vector<std::string>{Uninstalled});
        EXPECT_EQ(Text(SettingsKey, "InstallationPath"), "<no key>");
        EXPECT_EQ(Text(SettingsKey + "\\WDC WD10EZEX-08WN4A0\\WD-0123456789", "Temperature"), "<no key>");
        EXPECT_EQ(Text(UninstallKey, "DisplayName"), "<no key>");
        EXPECT_TRUE(GoneWithin(Folder, 15000)) << "the batch did not remove " << Folder;
        EXPECT_FALSE(Exists(Installed));
        EXPECT_TRUE(GoneWithin(Temp + "\\" + AppName + ".bat", 5000));
        EXPECT_TRUE(uninstalled.Other.empty());

        // A copy that ends without installing leaves the batch that deletes it, and itself.
        const std::string leftover = Temp + "\\KORVANTE%20leftover.exe";
        ASSERT_TRUE(::CopyFileA(platform::GetModuleFileName().c_str(), leftover.c_str(), FALSE));
        const Outcome deleting = StartCopy(leftover, "", Temp, "accept", "self-delete");
        EXPECT_EQ(deleting.Other, std::vector<std::string>{"batch started"});
        EXPECT_TRUE(GoneWithin(leftover, 15000)) << "the batch did not delete " << leftover;
        EXPECT_TRUE(GoneWithin(Temp + "\\" + AppName + ".bat", 5000));
        Clean();
    }
}

// A program-files folder that cannot be put between quotes is refused: nothing is made.
TEST_F(InstalledCopy, AProgramFilesFolderWithAQuoteIsRefused) {
    if (platform::GetModuleFileName().find(AppName) != std::string::npos) GTEST_SKIP();
    UseFolders("korvante quoted", "korvante quoted temp");
    ASSERT_TRUE(SetText(UninstallBase, "ProgramFilesDir", ProgramFiles + "\\odd\"name"));
    const Outcome refused = StartCopy(Download, "", Temp);
    ASSERT_TRUE(refused.Ran);
    EXPECT_TRUE(refused.Ended);
    EXPECT_FALSE(refused.Returned);
    EXPECT_TRUE(refused.Boxes.empty());
    EXPECT_EQ(Text(SettingsKey, "InstallationPath"), "<no key>");
    EXPECT_EQ(Text(UninstallKey, "DisplayName"), "<no key>");
    EXPECT_FALSE(Exists(ProgramFiles + "\\odd"));
}

// A newer copy replaces an older installed one; an installed version before 2.0.0.7711 gets the
// licence agreement first, and declining it leaves the installed copy as it was.
TEST_F(InstalledCopy, UpdatesAskForTheAgreementOnlyFromOldVersions) {
    if (platform::GetModuleFileName().find(AppName) != std::string::npos) GTEST_SKIP();
    const struct { const char* build; const char* version; unsigned licences; } cases[] = {
        {"korvante_installer_old.exe", "2.0.0.7710", 1},
        {"korvante_installer_licensed.exe", "2.0.0.7711", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.build);
        UseFolders("Pr\xFC" "fung \xE9 update", "Pr\xFC" "fung \xE9 update temp");
        const std::string old = Temp + "\\old.exe";
        ASSERT_TRUE(::CopyFileA(Sibling(c.build).c_str(), old.c_str(), FALSE));
        InstallFrom(old);
        ASSERT_EQ(VersionOf(Installed), c.version);
        EXPECT_EQ(Text(UninstallKey, "DisplayVersion"), c.version);

        if (c.licences) {
            const Outcome declined = StartCopy(Download, "", Temp, "decline");
            EXPECT_TRUE(declined.Ended);
            EXPECT_EQ(declined.Licences, 1u);
            EXPECT_TRUE(declined.Boxes.empty());
            EXPECT_EQ(VersionOf(Installed), c.version);
            EXPECT_EQ(Text(UninstallKey, "DisplayVersion"), c.version);
        }
        const Outcome updated = StartCopy(Download, "", Temp, "accept");
        EXPECT_TRUE(updated.Ended);
        EXPECT_EQ(updated.Licences, c.licences);
        EXPECT_EQ(updated.Boxes, std::vector<std::string>{Updated});
        EXPECT_EQ(VersionOf(Installed), "2.0.1.0");
        EXPECT_EQ(Text(UninstallKey, "DisplayVersion"), "2.0.1.0");
        EXPECT_EQ(Text(SettingsKey, "InstallationPath"), Installed);

        // The older build, started now, finds the newer one installed.
        const Outcome older = StartCopy(old, "", Temp);
        EXPECT_EQ(older.Boxes, std::vector<std::string>{Latest});
        EXPECT_EQ(VersionOf(Installed), "2.0.1.0");
        Clean();
    }
}

}  // namespace
