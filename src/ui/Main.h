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

// Which program runs, as its entry point says. KORVANTE.exe is its own installer: installation,
// update and uninstallation at start-up, the single instance, the self-deleting download, and after a
// device change the restart through its logon task. The simulated programs install nothing:
// KORVANTE-sim.exe keeps running as it is after a device change (its simulated drives never change);
// a program whose runner restarts it (the simulated life, the tests) takes its icons out of the tray,
// stops its timer and leaves the restart to the runner (RestartRequested).
enum class ProgramKind { Installed, Simulated, RestartedByRunner };

// The program's start-up, then its message loop; the exit code. Failed checks end the process.
int RunProgram(const std::string& commandLine, ProgramKind kind);

// Fills the lower layers' calls into the user interface (the monitoring cycle's Callouts, the
// network's NetCalls); RunProgram does it first.
void ConnectUpCalls();

// Set once a device change has asked for the restart.
bool RestartRequested();

// The main window's caption, and the caption as last set (also the caption of the box shown when the
// tray never appears, which may be raised on any thread).
void SetMainWindowCaption(const char* caption);
const char* MainWindowCaption();

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

// Main window, dialogs' state and flags back to their start (a simulated restart).
void ResetMainWindow();
