// The model and firmware texts rewritten for the database address, and the address itself.
#include <gtest/gtest.h>

#include <string>

#include "knowledge/ModelNormalisation.h"
#include "knowledge/VendorSite.h"

namespace {

TEST(NormaliseForLink, SeparatorsQuotesAndTheFinalDot) {
    EXPECT_EQ(NormaliseForLink("WDC WD10EZEX-00BN5A0"), "WDC-WD10EZEX-00BN5A0");
    EXPECT_EQ(NormaliseForLink("a:b/c d"), "a-b-c-d");
    EXPECT_EQ(NormaliseForLink("2.5\"SSD 120GB"), "2.5SSD-120GB");
    EXPECT_EQ(NormaliseForLink("\"\"\""), "");
    EXPECT_EQ(NormaliseForLink("1.0."), "1.0-");
    EXPECT_EQ(NormaliseForLink("1.0.."), "1.0.-");
    EXPECT_EQ(NormaliseForLink("X.\""), "X-");  // the quote goes first, then the dot is last
    EXPECT_EQ(NormaliseForLink("."), "-");
    EXPECT_EQ(NormaliseForLink(""), "");
    EXPECT_EQ(NormaliseForLink("A+(B)#C,d"), "A+(B)#C,d");
    EXPECT_EQ(NormaliseForLink("SSD  120GB"), "SSD--120GB");
}

TEST(NormaliseForLink, PairTableComesFirstAndIsExact) {
    EXPECT_EQ(NormaliseForLink("Samsung SSD 870 EVO 1TB"), "Samsung-SSD-870-EVO--1TB");
    EXPECT_EQ(NormaliseForLink("SSD 240G"), "SSD-240G");
    EXPECT_EQ(NormaliseForLink("SSD-240G"), "SSD---240G");
    EXPECT_EQ(NormaliseForLink("SSD-1TB"), "SSD--1TB");
    EXPECT_EQ(NormaliseForLink("LITEONIT LCS-512M6S 2.5\" 7mm 512GB"), "LITEONIT-LCS-512M6S-2.5--7mm-512GB");
    EXPECT_EQ(NormaliseForLink("KINGSTON SA400S37 120G"), "KINGSTON-SA400S37--120G");
    EXPECT_EQ(NormaliseForLink("KINGSTON SA400S37/120G"), "KINGSTON-SA400S37-120G");
    EXPECT_EQ(NormaliseForLink("KINGSTON SA400S37/960G"), "KINGSTON-SA400S37--960G");
    EXPECT_EQ(NormaliseForLink("OCZ VECTOR"), "OCZ--VECTOR");
    EXPECT_EQ(NormaliseForLink("ocz vector"), "ocz-vector");
    EXPECT_EQ(NormaliseForLink("OCZ VECTOR "), "OCZ-VECTOR-");
    EXPECT_EQ(NormaliseForLink("Vaseky V800 240G"), "Vaseky-V800--240G");
}

TEST(DatabaseAddress, BranchSegmentsAndEscaping) {
    DriveRecord d;
    d.Trademark = "Western digital";
    d.Model = "WDC WD10EZEX-00BN5A0";
    d.FirmwareVersion = "01.01A01";
    const std::string base = std::string("https://") + VendorHost + "/database/";
    EXPECT_EQ(DatabaseAddress(d), base + "WDC-WD10EZEX-00BN5A0/01.01A01/");
    d.Trademark = "Fake";
    EXPECT_EQ(DatabaseAddress(d), base + "Fake/WDC-WD10EZEX-00BN5A0/01.01A01/");
    d.Trademark = "Fake?";
    EXPECT_EQ(DatabaseAddress(d), base + "WDC-WD10EZEX-00BN5A0/01.01A01/");
    d.Model.clear();
    d.FirmwareVersion.clear();
    EXPECT_EQ(DatabaseAddress(d), base + "//");
    // Drive texts can hold anything; nothing in them may end the path or leave it.
    d.Model = "A#B?C%D\\E";
    d.FirmwareVersion = std::string("1\r\x01\xE9+", 5);
    EXPECT_EQ(DatabaseAddress(d), base + "A%23B%3FC%25D%5CE/1%0D%01%E9+/");
    d.Model = "../../x";
    EXPECT_EQ(DatabaseAddress(d), base + "..-..-x/1%0D%01%E9+/");
}

}  // namespace
