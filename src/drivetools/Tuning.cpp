#include "drivetools/Tuning.h"

#include <algorithm>
#include <string>

#include "device/DiagnosticLog.h"
#include "device/TIOCTL.h"
#include "monitor/DriveState.h"
#include "protocol/Ata.h"

namespace {

// The SET FEATURES subcommands of one feature and the levels they take, its record fields and its
// stored values.
struct Feature {
    const char* Name;
    uint8_t Enable, Disable;
    uint8_t Lowest, Highest;
    bool DriveRecord::*Support;
    bool DriveRecord::*Enabled;
    uint8_t DriveRecord::*Level;
    DriveKeyValue StoredState;  // holds Enabled
    DriveKeyValue StoredLevel;  // holds Level
};

const Feature Acoustic = {"AAM", 0x42, 0xC2, 128, 254, &DriveRecord::AAM_Support, &DriveRecord::AAM_Enabled,
                          &DriveRecord::AAM_Level, DriveKeyValue::AAM, DriveKeyValue::AAM_value};
const Feature Power = {"APM", 0x05, 0x85, 1, 254, &DriveRecord::APM_Support, &DriveRecord::APM_Enabled,
                       &DriveRecord::APM_Level, DriveKeyValue::APM, DriveKeyValue::APM_value};

bool SetFeatures(DriveRecord& d, uint8_t subcommand, uint8_t value) {
    AtaTaskFile tf{};
    tf.Features = subcommand;
    tf.SectorCount = value;
    tf.Command = ATA_SET_FEATURES;
    return ExecuteCommand(d, tf);
}

bool Enable(DriveRecord& d, const Feature& f, uint8_t level) {
    if (!SetFeatures(d, f.Enable, level)) return false;
    d.*f.Level = level;
    return true;
}

bool InRange(const Feature& f, int64_t level) { return level >= f.Lowest && level <= f.Highest; }

void LogOutOfRange(DriveRecord& d, const Feature& f, const char* source, int64_t level, const std::string& outcome) {
    WriteLog(std::string(source) + " " + f.Name + " level " + std::to_string(level) + " is outside " +
                 std::to_string(f.Lowest) + ".." + std::to_string(f.Highest) + ": " + outcome + ".",
             &d);
}

// The nearest level the feature takes, logged when it is not `level` itself.
uint8_t Clamped(DriveRecord& d, const Feature& f, const char* source, int64_t level) {
    const uint8_t nearest = static_cast<uint8_t>(std::clamp<int64_t>(level, f.Lowest, f.Highest));
    if (nearest != level) LogOutOfRange(d, f, source, level, "taken as " + std::to_string(nearest));
    return nearest;
}

// A drive without the feature is sent nothing. The stored level is only sent to switch the feature
// on or to move it while it stays on: sending it to a drive whose feature is stored as off would
// switch it on. A stored level out of range is refused, not clamped: this program stores only levels
// a drive reported or took, so such a value was written elsewhere and what it meant is unknown; the
// drive keeps the state it reported.
void ApplyStored(DriveRecord& d, const Feature& f) {
    if (!(d.*f.Support)) return;
    const bool wanted = DriveValue(d, f.StoredState) != 0;
    const uint32_t level = DriveValue(d, f.StoredLevel);
    if (!wanted) {
        if (!(d.*f.Enabled)) return;
        d.*f.Enabled = !SetFeatures(d, f.Disable, 0);
        if (!(d.*f.Enabled)) d.*f.Level = 0;
    } else if (!(d.*f.Enabled) || level != d.*f.Level) {
        if (!InRange(f, level)) return LogOutOfRange(d, f, "Stored", level, "not applied");
        if (Enable(d, f, static_cast<uint8_t>(level))) d.*f.Enabled = true;
    }
}

const Feature& Of(TuningFeature feature) { return feature == TuningFeature::Acoustic ? Acoustic : Power; }

bool Changed(DriveRecord& d, bool sent) {
    if (sent) d.PerformanceTestPending = true;
    return sent;
}

void Resend(DriveRecord& d, const Feature& f) {
    if (!(d.*f.Support)) return;
    if (d.*f.Enabled) SetFeatures(d, f.Enable, d.*f.Level);
    else SetFeatures(d, f.Disable, 0);
}

}  // namespace

void ApplyStoredTuning(DriveRecord& d) {
    if (!DriveValueExists(d, DriveKeyValue::AAM)) return;
    ApplyStored(d, Acoustic);
    ApplyStored(d, Power);
}

void ReapplyTuning() {
    for (unsigned i = 0; i < DriveCount(); ++i) {
        DriveWriter writer(i);
        DriveRecord& d = *writer;
        if (d.SmartLost) continue;
        Resend(d, Acoustic);
        Resend(d, Power);
    }
}

// The drive's recommended AAM level is clamped: 0 means it recommends none, and 128, the quiet end,
// is the level the dialog's slider rests on while AAM is off; a value past either end is taken as
// that end.
bool SwitchTuningOn(DriveRecord& d, TuningFeature feature) {
    constexpr uint8_t PowerLevelOnSwitch = 128;
    const Feature& f = Of(feature);
    const uint8_t level =
        feature == TuningFeature::Acoustic ? Clamped(d, f, "Recommended", d.AAM_Recommended) : PowerLevelOnSwitch;
    d.*f.Enabled = Enable(d, f, level);
    return Changed(d, d.*f.Enabled);
}

bool SwitchTuningOff(DriveRecord& d, TuningFeature feature) {
    const Feature& f = Of(feature);
    if (!SetFeatures(d, f.Disable, 0)) return false;
    d.*f.Enabled = false;
    d.*f.Level = 0;
    return Changed(d, true);
}

// The user's level is clamped: the slider's ends are the range's, so a position past one can only
// mean that end, and a refusal would blame the driver.
bool SetTuningLevel(DriveRecord& d, TuningFeature feature, int64_t requested) {
    const Feature& f = Of(feature);
    const uint8_t level = Clamped(d, f, "Requested", requested);
    if (level == d.*f.Level) return true;
    return Changed(d, Enable(d, f, level));
}

TuningState CurrentTuning(const DriveRecord& d, TuningFeature feature) {
    const Feature& f = Of(feature);
    return {d.*f.Support, d.*f.Enabled, d.*f.Level};
}

bool IsTunable(const DriveRecord& d) { return d.AAM_Support || d.APM_Support; }

void PersistChangedTuning() {
    for (unsigned i = 0; i < DriveCount(); ++i) {
        DriveWriter writer(i);
        DriveRecord& d = *writer;
        if (!d.PerformanceTestPending) continue;
        for (const Feature* f : {&Acoustic, &Power}) {
            StoreDriveField(d, f->StoredState);
            StoreDriveField(d, f->StoredLevel);
        }
        d.MeasuredThisRun = true;
    }
}
