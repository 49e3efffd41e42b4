// The system-information, file-version and input facilities of the platform interface on Windows.
// IsWow64Process and NtQuerySystemInformation are resolved at run time: not every Windows has them.
#include "platform/win32/WindowsApi.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

namespace platform {
namespace {

using IsWow64ProcessProc = BOOL(WINAPI*)(HANDLE, PBOOL);
using NtQuerySystemInformationProc = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);

std::atomic<NtQuerySystemInformationProc> ResolvedQuery{nullptr};

template <typename Proc>
Proc Resolve(HMODULE module, const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

int32_t QueryThroughNtdll(uint32_t infoClass, uint8_t* buffer, uint32_t length) {
    const NtQuerySystemInformationProc query = ResolvedQuery.load();
    return query ? query(infoClass, buffer, length, nullptr) : static_cast<int32_t>(0xC0000002u);  // not implemented
}

}  // namespace

bool GetVersionEx(OsVersionInfo& info) {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;  // 148
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExA(&version)) return false;
#pragma GCC diagnostic pop
    info.MajorVersion = version.dwMajorVersion;
    info.MinorVersion = version.dwMinorVersion;
    info.BuildNumber = version.dwBuildNumber;
    info.PlatformId = version.dwPlatformId;
    info.CSDVersion.assign(version.szCSDVersion, strnlen(version.szCSDVersion, sizeof version.szCSDVersion));
    return true;
}

bool IsWow64Process(bool& wow64) {
    const HMODULE kernel32 = ::LoadLibraryA("kernel32.dll");
    if (!kernel32) return false;
    const auto isWow64Process = Resolve<IsWow64ProcessProc>(kernel32, "IsWow64Process");
    BOOL flag = FALSE;
    const bool answered = isWow64Process && isWow64Process(::GetCurrentProcess(), &flag);
    ::FreeLibrary(kernel32);
    if (answered) wow64 = flag != FALSE;
    return answered;
}

namespace {
using ProcessIdleTasksProc = BOOL(WINAPI*)();
std::atomic<ProcessIdleTasksProc> ResolvedIdleTasks{nullptr};

bool CallIdleTasks() {
    const ProcessIdleTasksProc call = ResolvedIdleTasks.load();
    return call && call() != FALSE;
}
}  // namespace

bool OpenSCManager() {
    const SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return false;
    ::CloseServiceHandle(manager);
    return true;
}

std::string GetTempPath() {
    char path[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathA(sizeof path, path);
    return length == 0 || length > MAX_PATH ? std::string() : std::string(path, length);
}

namespace {

std::string FolderFrom(UINT (WINAPI* query)(LPSTR, UINT)) {
    char path[MAX_PATH + 1] = {};
    const UINT length = query(path, sizeof path);
    return length == 0 || length > MAX_PATH ? std::string() : std::string(path, length);
}

}  // namespace

std::string GetSystemDirectory() { return FolderFrom(::GetSystemDirectoryA); }
std::string GetWindowsDirectory() { return FolderFrom(::GetWindowsDirectoryA); }

bool DeleteFile(const std::string& path) { return ::DeleteFileA(path.c_str()) != FALSE; }

bool SetProcessWorkingSetSize() {
    return ::SetProcessWorkingSetSize(::GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1)) != FALSE;
}

IdleTasksCall GetProcessIdleTasks() {
    if (!ResolvedIdleTasks.load()) {
        const HMODULE library = ::LoadLibraryA("advapi32.dll");
        if (!library) return nullptr;
        const auto call = reinterpret_cast<ProcessIdleTasksProc>(::GetProcAddress(library, "ProcessIdleTasks"));
        if (!call) {
            ::FreeLibrary(library);
            return nullptr;
        }
        ResolvedIdleTasks = call;
    }
    return CallIdleTasks;
}

SystemInformationQuery GetNtQuerySystemInformation() {
    const auto query = Resolve<NtQuerySystemInformationProc>(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation");
    ResolvedQuery = query;
    return query ? QueryThroughNtdll : nullptr;
}

uint32_t GetEnvironmentVariable(const std::string& name, char* buffer, uint32_t size) {
    return ::GetEnvironmentVariableA(name.c_str(), buffer, size);
}

// A path longer than MAX_PATH is cut by the call without a terminating zero: then a larger buffer.
std::string GetModuleFileName() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::string();
        if (length < path.size()) return std::string(path.data(), length);
        if (path.size() >= 32768) return std::string();
        path.resize(path.size() * 2);
    }
}

bool GetFileVersionInfo(const std::string& path, FixedFileVersion& version) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return false;
    std::vector<uint8_t> block(size);
    if (!::GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return false;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        length < sizeof(VS_FIXEDFILEINFO))
        return false;
    version = {fixed->dwFileVersionMS, fixed->dwFileVersionLS};
    return true;
}

uint32_t SendInput(const std::vector<Input>& inputs) {
    std::vector<INPUT> events(inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        events[i].type = inputs[i].Type;
        events[i].mi = {inputs[i].Dx, inputs[i].Dy, inputs[i].MouseData, inputs[i].Flags, inputs[i].Time,
                        static_cast<ULONG_PTR>(inputs[i].ExtraInfo)};
    }
    return ::SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
}

}  // namespace platform
