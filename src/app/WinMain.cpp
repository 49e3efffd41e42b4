// Entry point of KORVANTE.exe. So far it only scans the drives once and exits: start-up, the main
// window and the tray icons are still to come.
#include "device/Scan.h"

// Declared without <windows.h>, which only the platform layer includes: four pointer-sized
// arguments, the standard calling convention, C linkage — what the runtime's start-up code calls.
extern "C" int __stdcall WinMain(struct HINSTANCE__* instance, struct HINSTANCE__* previous, char* commandLine,
                                 int show);

extern "C" int __stdcall WinMain(struct HINSTANCE__*, struct HINSTANCE__*, char*, int) {
    ScanDrives();
    return 0;
}
