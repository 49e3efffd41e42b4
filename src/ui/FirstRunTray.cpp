#include "ui/FirstRunTray.h"

#include <algorithm>
#include <string>

#include "monitor/Alerts.h"
#include "platform/FileVersion.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/UserInterface.h"
#include "system/RegUtils.h"
#include "system/Settings.h"
#include "system/Utils.h"
#include "ui/CpuIcon.h"
#include "ui/Main.h"
#include "ui/TrayIcons.h"

using namespace platform;

namespace {

constexpr char InstalledProgramPath[] = "{7C5A40EF-A0FB-4BFC-874A-C0F2E0B9FA8E}\\KORVANTE\\KORVANTE.exe";
static_assert(sizeof InstalledProgramPath - 1 == 60, "the IconStreams pattern is 60 characters");

constexpr char NotifyIconSettingsPath[] = "Control Panel\\NotifyIconSettings";
constexpr char TrayNotifyPath[] =
    "SOFTWARE\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\TrayNotify";
// An IconStreams entry's visibility byte lies this far past the start of its path; 2 is "always show".
constexpr size_t VisibilityOffset = 528;
constexpr uint8_t AlwaysShow = 2;
// What Explorer's taskbar window takes as a request to exit.
constexpr uint32_t ExplorerExitRequest = WM_USER + 436;
constexpr uint32_t ExplorerExitWaitMs = 10000;

char Rot13(char c) {
    if (c >= 'a' && c <= 'z') return static_cast<char>('a' + (c - 'a' + 13) % 26);
    if (c >= 'A' && c <= 'Z') return static_cast<char>('A' + (c - 'A' + 13) % 26);
    return c;
}

bool PromoteIfProgram(const std::string& entryPath) {
    HKey handle = 0;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, entryPath, KEY_QUERY_VALUE | KEY_SET_VALUE, handle) != ERROR_SUCCESS)
        return false;
    const OwnedKey entry(handle);
    if (RegistryText(entry, "ExecutablePath") != InstalledProgramPath) return false;
    SetRegistryDword(entry, "IsPromoted", 1);
    return true;
}

bool PromoteInIconSettings() {
    HKey handle = 0;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, NotifyIconSettingsPath, KEY_READ, handle) != ERROR_SUCCESS) return false;
    const OwnedKey settings(handle);
    uint32_t count = 0, longest = 0;
    if (RegQueryInfoKey(settings, count, longest) != ERROR_SUCCESS) return false;
    for (uint32_t i = 0; i < count; ++i) {
        std::string name;
        if (RegEnumKeyEx(settings, i, longest + 1, name) != ERROR_SUCCESS) continue;
        if (PromoteIfProgram(std::string(NotifyIconSettingsPath) + "\\" + name)) return true;
    }
    return false;
}

// The value is Explorer's: the entry's visibility byte is written only where it lies inside it.
void ShowProgramAlways() {
    HKey handle = 0;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, TrayNotifyPath, KEY_QUERY_VALUE | KEY_SET_VALUE, handle) != ERROR_SUCCESS)
        return;
    const OwnedKey trayNotify(handle);
    uint32_t type = 0;
    std::vector<uint8_t> streams;
    if (RegQueryValueEx(trayNotify, "IconStreams", type, streams) != ERROR_SUCCESS || type != REG_BINARY) return;
    const std::vector<uint8_t> pattern = IconStreamsPattern();
    const auto found = std::search(streams.begin(), streams.end(), pattern.begin(), pattern.end());
    if (found == streams.end()) return;
    const size_t visibility = static_cast<size_t>(found - streams.begin()) + VisibilityOffset;
    if (visibility >= streams.size()) return;
    streams[visibility] = AlwaysShow;
    RegSetValueEx(trayNotify, "IconStreams", REG_BINARY, streams);
}

void StartExplorer() { ShellExecute(0, "open", GetWindowsDirectory() + "\\explorer.exe", "", "", SW_HIDE); }

// Asks Explorer to exit and waits for it; true once its process has ended.
bool EndExplorer(HWnd taskbar) {
    const OwnedHandle explorer(OpenProcess(PROCESS_ALL_ACCESS, GetWindowThreadProcessId(taskbar)));
    MessageBox(MainWindow, "Windows Explorer will be restarted to complete the installation.", InfoCaption,
               MB_ICONEXCLAMATION | OwnedBoxFlags);
    DeactivateDriveIcon(0);
    PostMessage(taskbar, ExplorerExitRequest, 0, 0);
    return explorer != 0 && WaitForSingleObject(explorer, ExplorerExitWaitMs) == WAIT_OBJECT_0;
}

}  // namespace

std::vector<uint8_t> IconStreamsPattern() {
    std::vector<uint8_t> pattern;
    for (const char* c = InstalledProgramPath; *c; ++c) {
        pattern.push_back(static_cast<uint8_t>(Rot13(*c)));
        pattern.push_back(0);
    }
    return pattern;
}

void FirstRunTrayRegistration() {
    if (PromoteInIconSettings()) return;
    const HWnd taskbar = FindWindow("Shell_TrayWnd");
    if (!taskbar) return;
    const bool ended = EndExplorer(taskbar);
    if (ended) ShowProgramAlways();
    StartExplorer();
    if (!ended) return;
    ReleaseDriveIcons();
    CreateDriveIcons();
    if (Settings.ShowCPU_usage) RecreateCpuIcon();
}
