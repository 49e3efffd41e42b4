// Starts a program under test and checks what it puts on screen, as a user would find it: the main
// window by its class, its controls by their identifiers, the tray entries in Wine's system tray
// window. When the windows are up it prints "SHOOT" and waits for a line on its input, while the
// script that runs it takes a screenshot; then it ends the program it started.
//
//   korvante_guicheck PROGRAM [--window] [--tray N] [--exits] [-- ARGUMENTS...]
//     --window   the main window is shown with its report box and buttons at their design places
//     --tray N   at least N entries are in the tray
//     --exits    the program ends by itself, with exit code 0
#include "platform/win32/WindowsApi.h"

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
    bool Exits = false;
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
        else if (a == "--tray" && i + 1 < argc) options.TrayEntries = std::atoi(argv[++i]);
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
    for (DWORD waited = 0; waited < WaitMs && (count = TrayEntryCount(tray)) < wanted; waited += PollMs) ::Sleep(PollMs);
    RECT r{};
    ::GetWindowRect(tray, &r);
    std::printf("tray: %d entries in %s\n", count, RectText(r).c_str());
    if (count < wanted) Fail("tray entries", std::to_string(count) + " of " + std::to_string(wanted));
    if (!::IsWindowVisible(tray)) Fail("tray", "its window is hidden");
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

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::printf("usage: korvante_guicheck PROGRAM [--window] [--tray N] [--exits] [-- ARGUMENTS...]\n");
        return 2;
    }
    std::string commandLine = "\"" + options.Program + "\"" + options.Arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::printf("FAIL cannot start %s: error %lu\n", options.Program.c_str(), ::GetLastError());
        return 1;
    }
    if (options.Window) {
        const DWORD id = process.dwProcessId;
        if (HWND main = WaitForWindow([id] { return FindMainWindow(id); })) CheckMainWindow(main);
        else Fail("main window", "not shown within 30 s");
    }
    if (options.TrayEntries > 0) CheckTray(options.TrayEntries);
    if (options.Window || options.TrayEntries > 0) LetTheScreenshotBeTaken(process.hProcess);
    if (options.Exits) {
        DWORD code = STILL_ACTIVE;
        if (::WaitForSingleObject(process.hProcess, WaitMs) != WAIT_OBJECT_0) Fail("exit", "still running after 30 s");
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
