// The start-up of the Windows program: the runtime calls WinMain, which hands the command line to
// the portable entry point.
#include "platform/win32/WindowsApi.h"

#include "platform/Entry.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    return ProgramMain(commandLine ? commandLine : "");
}
