#include "drivetools/Tuning.h"

#include "device/TIOCTL.h"
#include "monitor/DriveState.h"
#include "protocol/Ata.h"

namespace {

// The SET FEATURES subcommands of one feature, its record fields and its stored values.
struct Feature {
    uint8_t Enable, Disable;
    bool DriveRecord::*Support;
    bool DriveRecord::*Enabled;
    uint8_t DriveRecord::*Level;
    DriveKeyValue StoredState;  // holds Enabled
    DriveKeyValue StoredLevel;  // holds Level
};

const Feature Acoustic = {0x42, 0xC2, &DriveRecord::AAM_Support, &DriveRecord::AAM_Enabled,
                          &DriveRecord::AAM_Level, DriveKeyValue::AAM, DriveKeyValue::AAM_value};
const Feature Power = {0x05, 0x85, &DriveRecord::APM_Support, &DriveRecord::APM_Enabled,
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

// A drive without the feature is sent nothing. The stored level is only sent to switch the feature
// on or to move it while it stays on: sending it to a drive whose feature is stored as off would
// switch it on.
void ApplyStored(DriveRecord& d, const Feature& f) {
    if (!(d.*f.Support)) return;
    const bool wanted = DriveValue(d, f.StoredState) != 0;
    const uint8_t level = static_cast<uint8_t>(DriveValue(d, f.StoredLevel));
    if (wanted != d.*f.Enabled) {
        if (wanted) {
            d.*f.Enabled = Enable(d, f, level);
        } else {
            d.*f.Enabled = !SetFeatures(d, f.Disable, 0);
            if (!(d.*f.Enabled)) d.*f.Level = 0;
        }
    } else if (wanted && level != d.*f.Level) {
        Enable(d, f, level);
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

bool SwitchTuningOn(DriveRecord& d, TuningFeature feature) {
    constexpr uint8_t PowerLevelOnSwitch = 128;
    const Feature& f = Of(feature);
    const uint8_t level = feature == TuningFeature::Acoustic ? d.AAM_Recommended : PowerLevelOnSwitch;
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

bool SetTuningLevel(DriveRecord& d, TuningFeature feature, uint8_t level) {
    const Feature& f = Of(feature);
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
