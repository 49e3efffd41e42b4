// The main window on its own, shown, with two tray entries (the program's icon and a temperature
// icon), until the process is ended: what the GUI tests look at until the program's start-up shows
// them itself. Built with the real platform layer and the program's resources.
#include "platform/Windowing.h"
#include "ui/Main.h"
#include "ui/TrayIcons.h"

namespace {

TrayIcon ProgramEntry{1, 0, "KORVANTE", false};
TrayIcon TemperatureEntry{2, 0, "Showcase drive (C:)", false};

}  // namespace

int main() {
    if (!CreateMainWindow()) return 1;
    platform::SetWindowText(MainWindow, "KORVANTE");
    platform::ShowWindow(MainWindow, platform::SW_SHOW);
    ProgramEntry.Icon = platform::LoadProgramIcon();
    TemperatureEntry.Icon = RenderTemperatureIcon(38, true, 50);
    ActivateIcon(ProgramEntry);
    ActivateIcon(TemperatureEntry);
    return platform::RunMessageLoop();
}
