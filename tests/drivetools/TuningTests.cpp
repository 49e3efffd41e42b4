// Acoustic and power levels at the edges of what SET FEATURES takes (AAM 128..254, APM 1..254), from
// each place a level comes from: the drive's key at start-up, the drive's own recommendation when the
// user switches AAM on, and the level the user sets. What the simulated drive received and what the
// drive's log says.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "device/DiagnosticLog.h"
#include "discovery/Scan.h"
#include "drivetools/Tuning.h"
#include "monitor/DriveState.h"
#include "system/Settings.h"
#include "ui/Main.h"

namespace {

using testmachine::TunableDrive;

constexpr int Refused = -1;     // nothing sent
constexpr int NotAByte = -2;    // the drive cannot recommend it: IDENTIFY holds a byte

enum class Source { Stored, Recommended, Requested };

const struct LevelCase {
    uint32_t level;
    // What the drive receives as the level, per source and feature.
    int storedAam, storedApm, recommendedAam, requestedAam, requestedApm;
} LevelCases[] = {
    {0, Refused, Refused, 128, 128, 1},
    {1, Refused, 1, 128, 128, 1},
    {127, Refused, 127, 128, 128, 127},
    {128, 128, 128, 128, 128, 128},
    {254, 254, 254, 254, 254, 254},
    {255, Refused, Refused, 254, 254, 254},
    {300, Refused, Refused, NotAByte, 254, 254},      // a byte of it would be 44
    {0x1FE, Refused, Refused, NotAByte, 254, 254},    // a byte of it would be 254
};

struct Sent {
    unsigned features, count;
    bool operator==(const Sent& o) const { return features == o.features && count == o.count; }
};

class TuningLevels : public MachineTest {
protected:
    // The drive scanned with its key open: AAM and APM supported, AAM off and recommending
    // `recommended`, APM off; or both on at 200 when `on`.
    DriveRecord& ScanWith(uint8_t recommended, bool on) {
        TearDown();
        SetUp();
        sim::Drive drive = TunableDrive("LEVELS1", on ? 200 : 0, on ? 200 : 0);
        drive.Identify[2 * 94 + 1] = recommended;
        Install({}).Drives = {drive};
        EXPECT_TRUE(OpenSettingsKey());
        ScanDrives();
        DriveRecord& d = DriveForCommands(0);
        OpenDriveKey(d);
        Drive(0).History.clear();
        ScanLog = DriveLogText(d).size();
        return d;
    }
    // What the drive's log gained since the scan, without the separator before it.
    std::string LogSinceScan() {
        const std::string log = DriveLogText(DriveForCommands(0)).substr(ScanLog);
        return log.substr(std::min(log.size(), log.find_first_not_of("\r\n")));
    }
    size_t ScanLog = 0;
    std::vector<Sent> SetFeaturesSent() {
        std::vector<Sent> sent;
        for (const sim::Request& r : Drive(0).History)
            if (r.taskFile.Command == ATA_SET_FEATURES) sent.push_back({r.taskFile.Features, r.taskFile.SectorCount});
        return sent;
    }
    // The level reaches the drive from `source`; the record must then hold what the drive took.
    void Send(Source source, TuningFeature feature, uint32_t level) {
        const bool acoustic = feature == TuningFeature::Acoustic;
        DriveRecord& d = ScanWith(source == Source::Recommended ? static_cast<uint8_t>(level) : 128,
                                 source == Source::Requested);
        switch (source) {
            case Source::Stored:
                WriteDriveValue(d, DriveKeyValue::AAM, acoustic);
                WriteDriveValue(d, DriveKeyValue::AAM_value, acoustic ? level : 0);
                WriteDriveValue(d, DriveKeyValue::APM, !acoustic);
                WriteDriveValue(d, DriveKeyValue::APM_value, acoustic ? 0 : level);
                LoadPersistedDriveState(d);
                break;
            case Source::Recommended: EXPECT_TRUE(SwitchTuningOn(*DriveWriter(d), feature)); break;
            case Source::Requested: EXPECT_TRUE(SetTuningLevel(*DriveWriter(d), feature, level)); break;
        }
    }
};

TEST_F(TuningLevels, OutOfRangeLevelsAreRefusedFromTheKeyAndClampedOtherwiseBeforeAnythingIsSent) {
    const struct {
        const char* name;
        Source source;
        TuningFeature feature;
        int LevelCase::*expected;
    } sources[] = {
        {"Stored", Source::Stored, TuningFeature::Acoustic, &LevelCase::storedAam},
        {"Stored", Source::Stored, TuningFeature::Power, &LevelCase::storedApm},
        {"Recommended", Source::Recommended, TuningFeature::Acoustic, &LevelCase::recommendedAam},
        {"Requested", Source::Requested, TuningFeature::Acoustic, &LevelCase::requestedAam},
        {"Requested", Source::Requested, TuningFeature::Power, &LevelCase::requestedApm},
    };
    for (const auto& s : sources)
        for (const LevelCase& c : LevelCases) {
            const int expected = c.*s.expected;
            if (expected == NotAByte) continue;
            const bool acoustic = s.feature == TuningFeature::Acoustic;
            const std::string source = std::string(s.name) + (acoustic ? " AAM" : " APM");
            const std::string what = source + " " + std::to_string(c.level);
            Send(s.source, s.feature, c.level);
            const std::vector<Sent> sent = expected == Refused ? std::vector<Sent>{}
                                                               : std::vector<Sent>{{acoustic ? 0x42u : 0x05u,
                                                                                    static_cast<unsigned>(expected)}};
            EXPECT_EQ(SetFeaturesSent(), sent) << what;

            const std::string range = acoustic ? "128..254" : "1..254";
            const std::string outcome = expected == Refused ? "not applied" : "taken as " + std::to_string(expected);
            const std::string line =
                "DEBUG - " + source + " level " + std::to_string(c.level) + " is outside " + range + ": " + outcome + ".";
            EXPECT_EQ(LogSinceScan(), expected == static_cast<int>(c.level) ? "" : line) << what;

            const TuningState state = CurrentTuning(DriveForCommands(0), s.feature);
            EXPECT_EQ(state.Enabled, expected != Refused) << what;
            EXPECT_EQ(state.Level, expected == Refused ? 0 : expected) << what;
        }
}

}  // namespace
