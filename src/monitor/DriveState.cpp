#include "monitor/DriveState.h"

#include <type_traits>

#include "monitor/Alerts.h"
#include "platform/Registry.h"
#include "platform/Time.h"
#include "system/RegUtils.h"
#include "system/Settings.h"

namespace {
using V = DriveKeyValue;
using D = DriveRecord;
constexpr ValueType Dword = ValueType::Dword;
}  // namespace

const DriveKeyRow DriveKeyTable[DriveKeyValueCount] = {
    {V::StartMonitoringDate, {"StartMonitoringDate", ValueType::Date}, &D::StartMonitoringDate},
    {V::PowerOnTimerPeriod, {"PowerOnTimerPeriod_v3", Dword}, &D::PowerOnTimerPeriod},
    {V::TopTemperature, {"TopTemperature", Dword}, &D::TopTemperature},
    {V::Remaped, {"Remaped", Dword}, &D::RemappedSectors},  // spelt so by every version
    {V::PreFailureReport, {"PreFailureReport", Dword}, &D::PreFailureReport},
    {V::WarrantyReport, {"WarrantyReport", Dword}, &D::WarrantyReport},
    {V::MaxRecommendedTempReport, {"MaxRecommendedTempReport", Dword}, &D::MaxRecommendedTempReport},
    {V::PowerOffDetected, {"PowerOffDetected", Dword}, &D::PowerOffDetected},
    {V::AverageReadSpeed, {"AverageReadSpeed", Dword}, &D::AverageReadSpeed},
    {V::BufferingReadSpeed, {"BufferingReadSpeed", Dword}, &D::BufferingReadSpeed},
    {V::MaxReadSpeed, {"MaxReadSpeed", Dword}, &D::MaxReadSpeed},
    {V::StabilityReadSpeed, {"StabilityReadSpeed", Dword}, &D::StabilityReadSpeed},
    {V::MinReadSpeed, {"MinReadSpeed", Dword}, &D::MinReadSpeed},
    {V::AverageAccessTime, {"AverageAccessTime", Dword}, &D::AverageAccessTime},
    {V::AverageAccessTimeFrac, {"AverageAccessTimeFrac", Dword}, &D::AverageAccessTimeFrac},
    // Written 0 before a set's first result and 1 after its last, so that a set cut short by a kill
    // is never taken for a whole one.
    {V::ReadSpeedsComplete, {"ReadSpeedsComplete", Dword}, {}},
    {V::AAM, {"AAM", Dword}, &D::AAM_Enabled},
    {V::AAM_value, {"AAM_value", Dword}, &D::AAM_Level},
    {V::APM, {"APM", Dword}, &D::APM_Enabled},
    {V::APM_value, {"APM_value", Dword}, &D::APM_Level},
    {V::ReadTestFailed, {"ReadTestFailed", ValueType::Date}, &D::ReadTestFailed},
    {V::LastReportVersion, {"LastReportVersion", ValueType::Text}, {}},
};

const DriveKeyValue ReadResults[7] = {V::AverageReadSpeed,   V::BufferingReadSpeed, V::MaxReadSpeed,
                                      V::StabilityReadSpeed, V::MinReadSpeed,       V::AverageAccessTime,
                                      V::AverageAccessTimeFrac};

namespace {

template <typename Field>
constexpr bool IsDate = std::is_same_v<Field, SystemTime DriveRecord::*>;
template <typename Field>
constexpr bool IsNumber = !IsDate<Field> && !std::is_same_v<Field, std::monostate>;

void LoadStartMonitoringDate(DriveRecord& d) {
    LoadDriveField(d, V::StartMonitoringDate);
    if (d.StartMonitoringDate.Year != 0) return;
    platform::GetSystemTime(d.StartMonitoringDate);
    StoreDriveField(d, V::StartMonitoringDate);
}

// A stored maximum above 255 is not a temperature this program wrote: it is ignored.
void LoadTopTemperature(DriveRecord& d) {
    const uint32_t stored = DriveValue(d, V::TopTemperature);
    if (stored <= 255 && stored > d.TopTemperature) d.TopTemperature = static_cast<uint8_t>(stored);
    if (d.Temperature > d.TopTemperature) d.TopTemperature = d.Temperature;
}

// A stored "alert seen" whose condition no longer holds (it cleared while the program was off) is
// cleared, so that the next episode alerts again.
bool LoadEpisodeFlag(DriveRecord& d, DriveKeyValue flag, bool conditionHolds) {
    if (DriveValue(d, flag) == 0) return false;
    if (conditionHolds) return true;
    WriteDriveValue(d, flag, 0);
    return false;
}

// Sectors remapped while the program was not running are announced once; a count never stored is
// stored without an alert.
void CompareStoredRemaps(DriveRecord& d) {
    if (d.RemapIndex == 0) return;
    if (DriveValueExists(d, V::Remaped))
        FollowRemapCount(d, DriveValue(d, V::Remaped));
    else
        StoreDriveField(d, V::Remaped);
}

// Taken only as a whole set. A set without the completeness value was written by an earlier
// version, which wrote the seven values one after the other at the end of its measurement: it is
// taken, since this version always writes the value (0) before the first of its own, and measuring
// every drive again after an update would cost each of them a minute of reads for nothing.
bool StoredReadSpeedsWhole(const DriveRecord& d) {
    for (const DriveKeyValue v : ReadResults)
        if (!DriveValueExists(d, v)) return false;
    return !DriveValueExists(d, V::ReadSpeedsComplete) || DriveValue(d, V::ReadSpeedsComplete) == 1;
}

// Days since 1 March of year 0 of the Gregorian calendar: only differences between two dates count.
int64_t DayNumber(const SystemTime& t) {
    const int64_t year = t.Month <= 2 ? t.Year - 1 : t.Year;
    const int64_t month = t.Month <= 2 ? t.Month + 9 : t.Month - 3;
    return 365 * year + year / 4 - year / 100 + year / 400 + (153 * month + 2) / 5 + t.Day - 1;
}

int64_t SecondsOf(const SystemTime& t) { return DayNumber(t) * 86400 + t.Hour * 3600 + t.Minute * 60 + t.Second; }

// A drive whose read test failed is not read again at every start: only once a week has passed on
// the clock, or when the clock was set back to before the failure.
bool FailedWithinAWeek(const DriveRecord& d) {
    if (d.ReadTestFailed.Year == 0) return false;
    SystemTime now{};
    platform::GetSystemTime(now);
    const int64_t since = SecondsOf(now) - SecondsOf(d.ReadTestFailed);
    return since >= 0 && since < 7 * 86400;
}

void LoadReadSpeeds(DriveRecord& d) {
    d.ReadSpeedsKnown = StoredReadSpeedsWhole(d);
    if (d.ReadSpeedsKnown)
        for (const DriveKeyValue v : ReadResults) LoadDriveField(d, v);
    else
        LoadDriveField(d, V::ReadTestFailed);
    const bool due = !d.ReadSpeedsKnown && !FailedWithinAWeek(d);
    d.PerformanceTestPending = due;
    d.MeasuredThisRun = due;
}

}  // namespace

void OpenDriveKey(DriveRecord& d) {
    platform::HKey key = 0;
    if (platform::RegCreateKeyEx(SettingsKey, d.Model + "\\" + d.SerialNumber, platform::KEY_ALL_ACCESS, key) !=
        platform::ERROR_SUCCESS)
        key = 0;
    d.RegKey = key;
}

void LoadDriveState(DriveRecord& d) {
    OpenDriveKey(d);
    LoadStartMonitoringDate(d);
    if (!d.IsNVMe && d.PowerTimeIndex != 0) LoadDriveField(d, V::PowerOnTimerPeriod);
    LoadTopTemperature(d);
    d.PreFailureReport = LoadEpisodeFlag(d, V::PreFailureReport, d.PreFailure);
    d.WarrantyReport = LoadEpisodeFlag(d, V::WarrantyReport, d.Unreliable);
    CompareStoredRemaps(d);
    LoadReadSpeeds(d);
    LoadDriveField(d, V::MaxRecommendedTempReport);
    LoadDriveField(d, V::PowerOffDetected);
}

const DriveKeyRow& DriveKeyRowOf(DriveKeyValue value) { return DriveKeyTable[static_cast<size_t>(value)]; }

uint32_t DriveValue(const DriveRecord& d, DriveKeyValue v) {
    return d.RegKey ? StoredDword(d.RegKey, DriveKeyRowOf(v).Value) : 0;
}

std::string DriveText(const DriveRecord& d, DriveKeyValue v) {
    return d.RegKey ? StoredText(d.RegKey, DriveKeyRowOf(v).Value) : std::string();
}

bool DriveValueExists(const DriveRecord& d, DriveKeyValue v) {
    return d.RegKey != 0 && IsStored(d.RegKey, DriveKeyRowOf(v).Value);
}

void WriteDriveValue(const DriveRecord& d, DriveKeyValue v, uint32_t number) {
    if (d.RegKey) StoreDword(d.RegKey, DriveKeyRowOf(v).Value, number);
}

void WriteDriveText(const DriveRecord& d, DriveKeyValue v, const std::string& text) {
    if (d.RegKey) StoreText(d.RegKey, DriveKeyRowOf(v).Value, text);
}

uint32_t DriveFieldNumber(const DriveRecord& d, DriveKeyValue v) {
    return std::visit(
        [&](auto field) -> uint32_t {
            if constexpr (IsNumber<decltype(field)>) return d.*field;
            return 0;
        },
        DriveKeyRowOf(v).Field);
}

// A stored number too large for its field is cut to the field's width, as it always was.
void LoadDriveField(DriveRecord& d, DriveKeyValue v) {
    const DriveKeyRow& row = DriveKeyRowOf(v);
    std::visit(
        [&](auto field) {
            using Field = decltype(field);
            if constexpr (IsDate<Field>) d.*field = d.RegKey ? StoredDate(d.RegKey, row.Value) : SystemTime{};
            if constexpr (IsNumber<Field>)
                d.*field = static_cast<std::remove_reference_t<decltype(d.*field)>>(DriveValue(d, v));
        },
        row.Field);
}

void StoreDriveField(const DriveRecord& d, DriveKeyValue v) {
    const DriveKeyRow& row = DriveKeyRowOf(v);
    if (!d.RegKey) return;
    std::visit(
        [&](auto field) {
            using Field = decltype(field);
            if constexpr (IsDate<Field>) StoreDate(d.RegKey, row.Value, d.*field);
            if constexpr (IsNumber<Field>) StoreDword(d.RegKey, row.Value, d.*field);
        },
        row.Field);
}

void StoreReadSpeeds(const DriveRecord& d) {
    WriteDriveValue(d, V::ReadSpeedsComplete, 0);
    for (const DriveKeyValue v : ReadResults) StoreDriveField(d, v);
    WriteDriveValue(d, V::ReadSpeedsComplete, 1);
}

void RecordReadTestSuccess(DriveRecord& d) {
    StoreReadSpeeds(d);
    d.ReadSpeedsKnown = true;
    if (d.ReadTestFailed.Year == 0) return;
    d.ReadTestFailed = SystemTime{};
    StoreDriveField(d, V::ReadTestFailed);
}

// The failed run left some of its figures in the record and the stored ones belong to an earlier
// tuning: neither is shown, published or taken as measured. A drive without figures has zeros, as one
// never measured.
void RecordReadTestFailure(DriveRecord& d) {
    platform::GetSystemTime(d.ReadTestFailed);
    d.ReadSpeedsKnown = false;
    d.AverageReadSpeed = d.BufferingReadSpeed = d.MaxReadSpeed = d.StabilityReadSpeed = d.MinReadSpeed = 0;
    d.AverageAccessTime = d.AverageAccessTimeFrac = 0;
    WriteDriveValue(d, V::ReadSpeedsComplete, 0);
    StoreDriveField(d, V::ReadTestFailed);
}
