#include "smart/Condition.h"

#include <algorithm>

#include "protocol/Bytes.h"
#include "device/TIOCTL.h"
#include "smart/NvmeHealth.h"
#include "smart/SmartData.h"
#include "device/DiagnosticLog.h"

namespace {


constexpr uint8_t HighestTemperature = 121;  // anything above is implausible and reads as none
constexpr uint8_t SsdTemperatureFloor = 70;
constexpr uint8_t DiskTemperatureFloor = 55;

constexpr uint8_t SandForceControllerID = 7;

// SandForce firmwares whose attribute 5 does not count remapped sectors.
struct ModelFirmware {
    const char* Model;
    const char* Firmware;
};
const ModelFirmware RemapCountMisleads[] = {{"OCZ-VERTEX3", "2.02"}, {"OCZ-VERTEX2", "1.27"}};

// SCT status page and temperature history table.
constexpr size_t SctFormatVersion = 0;
constexpr size_t SctExtendedStatus = 14;
constexpr size_t SctActionCode = 16;
constexpr size_t SctFunctionCode = 18;
constexpr size_t SctCurrentTemperature = 200;
constexpr size_t SctLifetimeMaxTemperature = 204;
constexpr size_t SctMaxOperatingLimit = 6;
constexpr size_t SctOverLimit = 7;
constexpr uint16_t SctCommandExecuting = 0xFFFF;
constexpr uint16_t SctDataTableAction = 5;
constexpr uint16_t SctReadTableFunction = 1;
constexpr uint16_t SctTemperatureHistoryTable = 2;
constexpr uint8_t SctNoLimit = 127;

const uint8_t* Entry(const DriveRecord& d, unsigned i) { return d.SmartData + AttributeOffset(i); }

unsigned EntryCount(const DriveRecord& d) { return std::min<unsigned>(d.AttributeCount, MaxAttributes); }

// Bytes 0..3 of an entry's raw value.
uint32_t RawLow32(const DriveRecord& d, unsigned i) { return Get32(Entry(d, i), 5); }

// 1-based position of the first entry with this ID, 0 for none.
uint8_t Position(const DriveRecord& d, uint8_t id) {
    const int i = FindAttribute(d, id);
    return i == NoAttribute ? 0 : static_cast<uint8_t>(i + 1);
}

void TakePowerOnTime(DriveRecord& d) {
    d.PowerTimeIndex = Position(d, PowerOnTimeId);
    if (d.PowerTimeIndex == 0) return;
    d.PowerTime = RawLow32(d, d.PowerTimeIndex - 1u);
    if (d.PowerTime > 2147483647u && !d.PowerTimeLogged) {
        WriteLog("PowerTime > 2147483647", &d);
        d.PowerTimeLogged = true;
    }
}

bool RemapCountMisleading(const DriveRecord& d) {
    if (d.ControllerID != SandForceControllerID) return false;
    for (const ModelFirmware& m : RemapCountMisleads)
        if (d.Model == m.Model && d.FirmwareVersion == m.Firmware) return true;
    return false;
}

// Some drives keep two 16-bit counters in raw bytes 0..1 and 2..3 (often equal); read as one number
// they give millions of sectors, and every change of the second counter would look like a new remap.
// The count is in bytes 0..1 then, and when bytes 2..3 are zero the 32-bit reading is the same number.
uint32_t RemapCount(const DriveRecord& d, unsigned i) { return Get16(Entry(d, i), 5); }

void TakeRemappedSectors(DriveRecord& d) {
    d.RemapIndex = RemapCountMisleading(d) ? 0 : Position(d, RemappedSectorsId);
    if (d.RemapIndex != 0) d.RemappedSectors = RemapCount(d, d.RemapIndex - 1u);
}

void TakePowerCycles(DriveRecord& d) {
    d.PowerCycleIndex = Position(d, PowerCyclesId);
    if (d.PowerCycleIndex != 0) d.PowerCycleCount = RawLow32(d, d.PowerCycleIndex - 1u);
}

// 194 before 190 (not on Lite-On drives, whose 190 is no temperature) before 231 (not on SSDs);
// of each, the last entry.
uint8_t TemperaturePosition(const DriveRecord& d) {
    uint8_t at194 = 0, at190 = 0, at231 = 0;
    for (unsigned i = 0; i < EntryCount(d); ++i) {
        const uint8_t id = Entry(d, i)[0];
        const uint8_t position = static_cast<uint8_t>(i + 1);
        if (id == TemperatureId) at194 = position;
        if (id == AirflowTemperatureId && d.Trademark != "Lite-On") at190 = position;
        if (id == OtherTemperatureId) at231 = position;
    }
    if (at194) return at194;
    if (at190) return at190;
    return d.IsSSD ? 0 : at231;
}

// The format version's low byte (the high byte is not looked at) must be one this program knows;
// an unknown one is logged once per drive.
bool SctStatusKnown(DriveRecord& d, const uint8_t (&status)[SctPageSize]) {
    const uint8_t version = status[SctFormatVersion];
    if (version >= 1 && version <= 3) return true;
    if (!d.SctVersionLogged) {
        WriteLog("Unknown SCT version - " + std::to_string(version), &d);
        d.SctVersionLogged = true;
    }
    return false;
}

uint8_t SctTemperature(DriveRecord& d, const SctReading& sct) {
    if (!TakesSctTemperature(d) || !sct.Read || !SctStatusKnown(d, sct.Status)) return 0;
    if (sct.Status[SctCurrentTemperature] >= 128) return 0;  // below 0 °C
    return sct.Status[SctCurrentTemperature];
}

// TemperatureIndex as an entry of the table, or null.
const uint8_t* TemperatureEntry(const DriveRecord& d) {
    if (d.TemperatureIndex == 0 || d.TemperatureIndex > MaxAttributes) return nullptr;
    return Entry(d, d.TemperatureIndex - 1u);
}

uint8_t AttributeTemperature(const DriveRecord& d) {
    const uint8_t* entry = TemperatureEntry(d);
    if (!entry) return 0;
    const uint8_t* raw = entry + 5;
    if (d.LegacySamsung) return static_cast<uint8_t>(std::min(Get16(raw, 0) / 10, 255));  // tenths
    return raw[0];
}

void TakeTemperature(DriveRecord& d, const SctReading& sct) {
    d.TemperatureIndex = TemperaturePosition(d);
    uint8_t t = SctTemperature(d, sct);
    if (t == 0) t = AttributeTemperature(d);
    d.Temperature = t > HighestTemperature ? 0 : t;
}

void TakeAtaValues(DriveRecord& d, const SctReading& sct) {
    if (d.AttributeCount == 0) return;
    TakePowerOnTime(d);
    TakeRemappedSectors(d);
    TakePowerCycles(d);
    TakeTemperature(d, sct);
}

bool ReadSctPage(DriveRecord& d, uint8_t (&status)[SctPageSize]) {
    std::fill(std::begin(status), std::end(status), 0);
    return ExecuteCommand(d, SmartTaskFile(SMART_READ_LOG, 1, SctCommandLog), status, SctPageSize);
}

// The layouts drives use to keep their lifetime extremes next to the current temperature r0;
// comparisons between raw bytes are signed.
uint8_t TopTemperatureFromRawBytes(const uint8_t* r) {
    const auto edge = [r](unsigned i) { return r[i] == 0 || r[i] == 255; };
    const auto atLeast = [r](unsigned a, unsigned b) { return static_cast<int8_t>(r[a]) >= static_cast<int8_t>(r[b]); };
    const bool highZero = r[5] == 0 && r[4] == 0;
    if (edge(5) && atLeast(4, 0) && edge(3) && atLeast(0, 2) && edge(1)) return r[4];      // A
    if (edge(5) && atLeast(0, 4) && edge(3) && atLeast(2, 0) && edge(1)) return r[2];      // B
    if (highZero && atLeast(3, 0) && atLeast(0, 2) && edge(1)) return r[3];                // C
    if (highZero && r[3] == 0 && atLeast(2, 0) && atLeast(0, 1)) return r[2];              // D
    if (!highZero && atLeast(3, 0) && atLeast(0, 2) && edge(1)) return r[3];               // E
    return 0;
}

bool SctBusy(DriveRecord& d, uint8_t (&status)[SctPageSize]) {
    return ReadSctStatus(d, status) && Get16(status, SctExtendedStatus) == SctCommandExecuting;
}

bool SctTableDelivered(DriveRecord& d, uint8_t (&status)[SctPageSize]) {
    return ReadSctStatus(d, status) && Get16(status, SctExtendedStatus) == 0 &&
           Get16(status, SctActionCode) == SctDataTableAction && Get16(status, SctFunctionCode) == SctReadTableFunction;
}

}  // namespace

void EvaluateCondition(DriveRecord& d) {
    if (d.IsNVMe) {
        d.PreFailure = d.SmartData[0] != 0;  // any critical-warning bit
        return;
    }
    d.PreFailure = d.Unreliable = d.WasPreFailure = d.WasUnreliable = false;
    for (unsigned i = 0; i < EntryCount(d); ++i) {
        switch (ClassifyAttribute(d, i)) {
            case PreFailureNow: d.PreFailure = true; break;
            case AdvisoryNow: d.Unreliable = true; break;
            case PreFailurePast: d.WasPreFailure = true; break;
            case AdvisoryPast: d.WasUnreliable = true; break;
            case AttributeWithinLimits: break;
        }
    }
    // Only the strongest flag is kept.
    if (d.PreFailure) d.Unreliable = d.WasPreFailure = d.WasUnreliable = false;
    if (d.Unreliable) d.WasPreFailure = d.WasUnreliable = false;
    if (d.WasPreFailure) d.WasUnreliable = false;
}

const char* ConditionText(const DriveRecord& d) {
    if (d.PreFailure) return "pre-failure";
    if (d.Unreliable) return "operational (unreliable)";
    if (d.WasPreFailure) return "operational (was pre-failure)";
    if (d.WasUnreliable) return "operational (was unreliable)";
    return "operational";
}

const char* ConditionAdvice(const DriveRecord& d) {
    if (d.PreFailure) return "Backup important information!";
    if (d.Unreliable) return "Non-critical parameters exceeded design limits";
    return "";
}

bool TakesSctTemperature(const DriveRecord& d) { return !d.IsNVMe && d.SCT_Support && d.SCT_StatusRead; }

void ReadSctTemperature(DriveRecord& d, SctReading& sct) { sct.Read = ReadSctPage(d, sct.Status); }

void ExtractSmartValues(DriveRecord& d, const SctReading& sct) {
    if (d.IsNVMe)
        ExtractNvmeHealthValues(d);
    else
        TakeAtaValues(d, sct);
}

void ExtractSmartValues(DriveRecord& d) {
    SctReading sct;
    if (TakesSctTemperature(d) && d.AttributeCount != 0) ReadSctTemperature(d, sct);
    ExtractSmartValues(d, sct);
}

bool ReadSctStatus(DriveRecord& d, uint8_t (&status)[SctPageSize]) {
    return ReadSctPage(d, status) && SctStatusKnown(d, status);
}

void TakeSctTopTemperature(DriveRecord& d) {
    uint8_t status[SctPageSize];
    if (!ReadSctStatus(d, status)) return;
    d.SCT_StatusRead = true;
    if (status[SctLifetimeMaxTemperature] <= HighestTemperature) d.TopTemperature = status[SctLifetimeMaxTemperature];
}

void ReadSctTemperatureLimits(DriveRecord& d) {
    uint8_t table[SctPageSize] = {};
    Put16(table, 0, SctDataTableAction);
    Put16(table, 2, SctReadTableFunction);
    Put16(table, 4, SctTemperatureHistoryTable);
    uint8_t status[SctPageSize];
    if (SctBusy(d, status)) return;  // a status that cannot be read does not stop us
    if (!ExecuteCommand(d, SmartTaskFile(SMART_WRITE_LOG, 1, SctCommandLog), table, sizeof table)) return;
    if (SctBusy(d, status)) return;
    if (!ExecuteCommand(d, SmartTaskFile(SMART_READ_LOG, 1, SctDataLog), table, sizeof table)) return;
    if (!SctTableDelivered(d, status)) return;
    if (table[SctMaxOperatingLimit] < 128) d.WarningTemperature = table[SctMaxOperatingLimit];
    if (table[SctOverLimit] < 128) d.CriticalTemperature = table[SctOverLimit];
    if (d.WarningTemperature == SctNoLimit && d.CriticalTemperature == SctNoLimit) {
        d.WarningTemperature = d.CriticalTemperature = 0;
        if (d.ControllerID == 0) WriteLog("This is JMicron or Maxiotek controller.", &d);
    }
}

void TakeAttributeTopTemperature(DriveRecord& d) {
    const uint8_t* entry = TemperatureEntry(d);
    if (d.TopTemperature != 0 || !entry) return;
    const uint8_t top = TopTemperatureFromRawBytes(entry + 5);
    d.TopTemperature = top > HighestTemperature ? 0 : top;
}

void SetRecommendedTemperature(DriveRecord& d) {
    const uint8_t floor = (d.IsSSD || d.IsNVMe) ? SsdTemperatureFloor : DiskTemperatureFloor;
    d.TemperatureLimit = std::max(d.WarningTemperature, floor);
}

std::string FormatTemperature(uint8_t celsius, bool fahrenheit) {
    const unsigned value = fahrenheit ? celsius * 9u / 5u + 32u : celsius;
    return std::to_string(value);
}
