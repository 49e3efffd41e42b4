// The installer dispatcher and its branches (Installer.h). The sim's ExitProcess returns, so every
// branch returns false right after ending the process.
#include "net/Installer.h"

#include <vector>

#include "device/DiagnosticLog.h"
#include "net/CodeTrust.h"
#include "net/NetCalls.h"
#include "platform/FileVersion.h"
#include "platform/Installation.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/Trust.h"
#include "platform/UserInterface.h"
#include "platform/Windowing.h"
#include "platform/Entry.h"
#include "system/FileUtils.h"
#include "system/RegUtils.h"
#include "system/Settings.h"

using namespace platform;

namespace {

constexpr char UninstallBase[] = "Software\\Microsoft\\Windows\\CurrentVersion\\";
constexpr char UninstallArgument[] = "UnInstall";
constexpr char TaskNamespace[] = "http://schemas.microsoft.com/windows/2004/02/mit/task";
constexpr uint32_t SettingsKeyAccess = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
constexpr uint32_t InformationFlags = 0x50040;
constexpr uint32_t WarningFlags = 0x50030;
constexpr uint32_t TaskCreationWaitMs = 4000;
constexpr uint32_t InstanceCloseWaitMs = 3000;
constexpr uint32_t MappingSize = 4;
constexpr int DeletionTries = 300;  // about a second apart: the batch gives up after some five minutes

InstallerNames Names;
std::string RunningPath;
FileVersion Running;
std::string InstalledPath;
Handle InstanceMapping = 0;

std::string SettingsPath() { return "Software\\" + Names.AppName; }
std::string UninstallKeyPath() { return std::string(UninstallBase) + "UnInstall\\" + Names.AppName; }

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of('\\') + 1); }

// A path goes into a command line or a batch only between double quotes, so it may not hold one, nor
// a line break or another control character, which would end the command.
bool Quotable(const std::string& path) {
    if (path.empty()) return false;
    for (const char c : path)
        if (c == '"' || static_cast<unsigned char>(c) < 0x20) return false;
    return true;
}
std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// Between double quotes in a batch file only '%' is still special (delayed expansion is off, so '!'
// is not): it is doubled, so that a name like "KORVANTE%20setup.exe" or "%TEMP%" stays as it is.
std::string BatchQuoted(const std::string& path) {
    std::string quoted = "\"";
    for (const char c : path) quoted += c == '%' ? std::string("%%") : std::string(1, c);
    return quoted + "\"";
}

// The system's own program by its full path: a program of that name in the current or the download
// folder never runs in its place.
std::string SystemProgram(const std::string& name) { return GetSystemDirectory() + "\\" + name; }

void RunTaskScheduler(const std::string& parameters) {
    ShellExecute(0, "", SystemProgram("schtasks.exe"), parameters, "", SW_HIDE);
}

void ShowInformation(const std::string& text) {
    MessageBox(0, text, Names.DisplayName + " :: Information", InformationFlags);
}

// The running program clears up what it showed outside its windows (its tray icons) first.
void EndProcess() {
    if (NetCalls.BeforeExit) NetCalls.BeforeExit();
    ExitProcess(0);
}

const char UnsignedUpdateText[] =
    "The update was interrupted.\r\nThe new version is not signed by the vendor of the installed one.";

// Ends the process with a warning naming what failed and the system's reason.
bool EndWithError(const std::string& what, uint32_t error) {
    const std::string text = what + "\r\nError - " + FormatMessage(error);
    WriteLog(text);
    MessageBox(0, text, Names.DisplayName + " :: Warning!", WarningFlags);
    EndProcess();
    return false;
}

bool EndSilently() {
    EndProcess();
    return false;
}

std::string KeyText(HKey root, const std::string& path, const std::string& name) {
    HKey key = 0;
    if (RegOpenKeyEx(root, path, KEY_READ, key) != ERROR_SUCCESS) return std::string();
    const std::string text = RegistryText(key, name);
    RegCloseKey(key);
    return text;
}

// Both paths name the same file: their short forms agree without regard to case.
bool SamePath(const std::string& a, const std::string& b) {
    const std::string shortA = GetShortPathName(a), shortB = GetShortPathName(b);
    return !shortA.empty() && Upper(shortA) == Upper(shortB);
}

bool IsExistingFile(const std::string& path) {
    if (path.empty()) return false;
    const uint32_t attributes = GetFileAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

uint32_t SizeInKilobytes(const std::string& path) {
    uint64_t size = 0;
    GetFileSize(path, size);
    return static_cast<uint32_t>(size / 1024);
}

std::string XmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else out += c;
    }
    return out;
}

std::string FirstArgument(const std::string& commandLine) {
    const size_t start = commandLine.find_first_not_of(' ');
    if (start == std::string::npos) return std::string();
    return commandLine.substr(start, commandLine.find(' ', start) - start);
}

bool CloseRunningInstance() {
    const Handle mapping = OpenFileMapping(Names.AppName);
    if (!mapping) return true;
    uint32_t value = 0;
    const bool read = ReadMappedValue(mapping, value);
    CloseFileMapping(mapping);
    if (!read) return true;
    const HWnd window = value;
    const Handle process = OpenProcess(PROCESS_ALL_ACCESS, GetWindowThreadProcessId(window));
    PostMessage(window, WM_CLOSE, 0, 0);
    const uint32_t waited = WaitForSingleObject(process, InstanceCloseWaitMs);
    if (process) CloseHandle(process);
    if (waited == WAIT_TIMEOUT) WriteLog("The running instance did not close in time.");
    return waited != WAIT_TIMEOUT;
}

void CreateLogonTask(const std::string& folder, const std::string& executable) {
    const std::string definition = folder + "\\" + Names.AppName + ".xml";
    if (!WriteNewFile(definition, AnsiToUtf8(TaskDefinition(executable)))) {  // XML without a declaration is UTF-8
        WriteLog("The task definition could not be written.");
        return;
    }
    const std::string shortPath = GetShortPathName(definition);
    if (Quotable(shortPath))
        ShellExecuteAndWait(SystemProgram("schtasks.exe"), "/Create /TN " + Names.AppName + " /XML " + Quoted(shortPath), SW_HIDE,
                            TaskCreationWaitMs);
    DeleteFile(definition);
}

// The values of the uninstall entry an update changes.
void WriteSizeAndVersion(HKey key, const std::string& executable) {
    SetRegistryDword(key, "EstimatedSize", SizeInKilobytes(executable));
    SetRegistryText(key, "DisplayVersion", Running.Text);
}

bool WriteUninstallEntry(const std::string& executable) {
    HKey key = 0;
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, UninstallKeyPath(), KEY_ALL_ACCESS, key) != ERROR_SUCCESS) return false;
    SetRegistryText(key, "DisplayName", Names.DisplayName);
    SetRegistryText(key, "UnInstallString", Quoted(executable) + " " + UninstallArgument);
    SetRegistryDword(key, "NoModify", 1);
    SetRegistryDword(key, "NoRepair", 1);
    SetRegistryText(key, "Publisher", Names.PublisherName);
    SetRegistryText(key, "DisplayIcon", executable + ",0");
    WriteSizeAndVersion(key, executable);
    RegCloseKey(key);
    return true;
}

bool InstallFresh() {
    if (NetCalls.BeforeInstall && !NetCalls.BeforeInstall()) return false;
    const std::string programFiles = KeyText(HKEY_LOCAL_MACHINE, UninstallBase, "ProgramFilesDir");
    const std::string folder = programFiles + "\\" + Names.AppName;
    const std::string executable = folder + "\\" + Names.AppName + ".exe";
    if (programFiles.empty() || !Quotable(executable)) {
        WriteLog("No usable program-files folder: \"" + programFiles + "\".");
        return EndSilently();
    }
    CreateDirectory(folder);
    if (!CopyFile(RunningPath, executable)) {
        const uint32_t error = GetLastError();
        RemoveDirectory(folder);  // only when the failed copy left it empty
        return EndWithError("The installation was interrupted.", error);
    }
    SetFileAttributes(executable, FILE_ATTRIBUTE_NORMAL);
    if (Names.CreateTask) CreateLogonTask(folder, executable);
    HKey settings = 0;
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, SettingsPath(), KEY_ALL_ACCESS, settings) == ERROR_SUCCESS) {
        StoreText(settings, Setting(SettingsKeyValue::InstallationPath), executable);
        RegCloseKey(settings);
    }
    WriteUninstallEntry(executable);
    RestartViaTask();
    return false;
}

// The running file held from its check through its copy, so that the bytes checked are the bytes
// installed. It replaces a signed installed copy only when it is signed as that copy is; an unsigned
// installed copy (a development build) takes any.
bool HeldAndSignedAsInstalled(HeldFile& held) {
    held = CreateHeldFile(RunningPath);
    Signer installed;
    if (!CryptQueryObject(InstalledPath, installed)) return true;
    return held && SignedBy("Update", RunningPath, held, installed);
}

bool InstallUpdate() {
    const FileVersion installed = GetFileVersion(InstalledPath);
    if (installed.Number >= Running.Number) {
        ShowInformation("You already have the latest version of the program installed.");
        return EndSilently();
    }
    HeldFile held;
    if (!HeldAndSignedAsInstalled(held)) {
        MessageBox(0, UnsignedUpdateText, Names.DisplayName + " :: Warning!", WarningFlags);
        return EndSilently();
    }
    if (NetCalls.BeforeUpdate && !NetCalls.BeforeUpdate(installed.Text)) return false;
    if (!CloseRunningInstance()) return EndSilently();
    if (!CopyFile(RunningPath, InstalledPath)) return EndWithError("The update was interrupted.", GetLastError());
    SetFileAttributes(InstalledPath, FILE_ATTRIBUTE_NORMAL);
    HKey key = 0;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, UninstallKeyPath(), KEY_SET_VALUE, key) == ERROR_SUCCESS) {
        WriteSizeAndVersion(key, InstalledPath);
        RegCloseKey(key);
    }
    ShowInformation("The update was completed successfully.");
    RestartViaTask();
    return false;
}

// Deletes `executable` once it can (its process has ended), trying about once a second and giving up
// after DeletionTries, then removes `folder` (when given) and itself.
std::string DeletingBatchText(const std::string& executable, const std::string& folder, const std::string& batch) {
    const std::string file = BatchQuoted(executable);
    std::string text = "@echo off\r\nsetlocal DisableDelayedExpansion\r\nset /a tries=0\r\n:Loop\r\ndel /F /Q " + file +
                       "\r\nif not exist " + file + " goto Gone\r\nset /a tries+=1\r\nif %tries% geq " +
                       std::to_string(DeletionTries) + " goto Gone\r\n" + BatchQuoted(SystemProgram("ping.exe")) +
                       " -n 2 127.0.0.1 > nul\r\ngoto Loop\r\n:Gone\r\n";
    if (!folder.empty()) text += "rd /Q " + BatchQuoted(folder) + "\r\n";
    return text + "del " + BatchQuoted(batch);
}

// The batch that deletes `executable` once its process has ended, then `folder` (when given) and
// itself, run by the system's command interpreter without its AutoRun commands.
bool StartDeletingBatch(const std::string& appName, const std::string& executable, const std::string& folder) {
    const std::string batchName = appName + ".bat", batch = GetTempPath() + batchName;
    if (!Quotable(executable) || !Quotable(batch) || (!folder.empty() && !Quotable(folder))) {
        WriteLog("A path holds a double quote or a control character; nothing is deleted.");
        return false;
    }
    if (!WriteNewFile(batch, CharToOem(DeletingBatchText(executable, folder, batch)))) {  // read in the OEM code page
        WriteLog("The deleting batch could not be written.");
        return false;
    }
    // Named without its folder, which is the interpreter's current one: the interpreter expands
    // "%...%" in its own command line, quoted or not, and the shell in the folder it is given, so no
    // path of the user's may go through either. /S: the interpreter takes off the outer pair of quotes
    // and keeps the name's own.
    return CreateProcess(SystemProgram("cmd.exe"), "/D /S /C \"" + Quoted(batchName) + "\"", GetTempPath());
}

bool Uninstall() {
    if (!CloseRunningInstance()) return EndSilently();
    RunTaskScheduler("/Delete /TN " + Names.AppName + " /F");
    RegCloseKey(SettingsKey);
    SettingsKey = 0;
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, SettingsPath());
    HKey entries = 0;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, std::string(UninstallBase) + "UnInstall", KEY_ALL_ACCESS, entries) == ERROR_SUCCESS) {
        RegDeleteKey(entries, Names.AppName);
        RegCloseKey(entries);
    }
    ShowInformation("The uninstallation was completed successfully.");
    // The uninstalling process may be the installed file itself: it goes once this process has ended.
    if (IsExistingFile(InstalledPath)) {
        const std::string folder = FolderOf(InstalledPath);
        StartDeletingBatch(Names.AppName, InstalledPath, folder.substr(0, folder.size() - 1));
    }
    return EndSilently();
}

bool RegisterInstance() {
    bool alreadyExisted = false;
    const Handle mapping = CreateFileMapping(Names.AppName, MappingSize, alreadyExisted);
    if (alreadyExisted) return EndSilently();  // another instance runs
    if (!mapping) {
        WriteLog("The instance mapping could not be made.");
        return true;
    }
    WriteMappedValue(mapping, static_cast<uint32_t>(ProgramWindow()));
    InstanceMapping = mapping;
    return true;
}

}  // namespace

std::string TaskDefinition(const std::string& path) {
    return std::string("<Task version=\"1.3\" xmlns=\"") + TaskNamespace +
           "\"><Triggers><LogonTrigger id=\"fcb45ad9-869e-4313-a260-9cfd764821f5\"></LogonTrigger></Triggers>"
           "<Principals><Principal><RunLevel>HighestAvailable</RunLevel></Principal></Principals><Settings>"
           "<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries><ExecutionTimeLimit>PT0S</ExecutionTimeLimit>"
           "<Priority>0</Priority></Settings><Actions><Exec><Command>" +
           XmlEscaped(path) + "</Command></Exec></Actions></Task>";
}

bool RunInstaller(const InstallerNames& names, const std::string& commandLine) {
    Names = names;
    RunningPath = GetModuleFileName();
    Running = GetFileVersion(RunningPath);
    HKey key = 0;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, SettingsPath(), SettingsKeyAccess, key) != ERROR_SUCCESS) return InstallFresh();
    SettingsKey = key;
    InstalledPath = StoredText(SettingsKey, Setting(SettingsKeyValue::InstallationPath));
    if (FirstArgument(commandLine) == UninstallArgument) return Uninstall();
    if (SamePath(RunningPath, InstalledPath)) return RegisterInstance();
    if (!IsExistingFile(InstalledPath)) return InstallFresh();
    return InstallUpdate();
}

void RestartViaTask() {
    if (InstanceMapping) CloseFileMapping(InstanceMapping);
    InstanceMapping = 0;
    RunTaskScheduler("/Run /I /TN " + Names.AppName);
    EndProcess();
}

bool SelfDeleteBatch(const std::string& appName) { return StartDeletingBatch(appName, GetModuleFileName(), std::string()); }

void ResetInstaller() {
    if (InstanceMapping) CloseFileMapping(InstanceMapping);
    InstanceMapping = 0;
    Names = InstallerNames();
    RunningPath.clear();
    InstalledPath.clear();
    Running = FileVersion{};
}
