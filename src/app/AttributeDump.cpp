#include "app/AttributeDump.h"

#include <cinttypes>
#include <cstdio>
#include <string>

#include "smart/AttributeNames.h"
#include "smart/SmartData.h"

void DumpAttributes(std::ostream& out, const DriveRecord& d) {
    char line[256];
    std::snprintf(line, sizeof line, "%3s  %-48s %-7s %5s %5s %9s %15s %12s  %s\n", "ID", "Name", "Flags", "Value",
                  "Worst", "Threshold", "Raw", "Raw (hex)", "Failure");
    out << line;
    const unsigned count = d.AttributeCount < MaxAttributes ? d.AttributeCount : MaxAttributes;
    for (unsigned i = 0; i < count; ++i) {
        const uint8_t* entry = d.SmartData + AttributeOffset(i);
        const uint8_t threshold = d.SmartThresholds[AttributeOffset(i) + 1];
        std::snprintf(line, sizeof line, "%3u  %-48s %-7s %5u %5u %9u %15" PRIu64 " %12s  %s\n", entry[0],
                      NameAttribute(d, i).c_str(), FormatAttributeFlags(d, i).c_str(), entry[3], entry[4], threshold,
                      RawValue(d, i), FormatRawHex(d, i).c_str(), VerdictText(ClassifyAttribute(d, i)));
        out << line;
    }
    out << AttributeFlagLegend[0] << "\n" << AttributeFlagLegend[1] << "\n";
}
