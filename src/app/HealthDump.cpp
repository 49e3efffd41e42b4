#include "app/HealthDump.h"

#include <string>

#include "smart/Condition.h"
#include "smart/NvmeHealth.h"
#include "smart/WorkedHours.h"
#include "system/Settings.h"

namespace {

void Line(std::ostream& out, const std::string& label, const std::string& value) {
    out << label << ": " << value << "\n";
}

// A temperature of 0 is unknown and never shown.
void Temperature(std::ostream& out, const char* label, uint8_t celsius) {
    if (celsius != 0) Line(out, label, FormatTemperature(celsius, Settings.Fahrenheit));
}

}  // namespace

void DumpHealth(std::ostream& out, const DriveRecord& d) {
    Line(out, "Condition", ConditionText(d));
    if (*ConditionAdvice(d)) out << ConditionAdvice(d) << "\n";
    Temperature(out, "Current temperature", d.Temperature);
    Temperature(out, "Maximum temperature", d.TopTemperature);
    Temperature(out, "Recommended maximum temperature", d.WarningTemperature);
    if (d.CriticalTemperature != d.WarningTemperature)
        Temperature(out, "Critical maximum temperature", d.CriticalTemperature);
    Temperature(out, "Temperature limit", d.TemperatureLimit);
    if (d.IsNVMe || d.PowerTimeIndex != 0) Line(out, "Hours worked off", WorkedHoursText(d));
    if (d.IsNVMe || d.PowerCycleIndex != 0) Line(out, "Connections to the power", std::to_string(d.PowerCycleCount));
    if (d.RemapIndex != 0) Line(out, "Remapped sectors", std::to_string(d.RemappedSectors));
    if (!d.IsNVMe) return;
    for (const NvmeHealthValue& v : NvmeHealthValues(d)) Line(out, v.Label, std::to_string(v.Value));
    for (const std::string& text : NvmeCriticalWarningTexts(d)) out << text << "\n";
}
