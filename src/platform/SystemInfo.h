// The system-information facility of the platform interface: the machine's processors and memory
// pages, the Windows version, WOW64, per-processor times and the environment.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The parts of SYSTEM_INFO the program uses.
struct SystemInfo {
    uint32_t PageSize;            // dwPageSize
    uint32_t NumberOfProcessors;  // dwNumberOfProcessors
};

void GetSystemInfo(SystemInfo& info);

constexpr uint32_t VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr uint32_t VER_PLATFORM_WIN32_NT = 2;

// OSVERSIONINFOA; CSDVersion is szCSDVersion up to its terminating zero (at most 128 characters).
struct OsVersionInfo {
    uint32_t MajorVersion;
    uint32_t MinorVersion;
    uint32_t BuildNumber;
    uint32_t PlatformId;
    std::string CSDVersion;
};

// GetVersionExA on an OSVERSIONINFOA of 148 bytes. False when the call fails.
bool GetVersionEx(OsVersionInfo& info);

// IsWow64Process(GetCurrentProcess()), resolved at run time from kernel32.dll: false when kernel32
// lacks the function or the call fails; otherwise true, with the result flag in `wow64`.
bool IsWow64Process(bool& wow64);

// NtQuerySystemInformation(infoClass, buffer, length, no return length) of ntdll.dll; returns the
// NTSTATUS. The buffer's layout is the information class's.
using SystemInformationQuery = int32_t (*)(uint32_t infoClass, uint8_t* buffer, uint32_t length);
// GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation") as a call of the
// portable form; none when ntdll lacks it.
SystemInformationQuery GetNtQuerySystemInformation();

// Information class 8: per processor one SYSTEM_PROCESSOR_PERFORMANCE_INFORMATION, 48 bytes: the
// 64-bit IdleTime, KernelTime, UserTime, DpcTime and InterruptTime in 100 ns units (offsets 0, 8,
// 16, 24, 32), then the 32-bit InterruptCount (40).
constexpr uint32_t SystemProcessorPerformanceInformation = 8;
constexpr uint32_t ProcessorPerformanceSize = 48;

// OpenSCManagerA(this machine, the active database, SC_MANAGER_ALL_ACCESS), closed again at once:
// whether this process runs with administrator rights.
bool OpenSCManager();

// SetProcessWorkingSetSize(GetCurrentProcess(), -1, -1): the process's working set is trimmed.
bool SetProcessWorkingSetSize();

// ProcessIdleTasks of advapi32.dll (Windows runs its pending idle tasks, file-system
// defragmentation among them), resolved at run time: LoadLibraryA("advapi32.dll") and GetProcAddress,
// the library released again when the name is missing. None then.
using IdleTasksCall = bool (*)();
IdleTasksCall GetProcessIdleTasks();

// GetEnvironmentVariableA(name, buffer, size): the value's length when it fits with its zero, else
// the size it needs (zero included) and the buffer untouched; 0 when the variable is not set.
uint32_t GetEnvironmentVariable(const std::string& name, char* buffer, uint32_t size);

}  // namespace platform
