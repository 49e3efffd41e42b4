// The installer on the real Windows calls: this test executable installs itself into a temporary
// program-files folder and uninstalls itself again. Each branch ends its process, so each runs in a
// child copy of this executable (the environment variable below names the branch), and the parent
// checks what the child left on disk and in the registry.
#include "platform/win32/WindowsApi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "windows/TestRegistry.h"
#include "windows/TestTask.h"
#include "net/Installer.h"
#include "platform/FileVersion.h"
#include "platform/Installation.h"
#include "system/RegUtils.h"

namespace {

constexpr char BranchVariable[] = "KORVANTE_INSTALL_BRANCH";
constexpr char AppName[] = "KORVANTE-InstallTest";
constexpr char UninstallBase[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const std::string UninstallKey = std::string(UninstallBase) + "\\UnInstall\\" + AppName;

bool IsFolder(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Runs `program` (a copy of this executable) as the named branch; its exit code.
DWORD RunBranch(const std::string& program, const std::string& branch) {
    ::SetEnvironmentVariableA(BranchVariable, branch.c_str());
    std::string command = "\"" + program + "\" --gtest_filter=InstallerBranch.Run";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const bool started = ::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    ::SetEnvironmentVariableA(BranchVariable, nullptr);
    if (!started) return 0xFFFFFFFF;
    DWORD code = 0xFFFFFFFE;
    if (::WaitForSingleObject(process.hProcess, 60000) == platform::WAIT_OBJECT_0) ::GetExitCodeProcess(process.hProcess, &code);
    else ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    return code;
}

// The child: the dispatcher on this executable, which ends the process in every branch tested.
TEST(InstallerBranch, Run) {
    const char* branch = std::getenv(BranchVariable);
    if (!branch) GTEST_SKIP() << "runs only as the child of the installation test";
    RunInstaller({AppName, "KORVANTE test", "KORVANTE Software", true}, std::string(branch) == "uninstall" ? "UnInstall" : "");
    ADD_FAILURE() << "the dispatcher returned";  // the installed copy is never what this test starts
}

class Installation : public ::testing::Test {
protected:
    void SetUp() override {
        // A copy started by the logon task runs every test again: it leaves this one alone.
        if (platform::GetModuleFileName().find(AppName) != std::string::npos) GTEST_SKIP();
        SavedProgramFiles = Text(UninstallBase, "ProgramFilesDir");
        ProgramFiles = platform::GetTempPath() + "korvante install test \xC4";
        ::CreateDirectoryA(ProgramFiles.c_str(), nullptr);
        ASSERT_TRUE(SetText(UninstallBase, "ProgramFilesDir", ProgramFiles));
    }
    void TearDown() override {
        SetText(UninstallBase, "ProgramFilesDir", SavedProgramFiles);
        DeleteRegistryTree(platform::HKEY_LOCAL_MACHINE, std::string("Software\\") + AppName);
        DeleteRegistryTree(platform::HKEY_LOCAL_MACHINE, UninstallKey);
        ::RemoveDirectoryA(ProgramFiles.c_str());
        EXPECT_TRUE(DeleteTestTask(AppName)) << "the installation's logon task is left behind";
    }
    std::string SavedProgramFiles, ProgramFiles;
};

TEST_F(Installation, AFreshInstallationAndItsUninstallationLeaveNothingBehind) {
    const std::string folder = ProgramFiles + "\\" + AppName;
    const std::string executable = folder + "\\" + AppName + ".exe";
    ASSERT_EQ(RunBranch(platform::GetModuleFileName(), "install"), 0u);
    EXPECT_TRUE(IsFolder(folder));
    uint64_t size = 0, ownSize = 0;
    ASSERT_TRUE(platform::GetFileSize(executable, size));
    ASSERT_TRUE(platform::GetFileSize(platform::GetModuleFileName(), ownSize));
    EXPECT_EQ(size, ownSize);
    EXPECT_EQ(::GetFileAttributesA((folder + "\\" + AppName + ".xml").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Text(std::string("Software\\") + AppName, "InstallationPath"), executable);
    EXPECT_EQ(Text(UninstallKey, "UnInstallString"), "\"" + executable + "\" UnInstall");
    EXPECT_EQ(Text(UninstallKey, "DisplayIcon"), executable + ",0");
    EXPECT_EQ(Text(UninstallKey, "DisplayName"), "KORVANTE test");

    // Where the system's task scheduler took the definition, its stored copy has its settings, and
    // its command when the scheduler keeps one (Wine's stores an empty action).
    std::ifstream stored(StoredTaskPath(AppName));
    std::stringstream read;
    read << stored.rdbuf();
    std::string task = read.str();  // UTF-16 there: the ANSI path's letters are its low bytes
    task.erase(std::remove(task.begin(), task.end(), '\0'), task.end());
    if (stored) {
        EXPECT_NE(task.find("<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>"), std::string::npos) << task;
        EXPECT_NE(task.find("<Priority>0</Priority>"), std::string::npos) << task;
        if (task.find("<Command>") != std::string::npos) {
            EXPECT_NE(task.find(executable), std::string::npos) << task;
        }
    }
    const std::string definition = TaskDefinition(executable);
    EXPECT_NE(definition.find("<Command>" + executable + "</Command>"), std::string::npos);

    // The uninstaller runs from its installed place, as the uninstall entry starts it.
    EXPECT_EQ(RunBranch(executable, "uninstall"), 0u);
    EXPECT_EQ(Text(std::string("Software\\") + AppName, "InstallationPath"), "<no key>");
    EXPECT_EQ(Text(UninstallKey, "DisplayName"), "<no key>");
    for (int i = 0; i < 100 && IsFolder(folder); ++i) ::Sleep(100);  // the batch deletes once the uninstaller ended
    EXPECT_FALSE(IsFolder(folder));
    EXPECT_EQ(::GetFileAttributesA(executable.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(InstallationFacility, TheInstanceMappingIsSeenByASecondCreatorAndReadBack) {
    bool existed = true;
    const platform::Handle first = platform::CreateFileMapping("KORVANTE-MappingTest", 4, existed);
    ASSERT_NE(first, 0u);
    EXPECT_FALSE(existed);
    EXPECT_TRUE(platform::WriteMappedValue(first, 0x00C0FFEE));
    const platform::Handle second = platform::CreateFileMapping("KORVANTE-MappingTest", 4, existed);
    EXPECT_TRUE(existed);
    const platform::Handle reader = platform::OpenFileMapping("KORVANTE-MappingTest");
    uint32_t value = 0;
    EXPECT_TRUE(platform::ReadMappedValue(reader, value));
    EXPECT_EQ(value, 0x00C0FFEEu);
    for (const platform::Handle h : {first, second, reader}) platform::CloseFileMapping(h);
    EXPECT_EQ(platform::OpenFileMapping("KORVANTE-MappingTest"), 0u);
    const std::string reason = platform::FormatMessage(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(reason.empty());
    EXPECT_EQ(std::string(" \r\n").find(reason.back()), std::string::npos) << reason;
}

}  // namespace
