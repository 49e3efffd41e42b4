// The network layer's calls into the user interface (NetCalls.h).
#include "net/NetCalls.h"

NetworkCalls NetCalls;

std::uintptr_t ProgramWindow() { return NetCalls.MainWindowHandle ? NetCalls.MainWindowHandle() : 0; }

void ResetNetCalls() { NetCalls = NetworkCalls{}; }
