// Small text helpers for the report, the tray and the logs, and the environment and input helpers
// of start-up and installation.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Types.h"

// Byte counts, truncated to one decimal that is left out when it is 0: "999 B", "1.9 KB", "1 KB".
std::string DecimalSizeText(uint64_t bytes);  // powers of 1000: B, KB, MB, GB, TB, PB, EB
std::string BinarySizeText(uint64_t bytes);   // powers of 1024: B, KiB, MiB, GiB, TiB, PiB, EiB
// The decimal text, and above 1023 bytes the binary one in parentheses: "500.1 GB (465.7 GiB)".
std::string SizeText(uint64_t bytes);

uint16_t CelsiusToFahrenheit(uint8_t celsius);

// The local time in the user's default format; empty on failure.
std::string CurrentTimeText();
// A date in the user's default short format; empty on failure (e.g. a date never set).
std::string DateText(const platform::SystemTime& date);

// The variable's value; empty when it is not set or longer than 259 characters.
std::string EnvironmentVariable(const std::string& name);

// One empty mouse event (no movement, no buttons): counts as user input for the system.
void SendEmptyInput();
