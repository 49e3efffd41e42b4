// What the network layer calls in the user interface above it: publishing's button, window, read
// tests and report text, the installer's licence agreement, and the running program's window and
// icons. The user interface fills every entry at start-up (ConnectUpCalls, ui/Main.h); an empty entry
// does nothing (an empty report text is sent, no window is named, the agreement counts as accepted).
#pragma once

#include <cstdint>
#include <string>

struct NetworkCalls {
    void (*SetPublishEnabled)(bool enabled) = nullptr;  // the "Publish" button
    void (*HideMainWindow)() = nullptr;
    bool (*RunPerformanceWindow)() = nullptr;  // false: another read test runs, nothing was measured
    // The plain text of the report at publish depth; the report is then shown again as it was.
    std::string (*BuildPublishText)() = nullptr;
    void (*CloseMainWindow)() = nullptr;  // ends the program
    // Before a fresh installation and before an update (given the installed version text); each
    // returns true only when the user agreed, false once the process was ended.
    bool (*BeforeInstall)() = nullptr;
    bool (*BeforeUpdate)(const std::string& installedVersion) = nullptr;
    // The main window: what the running instance publishes so that a newer copy can close it, and the
    // owner of the manual update check's boxes.
    std::uintptr_t (*MainWindowHandle)() = nullptr;
    // The running program's last act before the installer ends the process: whatever it put on the
    // screen outside its windows (the tray icons) goes.
    void (*BeforeExit)() = nullptr;
};
extern NetworkCalls NetCalls;

// The main window as NetCalls names it, 0 while there is none.
std::uintptr_t ProgramWindow();

// No calls (a simulated restart).
void ResetNetCalls();
