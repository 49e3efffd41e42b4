// The ATA S.M.A.R.T. value and threshold pages: the checks a page must pass, the attribute lookup,
// the threshold judgement, raw-value rendering and the monitoring cycle's read.
#include <gtest/gtest.h>

#include "TestMachine.h"
#include "platform/sim/PageBuilders.h"
#include "smart/SmartData.h"

namespace {

DriveRecord WithPage(const std::vector<uint8_t>& page) {
    DriveRecord d;
    std::copy(page.begin(), page.end(), d.SmartData);
    return d;
}

// Value and threshold pages of these attributes, counted.
DriveRecord WithAttributes(const std::vector<sim::Attribute>& attributes) {
    DriveRecord d = WithPage(sim::SmartValuePage(attributes));
    const std::vector<uint8_t> thresholds = sim::SmartThresholdPage(attributes);
    std::copy(thresholds.begin(), thresholds.end(), d.SmartThresholds);
    d.AttributeCount = CountAttributes(d);
    return d;
}

TEST(SmartChecksum, AllBytesMustAddUpToZero) {
    std::vector<uint8_t> page = sim::SmartValuePage({{9, 0x32, 100, 100, 1234, 0}});
    EXPECT_TRUE(SmartChecksumOk(WithPage(page)));
    page[511] = static_cast<uint8_t>(page[511] + 1);
    EXPECT_FALSE(SmartChecksumOk(WithPage(page)));
    std::vector<uint8_t> wraps(512, 0);
    wraps[0] = 0x80;
    wraps[1] = 0x80;  // 256 is 0 modulo 256
    EXPECT_TRUE(SmartChecksumOk(WithPage(wraps)));
}

TEST(AttributeCount, StopsAtTheFirstEmptySlotAndLookupsSeeNothingBeyond) {
    DriveRecord d = WithAttributes({{1, 0x0F, 100, 100, 0, 6},
                                    {9, 0x32, 99, 99, 5, 0},
                                    {9, 0x32, 98, 98, 6, 0},
                                    {0, 0, 0, 0, 0, 0},
                                    {194, 0x22, 35, 45, 35, 0}});
    EXPECT_EQ(d.AttributeCount, 3);
    EXPECT_EQ(FindAttribute(d, 9), 1) << "the first of two";
    EXPECT_EQ(FindAttribute(d, 194), NoAttribute) << "behind the empty slot";
    d.AttributeCount = 1;  // as counted, not as present
    EXPECT_EQ(FindAttribute(d, 9), NoAttribute);

    std::vector<sim::Attribute> full;
    for (uint8_t id = 1; id <= 30; ++id) full.push_back({id, 0x32, 100, 100, 0, 0});
    std::vector<uint8_t> spill = sim::SmartValuePage(full);
    spill[362] = 0xFF;  // where a 31st entry would start: the off-line status
    EXPECT_EQ(CountAttributes(WithPage(spill)), 30);
    EXPECT_EQ(CountAttributes(WithPage(sim::SmartValuePage({}))), 0);
}

TEST(ThresholdJudgement, ValueAgainstThresholdThenCurrentBeforeWorst) {
    EXPECT_TRUE(FailsThreshold(1, 0));  // worn down to 1 fails even without a threshold
    EXPECT_FALSE(FailsThreshold(2, 0));
    EXPECT_TRUE(FailsThreshold(100, 100));
    EXPECT_FALSE(FailsThreshold(101, 100));
    EXPECT_FALSE(FailsThreshold(100, 254));  // 254 and up are no thresholds, and no values
    EXPECT_FALSE(FailsThreshold(254, 253));
    EXPECT_TRUE(FailsThreshold(253, 253));

    DriveRecord d = WithAttributes({
        {5, 0x0033, 100, 100, 0, 140},  // current below threshold, pre-failure
        {7, 0x000E, 30, 30, 0, 30},     // current at threshold, advisory
        {1, 0x000F, 117, 99, 0, 100},   // only the worst value below, pre-failure
        {195, 0x001A, 58, 40, 0, 45},   // only the worst value below, advisory
        {9, 0x0032, 79, 79, 0, 0},
    });
    EXPECT_EQ(ClassifyAttribute(d, 0), PreFailureNow);
    EXPECT_EQ(ClassifyAttribute(d, 1), AdvisoryNow);
    EXPECT_EQ(ClassifyAttribute(d, 2), PreFailurePast);
    EXPECT_EQ(ClassifyAttribute(d, 3), AdvisoryPast);
    EXPECT_EQ(ClassifyAttribute(d, 4), AttributeWithinLimits);
    EXPECT_EQ(ClassifyAttribute(d, MaxAttributes), AttributeWithinLimits);
    // Thresholds pair with entries by position, whatever their IDs say.
    std::swap_ranges(d.SmartThresholds + 2, d.SmartThresholds + 14, d.SmartThresholds + 14);
    EXPECT_EQ(ClassifyAttribute(d, 0), AttributeWithinLimits);
    EXPECT_EQ(ClassifyAttribute(d, 1), AdvisoryNow);
}

TEST(RawValue, DecimalHexadecimalAndFlagLetters) {
    DriveRecord d = WithAttributes({{9, 0x0032, 99, 99, 0x012A, 0},
                                    {1, 0x002F, 100, 100, 0, 6},
                                    {241, 0xFFC0, 99, 99, 0xFFFFFFFFFFFFULL, 0},
                                    {194, 0x003F, 35, 45, 0x002D00140028ULL, 0}});
    d.SmartData[AttributeOffset(1) + 11] = 0xEE;  // the reserved byte is no part of the raw value
    EXPECT_EQ(RawValue(d, 0), 298u);
    EXPECT_EQ(FormatRawHex(d, 0), "012A");
    EXPECT_EQ(RawValue(d, 1), 0u);
    EXPECT_EQ(FormatRawHex(d, 1), "00");
    EXPECT_EQ(RawValue(d, 2), 281474976710655ULL);
    EXPECT_EQ(FormatRawHex(d, 2), "FFFFFFFFFFFF");
    EXPECT_EQ(FormatRawHex(d, 3), "2D00140028");
    EXPECT_EQ(FormatRawHex(d, MaxAttributes), "");

    EXPECT_EQ(FormatAttributeFlags(d, 0), "-O--CK ");
    EXPECT_EQ(FormatAttributeFlags(d, 1), "POSR-K ");
    EXPECT_EQ(FormatAttributeFlags(d, 2), "------ ") << "bits 6..15 are ignored";
    EXPECT_EQ(FormatAttributeFlags(d, 3), "POSRCK ");
}

TEST_F(MachineTest, ReadSmartDataEnablesAndRetriesAndLosesTheDriveAtTheTenthFailure) {
    sim::Machine m;
    m.Drives.push_back(testmachine::SataDrive("S1", 1));
    Install(std::move(m));
    DriveRecord d = testmachine::OpenRecord(0);
    const auto enables = [this] {
        unsigned n = 0;
        for (const sim::Request& r : Drive(0).History) n += r.taskFile.Features == SMART_ENABLE_OPERATIONS;
        return n;
    };

    // S.M.A.R.T. switched off behind the program's back: the read fails, enabling brings it back.
    Drive(0).SmartEnabled = false;
    sim::RemapSectors(Drive(0), 3);
    ReadSmartData(d);
    EXPECT_EQ(d.SmartFailures, 1u);
    EXPECT_EQ(enables(), 1u);
    EXPECT_EQ(std::vector<uint8_t>(d.SmartData, d.SmartData + 512), Drive(0).SmartData) << "the retry's page";

    // A failure enabling does not cure keeps the last good page.
    const std::vector<uint8_t> lastGood(d.SmartData, d.SmartData + 512);
    Drive(0).Faults.push_back({AccessMethod::ATA, 0xB0, 0xD0, sim::FaultKind::Refuse, 0});
    sim::RemapSectors(Drive(0), 1);
    ReadSmartData(d);
    EXPECT_EQ(std::vector<uint8_t>(d.SmartData, d.SmartData + 512), lastGood);

    // Every failed first read counts, spread out or not, retried well or not.
    Drive(0).Faults.clear();
    for (int i = 0; i < 7; ++i) {
        Drive(0).SmartEnabled = false;
        ReadSmartData(d);
        ReadSmartData(d);
    }
    EXPECT_EQ(d.SmartFailures, 9u);
    EXPECT_FALSE(d.SmartLost);
    const unsigned before = enables();
    Drive(0).SmartEnabled = false;
    ReadSmartData(d);
    EXPECT_TRUE(d.SmartLost);
    EXPECT_EQ(enables(), before) << "no retry once lost";
}

}  // namespace
