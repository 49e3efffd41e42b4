// The NVMe SMART / health information log as kept in SmartData, the controller's version gate, the
// critical-warning texts, and the Device Self-test log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/DriveRecord.h"

// The per-read extraction for an NVMe drive: Temperature, PowerTime (Power On Hours) and
// PowerCycleCount, each from the low 32 bits of its field.
void ExtractNvmeHealthValues(DriveRecord& drive);

// An NVMe temperature in Kelvin as whole degrees Celsius; 0 (unknown) outside 273..394 K, where no
// drive reports a real temperature.
uint8_t KelvinToCelsius(uint32_t kelvin);

// The controller's NVMe version as major x 10 + minor (1.3 gives 13), from Identify Controller VER.
unsigned NvmeVersion(const DriveRecord& drive);

// The label of the drive's own temperature, in Kelvin in the log.
constexpr char CompositeTemperatureLabel[] = "Composite Temperature";

// One field of the health log under its report label, as the raw number.
struct NvmeHealthValue {
    std::string Label;
    uint32_t Value;
};

// The fields this controller's version defines, in log order; temperature sensors only when set.
std::vector<NvmeHealthValue> NvmeHealthValues(const DriveRecord& drive);

// One text per critical-warning bit that has one, in report order.
std::vector<std::string> NvmeCriticalWarningTexts(const DriveRecord& drive);
// The same for one warning byte of the log only: 0 (critical warning) or 6 (endurance groups).
std::vector<std::string> NvmeCriticalWarningTexts(const DriveRecord& drive, size_t logByte);

constexpr size_t NvmeSelfTestLogSize = 564;

// What the Device Self-test log says: whether a test is running, and the newest result entry.
struct NvmeSelfTestLog {
    bool Running;
    uint8_t NewestResult;  // 0 completed without error; 1..4 and 8..9 aborted; anything else failed
    uint8_t NewestCode;    // the self-test code of that entry (1 short, 2 extended)
};

bool ReadNvmeSelfTestLog(DriveRecord& drive, NvmeSelfTestLog& log);

enum class SelfTestOutcome { Passed, Interrupted, Failed };

SelfTestOutcome NvmeSelfTestOutcome(uint8_t result);
