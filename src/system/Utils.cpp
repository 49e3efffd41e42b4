// Small text, environment and input helpers (Utils.h).
#include "system/Utils.h"

#include <iterator>

#include "platform/Input.h"
#include "platform/SystemInfo.h"
#include "platform/Time.h"

namespace {

constexpr uint32_t DateBufferSize = 101;
constexpr uint32_t EnvironmentBufferSize = 260;

const char* const DecimalUnits[] = {"B", "KB", "MB", "GB", "TB", "PB", "EB"};
const char* const BinaryUnits[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};

std::string WithTenths(uint64_t whole, uint64_t tenths, const char* unit) {
    std::string text = std::to_string(whole);
    if (tenths != 0) text += "." + std::to_string(tenths);
    return text + " " + unit;
}

}  // namespace

std::string DecimalSizeText(uint64_t bytes) {
    size_t unit = 0;
    uint64_t scale = 1;
    while (unit + 1 < std::size(DecimalUnits) && bytes / scale >= 1000) {
        scale *= 1000;
        ++unit;
    }
    return WithTenths(bytes / scale, unit == 0 ? 0 : bytes % scale / (scale / 10), DecimalUnits[unit]);
}

// The tenths digit is the next 10 bits divided by 103, which keeps it within 0..9.
std::string BinarySizeText(uint64_t bytes) {
    size_t unit = 0;
    while (unit + 1 < std::size(BinaryUnits) && bytes >> (10 * unit) >= 1024) ++unit;
    const uint64_t tenths = unit == 0 ? 0 : (bytes >> (10 * (unit - 1)) & 1023) / 103;
    return WithTenths(bytes >> (10 * unit), tenths, BinaryUnits[unit]);
}

std::string SizeText(uint64_t bytes) {
    std::string text = DecimalSizeText(bytes);
    if (bytes > 1023) text += " (" + BinarySizeText(bytes) + ")";
    return text;
}

uint16_t CelsiusToFahrenheit(uint8_t celsius) { return static_cast<uint16_t>(celsius * 9u / 5u + 32u); }

std::string CurrentTimeText() { return platform::GetTimeFormat(); }

std::string DateText(const platform::SystemTime& date) { return platform::GetDateFormat(date, DateBufferSize); }

std::string EnvironmentVariable(const std::string& name) {
    char value[EnvironmentBufferSize] = {};
    const uint32_t length = platform::GetEnvironmentVariable(name, value, EnvironmentBufferSize);
    if (length == 0 || length >= EnvironmentBufferSize) return std::string();
    return std::string(value, length);
}

void SendEmptyInput() { platform::SendInput({platform::Input{}}); }
