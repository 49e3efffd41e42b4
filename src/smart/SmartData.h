// The ATA S.M.A.R.T. value and threshold pages: reading, checksum, attribute entries, the threshold
// judgement and how a raw value is written out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/DriveRecord.h"
#include "protocol/Ata.h"

// More failed value-page reads than this mark the drive lost.
constexpr uint32_t MaxSmartFailures = 9;

constexpr size_t SmartPageSize = 512;

// The monitoring cycle's read of the value page, in two halves: the read into a page of its own
// without the table lock, then its recording under the DriveWriter.
struct ValuePageRead {
    bool FirstReadFailed = false;  // counted against the drive
    bool Read = false;             // Page holds what the drive returned
    uint8_t Page[SmartPageSize];
};

// A failed first read that leaves the drive still watched gets one enable-and-retry on ATA drives.
// `failuresBefore` is the drive's SmartFailures.
void ReadValuePage(DriveRecord& drive, uint32_t failuresBefore, ValuePageRead& read);

enum class PageOutcome {
    Taken,     // the new page is in SmartData
    Unread,    // counted; SmartData keeps the last good page, which stands for this read
    Damaged,   // ATA page with a wrong checksum: not taken (logged once per drive)
    DriveLost  // the tenth failed read: SmartLost set
};

// SmartData keeps the last good page: a page that fails its checksum never replaces it.
PageOutcome RecordValuePage(DriveRecord& drive, const ValuePageRead& read);

// Both halves at once, for a caller that holds the DriveWriter.
PageOutcome ReadSmartData(DriveRecord& drive);

// The 512 bytes of the page add up to 0 modulo 256.
bool SmartChecksumOk(const uint8_t (&page)[SmartPageSize]);
bool SmartChecksumOk(const DriveRecord& drive);

// Number of leading entries whose identifier is not 0 (0..30).
uint8_t CountAttributes(const DriveRecord& drive);

// Index (0-based) of the first of the AttributeCount entries with this identifier, or NoAttribute.
constexpr int NoAttribute = -1;
int FindAttribute(const DriveRecord& drive, uint8_t id);

// Whether a normalized value v fails against threshold t.
bool FailsThreshold(uint8_t value, uint8_t threshold);

// The threshold judgement of one attribute entry, by its current and then its worst value.
enum AttributeVerdict : uint8_t {
    AttributeWithinLimits = 0,
    PreFailureNow = 1,   // current value fails, pre-failure flag set
    AdvisoryNow = 2,     // current value fails, flag clear
    PreFailurePast = 3,  // worst value fails, flag set
    AdvisoryPast = 4,    // worst value fails, flag clear
};
AttributeVerdict ClassifyAttribute(const DriveRecord& drive, unsigned i);
// The verdict as the attribute table words it: "Now" (failing), "Past" (failed once) or "-".
const char* VerdictText(AttributeVerdict verdict);

// Bytes 5..10 of entry i as a 48-bit little-endian number.
uint64_t RawValue(const DriveRecord& drive, unsigned i);

// The raw bytes from the most significant non-zero one down to byte 0, two upper-case hexadecimal
// digits each ("00" for a raw value of 0).
std::string FormatRawHex(const DriveRecord& drive, unsigned i);

// "POSRCK" with "-" for every clear bit, then one blank.
std::string FormatAttributeFlags(const DriveRecord& drive, unsigned i);

// The two lines printed under the attribute table.
extern const char* const AttributeFlagLegend[2];
