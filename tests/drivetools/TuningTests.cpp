// AAM and APM levels at the edges of what SET FEATURES takes (AAM 128..254, APM 1..254), from each
// place a level comes from, on the simulated drive: what it received and what its log says.
#include <gtest/gtest.h>

#include "TestMachine.h"
#include "device/DiagnosticLog.h"
#include "discovery/Scan.h"
#include "drivetools/Tuning.h"
#include "monitor/DriveState.h"
#include "system/Settings.h"
#include "ui/Main.h"

namespace {

constexpr int Refused = -1, NotAByte = -2;  // nothing sent; a level IDENTIFY cannot hold
enum class Source { Stored, Recommended, Requested };
const struct { const char* name; Source source; TuningFeature feature; } Sources[] = {
    {"Stored AAM", Source::Stored, TuningFeature::Acoustic}, {"Stored APM", Source::Stored, TuningFeature::Power},
    {"Recommended AAM", Source::Recommended, TuningFeature::Acoustic},
    {"Requested AAM", Source::Requested, TuningFeature::Acoustic},
    {"Requested APM", Source::Requested, TuningFeature::Power}};
// The level each source above sends the drive (a byte of 300 is 44, of 0x1FE 254).
const struct { uint32_t level; int sent[5]; } Cases[] = {
    {0, {Refused, Refused, 128, 128, 1}},         {1, {Refused, 1, 128, 128, 1}},
    {127, {Refused, 127, 128, 128, 127}},         {128, {128, 128, 128, 128, 128}},
    {254, {254, 254, 254, 254, 254}},             {255, {Refused, Refused, 254, 254, 254}},
    {300, {Refused, Refused, NotAByte, 254, 254}}, {0x1FE, {Refused, Refused, NotAByte, 254, 254}}};

using TuningLevels = MachineTest;

// The drive has both features, off, recommending the level; for the user's level both are on at 200.
TEST_F(TuningLevels, OutOfRangeLevelsAreRefusedFromTheKeyAndClampedOtherwiseBeforeAnythingIsSent) {
    for (size_t s = 0; s < std::size(Sources); ++s)
        for (const auto& c : Cases) {
            const int expected = c.sent[s];
            const auto [name, source, feature] = Sources[s];
            const bool aam = feature == TuningFeature::Acoustic, on = source == Source::Requested;
            const std::string what = std::string(name) + " level " + std::to_string(c.level);
            if (expected == NotAByte) continue;
            TearDown();
            SetUp();
            sim::Drive drive = testmachine::TunableDrive("LEVELS1", on ? 200 : 0, on ? 200 : 0);
            drive.Identify[2 * 94 + 1] = static_cast<uint8_t>(source == Source::Recommended ? c.level : 128);
            Install({}).Drives = {drive};
            ASSERT_TRUE(OpenSettingsKey());
            ScanDrives();
            DriveRecord& d = DriveForCommands(0);
            OpenDriveKey(d);
            const size_t scanLog = DriveLogText(d).size();
            Drive(0).History.clear();
            if (source == Source::Stored) {
                WriteDriveValue(d, DriveKeyValue::AAM, aam);
                WriteDriveValue(d, DriveKeyValue::AAM_value, aam ? c.level : 0);
                WriteDriveValue(d, DriveKeyValue::APM, !aam);
                WriteDriveValue(d, DriveKeyValue::APM_value, aam ? 0 : c.level);
                LoadPersistedDriveState(d);
            } else {
                EXPECT_TRUE(on ? SetTuningLevel(*DriveWriter(d), feature, c.level) : SwitchTuningOn(*DriveWriter(d), feature));
            }
            std::vector<std::pair<unsigned, unsigned>> sent, wanted;
            for (const sim::Request& r : Drive(0).History)
                if (r.taskFile.Command == ATA_SET_FEATURES) sent.emplace_back(r.taskFile.Features, r.taskFile.SectorCount);
            if (expected != Refused) wanted.emplace_back(aam ? 0x42 : 0x05, expected);
            EXPECT_EQ(sent, wanted) << what;
            const std::string outcome = expected == Refused ? "not applied" : "taken as " + std::to_string(expected);
            EXPECT_EQ(DriveLogText(d).substr(scanLog), expected == static_cast<int>(c.level) ? "" :
                      "\r\n\r\nDEBUG - " + what + " is outside " + (aam ? "128..254: " : "1..254: ") + outcome + ".") << what;
            const TuningState state = CurrentTuning(d, feature);
            EXPECT_EQ(state.Enabled, expected != Refused) << what;
            EXPECT_EQ(state.Level, expected == Refused ? 0 : expected) << what;
        }
}

}  // namespace
