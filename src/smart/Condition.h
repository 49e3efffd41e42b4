// Condition, temperatures and counters of a drive from its S.M.A.R.T. pages (or NVMe health log),
// and the two SCT reads that serve as temperature sources.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/DriveRecord.h"

constexpr size_t SctPageSize = 512;

// Sets PreFailure, Unreliable, WasPreFailure, WasUnreliable; at most one stays set.
void EvaluateCondition(DriveRecord& drive);

// The condition word ("operational (was pre-failure)") and the line shown under it ("" for none).
const char* ConditionText(const DriveRecord& drive);
const char* ConditionAdvice(const DriveRecord& drive);

// Refreshes Temperature, TemperatureIndex, the power-on counter, the remapped sectors and the power
// cycles from the current page (ATA: the attribute entries and the SCT status; NVMe: the health log).
void ExtractSmartValues(DriveRecord& drive);

// The SCT status as a temperature source, read without the table lock before the refresh.
struct SctReading {
    bool Read = false;
    uint8_t Status[SctPageSize];
};
// Whether the refresh takes the temperature from the SCT status (read once at identification).
bool TakesSctTemperature(const DriveRecord& drive);
// The read alone: nothing of the record changes.
void ReadSctTemperature(DriveRecord& drive, SctReading& sct);
// The refresh with the status read beforehand.
void ExtractSmartValues(DriveRecord& drive, const SctReading& sct);

// Fills `status` with the SCT status page; false when it cannot be read or its format is unknown
// (logged once per drive).
bool ReadSctStatus(DriveRecord& drive, uint8_t (&status)[SctPageSize]);

// Identification: whether the SCT status can be read (SCT_StatusRead), and the lifetime maximum it gives.
void TakeSctTopTemperature(DriveRecord& drive);

// Identification: WarningTemperature and CriticalTemperature from the SCT temperature history table.
void ReadSctTemperatureLimits(DriveRecord& drive);

// Identification: the lifetime maximum from the temperature attribute's raw bytes, while none is known.
void TakeAttributeTopTemperature(DriveRecord& drive);

// TemperatureLimit: the drive's warning limit, but never below 70 °C for SSDs and 55 °C for others.
void SetRecommendedTemperature(DriveRecord& drive);

// Decimal digits in degrees Celsius, or Fahrenheit when asked, no unit.
std::string FormatTemperature(uint8_t celsius, bool fahrenheit);
