// Counterfeit detection on a drive record whose identity is complete: the firmware check for every
// brand, the checks of each brand, the two mended model texts and the checks that need the
// controller.
#include <gtest/gtest.h>

#include <string>

#include "device/TIOCTL.h"
#include "knowledge/Counterfeit.h"
#include "device/DiagnosticLog.h"

namespace {

DriveRecord Drive(const std::string& brand, const std::string& model, const std::string& firmware = "FW01") {
    DriveRecord d;
    d.Trademark = brand;
    d.Model = model;
    d.FirmwareVersion = firmware;
    return d;
}

DriveRecord WithOui(DriveRecord d, uint32_t oui) {
    d.HasWWN = true;
    d.OUI = oui;
    return d;
}

std::string Checked(DriveRecord d) {
    CheckCounterfeit(d);
    return d.Trademark;
}

TEST(CheckCounterfeit, CounterfeitFirmwareWhateverTheBrand) {
    DriveRecord listed = Drive("Seagate", "ST3250318AS", "0964");
    CheckCounterfeit(listed);
    EXPECT_EQ(listed.Trademark, "Fake");
    EXPECT_EQ(DriveLogText(listed), "");

    DriveRecord unlisted = Drive("Seagate", "ST3250318AS-X", "0964");
    CheckCounterfeit(unlisted);
    EXPECT_EQ(unlisted.Trademark, "Fake");
    EXPECT_EQ(DriveLogText(unlisted), "DEBUG - Fake?");

    EXPECT_EQ(Checked(Drive("", "X", "0967")), "Fake");
    EXPECT_EQ(Checked(Drive("Fake", "X", "0967")), "Fake");
    EXPECT_EQ(Checked(Drive("Samsung", "SAMSUNG HD204UI", "09640")), "Samsung");
    // The firmware check ends the work: a Seagate model to be mended keeps its text.
    DriveRecord both = Drive("Seagate", "ST320LM010-1KJ15C \r\r\r80", "0964");
    CheckCounterfeit(both);
    EXPECT_EQ(both.Model, "ST320LM010-1KJ15C \r\r\r80");
    EXPECT_EQ(DriveLogText(both), "DEBUG - Fake?");
}

TEST(CheckCounterfeit, SeagateAndToshibaModelsAndOuis) {
    DriveRecord seagate = Drive("Seagate", "ST320LM010-1KJ15C \r\r\r80");
    CheckCounterfeit(seagate);
    EXPECT_EQ(seagate.Model, "ST320LM010-1KJ15C");
    EXPECT_EQ(seagate.Trademark, "Fake");
    DriveRecord plain = Drive("Seagate", "ST320LM010-1KJ15C 80");
    CheckCounterfeit(plain);
    EXPECT_EQ(plain.Model, "ST320LM010-1KJ15C 80");
    EXPECT_EQ(plain.Trademark, "Seagate");
    EXPECT_EQ(Checked(WithOui(Drive("Seagate", "ST320LM010-1KJ15C 80"), 0x0014EE)), "Fake");
    EXPECT_EQ(Checked(WithOui(Drive("Seagate", "ST1000DM003"), 0x000CCA)), "Fake");
    EXPECT_EQ(Checked(WithOui(Drive("Seagate", "ST1000DM003"), 0x000C50)), "Seagate");
    DriveRecord noWwn = Drive("Seagate", "ST1000DM003");
    noWwn.OUI = 0x0014EE;  // without a world wide name the OUI means nothing
    EXPECT_EQ(Checked(noWwn), "Seagate");

    DriveRecord toshiba = Drive("Toshiba", "TOSHIBA DT01ACA100\r\r\r3");
    CheckCounterfeit(toshiba);
    EXPECT_EQ(toshiba.Model, "TOSHIBA DT01ACA100");
    EXPECT_EQ(toshiba.Trademark, "Fake");
    EXPECT_EQ(Checked(WithOui(Drive("Toshiba", "TOSHIBA DT01ACA100"), 0x000CCA)), "Fake");
    EXPECT_EQ(Checked(WithOui(Drive("Toshiba", "TOSHIBA DT01ACA100"), 0x000039)), "Toshiba");
    // The mends belong to their brand.
    DriveRecord other = Drive("Toshiba", "ST320LM010-1KJ15C \r\r\r80");
    CheckCounterfeit(other);
    EXPECT_EQ(other.Model, "ST320LM010-1KJ15C \r\r\r80");
    EXPECT_EQ(other.Trademark, "Toshiba");
}

TEST(CheckCounterfeit, WesternDigitalSamsungAndHitachi) {
    DriveRecord ssd = Drive("Western digital", "WDC WDS500G2B0A");
    ssd.IsSSD = true;
    EXPECT_EQ(Checked(ssd), "Fake");
    EXPECT_EQ(Checked(WithOui(ssd, 0x001B44)), "Western digital");
    EXPECT_EQ(Checked(Drive("Western digital", "WDC WD10EZEX")), "Western digital");  // a hard disk
    for (uint32_t oui : {0x000000u, 0x000039u, 0x000C50u})
        EXPECT_EQ(Checked(WithOui(Drive("Western digital", "WDC WD10EZEX"), oui)), "Fake") << oui;
    EXPECT_EQ(Checked(WithOui(Drive("Western digital", "WDC WD10EZEX", "MX4OAB40"), 0x000CCA)), "Fake");
    EXPECT_EQ(Checked(WithOui(Drive("Western digital", "WDC WD10EZEX", "01.01A01"), 0x000CCA)), "Western digital");
    EXPECT_EQ(Checked(WithOui(Drive("Western digital", "WDC WD10EZEX", ""), 0x000CCA)), "Western digital");
    EXPECT_EQ(Checked(WithOui(Drive("Western digital", "WDC WD10EZEX"), 0x0014EE)), "Western digital");

    DriveRecord nvme = WithOui(Drive("Samsung", "Samsung SSD 970 EVO Plus 1TB"), 0);
    nvme.IsNVMe = nvme.IsSSD = true;
    EXPECT_EQ(Checked(nvme), "Fake");
    EXPECT_EQ(Checked(WithOui(Drive("Samsung", "Samsung SSD 860 EVO"), 0x00E04C)), "Fake");
    EXPECT_EQ(Checked(WithOui(Drive("Samsung", "Samsung SSD 860 EVO"), 0x002538)), "Samsung");
    EXPECT_EQ(Checked(Drive("Samsung", "Samsung SSD 860 EVO")), "Samsung");

    EXPECT_EQ(Checked(Drive("Hitachi", "HDS721010CLA332", "NAR61HA0")), "Fake");
    EXPECT_EQ(Checked(Drive("Hitachi", "HDS721010CLA332", "JP4OA3EA")), "Hitachi");
    EXPECT_EQ(Checked(Drive("Seagate", "ST1000DM003", "NAR61HA0")), "Seagate");
}

TEST(CheckCounterfeit, KingstonAndCrucialPairs) {
    EXPECT_EQ(Checked(Drive("Kingston", "KINGSTON SA400S37480G", "W0315A0")), "Fake");
    EXPECT_EQ(Checked(Drive("Kingston", "KINGSTON SA400S37120G", "W0315A0")), "Kingston");
    EXPECT_EQ(Checked(Drive("Kingston", "KINGSTON SA400S37960G", "V7.0")), "Fake");
    EXPECT_EQ(Checked(Drive("Kingston", "KINGSTON SNVS500G", "U0914A0L")), "Fake");
    EXPECT_EQ(Checked(Drive("Kingston", "KINGSTON SNVS500G", "U0914A0")), "Kingston");
    EXPECT_EQ(Checked(Drive("Kingston", "KINGSTON SA400S37480G", "SBFKK1B3")), "Kingston");
    EXPECT_EQ(Checked(WithOui(Drive("Kingston", "KINGSTON SNV2S2000G", "SBM02106"), 0x00E04C)), "Fake");
    EXPECT_EQ(Checked(Drive("Kingston", "KINGSTON SNV2S2000G", "SBM02106")), "Kingston");
    EXPECT_EQ(Checked(WithOui(Drive("Kingston", "KINGSTON SNV2S1000G", "SBM02106"), 0x00E04C)), "Kingston");
    EXPECT_EQ(Checked(Drive("Crucial", "CT500MX500SSD1", "0")), "Fake");
    EXPECT_EQ(Checked(Drive("Crucial", "CT500MX500SSD1", "M3CR023")), "Crucial");
    EXPECT_EQ(Checked(Drive("Crucial", "CT1000MX500SSD1", "V8301c70")), "Fake");
    EXPECT_EQ(Checked(Drive("Kingston", "CT1000MX500SSD1", "V8301c70")), "Kingston");  // pairs belong to their brand
}

TEST(CheckCounterfeit, OtherBrandsAndEarlierFakesAreLeftAlone) {
    for (const char* brand : {"", "Unknown", "Fake", "Adata", "SanDisk"}) {
        DriveRecord d = WithOui(Drive(brand, "ST320LM010-1KJ15C \r\r\r80", "NAR61HA0"), 0);
        d.IsSSD = true;
        CheckCounterfeit(d);
        EXPECT_EQ(d.Trademark, brand);
        EXPECT_EQ(d.Model, "ST320LM010-1KJ15C \r\r\r80");
        EXPECT_EQ(DriveLogText(d), "");
    }
}

TEST(CheckCounterfeitByController, SamsungControllersAndKingstonTriples) {
    auto checked = [](DriveRecord d, uint8_t controller) {
        d.ControllerID = controller;
        CheckCounterfeitByController(d);
        return d.Trademark;
    };
    for (uint8_t c : {10, 17, 18, 19}) EXPECT_EQ(checked(Drive("Samsung", "Samsung SSD 860 EVO"), c), "Fake") << int(c);
    for (uint8_t c : {0, 3, 11, 16, 20}) EXPECT_EQ(checked(Drive("Samsung", "Samsung SSD 860 EVO"), c), "Samsung");

    EXPECT_EQ(checked(Drive("Kingston", "KINGSTON SA400S37960G", "SBFK71E0"), 17), "Fake");
    EXPECT_EQ(checked(Drive("Kingston", "KINGSTON SA400S37960G", "SBFK71E0"), 19), "Fake");
    EXPECT_EQ(checked(Drive("Kingston", "KINGSTON SA400S37960G", "SBFK71E0"), 18), "Kingston");
    EXPECT_EQ(checked(Drive("Kingston", "KINGSTON SA400S37480G", "SBFKK1B3"), 17), "Fake");
    EXPECT_EQ(checked(Drive("Kingston", "KINGSTON SA400S37480G", "SBFKK1B3"), 19), "Kingston");
    EXPECT_EQ(checked(Drive("Kingston", "KINGSTON SA400S37480G", "SBFK71E0"), 19), "Fake");
    EXPECT_EQ(checked(Drive("Kingston", "KINGSTON SA400S37480G", "SBFK71E0"), 17), "Kingston");
    EXPECT_EQ(checked(Drive("Kingston", "KINGSTON SUV400S37240G", "0C3FD6SD"), 17), "Fake");
    EXPECT_EQ(checked(Drive("Kingston", "KINGSTON SUV400S37240G", "0C3FD6SD"), 19), "Kingston");
    EXPECT_EQ(checked(Drive("Kingston", "KINGSTON SV300S37A120G", "608ABBF0"), 17), "Fake");
    EXPECT_EQ(checked(Drive("Kingston", "KINGSTON SV300S37A120G", "608ABBF0"), 0), "Kingston");
    // The controller triples are Kingston's; the controller codes are Samsung's.
    EXPECT_EQ(checked(Drive("Samsung", "KINGSTON SA400S37960G", "SBFK71E0"), 3), "Samsung");
    EXPECT_EQ(checked(Drive("Kingston", "KINGSTON SA400S37240G", "FW01"), 10), "Kingston");
    EXPECT_EQ(checked(Drive("Fake", "X"), 17), "Fake");
    EXPECT_EQ(checked(Drive("", "X"), 17), "");
}

}  // namespace
