// The program's portable entry point. The platform's own start-up (WinMain on Windows) calls it with
// the command line's arguments (without the program name); the program defines it in app/.
#pragma once

#include <string>

int ProgramMain(const std::string& commandLine);
