// The system facilities of the simulated machine (SimSystem.h). Processor times follow the world's
// timeline: the performance counter runs at 10 MHz, the unit the times are counted in.
#include "platform/sim/SimSystem.h"

#include <algorithm>
#include <map>
#include <set>
#include <mutex>

#include "platform/Time.h"

namespace sim {
namespace {

constexpr int32_t STATUS_SUCCESS = 0;
constexpr int32_t STATUS_INVALID_INFO_CLASS = static_cast<int32_t>(0xC0000003u);
constexpr int32_t STATUS_INFO_LENGTH_MISMATCH = static_cast<int32_t>(0xC0000004u);
constexpr uint64_t WholeSecond = 10000000;  // 100 ns units

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

struct SystemState {
    platform::OsVersionInfo Version{10, 0, 19045, platform::VER_PLATFORM_WIN32_NT, ""};
    bool VersionFails = false;
    bool HasIsWow64Process = true;
    bool Wow64 = true;
    bool HasNtQuery = true;
    bool HasIdleTasks = true;
    unsigned IdleTasksCalls = 0;
    unsigned Trims = 0;
    bool Administrator = true;
    std::set<std::string> Files;  // by upper-case path
    std::vector<ProcessorLoad> Loads;
    std::map<std::string, std::string> Environment{{"SYSTEMROOT", "C:\\Windows"},
                                                   {"WINDIR", "C:\\Windows"},
                                                   {"COMSPEC", "C:\\Windows\\system32\\cmd.exe"}};
    std::string ModulePath = "C:\\Program Files\\KORVANTE\\KORVANTE.exe";
    std::map<std::string, platform::FixedFileVersion> FileVersions;  // by upper-case path
    std::vector<platform::Input> Inputs;
};

std::mutex SystemLock;
SystemState State;

// rate × elapsed / frequency without overflowing 64 bits for any uptime a test reaches.
uint64_t Scaled(uint64_t ratePerSecond, uint64_t elapsed, uint64_t frequency) {
    return elapsed / frequency * ratePerSecond + elapsed % frequency * ratePerSecond / frequency;
}

void PutLittleEndian(uint8_t* at, uint64_t value) {
    for (int i = 0; i < 8; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool RunIdleTasks() {
    std::lock_guard<std::mutex> lock(SystemLock);
    ++State.IdleTasksCalls;
    return true;
}

int32_t QueryProcessorTimes(uint32_t infoClass, uint8_t* buffer, uint32_t length) {
    if (infoClass != platform::SystemProcessorPerformanceInformation) return STATUS_INVALID_INFO_CLASS;
    if (!buffer || length < platform::ProcessorPerformanceSize) return STATUS_INFO_LENGTH_MISMATCH;
    platform::SystemInfo system{};
    platform::GetSystemInfo(system);
    int64_t now = 0, frequency = 1;
    platform::QueryPerformanceCounter(now);
    platform::QueryPerformanceFrequency(frequency);
    std::vector<ProcessorLoad> loads;
    {
        std::lock_guard<std::mutex> lock(SystemLock);
        loads = State.Loads;
    }
    const uint32_t fits = length / platform::ProcessorPerformanceSize;
    for (uint32_t i = 0; i < system.NumberOfProcessors && i < fits; ++i) {
        const ProcessorLoad load = i < loads.size() ? loads[i] : ProcessorLoad{WholeSecond, 0, 0};
        uint8_t* entry = buffer + i * platform::ProcessorPerformanceSize;
        std::fill(entry, entry + platform::ProcessorPerformanceSize, uint8_t{0});
        const auto elapsed = static_cast<uint64_t>(now), f = static_cast<uint64_t>(frequency);
        PutLittleEndian(entry, Scaled(load.IdlePerSecond, elapsed, f));
        PutLittleEndian(entry + 8, Scaled(load.IdlePerSecond + load.KernelPerSecond, elapsed, f));
        PutLittleEndian(entry + 16, Scaled(load.UserPerSecond, elapsed, f));
    }
    return STATUS_SUCCESS;
}

}  // namespace

void ResetSystem() {
    std::lock_guard<std::mutex> lock(SystemLock);
    State = SystemState();
}

void SetOsVersion(const platform::OsVersionInfo& version) {
    std::lock_guard<std::mutex> lock(SystemLock);
    State.Version = version;
}

void SetOsVersionFails(bool fails) {
    std::lock_guard<std::mutex> lock(SystemLock);
    State.VersionFails = fails;
}

void SetIsWow64Process(bool present, bool wow64) {
    std::lock_guard<std::mutex> lock(SystemLock);
    State.HasIsWow64Process = present;
    State.Wow64 = wow64;
}

void SetNtQuerySystemInformationPresent(bool present) {
    std::lock_guard<std::mutex> lock(SystemLock);
    State.HasNtQuery = present;
}

void SetAdministrator(bool administrator) {
    std::lock_guard<std::mutex> lock(SystemLock);
    State.Administrator = administrator;
}

void AddFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(SystemLock);
    State.Files.insert(Upper(path));
}

bool FileExists(const std::string& path) {
    std::lock_guard<std::mutex> lock(SystemLock);
    return State.Files.count(Upper(path)) != 0;
}

unsigned WorkingSetTrims() {
    std::lock_guard<std::mutex> lock(SystemLock);
    return State.Trims;
}

void SetProcessIdleTasksPresent(bool present) {
    std::lock_guard<std::mutex> lock(SystemLock);
    State.HasIdleTasks = present;
}

unsigned ProcessIdleTasksCalls() {
    std::lock_guard<std::mutex> lock(SystemLock);
    return State.IdleTasksCalls;
}

void SetProcessorLoads(const std::vector<ProcessorLoad>& loads) {
    std::lock_guard<std::mutex> lock(SystemLock);
    State.Loads = loads;
}

void SetEnvironmentValue(const std::string& name, const std::string& value) {
    std::lock_guard<std::mutex> lock(SystemLock);
    if (value.empty())
        State.Environment.erase(Upper(name));
    else
        State.Environment[Upper(name)] = value;
}

void SetModuleFileName(const std::string& path) {
    std::lock_guard<std::mutex> lock(SystemLock);
    State.ModulePath = path;
}

void SetFileVersion(const std::string& path, const platform::FixedFileVersion& version) {
    std::lock_guard<std::mutex> lock(SystemLock);
    State.FileVersions[Upper(path)] = version;
}

std::vector<platform::Input> SentInputs() {
    std::lock_guard<std::mutex> lock(SystemLock);
    return State.Inputs;
}

}  // namespace sim

namespace platform {

bool GetVersionEx(OsVersionInfo& info) {
    std::lock_guard<std::mutex> lock(sim::SystemLock);
    if (sim::State.VersionFails) return false;
    info = sim::State.Version;
    return true;
}

bool IsWow64Process(bool& wow64) {
    std::lock_guard<std::mutex> lock(sim::SystemLock);
    if (!sim::State.HasIsWow64Process) return false;
    wow64 = sim::State.Wow64;
    return true;
}

SystemInformationQuery GetNtQuerySystemInformation() {
    std::lock_guard<std::mutex> lock(sim::SystemLock);
    return sim::State.HasNtQuery ? sim::QueryProcessorTimes : nullptr;
}

bool OpenSCManager() {
    std::lock_guard<std::mutex> lock(sim::SystemLock);
    return sim::State.Administrator;
}

std::string GetTempPath() { return "C:\\Users\\User\\AppData\\Local\\Temp\\"; }
std::string GetSystemDirectory() { return "C:\\Windows\\system32"; }
std::string GetWindowsDirectory() { return "C:\\Windows"; }

bool DeleteFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(sim::SystemLock);
    return sim::State.Files.erase(sim::Upper(path)) != 0;
}

bool SetProcessWorkingSetSize() {
    std::lock_guard<std::mutex> lock(sim::SystemLock);
    ++sim::State.Trims;
    return true;
}

IdleTasksCall GetProcessIdleTasks() {
    std::lock_guard<std::mutex> lock(sim::SystemLock);
    return sim::State.HasIdleTasks ? sim::RunIdleTasks : nullptr;
}

uint32_t GetEnvironmentVariable(const std::string& name, char* buffer, uint32_t size) {
    std::lock_guard<std::mutex> lock(sim::SystemLock);
    const auto found = sim::State.Environment.find(sim::Upper(name));
    if (found == sim::State.Environment.end()) return 0;
    const std::string& value = found->second;
    if (!buffer || value.size() + 1 > size) return static_cast<uint32_t>(value.size() + 1);
    std::copy(value.begin(), value.end(), buffer);
    buffer[value.size()] = '\0';
    return static_cast<uint32_t>(value.size());
}

std::string GetModuleFileName() {
    std::lock_guard<std::mutex> lock(sim::SystemLock);
    return sim::State.ModulePath;
}

bool GetFileVersionInfo(const std::string& path, FixedFileVersion& version) {
    std::lock_guard<std::mutex> lock(sim::SystemLock);
    const auto found = sim::State.FileVersions.find(sim::Upper(path));
    if (found == sim::State.FileVersions.end()) return false;
    version = found->second;
    return true;
}

uint32_t SendInput(const std::vector<Input>& inputs) {
    std::lock_guard<std::mutex> lock(sim::SystemLock);
    sim::State.Inputs.insert(sim::State.Inputs.end(), inputs.begin(), inputs.end());
    return static_cast<uint32_t>(inputs.size());
}

}  // namespace platform
