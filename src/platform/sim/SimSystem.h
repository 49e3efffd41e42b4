// The system facilities of the simulated machine, scripted by tests: the Windows version, WOW64,
// the processors' idle and busy times, the environment, file version resources and the program's
// path, and a recorder of synthesized input. Processor count and page size are the installed
// machine's (SimMachine.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileVersion.h"
#include "platform/Input.h"
#include "platform/SystemInfo.h"

namespace sim {

// How a processor spends each second of the timeline, in 100 ns units: a processor idle the whole
// time has IdlePerSecond 10,000,000. The times it reports are these rates times the uptime (its
// kernel time includes its idle time, as on Windows).
struct ProcessorLoad {
    uint64_t IdlePerSecond;
    uint64_t KernelPerSecond;
    uint64_t UserPerSecond;
};

// Everything back to its start: Windows 10 build 19045 (NT platform, no service pack) with WOW64,
// both run-time functions present, every processor idle, the environment holding SystemRoot,
// windir and ComSpec, the program at C:\Program Files\KORVANTE\KORVANTE.exe, no file with version
// information, no input sent.
void ResetSystem();

void SetOsVersion(const platform::OsVersionInfo& version);
// GetVersionExA fails while set.
void SetOsVersionFails(bool fails);
// kernel32's IsWow64Process: whether it exists and the flag it reports.
void SetIsWow64Process(bool present, bool wow64);
// Whether ntdll exports NtQuerySystemInformation.
void SetNtQuerySystemInformationPresent(bool present);
// Processor i follows loads[i]; processors past the list are idle.
// Whether the program runs with administrator rights (by default it does).
void SetAdministrator(bool administrator);
// The files of the simulated disk (by default none) and the user's temporary folder
// ("C:\Users\User\AppData\Local\Temp\").
void AddFile(const std::string& path);
bool FileExists(const std::string& path);
// How often the working set was trimmed.
unsigned WorkingSetTrims();
// Whether advapi32 has ProcessIdleTasks (by default it has), and how often it was called.
void SetProcessIdleTasksPresent(bool present);
unsigned ProcessIdleTasksCalls();
void SetProcessorLoads(const std::vector<ProcessorLoad>& loads);

// Sets a variable (names are case-insensitive); an empty value removes it.
void SetEnvironmentValue(const std::string& name, const std::string& value);

void SetModuleFileName(const std::string& path);
// The file at `path` carries a version resource with these numbers.
void SetFileVersion(const std::string& path, const platform::FixedFileVersion& version);

// Copies of the input events sent so far, in order.
std::vector<platform::Input> SentInputs();

}  // namespace sim
