// What KORVANTE.exe does when it starts. So far it only scans the drives once and exits: start-up,
// the main window and the tray icons are still to come.
#include "discovery/Scan.h"
#include "platform/Entry.h"

int ProgramMain(const std::string&) {
    ScanDrives();
    return 0;
}
