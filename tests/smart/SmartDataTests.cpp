// The checks every ATA drive's S.M.A.R.T. value page must pass to enter the table.
#include <gtest/gtest.h>

#include "platform/sim/PageBuilders.h"
#include "smart/SmartData.h"

namespace {

DriveRecord WithPage(const std::vector<uint8_t>& page) {
    DriveRecord d;
    std::copy(page.begin(), page.end(), d.SmartData);
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
    EXPECT_TRUE(SmartChecksumOk(WithPage(std::vector<uint8_t>(512, 0))));
}

TEST(AttributeCount, StopsAtTheFirstEmptySlot) {
    std::vector<uint8_t> page = sim::SmartValuePage(
        {{1, 0x0F, 100, 100, 0, 6}, {5, 0x33, 100, 100, 0, 36}, {0, 0, 0, 0, 0, 0}, {9, 0x32, 99, 99, 5, 0}});
    EXPECT_EQ(CountAttributes(WithPage(page)), 2);

    std::vector<sim::Attribute> full;
    for (uint8_t id = 1; id <= 30; ++id) full.push_back({id, 0x32, 100, 100, 0, 0});
    EXPECT_EQ(CountAttributes(WithPage(sim::SmartValuePage(full))), 30);
    EXPECT_EQ(CountAttributes(WithPage(sim::SmartValuePage({}))), 0);

    // A 31st entry would start at byte 362, the off-line status; it is never counted.
    std::vector<uint8_t> spill = sim::SmartValuePage(full);
    spill[362] = 0xFF;
    EXPECT_EQ(CountAttributes(WithPage(spill)), 30);
}

}  // namespace
