// Condition and temperature: the flags the attribute verdicts leave, where the temperature comes
// from, the lifetime maximum, the SCT status and temperature limits, and the temperature texts.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestMachine.h"
#include "protocol/Bytes.h"
#include "protocol/IoctlCodes.h"
#include "smart/Condition.h"
#include "smart/SmartData.h"

namespace {

DriveRecord WithAttributes(const std::vector<sim::Attribute>& attributes) {
    DriveRecord d;
    const std::vector<uint8_t> values = sim::SmartValuePage(attributes);
    const std::vector<uint8_t> thresholds = sim::SmartThresholdPage(attributes);
    std::copy(values.begin(), values.end(), d.SmartData);
    std::copy(thresholds.begin(), thresholds.end(), d.SmartThresholds);
    d.AttributeCount = CountAttributes(d);
    return d;
}

// Raw bytes r0..r5, least significant first.
uint64_t Raw(const std::vector<uint8_t>& bytes) {
    uint64_t raw = 0, shift = 0;
    for (uint8_t b : bytes) raw |= static_cast<uint64_t>(b) << (shift++ * 8);
    return raw;
}

const sim::Attribute Fine = {1, 0x000F, 100, 100, 0, 50};
const sim::Attribute PreFailing = {5, 0x33, 100, 100, 0, 100}, AdvisoryFailing = {7, 0x0E, 25, 25, 0, 30};
const sim::Attribute PreFailed = {3, 0x27, 100, 40, 0, 50}, AdvisoryFailed = {7, 0x0E, 90, 30, 0, 30};

TEST(EvaluateCondition, KeepsOnlyTheStrongestFlag) {
    const std::pair<std::vector<sim::Attribute>, const char*> cases[] = {
        {{Fine}, "operational"},
        {{AdvisoryFailed, Fine, PreFailing}, "pre-failure"},  // every attribute takes part
        {{PreFailed, AdvisoryFailing}, "operational (unreliable)"},
        {{AdvisoryFailed, PreFailed}, "operational (was pre-failure)"},
        {{Fine, AdvisoryFailed}, "operational (was unreliable)"},
    };
    for (const auto& c : cases) {
        DriveRecord d = WithAttributes(c.first);
        d.PreFailure = d.Unreliable = d.WasPreFailure = d.WasUnreliable = true;  // from an earlier page
        EvaluateCondition(d);
        EXPECT_LE(d.PreFailure + d.Unreliable + d.WasPreFailure + d.WasUnreliable, 1);
        EXPECT_STREQ(ConditionText(d), c.second);
    }
    DriveRecord worst = WithAttributes({PreFailing});
    EvaluateCondition(worst);
    EXPECT_STREQ(ConditionAdvice(worst), "Backup important information!");

    DriveRecord nvme;
    nvme.IsNVMe = true;
    nvme.SmartData[0] = 0x40;  // a critical-warning bit without a text still counts
    EvaluateCondition(nvme);
    EXPECT_TRUE(nvme.PreFailure);
}

TEST(ExtractSmartValues, TheTemperatureAttributeAndItsRawValue) {
    const sim::Attribute t194 = {194, 0x22, 35, 45, 35, 0}, t190 = {190, 0x22, 60, 50, 40, 45},
                         t231 = {231, 0x00, 98, 98, 45, 0};
    struct Case {
        std::vector<sim::Attribute> attributes;
        bool ssd;
        const char* brand;
        uint8_t index, temperature;
    };
    const Case cases[] = {
        {{Fine, t190, t194}, false, "", 3, 35},
        {{t231, t190}, false, "", 2, 40},
        {{Fine, t190}, false, "Lite-On", 0, 0},  // a Lite-On's 190 is no temperature
        {{Fine, t231}, false, "", 2, 45},
        {{Fine, t231}, true, "", 0, 0},  // on an SSD, 231 is life left
        {{t194, Fine, {194, 0x22, 30, 40, 30, 0}}, false, "", 3, 30},  // the later 194
        {{{194, 0x22, 100, 100, 121, 0}}, false, "", 1, 121},
        {{{194, 0x22, 100, 100, 122, 0}}, false, "", 1, 0},  // implausible
    };
    for (const Case& c : cases) {
        DriveRecord d = WithAttributes(c.attributes);
        d.IsSSD = c.ssd;
        d.Trademark = c.brand;
        d.Temperature = 99;
        ExtractSmartValues(d);
        EXPECT_EQ(d.TemperatureIndex, c.index) << c.attributes.size() << c.brand;
        EXPECT_EQ(d.Temperature, c.temperature) << c.attributes.size() << c.brand;
    }

    DriveRecord samsung = WithAttributes({Fine, {194, 0x22, 100, 100, Raw({0x9A, 0x01, 0x11}), 0}});
    samsung.LegacySamsung = true;
    ExtractSmartValues(samsung);
    EXPECT_EQ(samsung.Temperature, 41) << "410 tenths";
    samsung.LegacySamsung = false;
    ExtractSmartValues(samsung);
    EXPECT_EQ(samsung.Temperature, 0) << "the low byte alone, 154, is implausible";
}

TEST(ExtractSmartValues, CountersFromTheirAttributes) {
    DriveRecord d = WithAttributes({{9, 0x32, 90, 90, Raw({0x10, 0x27, 0, 0, 0x55, 0x66}), 0},
                                    {9, 0x32, 90, 90, 777, 0},
                                    {5, 0x33, 100, 100, Raw({0x2B, 0x00, 0x2B, 0x00, 0x01}), 5},
                                    {12, 0x32, 100, 100, 44, 0}});
    ExtractSmartValues(d);
    EXPECT_EQ(d.PowerTimeIndex, 1);
    EXPECT_EQ(d.PowerTime, 10000u) << "the first entry 9, bytes 0..3";
    EXPECT_EQ(d.RemapIndex, 3);
    EXPECT_EQ(d.RemappedSectors, 43u) << "bytes 2..3 hold a second counter";
    EXPECT_EQ(d.PowerCycleCount, 44u);

    DriveRecord empty = d;  // an empty attribute table changes nothing
    empty.AttributeCount = 0;
    empty.Temperature = 33;
    ExtractSmartValues(empty);
    EXPECT_EQ(empty.Temperature, 33);
    EXPECT_EQ(empty.PowerTimeIndex, 1);

    // SandForce firmwares whose attribute 5 counts something else; exact, whole texts.
    d.ControllerID = 7;
    d.Model = "OCZ-VERTEX3";
    d.FirmwareVersion = "2.02";
    ExtractSmartValues(d);
    EXPECT_EQ(d.RemapIndex, 0);
    d.FirmwareVersion = "2.02 ";
    ExtractSmartValues(d);
    EXPECT_EQ(d.RemapIndex, 3);

    // A controller other than SandForce counts remapped sectors in attribute 5 whatever the model.
    d.ControllerID = 8;
    d.FirmwareVersion = "2.02";
    ExtractSmartValues(d);
    EXPECT_EQ(d.RemapIndex, 3);

    DriveRecord huge = WithAttributes({{9, 0x32, 100, 100, 2147483648u, 0}});
    ExtractSmartValues(huge);
    ExtractSmartValues(huge);
    EXPECT_EQ(huge.PowerTime, 2147483648u);
    EXPECT_EQ(huge.Log, "DEBUG - PowerTime > 2147483647") << "once";
}

TEST(ExtractSmartValues, RemappedSectorsFromOneOrTwoCounters) {
    const std::pair<std::vector<uint8_t>, uint32_t> cases[] = {
        {{0x2B, 0x00, 0x2B, 0x00}, 43},           // two counters, equal
        {{0x2B, 0x00, 0x2C, 0x00}, 43},           // the second one moved on: no new remap
        {{0x00, 0x00, 0x01, 0x00}, 0},            // a second counter alone
        {{0xFF, 0xFF, 0x00, 0x00}, 65535},        // one 32-bit counter
        {{0x2B, 0x00, 0x00, 0x00, 0x07, 0x09}, 43},  // bytes 4..5 are not part of the count
    };
    for (const auto& c : cases) {
        DriveRecord d = WithAttributes({Fine, {5, 0x33, 100, 100, Raw(c.first), 5}});
        ExtractSmartValues(d);
        EXPECT_EQ(d.RemappedSectors, c.second) << FormatRawHex(d, 1);
    }
}

TEST(LifetimeMaximum, FromTheRawBytesOfTheTemperatureAttribute) {
    const std::pair<std::vector<uint8_t>, uint8_t> cases[] = {
        {{0x28, 0x00, 0x14, 0x00, 0x2D, 0x00}, 45},  // A: min in r2, max in r4
        {{0x1E, 0x00, 0x31, 0x00, 0x14, 0x00}, 49},  // B: max in r2, min in r4
        {{0x25, 0xFF, 0x0E, 0x2D, 0x00, 0x00}, 45},  // C: max in r3
        {{0x20, 0x10, 0x2A, 0x00, 0x00, 0x00}, 42},  // D: max in r2, min in r1
        {{0x23, 0x00, 0x12, 0x30, 0x05, 0x00}, 48},  // E: max in r3, something in r4
        {{0x2F, 0x00, 0x00, 0x00, 0x00, 0x00}, 0},   // the current value only
        {{0xF6, 0x00, 0xF0, 0x00, 0x0A, 0x00}, 10},  // signed: -10 now, -16 at least, 10 at most
        {{0x28, 0x00, 0x14, 0x00, 0x7A, 0x00}, 0},   // 122 is implausible
    };
    for (const auto& c : cases) {
        DriveRecord d = WithAttributes({Fine, {194, 0x22, 100, 100, Raw(c.first), 0}});
        ExtractSmartValues(d);
        TakeAttributeTopTemperature(d);
        EXPECT_EQ(d.TopTemperature, c.second) << FormatRawHex(d, 1);
        d.TopTemperature = 50;  // already known from the SCT status
        TakeAttributeTopTemperature(d);
        EXPECT_EQ(d.TopTemperature, 50);
    }
}

TEST(TemperatureLimit, TheDrivesOwnLimitAboveAFloorAndTheFahrenheitText) {
    struct Case {
        bool ssd, nvme;
        uint8_t warning, limit;
    };
    const Case cases[] = {{false, false, 60, 60}, {false, false, 50, 55}, {false, false, 0, 55},
                          {true, false, 75, 75},  {true, false, 60, 70},  {false, true, 0, 70}};
    for (const Case& c : cases) {
        DriveRecord d;
        d.IsSSD = c.ssd;
        d.IsNVMe = c.nvme;
        d.WarningTemperature = c.warning;
        SetRecommendedTemperature(d);
        EXPECT_EQ(d.TemperatureLimit, c.limit) << c.ssd << c.nvme << unsigned(c.warning);
    }
    EXPECT_EQ(FormatTemperature(45, false), "45");
    EXPECT_EQ(FormatTemperature(45, true), "113");
    EXPECT_EQ(FormatTemperature(37, true), "98");
    EXPECT_EQ(FormatTemperature(255, true), "491") << "no 8-bit overflow";
}

// ATA drives with an SCT engine: its status page and temperature history table.
class Sct : public MachineTest {
protected:
    DriveRecord Open(int temperature, int lifetimeMax, int maxOperating, int overLimit) {
        sim::Drive drive = testmachine::SataDrive("SCT1", 1);  // attribute 194 says 35
        drive.Identify = testmachine::SataIdentify("SCT1").Word(206, 0x0021).Bytes();  // SCT, data tables
        drive.Sct.Present = true;
        drive.Sct.Temperature = temperature;
        drive.Sct.LifetimeMax = lifetimeMax;
        drive.Sct.MaxOperatingLimit = maxOperating;
        drive.Sct.OverLimit = overLimit;
        sim::Machine m;
        m.Drives.push_back(drive);
        Install(std::move(m));
        DriveRecord d = testmachine::OpenRecord(0);
        std::copy(drive.SmartData.begin(), drive.SmartData.end(), d.SmartData);
        d.AttributeCount = CountAttributes(d);
        d.SCT_Support = d.SCT_DataTablesSupport = true;
        return d;
    }
    unsigned Requests(uint8_t features, uint8_t log) const {
        unsigned n = 0;
        for (const sim::Request& r : sim::Current().Drives[0].History)
            n += r.taskFile.Features == features && r.taskFile.SectorNumber == log;
        return n;
    }
};

TEST_F(Sct, TheStatusGoesBeforeTheAttributeWhenItsFormatIsKnown) {
    DriveRecord d = Open(40, 52, 60, 70);
    TakeSctTopTemperature(d);
    EXPECT_TRUE(d.SCT_StatusRead);
    EXPECT_EQ(d.TopTemperature, 52);
    ExtractSmartValues(d);
    EXPECT_EQ(d.Temperature, 40);
    for (const int below : {-10, -128}) {  // 0xF6 and 0x80: below zero is ignored
        Drive(0).Sct.Temperature = below;
        ExtractSmartValues(d);
        EXPECT_EQ(d.Temperature, 35) << below;
    }
    d.SCT_StatusRead = false;  // not readable at identification: the cycle does not ask
    const unsigned reads = Requests(SMART_READ_LOG, SctCommandLog);
    ExtractSmartValues(d);
    EXPECT_EQ(Requests(SMART_READ_LOG, SctCommandLog), reads);

    DriveRecord hot = Open(40, 122, 60, 70);
    TakeSctTopTemperature(hot);
    EXPECT_EQ(hot.TopTemperature, 0);

    // An unknown format is treated as no status and logged once; only the low byte is looked at.
    DriveRecord odd = Open(40, 52, 60, 70);
    Drive(0).Sct.FormatVersion = 4;
    TakeSctTopTemperature(odd);
    EXPECT_FALSE(odd.SCT_StatusRead);
    EXPECT_EQ(odd.TopTemperature, 0);
    Drive(0).Sct.FormatVersion = 0x0102;
    TakeSctTopTemperature(odd);
    EXPECT_TRUE(odd.SCT_StatusRead);
    Drive(0).Sct.FormatVersion = 0;
    ExtractSmartValues(odd);
    EXPECT_EQ(odd.Temperature, 35);
    EXPECT_EQ(odd.Log, "DEBUG - Unknown SCT version - 4");
}

TEST_F(Sct, LimitsFromTheTemperatureHistoryTable) {
    DriveRecord d = Open(40, 52, 60, 70);
    ReadSctTemperatureLimits(d);
    EXPECT_EQ(d.WarningTemperature, 60);
    EXPECT_EQ(d.CriticalTemperature, 70);
    ASSERT_EQ(Drive(0).Written.size(), 1u);
    const std::vector<uint8_t>& command = Drive(0).Written[0];
    EXPECT_EQ(Get16(command.data(), 0), 5);  // data table
    EXPECT_EQ(Get16(command.data(), 2), 1);  // read
    EXPECT_EQ(Get16(command.data(), 4), 2);  // temperature history
    EXPECT_EQ(std::count(command.begin() + 6, command.end(), 0), 506);
    EXPECT_EQ(Requests(SMART_READ_LOG, SctCommandLog), 3u);
    EXPECT_EQ(Requests(SMART_READ_LOG, SctDataLog), 1u);

    DriveRecord cold = Open(40, 52, -1, 70);  // a negative limit is not taken
    ReadSctTemperatureLimits(cold);
    EXPECT_EQ(cold.WarningTemperature, 0);
    EXPECT_EQ(cold.CriticalTemperature, 70);

    // 127 for both means none; an undetermined controller is named in the log.
    DriveRecord ssd = Open(40, 52, 127, 127);
    ssd.IsSSD = true;
    ReadSctTemperatureLimits(ssd);
    SetRecommendedTemperature(ssd);
    EXPECT_EQ(ssd.WarningTemperature + ssd.CriticalTemperature, 0);
    EXPECT_EQ(ssd.TemperatureLimit, 70);
    EXPECT_EQ(ssd.Log, "DEBUG - This is JMicron or Maxiotek controller.");
    DriveRecord disk = Open(40, 52, 127, 127);
    disk.ControllerID = 3;
    ReadSctTemperatureLimits(disk);
    SetRecommendedTemperature(disk);
    EXPECT_EQ(disk.TemperatureLimit, 55);
    EXPECT_EQ(disk.Log, "");

    // One limit of 127 alone is a real limit.
    const std::pair<int, int> single[] = {{127, 70}, {60, 127}};
    for (const auto& limits : single) {
        DriveRecord one = Open(40, 52, limits.first, limits.second);
        ReadSctTemperatureLimits(one);
        EXPECT_EQ(one.WarningTemperature, limits.first);
        EXPECT_EQ(one.CriticalTemperature, limits.second);
        EXPECT_EQ(one.Log, "");
    }
}

TEST_F(Sct, TheTableCountsOnlyWhenTheStatusNamesTheReadTableFunction) {
    DriveRecord d = Open(40, 52, 60, 70);
    // After the table read the status reports another function of the data-table action.
    sim::SetReplyHook([](uint32_t, bool result, uint8_t* out, uint32_t outSize, uint32_t&) {
        const sim::Drive& drive = sim::Current().Drives[0];
        const AtaTaskFile& asked = drive.History.back().taskFile;
        const bool statusRead = asked.Features == SMART_READ_LOG && asked.SectorNumber == SctCommandLog;
        const size_t function = AtaDataOffset + 18;
        if (result && statusRead && drive.Sct.FunctionCode == 1 && outSize > function) out[function] = 2;
        return result;
    });
    ReadSctTemperatureLimits(d);
    EXPECT_EQ(Requests(SMART_READ_LOG, SctDataLog), 1u) << "the table was read";
    EXPECT_EQ(d.WarningTemperature, 0);
    EXPECT_EQ(d.CriticalTemperature, 0);
}

TEST_F(Sct, ABusyEngineAbandonsTheLimitsAnUnreadableStatusDoesNot) {
    DriveRecord before = Open(40, 52, 60, 70);
    Drive(0).Sct.BusyStatusReads = 1;
    ReadSctTemperatureLimits(before);
    EXPECT_EQ(before.WarningTemperature, 0);
    EXPECT_TRUE(Drive(0).Written.empty()) << "nothing is sent while a command executes";

    DriveRecord after = Open(40, 52, 60, 70);
    Drive(0).Sct.BusyAfterCommand = 1;
    ReadSctTemperatureLimits(after);
    EXPECT_EQ(after.WarningTemperature, 0);
    EXPECT_EQ(Requests(SMART_READ_LOG, SctDataLog), 0u);

    DriveRecord flaky = Open(40, 52, 60, 70);
    Drive(0).Faults.push_back({AccessMethod::ATA, 0xB0, 0xD5, sim::FaultKind::FailFirst, 3});  // one whole read
    ReadSctTemperatureLimits(flaky);
    EXPECT_EQ(flaky.WarningTemperature, 60);
    EXPECT_EQ(flaky.Log, "") << "SCT reads fail quietly";
}

}  // namespace
