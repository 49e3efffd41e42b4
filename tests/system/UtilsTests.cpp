// Byte-count, temperature, time and date texts; the environment, the file versions and the empty
// input event, on the simulated machine.
#include "system/Utils.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "TestMachine.h"
#include "platform/sim/SimSystem.h"
#include "system/FileUtils.h"

namespace {

struct SizeCase {
    uint64_t Bytes;
    const char* Text;
};

constexpr uint64_t Max = UINT64_MAX;  // 18,446,744,073,709,551,615 bytes

TEST(SizeTexts, DecimalAtEachUnitsBoundaries) {
    const SizeCase cases[] = {
        {0, "0 B"},          {999, "999 B"},           {1000, "1 KB"},         {1049, "1 KB"},
        {1099, "1 KB"},      {1100, "1.1 KB"},         {1999, "1.9 KB"},       {999999, "999.9 KB"},
        {1000000, "1 MB"},   {999999999, "999.9 MB"},  {1000000000, "1 GB"},   {500107862016, "500.1 GB"},
        {999999999999, "999.9 GB"},                    {1000000000000, "1 TB"}, {1000000000000000, "1 PB"},
        {999999999999999999, "999.9 PB"},              {1000000000000000000, "1 EB"}, {Max, "18.4 EB"},
    };
    for (const SizeCase& c : cases) EXPECT_EQ(DecimalSizeText(c.Bytes), c.Text) << c.Bytes;
}

TEST(SizeTexts, BinaryAtEachUnitsBoundaries) {
    const SizeCase cases[] = {
        {0, "0 B"},                  {1023, "1023 B"},          {1024, "1 KiB"},
        {1536, "1.4 KiB"},           {2047, "1.9 KiB"},         {1024 + 102, "1 KiB"},
        {1024 + 103, "1.1 KiB"},     {(1 << 20) - 1, "1023.9 KiB"}, {1 << 20, "1 MiB"},
        {uint64_t{1} << 30, "1 GiB"}, {500107862016, "465.7 GiB"}, {uint64_t{1} << 40, "1 TiB"},
        {uint64_t{1} << 50, "1 PiB"}, {(uint64_t{1} << 60) - 1, "1023.9 PiB"}, {uint64_t{1} << 60, "1 EiB"},
        {Max, "15.9 EiB"},
    };
    for (const SizeCase& c : cases) EXPECT_EQ(BinarySizeText(c.Bytes), c.Text) << c.Bytes;
}

TEST(SizeTexts, BothWhenAboveOneKibibyte) {
    const SizeCase cases[] = {
        {512, "512 B"},
        {1023, "1 KB"},
        {1024, "1 KB (1 KiB)"},
        {500107862016, "500.1 GB (465.7 GiB)"},
        {Max, "18.4 EB (15.9 EiB)"},
    };
    for (const SizeCase& c : cases) EXPECT_EQ(SizeText(c.Bytes), c.Text) << c.Bytes;
}

TEST(Temperatures, FahrenheitIsTruncatedOverTheWholeByte) {
    EXPECT_EQ(CelsiusToFahrenheit(0), 32);
    EXPECT_EQ(CelsiusToFahrenheit(37), 98);
    EXPECT_EQ(CelsiusToFahrenheit(100), 212);
    EXPECT_EQ(CelsiusToFahrenheit(255), 491);
    // F - 32 is the largest whole number not above C × 1.8.
    for (unsigned c = 0; c <= 255; ++c) {
        const unsigned above = CelsiusToFahrenheit(static_cast<uint8_t>(c)) - 32u;
        EXPECT_TRUE(above * 5 <= c * 9 && c * 9 < (above + 1) * 5) << c;
    }
}

class SystemTexts : public MachineTest {};

TEST_F(SystemTexts, TimeAndDateInTheUsersFormats) {
    EXPECT_EQ(CurrentTimeText(), "3:04:05 PM");
    const struct {
        platform::SystemTime Date;
        const char* Text;
    } cases[] = {
        {{2026, 1, 1, 5, 12, 0, 0, 0}, "1/5/2026"},
        {{2024, 2, 0, 29, 23, 59, 59, 999}, "2/29/2024"},
        {{2025, 2, 0, 29, 0, 0, 0, 0}, ""},
        {{2026, 13, 0, 1, 0, 0, 0, 0}, ""},
        {{}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(DateText(c.Date), c.Text) << c.Text;
}

TEST_F(SystemTexts, EnvironmentValuesFitting260CharactersWithTheirZero) {
    EXPECT_EQ(EnvironmentVariable("windir"), "C:\\Windows");
    EXPECT_EQ(EnvironmentVariable("ComSpec"), "C:\\Windows\\system32\\cmd.exe");
    EXPECT_EQ(EnvironmentVariable("KORVANTE_UNSET"), "");
    sim::SetEnvironmentValue("LONG", std::string(259, 'x'));
    EXPECT_EQ(EnvironmentVariable("long"), std::string(259, 'x'));
    sim::SetEnvironmentValue("LONG", std::string(260, 'x'));
    EXPECT_EQ(EnvironmentVariable("LONG"), "");
}

TEST_F(SystemTexts, FileVersionsAsTextAndNumber) {
    const struct {
        platform::FixedFileVersion Fixed;
        const char* Text;
        uint64_t Number;
    } cases[] = {
        {{0x00010002, 0x00030004}, "1.2.3.4", 0x0001000200030004},
        {{0x00000000, 0x00000000}, "0.0.0.0", 0},
        {{0xFFFFFFFF, 0xFFFF0000}, "65535.65535.65535.0", 0xFFFFFFFFFFFF0000},
    };
    for (const auto& c : cases) {
        sim::SetFileVersion("C:\\Tools\\Some.exe", c.Fixed);
        const FileVersion v = GetFileVersion("c:\\tools\\some.exe");
        EXPECT_EQ(v.Text, c.Text);
        EXPECT_EQ(v.Number, c.Number) << c.Text;
    }
    const FileVersion none = GetFileVersion("C:\\Tools\\Other.exe");
    EXPECT_EQ(none.Text, "");
    EXPECT_EQ(none.Number, 0u);

    EXPECT_EQ(ProgramVersion(), "") << "the program's file carries no version yet";
    sim::SetModuleFileName("D:\\Apps\\KORVANTE.exe");
    sim::SetFileVersion("D:\\Apps\\KORVANTE.exe", {0x00020000, 0x00070001});
    EXPECT_EQ(ProgramVersion(), "2.0.7.1");
}

TEST_F(SystemTexts, EmptyInputIsOneAllZeroMouseEvent) {
    SendEmptyInput();
    const std::vector<platform::Input> sent = sim::SentInputs();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Type, platform::INPUT_MOUSE);
    EXPECT_EQ(sent[0].Dx | sent[0].Dy, 0);
    EXPECT_EQ(sent[0].MouseData | sent[0].Flags | sent[0].Time, 0u);
    EXPECT_EQ(sent[0].ExtraInfo, 0u);
}

}  // namespace
