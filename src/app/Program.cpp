// What KORVANTE.exe does when it starts: the resident program's start-up and message loop.
#include "platform/Entry.h"
#include "ui/Main.h"

int ProgramMain(const std::string& commandLine) { return RunProgram(commandLine, ProgramKind::Installed); }
