// The program's spine on the user-interface side: the main window with its controls and command
// table, its answers to the system's messages (power broadcasts, close and Esc), and the start-up of
// each drive's persisted state.
#pragma once

#include <atomic>
#include <string>

#include "device/DriveRecord.h"
#include "platform/Windowing.h"

// The main window and its report box; 0 until CreateMainWindow.
extern platform::HWnd MainWindow;
extern platform::HWnd ReportBox;

// Control identifiers of the main window.
enum MainControl : uint32_t {
    ReportBoxId = 100,
    ExpertModeId,
    DatabaseId,
    PublishId,
    DefragmentationId,
    DiagnosticsId,
    TuningId,
};

// The dialogs whose being open leaves Esc and the close button of the main window alone; each is the
// dialog's window while it is open, 0 otherwise.
extern std::atomic<platform::HWnd> SettingsDialog, TuningDialog, DiagnosticsDialog;

// What the main window's commands call in parts of the program built later; an empty entry does
// nothing.
struct MainWindowCalls {
    void (*ShowReport)() = nullptr;        // rebuild and show the report (also the expert toggle)
    bool (*InstallerDispatch)(const std::string& commandLine) = nullptr;  // false once it ended the process
    void (*RestartThroughLogonTask)() = nullptr;                         // ends the process
    void (*DeleteDownloadedProgram)() = nullptr;  // the self-deleting batch of a program run from the temporary folder
    void (*RunPerformanceWindow)() = nullptr;
    void (*OpenDatabasePage)() = nullptr;  // the online drive database
    void (*Publish)() = nullptr;
    void (*RunDiagnostics)() = nullptr;
    void (*RunTuning)() = nullptr;
};
extern MainWindowCalls MainCalls;

// The "Publish" button's command and what publishing needs of the main window and the report.
void ConnectPublishing();

// The installer, the logon-task restart, the self-deleting batch and the licence agreement as the
// program's calls (KORVANTE.exe; tests of the installation).
void ConnectInstaller();

// The program's start-up, then its message loop; the exit code. Failed checks end the process.
int RunProgram(const std::string& commandLine);

// Set once a device change has started the restart.
extern std::atomic<bool> RestartPending;

// Creates the hidden main window with its controls at their design positions, fonts and styles.
// False when the window class or a window cannot be made.
bool CreateMainWindow();

// Start-up for one drive: its key opened, its persisted state taken in, its stored tuning applied.
void LoadPersistedDriveState(DriveRecord& drive);

// The system goes to sleep: the monitoring timer stops until the resume.
void OnSystemSuspend();
// The system woke up: one monitoring cycle at once on this thread, the timer started again, and every
// drive's tuning sent again (drives forget it in their sleep).
void OnSystemResume();

// Main window, dialogs' state, calls and flags back to their start (a simulated restart).
void ResetMainWindow();
