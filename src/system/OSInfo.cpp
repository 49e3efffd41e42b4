// The Windows version, the machine's processors and pages, and the processor load (OSInfo.h).
#include "system/OSInfo.h"

#include <vector>

#include "platform/SystemInfo.h"
#include "platform/Time.h"

std::string OSName;
uint8_t OSGeneration = 0;
bool IsWow64 = false;
uint8_t ProcessorCount = 0;
uint32_t PageSize = 0;

namespace {

struct VersionName {
    uint32_t Major;
    uint32_t Minor;  // AnyMinor: every minor version
    const char* Name;
    uint8_t Generation;
};

constexpr uint32_t AnyMinor = ~0u;
constexpr uint32_t FirstWindows11Build = 22000;

// Windows 11 still reports 10.0; its builds start at 22000 (see VersionOf).
const VersionName VersionNames[] = {
    {3, AnyMinor, "NT 3.51 ", 1}, {4, AnyMinor, "NT 4.0 ", 2}, {5, 0, "2000 ", 3},
    {5, 1, "XP ", 4},             {5, 2, "Server 2003 family ", 5}, {6, 0, "Vista ", 6},
    {6, 1, "7 ", 7},              {6, 2, "8 ", 8},                  {6, 3, "8.1 ", 9},
    {10, AnyMinor, "10 ", 10},
};

const VersionName Windows11 = {10, AnyMinor, "11 ", 11};

const VersionName* VersionOf(const platform::OsVersionInfo& v) {
    if (v.MajorVersion == 10 && v.BuildNumber >= FirstWindows11Build) return &Windows11;
    for (const VersionName& row : VersionNames)
        if (row.Major == v.MajorVersion && (row.Minor == AnyMinor || row.Minor == v.MinorVersion)) return &row;
    return nullptr;
}

// "Windows " + the version's name + "Build N", the service pack and " x64" after it.
void NameNtSystem(const platform::OsVersionInfo& v) {
    const VersionName* version = VersionOf(v);
    OSGeneration = version ? version->Generation : 0;
    OSName = std::string("Windows ") + (version ? version->Name : "") + "Build " + std::to_string(v.BuildNumber);
    if (!v.CSDVersion.empty()) OSName += " " + v.CSDVersion.substr(0, 128);
    if (IsWow64) OSName += " x64";
}

}  // namespace

void InitOSInfo() {
    platform::SystemInfo system{};
    platform::GetSystemInfo(system);
    ProcessorCount = static_cast<uint8_t>(system.NumberOfProcessors);
    PageSize = system.PageSize;

    bool wow64 = false;
    IsWow64 = platform::IsWow64Process(wow64) && wow64;

    platform::OsVersionInfo version{};
    OSGeneration = 0;
    OSName = "Unknown";
    if (platform::GetVersionEx(version) && version.PlatformId == platform::VER_PLATFORM_WIN32_NT)
        NameNtSystem(version);
}

// --- processor load ------------------------------------------------------------------------------

namespace {

platform::SystemInformationQuery QuerySystemInformation = nullptr;
std::vector<uint8_t> SnapshotA, SnapshotB;

constexpr uint64_t TicksPerTenMicroseconds = 100000;  // performance-counter frequency divisor

void TakeSnapshot(std::vector<uint8_t>& snapshot) {
    QuerySystemInformation(platform::SystemProcessorPerformanceInformation, snapshot.data(),
                           static_cast<uint32_t>(snapshot.size()));
}

uint64_t IdleTimeAt(const std::vector<uint8_t>& snapshot, size_t processor) {
    const size_t offset = processor * platform::ProcessorPerformanceSize;
    uint64_t value = 0;
    for (size_t i = 0; i < 8 && offset + i < snapshot.size(); ++i) value |= uint64_t{snapshot[offset + i]} << (8 * i);
    return value;
}

// The performance counter's ticks from t0 to t1; a counter that went back counts as wrapped.
uint64_t ElapsedTicks(int64_t frequency, int64_t t0, int64_t t1) {
    if (t1 > t0) return static_cast<uint64_t>(t1) - static_cast<uint64_t>(t0);
    return static_cast<uint64_t>(frequency) - (static_cast<uint64_t>(t0) - static_cast<uint64_t>(t1));
}

// Each processor's idle share in percent, truncated, then their average, truncated and capped at
// 100. A share is kept within 32 bits so the sum cannot wrap; any share that large means 100 anyway.
uint8_t LoadFromSnapshots(uint64_t elapsedTenMicroseconds) {
    uint64_t idleSum = 0;
    for (size_t i = 0; i < ProcessorCount; ++i) {
        const uint64_t share = (IdleTimeAt(SnapshotB, i) - IdleTimeAt(SnapshotA, i)) / elapsedTenMicroseconds;
        idleSum += share > UINT32_MAX ? UINT32_MAX : share;
    }
    const uint64_t idle = idleSum / ProcessorCount;
    return static_cast<uint8_t>(100 - (idle > 100 ? 100 : idle));
}

}  // namespace

bool InitCpuLoad() {
    QuerySystemInformation = platform::GetNtQuerySystemInformation();
    if (!QuerySystemInformation) return false;
    SnapshotA.assign(size_t{ProcessorCount} * platform::ProcessorPerformanceSize, 0);
    SnapshotB.assign(SnapshotA.size(), 0);
    return true;
}

uint8_t GetCpuLoad(uint32_t intervalMs) {
    if (!QuerySystemInformation || ProcessorCount == 0) return 0;
    int64_t frequency = 0, t0 = 0, t1 = 0;
    platform::QueryPerformanceFrequency(frequency);
    platform::QueryPerformanceCounter(t0);
    TakeSnapshot(SnapshotA);
    platform::Sleep(intervalMs);
    TakeSnapshot(SnapshotB);
    platform::QueryPerformanceCounter(t1);
    const uint64_t unit = static_cast<uint64_t>(frequency) / TicksPerTenMicroseconds;
    const uint64_t elapsed = unit == 0 ? 0 : ElapsedTicks(frequency, t0, t1) / unit;
    return elapsed == 0 ? 0 : LoadFromSnapshots(elapsed);
}
