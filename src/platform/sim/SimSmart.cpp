// Simulated S.M.A.R.T. values that move: the aging of every drive while virtual time passes, the
// changes a test makes between reads, and NVMe self-tests that take their time.
#include <algorithm>
#include <cstring>

#include "protocol/Bytes.h"
#include "platform/sim/SimInternal.h"
#include "protocol/Ata.h"

namespace sim {
namespace {

constexpr uint32_t Sector = 512;
constexpr unsigned Attributes = 30;
constexpr uint32_t NvmeSelfTestLogSize = 564;
constexpr unsigned NvmeSelfTestEntries = 20, NvmeSelfTestEntrySize = 28;
constexpr uint16_t ZeroCelsiusKelvin = 273;
constexpr uint8_t AbortedByCommand = 1;
constexpr size_t SelfTestStatusOffset = 363;  // value page: self-test execution status, high nibble
constexpr size_t OfflineCapabilityOffset = 367, ShortMinutesOffset = 372, ExtendedMinutesOffset = 373,
                 LongExtendedMinutesOffset = 375;
constexpr uint8_t SelfTestCapable = 0x10, InProgress = 15, AbortedByHost = 1;

uint8_t Sum(const std::vector<uint8_t>& page, size_t count) {
    uint8_t sum = 0;
    for (size_t i = 0; i < count; ++i) sum = static_cast<uint8_t>(sum + page[i]);
    return sum;
}

// Runs a change on the value page, keeping its checksum as right (or as wrong) as it was.
template <class Change>
void ChangeValuePage(Drive& d, Change change) {
    if (d.SmartData.size() < Sector) return;
    const uint8_t total = Sum(d.SmartData, Sector);
    change(d.SmartData.data());
    d.SmartData[Sector - 1] = static_cast<uint8_t>(total - Sum(d.SmartData, Sector - 1));
}

uint8_t* Entry(uint8_t* page, unsigned i) { return page + 2 + 12 * i; }

// Calls visit(entry) for every attribute entry with this ID, up to the first empty slot.
template <class Visit>
void ForEachEntry(uint8_t* page, uint8_t id, Visit visit) {
    for (unsigned i = 0; i < Attributes && Entry(page, i)[0] != 0; ++i)
        if (Entry(page, i)[0] == id) visit(Entry(page, i));
}

uint8_t* FirstEntry(uint8_t* page, uint8_t id) {
    for (unsigned i = 0; i < Attributes && Entry(page, i)[0] != 0; ++i)
        if (Entry(page, i)[0] == id) return Entry(page, i);
    return nullptr;
}

uint64_t RawOf(const uint8_t* entry) {
    uint64_t raw = 0;
    for (unsigned b = 6; b-- > 0;) raw = (raw << 8) | entry[5 + b];
    return raw;
}

void SetRaw(uint8_t* entry, uint64_t raw) {
    for (unsigned b = 0; b < 6; ++b) entry[5 + b] = static_cast<uint8_t>(raw >> (8 * b));
}

// Adds to the 48-bit raw value of the first entry with this ID (it wraps as the drive's counter does).
void AddToRaw(Drive& d, uint8_t id, uint64_t amount) {
    ChangeValuePage(d, [&](uint8_t* page) {
        if (uint8_t* e = FirstEntry(page, id)) SetRaw(e, RawOf(e) + amount);
    });
}

std::vector<uint8_t>* NvmeLog(Drive& d, uint8_t id, uint32_t size) {
    const auto log = d.NvmeLogs.find(id);
    if (log == d.NvmeLogs.end() || log->second.size() < size) return nullptr;
    return &log->second;
}

void AddToNvmeCounter(Drive& d, size_t offset, uint64_t amount) {
    if (std::vector<uint8_t>* health = NvmeLog(d, NvmeHealthLogPage, Sector))
        Put64(health->data(), offset, Get64(health->data(), offset) + amount);
}

int CurrentTemperature(Drive& d) {
    if (std::vector<uint8_t>* health = NvmeLog(d, NvmeHealthLogPage, Sector))
        return Get16(health->data(), 1) - ZeroCelsiusKelvin;
    if (d.SmartData.size() >= Sector) {
        if (const uint8_t* e = FirstEntry(d.SmartData.data(), TemperatureId)) return e[5];
        if (const uint8_t* e = FirstEntry(d.SmartData.data(), AirflowTemperatureId)) return e[5];
    }
    return d.Sct.Temperature;
}

// How many whole periods of `period` seconds end between `before` and `after`.
uint64_t PeriodsBetween(uint64_t before, uint64_t after, uint32_t period) {
    return period == 0 ? 0 : after / period - before / period;
}

uint32_t NvmeSelfTestSeconds(const Drive& d, uint8_t code) {
    if (code != 2) return 2 * 60;  // a short test takes at most two minutes
    const uint16_t minutes =
        d.NvmeIdentifyController.size() > 317 ? Get16(d.NvmeIdentifyController.data(), 316) : 0;
    return (minutes ? minutes : 10u) * 60;  // a controller that gives no time: ten minutes
}

// The newest result goes first; the oldest of the twenty entries drops out.
void FinishNvmeSelfTest(Drive& d, uint8_t result) {
    NvmeSelfTestRun& run = d.NvmeSelfTest;
    std::vector<uint8_t>& log = d.NvmeLogs[NvmeSelfTestLogPage];
    log.resize(NvmeSelfTestLogSize, 0);
    std::memmove(&log[4 + NvmeSelfTestEntrySize], &log[4], (NvmeSelfTestEntries - 1) * NvmeSelfTestEntrySize);
    std::fill(&log[4], &log[4 + NvmeSelfTestEntrySize], 0);
    log[4] = static_cast<uint8_t>(run.Code << 4 | (result & 0x0F));
    if (const std::vector<uint8_t>* health = NvmeLog(d, NvmeHealthLogPage, Sector))
        Put64(log.data(), 4 + 4, Get64(health->data(), 128));  // power-on hours at the end
    log[0] = 0;
    log[1] = 0;
    run.Code = 0;
    run.SecondsLeft = 0;
}

void RunNvmeSelfTest(Drive& d, uint64_t seconds) {
    NvmeSelfTestRun& run = d.NvmeSelfTest;
    if (run.Code == 0) return;
    if (!run.NeverEnds) run.SecondsLeft -= static_cast<uint32_t>(std::min<uint64_t>(seconds, run.SecondsLeft));
    if (run.SecondsLeft == 0) return FinishNvmeSelfTest(d, run.EndsWith);
    std::vector<uint8_t>& log = d.NvmeLogs[NvmeSelfTestLogPage];
    log.resize(NvmeSelfTestLogSize, 0);
    log[1] = static_cast<uint8_t>((run.Duration - run.SecondsLeft) * 100ull / run.Duration);  // percent done
}

void SetSelfTestStatus(Drive& d, uint8_t status) {
    ChangeValuePage(d, [&](uint8_t* page) { page[SelfTestStatusOffset] = status; });
}

void FinishAtaSelfTest(Drive& d, uint8_t result) {
    d.AtaSelfTest.Code = 0;
    d.AtaSelfTest.SecondsLeft = 0;
    SetSelfTestStatus(d, static_cast<uint8_t>(result << 4));
}

uint32_t AtaSelfTestSeconds(const Drive& d, uint8_t code) {
    const uint8_t* page = d.SmartData.data();
    if (code == 1) return page[ShortMinutesOffset] * 60u;
    const uint8_t minutes = page[ExtendedMinutesOffset];
    return (minutes == 0xFF ? Get16(page, LongExtendedMinutesOffset) : minutes) * 60u;
}

void RunAtaSelfTest(Drive& d, uint64_t seconds) {
    AtaSelfTestRun& run = d.AtaSelfTest;
    if (run.Code == 0) return;
    if (!run.NeverEnds) run.SecondsLeft -= static_cast<uint32_t>(std::min<uint64_t>(seconds, run.SecondsLeft));
    if (run.SecondsLeft == 0) return FinishAtaSelfTest(d, run.EndsWith);
    const unsigned tenthsLeft = (run.SecondsLeft * 10u + run.Duration - 1) / run.Duration;  // 1..10
    SetSelfTestStatus(d, static_cast<uint8_t>(InProgress << 4 | std::min(tenthsLeft, 9u)));
}

void Age(Drive& d, uint64_t seconds) {
    SmartAging& a = d.Aging;
    const uint64_t before = a.Seconds, after = before + seconds;
    a.Seconds = after;
    const uint64_t units = PeriodsBetween(before, after, a.SecondsPerPowerOnUnit);
    if (units) {
        AddToRaw(d, PowerOnTimeId, units);
        AddToNvmeCounter(d, 128, units);
    }
    const uint64_t degrees = PeriodsBetween(before, after, a.SecondsPerDegree);
    const int now = CurrentTemperature(d);
    if (degrees && now < a.WarmsTo)
        SetTemperature(d, static_cast<int>(std::min<int64_t>(now + static_cast<int64_t>(degrees), a.WarmsTo)));
    if (const uint64_t remaps = PeriodsBetween(before, after, a.SecondsPerRemap))
        RemapSectors(d, static_cast<uint32_t>(remaps));
    RunNvmeSelfTest(d, seconds);
    RunAtaSelfTest(d, seconds);
}

}  // namespace

AtaOutcome ExecuteOffline(Drive& d, uint8_t subcommand) {
    if (d.SmartData.size() < Sector || !(d.SmartData[OfflineCapabilityOffset] & SelfTestCapable)) return Aborted();
    AtaSelfTestRun& run = d.AtaSelfTest;
    if (subcommand == 0x7F) {
        if (run.Code != 0) FinishAtaSelfTest(d, AbortedByHost);
        return Done();
    }
    if (subcommand != 1 && subcommand != 2) return Aborted();
    run.Code = subcommand;
    run.Duration = run.SecondsLeft = std::max(AtaSelfTestSeconds(d, subcommand), 1u);
    SetSelfTestStatus(d, InProgress << 4 | 9);
    return Done();
}

void AgeDrives(uint64_t seconds) {
    if (seconds == 0) return;
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    for (Drive& d : Current().Drives) Age(d, seconds);
}

void PassTime(uint32_t seconds) { AdvanceTime(seconds * 1000ull); }

void SetTemperature(Drive& d, int celsius) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    const uint8_t low = static_cast<uint8_t>(celsius);
    ChangeValuePage(d, [&](uint8_t* page) {
        ForEachEntry(page, TemperatureId, [&](uint8_t* e) { e[5] = low; });
        ForEachEntry(page, AirflowTemperatureId, [&](uint8_t* e) { e[5] = low; });
    });
    SctEngine& s = d.Sct;
    s.Temperature = celsius;
    s.LifetimeMax = std::max(s.LifetimeMax, celsius);
    s.LifetimeMin = std::min(s.LifetimeMin, celsius);
    if (std::vector<uint8_t>* health = NvmeLog(d, NvmeHealthLogPage, Sector)) {
        const uint16_t kelvin = static_cast<uint16_t>(celsius + ZeroCelsiusKelvin);
        Put16(health->data(), 1, kelvin);
        if (Get16(health->data(), 200) != 0) Put16(health->data(), 200, kelvin);  // sensor 1
    }
}

void RemapSectors(Drive& d, uint32_t count) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    AddToRaw(d, RemappedSectorsId, count);
}

void SetRemappedSectors(Drive& d, uint32_t count) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    ChangeValuePage(d, [&](uint8_t* page) {
        if (uint8_t* e = FirstEntry(page, RemappedSectorsId)) SetRaw(e, count);
    });
}

void DamageNextValuePage(Drive& d) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    if (d.SmartData.size() < Sector) return;
    std::vector<uint8_t> page = d.SmartData;
    if (uint8_t* e = FirstEntry(page.data(), TemperatureId)) e[5] = 99;
    if (uint8_t* e = FirstEntry(page.data(), RemappedSectorsId)) SetRaw(e, RawOf(e) + 1000);
    page[Sector - 1] = static_cast<uint8_t>(page[Sector - 1] + 0x5A);
    d.DamagedPages.push_back(std::move(page));
}

void PowerCycle(Drive& d) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    AddToRaw(d, PowerCyclesId, 1);
    AddToNvmeCounter(d, 112, 1);
}

void SetAttributeValue(Drive& d, uint8_t id, uint8_t value) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    ChangeValuePage(d, [&](uint8_t* page) {
        ForEachEntry(page, id, [&](uint8_t* e) {
            e[3] = value;
            e[4] = std::min(e[4], value);
        });
    });
}

void SetNvmeCriticalWarning(Drive& d, uint8_t bits) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    if (std::vector<uint8_t>* health = NvmeLog(d, NvmeHealthLogPage, Sector)) (*health)[0] = bits;
}

void CorruptSmartChecksum(Drive& d) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    if (d.SmartData.size() >= Sector) d.SmartData[Sector - 1] = static_cast<uint8_t>(d.SmartData[Sector - 1] + 1);
}

void EraseAttributeTable(Drive& d) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    ChangeValuePage(d, [](uint8_t* page) { std::fill(page + 2, page + 2 + 12 * Attributes, 0); });
}

void EndSelfTest(Drive& d, uint8_t result) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    if (d.NvmeLogs.count(NvmeHealthLogPage)) {
        if (d.NvmeSelfTest.Code == 0) d.NvmeSelfTest.Code = 1;  // an entry names its test: a short one
        return FinishNvmeSelfTest(d, result);
    }
    FinishAtaSelfTest(d, result);
}

void StartNvmeSelfTest(Drive& d, uint8_t code) {
    NvmeSelfTestRun& run = d.NvmeSelfTest;
    if (code == 0xF) {
        if (run.Code != 0) FinishNvmeSelfTest(d, AbortedByCommand);
        return;
    }
    run.Code = code;
    run.Duration = run.SecondsLeft = NvmeSelfTestSeconds(d, code);
    std::vector<uint8_t>& log = d.NvmeLogs[NvmeSelfTestLogPage];
    log.resize(NvmeSelfTestLogSize, 0);
    log[0] = code;  // current operation
    log[1] = 0;     // percent done
}

}  // namespace sim
