// The program's portable entry point and its end. The platform's own start-up (WinMain on Windows)
// calls ProgramMain with the command line's arguments (without the program name); the program
// defines it in app/.
#pragma once

#include <cstdint>
#include <string>

int ProgramMain(const std::string& commandLine);

namespace platform {

// ExitProcess: ends the process at once with this exit code; nothing is cleaned up first. (The
// simulated machine records the call and returns.)
void ExitProcess(uint32_t exitCode);

}  // namespace platform
