// KORVANTE-sim.exe: the Windows program with everything real but its drives, which are a simulated
// machine: the built-in one, or the one a description file defines, named by `--machine=FILE` at the
// start of the command line or by the environment variable KORVANTE_MACHINE. Its WinMain is the real
// program's, built to call SimulatedProgramMain instead of ProgramMain (cmake/Windows.cmake).
#include <cstdlib>
#include <string>

#include "platform/Entry.h"
#include "platform/UserInterface.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimRealTimeline.h"
#include "ui/Main.h"
#include "ui/ProcessState.h"

int SimulatedProgramMain(const std::string& commandLine);

namespace {

constexpr char MachineOption[] = "--machine=";

// Takes `--machine=FILE` (FILE in double quotes when it holds blanks) off the front of the command
// line; the rest goes to the program.
std::string TakeMachineOption(const std::string& commandLine, std::string& rest) {
    const size_t start = commandLine.find_first_not_of(' ');
    if (start == std::string::npos || commandLine.compare(start, sizeof MachineOption - 1, MachineOption) != 0) {
        rest = commandLine;
        return std::string();
    }
    size_t from = start + sizeof MachineOption - 1;
    const bool quoted = from < commandLine.size() && commandLine[from] == '"';
    if (quoted) ++from;
    size_t end = commandLine.find(quoted ? '"' : ' ', from);
    if (end == std::string::npos) end = commandLine.size();
    const size_t restStart = commandLine.find_first_not_of(' ', quoted && end < commandLine.size() ? end + 1 : end);
    rest = restStart == std::string::npos ? std::string() : commandLine.substr(restStart);
    return commandLine.substr(from, end - from);
}

bool InstallMachine(const std::string& file) {
    if (file.empty()) {
        sim::Install(sim::DefaultMachineDay());
        return true;
    }
    sim::Machine machine;
    std::string error;
    if (!sim::LoadMachineFile(file, machine, error)) {
        platform::MessageBox(0, error, "KORVANTE-sim", platform::MB_OK | platform::MB_ICONERROR);
        return false;
    }
    sim::Install(std::move(machine));
    return true;
}

}  // namespace

int SimulatedProgramMain(const std::string& commandLine) {
    std::string rest;
    std::string file = TakeMachineOption(commandLine, rest);
    if (file.empty()) {
        const char* named = std::getenv("KORVANTE_MACHINE");
        if (named) file = named;
    }
    if (!InstallMachine(file) || !sim::FollowRealClock()) return 1;
    const int exitCode = RunProgram(rest, ProgramKind::Simulated);  // the simulated program does not install itself
    // The drive records close their handles into the simulated machine: they go while it is still
    // there, not among the static destructors, which may run after the machine's.
    ResetProcessState();
    return exitCode;
}
