#include "smart/SmartData.h"

#include <cstdio>
#include <cstring>

#include "protocol/Bytes.h"
#include "device/DiagnosticLog.h"
#include "device/TIOCTL.h"

namespace {

constexpr uint16_t PreFailureFlag = 0x0001;

bool ReadPage(DriveRecord& d, uint8_t (&page)[SmartPageSize]) {
    return ExecuteCommand(d, SmartTaskFile(SMART_READ_DATA, 1), page, sizeof page);
}

const uint8_t* Entry(const DriveRecord& d, unsigned i) { return d.SmartData + AttributeOffset(i); }

uint16_t Flags(const DriveRecord& d, unsigned i) { return Get16(Entry(d, i), 1); }

}  // namespace

void ReadValuePage(DriveRecord& d, uint32_t failuresBefore, ValuePageRead& read) {
    read.Read = ReadPage(d, read.Page);
    read.FirstReadFailed = !read.Read;
    if (read.Read || failuresBefore + 1 > MaxSmartFailures) return;
    // S.M.A.R.T. may have been switched off behind our back (another tool, a firmware reset).
    if (!d.IsNVMe && ExecuteCommand(d, SmartTaskFile(SMART_ENABLE_OPERATIONS))) read.Read = ReadPage(d, read.Page);
}

PageOutcome RecordValuePage(DriveRecord& d, const ValuePageRead& read) {
    if (read.FirstReadFailed && ++d.SmartFailures > MaxSmartFailures) {
        d.SmartLost = true;
        return PageOutcome::DriveLost;
    }
    if (!read.Read) return PageOutcome::Unread;
    if (!d.IsNVMe && !SmartChecksumOk(read.Page)) {
        if (!d.ChecksumErrorLogged) WriteLog("Checksum error of SMART attributes log.", &d);
        d.ChecksumErrorLogged = true;
        return PageOutcome::Damaged;
    }
    std::memcpy(d.SmartData, read.Page, sizeof d.SmartData);
    return PageOutcome::Taken;
}

PageOutcome ReadSmartData(DriveRecord& d) {
    ValuePageRead read;
    ReadValuePage(d, d.SmartFailures, read);
    return RecordValuePage(d, read);
}

bool SmartChecksumOk(const uint8_t (&page)[SmartPageSize]) {
    uint8_t sum = 0;
    for (uint8_t b : page) sum = static_cast<uint8_t>(sum + b);
    return sum == 0;
}

bool SmartChecksumOk(const DriveRecord& drive) { return SmartChecksumOk(drive.SmartData); }

uint8_t CountAttributes(const DriveRecord& drive) {
    uint8_t count = 0;
    while (count < MaxAttributes && drive.SmartData[AttributeOffset(count)] != 0) ++count;
    return count;
}

int FindAttribute(const DriveRecord& d, uint8_t id) {
    const unsigned count = d.AttributeCount < MaxAttributes ? d.AttributeCount : MaxAttributes;
    for (unsigned i = 0; i < count; ++i)
        if (Entry(d, i)[0] == id) return static_cast<int>(i);
    return NoAttribute;
}

bool FailsThreshold(uint8_t v, uint8_t t) {
    if (v == 1 && t == 0) return true;
    if (v >= 254 || t >= 254 || t == 0) return false;
    return v <= t;
}

AttributeVerdict ClassifyAttribute(const DriveRecord& d, unsigned i) {
    if (i >= MaxAttributes) return AttributeWithinLimits;
    const uint8_t* e = Entry(d, i);
    const uint8_t threshold = d.SmartThresholds[AttributeOffset(i) + 1];  // paired by position, not by ID
    const bool preFailure = Flags(d, i) & PreFailureFlag;
    if (FailsThreshold(e[3], threshold)) return preFailure ? PreFailureNow : AdvisoryNow;
    if (FailsThreshold(e[4], threshold)) return preFailure ? PreFailurePast : AdvisoryPast;
    return AttributeWithinLimits;
}

const char* VerdictText(AttributeVerdict verdict) {
    switch (verdict) {
        case PreFailureNow:
        case AdvisoryNow: return "Now";
        case PreFailurePast:
        case AdvisoryPast: return "Past";
        case AttributeWithinLimits: break;
    }
    return "-";
}

uint64_t RawValue(const DriveRecord& d, unsigned i) {
    if (i >= MaxAttributes) return 0;
    uint64_t raw = 0;
    for (unsigned b = 6; b-- > 0;) raw = (raw << 8) | Entry(d, i)[5 + b];
    return raw;
}

std::string FormatRawHex(const DriveRecord& d, unsigned i) {
    if (i >= MaxAttributes) return std::string();
    const uint8_t* raw = Entry(d, i) + 5;
    unsigned top = 5;
    while (top > 0 && raw[top] == 0) --top;
    std::string text;
    for (unsigned b = top + 1; b-- > 0;) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", raw[b]);
        text += digits;
    }
    return text;
}

std::string FormatAttributeFlags(const DriveRecord& d, unsigned i) {
    if (i >= MaxAttributes) return std::string();
    static const char Letters[] = "POSRCK";
    const uint16_t flags = Flags(d, i);
    std::string text;
    for (unsigned bit = 0; bit < 6; ++bit) text += Bit(flags, bit) ? Letters[bit] : '-';
    return text + " ";
}

const char* const AttributeFlagLegend[2] = {
    "Flags: P - prefailure warning, O - updated online, S - speed/performance",
    "       R - error rate, C - event count, K - auto-keep",
};
