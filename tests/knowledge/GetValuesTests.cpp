// Names of standards, versions and form factors, and the nominal interface rates.
#include <gtest/gtest.h>

#include "knowledge/GetValues.h"

namespace {

TEST(GetValues, AtaVersionNamesTheAcsGenerationsAndNumbersTheRest) {
    EXPECT_EQ(AtaVersionName(8), "8 (ACS)");
    EXPECT_EQ(AtaVersionName(9), "ACS-2");
    EXPECT_EQ(AtaVersionName(10), "ACS-3");
    EXPECT_EQ(AtaVersionName(11), "ACS-4");
    EXPECT_EQ(AtaVersionName(12), "ACS-5");
    EXPECT_EQ(AtaVersionName(7), "7");
    EXPECT_EQ(AtaVersionName(0), "0");
    EXPECT_EQ(AtaVersionName(13), "13");
    EXPECT_EQ(AtaVersionName(255), "255");
}

TEST(GetValues, SataVersionNames) {
    const char* const expected[] = {"", "1.0", "1.0", "2.0", "2.5", "2.6", "3.0", "3.1", "3.2", "3.3", "3.4", "3.5"};
    for (unsigned code = 0; code < 12; ++code) EXPECT_EQ(SataVersionName(code), expected[code]) << code;
    EXPECT_EQ(SataVersionName(12), "");
    EXPECT_EQ(SataVersionName(255), "");
}

TEST(GetValues, NvmeVersionNamesOnlyTheReleasedVersions) {
    EXPECT_EQ(NvmeVersionName(0), "1.1");
    EXPECT_EQ(NvmeVersionName(0x00010000), "1.0");
    EXPECT_EQ(NvmeVersionName(0x00010100), "1.1");
    EXPECT_EQ(NvmeVersionName(0x00010200), "1.2");
    EXPECT_EQ(NvmeVersionName(0x00010201), "1.2.1");
    EXPECT_EQ(NvmeVersionName(0x00010300), "1.3");
    EXPECT_EQ(NvmeVersionName(0x00010400), "1.4");
    EXPECT_EQ(NvmeVersionName(0x00020000), "2.0");
    EXPECT_EQ(NvmeVersionName(0x00010401), "Unknown");
    EXPECT_EQ(NvmeVersionName(0x00020100), "Unknown");
    EXPECT_EQ(NvmeVersionName(0xFFFFFFFF), "Unknown");
}

TEST(GetValues, FormFactorNamesEndInAnInchSignUpToOnePointEight) {
    EXPECT_EQ(FormFactorName(0), "");
    EXPECT_EQ(FormFactorName(1), "5.25\"");
    EXPECT_EQ(FormFactorName(2), "3.5\"");
    EXPECT_EQ(FormFactorName(3), "2.5\"");
    EXPECT_EQ(FormFactorName(4), "1.8\"");
    EXPECT_EQ(FormFactorName(5), "< 1.8\"");
    EXPECT_EQ(FormFactorName(6), "mSATA");
    EXPECT_EQ(FormFactorName(7), "M.2");
    EXPECT_EQ(FormFactorName(8), "MicroSSD");
    EXPECT_EQ(FormFactorName(9), "CFast");
    EXPECT_EQ(FormFactorName(10), "");
    EXPECT_EQ(FormFactorName(255), "");
}

TEST(GetValues, InterfaceRates) {
    const char* const udma[] = {"16,7", "25", "33,3", "44,4", "66,7", "100", "133"};
    for (unsigned mode = 0; mode < 7; ++mode) EXPECT_EQ(UltraDmaRate(mode), udma[mode]) << mode;
    EXPECT_EQ(UltraDmaRate(7), "");
    EXPECT_EQ(UltraDmaRate(255), "");

    EXPECT_EQ(SataRate(0), "");
    EXPECT_EQ(SataRate(1), "150");
    EXPECT_EQ(SataRate(2), "300");
    EXPECT_EQ(SataRate(3), "600");
    EXPECT_EQ(SataRate(4), "");

    EXPECT_EQ(PcieRate(1, 1), "250");
    EXPECT_EQ(PcieRate(2, 4), "2000");
    EXPECT_EQ(PcieRate(3, 4), "3940");
    EXPECT_EQ(PcieRate(4, 4), "7876");
    EXPECT_EQ(PcieRate(5, 16), "63008");
    EXPECT_EQ(PcieRate(6, 255), "1928565");  // no 8-bit overflow of the product
    EXPECT_EQ(PcieRate(3, 0), "0");
    for (unsigned lanes : {0u, 1u, 4u, 16u}) {
        EXPECT_EQ(PcieRate(0, lanes), "") << lanes;
        EXPECT_EQ(PcieRate(7, lanes), "") << lanes;
        EXPECT_EQ(PcieRate(255, lanes), "") << lanes;
    }
}

}  // namespace
