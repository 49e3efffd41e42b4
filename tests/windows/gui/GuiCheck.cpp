// Starts a program under test and checks what it puts on screen, as a user would find it: the main
// window by its class, its controls by their identifiers, the tray entries in Wine's system tray
// window. When the windows are up it prints "SHOOT" and waits for a line on its input, while the
// script that runs it takes a screenshot; then it ends the program it started.
//
//   korvante_guicheck PROGRAM [--window] [--tray N] [--tip TEXT]... [--exits] [-- ARGUMENTS...]
//     --window   the main window is shown with its report box and buttons at their design places
//     --tray N   at least N entries are in the tray
//     --tip TEXT one of the tray entries has this tooltip (repeatable)
//     --memory S prints the program's working set and private bytes S seconds after its start
//     --exits    the program ends by itself, with exit code 0
//     --diagnostic  the window is the one without drives: only "Publish" is enabled, and it can be resized
//     --settings the settings dialog comes up at start-up (its "CheckUpdate" value is deleted first):
//                its four boxes are checked, "Use Fahrenheit temperature scale" is ticked, the
//                screenshot taken, the dialog closed and the four stored values read back
//   Without --settings the four settings are stored first (0, 0, 0, 1), so that no dialog waits; the
//   installation counts as done, so that no test restarts Explorer.
#include "platform/win32/WindowsApi.h"

#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD WaitMs = 30000;
constexpr DWORD PollMs = 100;
constexpr DWORD SettleMs = 1000;

struct Options {
    std::string Program;
    std::string Arguments;
    bool Window = false;
    int TrayEntries = 0;
    std::vector<std::string> Tips;
    int MemorySeconds = 0;
    bool Exits = false;
    bool Settings = false;
    bool Diagnostic = false;
};

struct Expected {
    int Id;
    const char* Class;
    const char* Text;
    RECT Place;  // in the main window's client area
};

// The main window's design: the report box above, two rows of three buttons below.
const Expected Controls[] = {
    {100, "RichEdit20A", "", {0, 0, 400, 179}},
    {101, "Button", "Expert mode", {18, 204, 133, 231}},
    {102, "Button", "Database", {143, 204, 258, 231}},
    {103, "Button", "Publish", {268, 204, 383, 231}},
    {104, "Button", "Defragmentation", {18, 242, 133, 269}},
    {105, "Button", "Diagnostics", {143, 242, 258, 269}},
    {106, "Button", "Tuning", {268, 242, 383, 269}},
};
constexpr int ClientWidth = 400, ClientHeight = 284;

int Failures = 0;

void Fail(const char* what, const std::string& detail) {
    std::printf("FAIL %s: %s\n", what, detail.c_str());
    ++Failures;
}

std::string RectText(const RECT& r) {
    char text[64];
    std::snprintf(text, sizeof text, "(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
    return text;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    if (argc < 2) return false;
    options.Program = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--window") options.Window = true;
        else if (a == "--exits") options.Exits = true;
        else if (a == "--settings") options.Settings = true;
        else if (a == "--diagnostic") options.Diagnostic = options.Window = true;
        else if (a == "--tray" && i + 1 < argc) options.TrayEntries = std::atoi(argv[++i]);
        else if (a == "--tip" && i + 1 < argc) options.Tips.push_back(argv[++i]);
        else if (a == "--memory" && i + 1 < argc) options.MemorySeconds = std::atoi(argv[++i]);
        else if (a == "--") {
            for (++i; i < argc; ++i) options.Arguments += std::string(" ") + argv[i];
        } else return false;
    }
    return true;
}

// Waits until `find` returns a window, polling; null after WaitMs.
template <typename Find>
HWND WaitForWindow(Find find) {
    for (DWORD waited = 0; waited < WaitMs; waited += PollMs) {
        if (HWND window = find()) return window;
        ::Sleep(PollMs);
    }
    return nullptr;
}

HWND FindMainWindow(DWORD processId) {
    for (HWND w = ::FindWindowExA(nullptr, nullptr, "KorvanteMainWindow", nullptr); w;
         w = ::FindWindowExA(nullptr, w, "KorvanteMainWindow", nullptr)) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(w, &owner);
        if (owner == processId && ::IsWindowVisible(w)) return w;
    }
    return nullptr;
}

// A control's place in its parent's client area.
RECT PlaceInParent(HWND control, HWND parent) {
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Without drives only "Publish" (id 103) is live, and the window keeps its sizing border.
void CheckDiagnosticWindow(HWND main) {
    for (const Expected& e : Controls)
        if (e.Id != 100 && (::IsWindowEnabled(::GetDlgItem(main, e.Id)) != FALSE) != (e.Id == 103))
            Fail("enabled state", std::to_string(e.Id) + " " + e.Text);
    if ((::GetWindowLongA(main, platform::GWL_STYLE) & platform::WS_THICKFRAME) == 0) Fail("diagnostic window", "cannot be resized");
    std::printf("diagnostic window: only Publish enabled, resizable\n");
}

void CheckMainWindow(HWND main) {
    RECT client{};
    ::GetClientRect(main, &client);
    if (client.right != ClientWidth || client.bottom != ClientHeight) Fail("main window client area", RectText(client));
    for (const Expected& e : Controls) {
        HWND control = ::GetDlgItem(main, e.Id);
        const std::string name = std::to_string(e.Id) + " " + e.Text;
        if (!control) {
            Fail("control missing", name);
            continue;
        }
        char text[128] = {}, className[64] = {};
        ::GetWindowTextA(control, text, sizeof text);
        ::GetClassNameA(control, className, sizeof className);
        if (_stricmp(className, e.Class) != 0) Fail("control class", name + ": " + className);
        if (std::strcmp(text, e.Text) != 0) Fail("control text", name + ": " + text);
        if (!::IsWindowVisible(control)) Fail("control hidden", name);
        const RECT place = PlaceInParent(control, main);
        if (!::EqualRect(&place, &e.Place)) Fail("control place", name + ": " + RectText(place) + " instead of " + RectText(e.Place));
    }
    std::printf("main window: %zu controls checked\n", sizeof Controls / sizeof Controls[0]);
}

// Wine shows the tray entries in a window of its own when no desktop tray holds them; each entry is
// a child window of it.
BOOL CALLBACK CountWindow(HWND, LPARAM counter) {
    ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

int TrayEntryCount(HWND tray) {
    int count = 0;
    ::EnumChildWindows(tray, CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

void CheckTray(int wanted) {
    HWND tray = WaitForWindow([] { return ::FindWindowA(nullptr, "Wine System Tray"); });
    if (!tray) return Fail("tray", "no \"Wine System Tray\" window");
    int count = 0;
    // Wine shows its tray window a moment after the entries arrive.
    for (DWORD waited = 0; waited < WaitMs && ((count = TrayEntryCount(tray)) < wanted || !::IsWindowVisible(tray));
         waited += PollMs)
        ::Sleep(PollMs);
    RECT r{};
    ::GetWindowRect(tray, &r);
    std::printf("tray: %d entries in %s\n", count, RectText(r).c_str());
    if (count < wanted) Fail("tray entries", std::to_string(count) + " of " + std::to_string(wanted));
    if (!::IsWindowVisible(tray)) Fail("tray", "its window is hidden");
}

// Wine's tray gives each entry a tooltip control owned by the tray window, in Explorer's process. The
// control copies a tool's text only into memory of its own process: the text is fetched through a
// block lent there.
struct TipSearch {
    HWND Tray;
    std::vector<HWND> Controls;
};

BOOL CALLBACK CollectTipControl(HWND window, LPARAM search) {
    auto* s = reinterpret_cast<TipSearch*>(search);
    char className[64] = {};
    ::GetClassNameA(window, className, sizeof className);
    if (_stricmp(className, TOOLTIPS_CLASSA) == 0 && ::GetWindow(window, GW_OWNER) == s->Tray) s->Controls.push_back(window);
    return TRUE;
}

constexpr UINT EnumToolsW = platform::WM_USER + 58;  // TTM_ENUMTOOLSW, which names the undefined WM_USER

struct RemoteTool {
    TTTOOLINFOW Info;
    wchar_t Text[512];
};

std::string ToolTextIn(HANDLE explorer, HWND control) {
    auto* remote = static_cast<RemoteTool*>(::VirtualAllocEx(explorer, nullptr, sizeof(RemoteTool), MEM_COMMIT, PAGE_READWRITE));
    if (!remote) return {};
    RemoteTool local{};
    local.Info.cbSize = sizeof local.Info;
    local.Info.lpszText = remote->Text;
    std::string text;
    SIZE_T moved = 0;
    if (::WriteProcessMemory(explorer, remote, &local, sizeof local, &moved) &&
        ::SendMessageW(control, EnumToolsW, 0, reinterpret_cast<LPARAM>(remote)) &&
        ::ReadProcessMemory(explorer, remote, &local, sizeof local, &moved)) {
        local.Text[511] = 0;
        char narrow[1024] = {};
        ::WideCharToMultiByte(CP_ACP, 0, local.Text, -1, narrow, sizeof narrow, nullptr, nullptr);
        text = narrow;
    }
    ::VirtualFreeEx(explorer, remote, 0, MEM_RELEASE);
    return text;
}

std::vector<std::string> TrayTips() {
    TipSearch search{::FindWindowA(nullptr, "Wine System Tray"), {}};
    DWORD explorerId = 0;
    ::GetWindowThreadProcessId(search.Tray, &explorerId);
    HANDLE explorer = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, explorerId);
    if (!explorer) return {};
    ::EnumWindows(CollectTipControl, reinterpret_cast<LPARAM>(&search));
    std::vector<std::string> tips;
    for (HWND control : search.Controls) tips.push_back(ToolTextIn(explorer, control));
    ::CloseHandle(explorer);
    return tips;
}

void CheckTrayTips(const std::vector<std::string>& wanted) {
    const std::vector<std::string> tips = TrayTips();
    for (const std::string& tip : tips) std::printf("tray tip: \"%s\"\n", tip.c_str());
    for (const std::string& w : wanted) {
        bool found = false;
        for (const std::string& tip : tips) found = found || tip == w;
        if (!found) Fail("tray tip missing", w);
    }
}

void PrintMemory(HANDLE process, int seconds) {
    ::Sleep(static_cast<DWORD>(seconds) * 1000);
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!::K32GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
        return Fail("memory", "cannot be read");
    std::printf("memory after %d s: working set %zu KiB, private %zu KiB\n", seconds,
                static_cast<size_t>(counters.WorkingSetSize / 1024), static_cast<size_t>(counters.PrivateUsage / 1024));
}

// Prints SHOOT once the program has painted, and waits for the screenshot to be taken (a line, or
// the end of the input).
void LetTheScreenshotBeTaken(HANDLE process) {
    ::WaitForInputIdle(process, WaitMs);
    ::Sleep(SettleMs);  // the controls paint after the window is found
    std::printf("SHOOT\n");
    std::fflush(stdout);
    char line[16];
    if (!std::fgets(line, sizeof line, stdin)) std::printf("(no answer on input)\n");
}

const char SettingsKeyPath[] = "Software\\KORVANTE";
const char* const SettingNames[] = {"Fahrenheit", "ShowHottestDiskOnly", "ShowCPU_usage", "CheckUpdate"};
const char* const SettingBoxes[] = {"Use Fahrenheit temperature scale", "Show the icon of the hottest disk only",
                                    "Show CPU usage", "Check for updates"};

HKEY Machine() { return reinterpret_cast<HKEY>(platform::HKEY_LOCAL_MACHINE); }

// Without a window manager (Xvfb) nobody draws the frame of a window the manager would decorate: Wine
// is asked to draw every frame itself, so that the screenshots show captions as Windows would.
void LetWineDrawFrames() {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(reinterpret_cast<HKEY>(platform::HKEY_CURRENT_USER), "Software\\Wine\\X11 Driver", 0, nullptr, 0,
                          platform::KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    ::RegSetValueExA(key, "Decorated", 0, platform::REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
    ::RegCloseKey(key);
}

void PrepareSettings(bool showDialog) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(Machine(), SettingsKeyPath, 0, nullptr, 0, platform::KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return Fail("settings key", "cannot be created");
    for (int i = 0; i < 4; ++i) {
        const DWORD value = i == 3;
        ::RegSetValueExA(key, SettingNames[i], 0, platform::REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    if (showDialog) ::RegDeleteValueA(key, "CheckUpdate");
    // Not a first start after installation: that one restarts Explorer, which holds Wine's tray.
    const DWORD installed = 1;
    ::RegSetValueExA(key, "InstallationSuccess", 0, platform::REG_DWORD, reinterpret_cast<const BYTE*>(&installed),
                     sizeof installed);
    ::RegCloseKey(key);
}

DWORD StoredSetting(const char* name) {
    DWORD value = 0xFFFFFFFF, size = sizeof value;
    ::RegGetValueA(Machine(), SettingsKeyPath, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

struct BoxSearch {
    const char* Text;
    HWND Found;
};

BOOL CALLBACK FindBox(HWND child, LPARAM search) {
    auto* s = reinterpret_cast<BoxSearch*>(search);
    char text[128] = {};
    ::GetWindowTextA(child, text, sizeof text);
    if (std::strcmp(text, s->Text) != 0) return TRUE;
    s->Found = child;
    return FALSE;
}

// The first-run settings dialog: its boxes, one tick, the screenshot, closing, and what it stored.
void CheckSettingsDialog(HANDLE process) {
    HWND dialog = WaitForWindow([] { return ::FindWindowA(nullptr, "KORVANTE :: Settings"); });
    if (!dialog) return Fail("settings dialog", "not shown within 30 s");
    for (const char* caption : SettingBoxes) {
        BoxSearch search{caption, nullptr};
        // The dialog's window is found before its boxes are made.
        for (DWORD waited = 0; waited < WaitMs && !search.Found; waited += PollMs) {
            ::EnumChildWindows(dialog, FindBox, reinterpret_cast<LPARAM>(&search));
            if (!search.Found) ::Sleep(PollMs);
        }
        if (!search.Found) Fail("settings box missing", caption);
        else if (caption == SettingBoxes[0]) ::SendMessageA(search.Found, BM_CLICK, 0, 0);
    }
    LetTheScreenshotBeTaken(process);
    ::PostMessageA(dialog, platform::WM_CLOSE, 0, 0);
    for (DWORD waited = 0; waited < WaitMs && ::IsWindow(dialog); waited += PollMs) ::Sleep(PollMs);
    const DWORD expected[] = {1, 0, 0, 1};
    for (int i = 0; i < 4; ++i)
        if (StoredSetting(SettingNames[i]) != expected[i])
            Fail("stored setting", std::string(SettingNames[i]) + " = " + std::to_string(StoredSetting(SettingNames[i])));
    std::printf("settings dialog: four boxes, stored 1 0 0 1\n");
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::printf("usage: korvante_guicheck PROGRAM [--window] [--tray N] [--tip TEXT]... [--exits] [--settings] [--diagnostic] [-- ARGUMENTS...]\n");
        return 2;
    }
    PrepareSettings(options.Settings);
    LetWineDrawFrames();
    std::string commandLine = "\"" + options.Program + "\"" + options.Arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::printf("FAIL cannot start %s: error %lu\n", options.Program.c_str(), ::GetLastError());
        return 1;
    }
    if (options.Settings) CheckSettingsDialog(process.hProcess);
    if (options.Window) {
        const DWORD id = process.dwProcessId;
        if (HWND main = WaitForWindow([id] { return FindMainWindow(id); })) {
            CheckMainWindow(main);
            if (options.Diagnostic) CheckDiagnosticWindow(main);
        }
        else Fail("main window", "not shown within 30 s");
    }
    if (options.TrayEntries > 0) CheckTray(options.TrayEntries);
    if (!options.Tips.empty()) CheckTrayTips(options.Tips);
    if (options.MemorySeconds > 0) PrintMemory(process.hProcess, options.MemorySeconds);
    if (!options.Settings && (options.Window || options.TrayEntries > 0)) LetTheScreenshotBeTaken(process.hProcess);
    if (options.Exits) {
        DWORD code = STILL_ACTIVE;
        if (::WaitForSingleObject(process.hProcess, WaitMs) != platform::WAIT_OBJECT_0) Fail("exit", "still running after 30 s");
        else if (::GetExitCodeProcess(process.hProcess, &code) && code != 0) Fail("exit code", std::to_string(code));
        else std::printf("exited with 0\n");
    }
    ::TerminateProcess(process.hProcess, 0);  // what it started, if still running
    ::WaitForSingleObject(process.hProcess, WaitMs);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    std::printf("%s\n", Failures ? "FAILED" : "PASSED");
    return Failures ? 1 : 0;
}
