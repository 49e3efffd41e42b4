// The S.M.A.R.T. profile of scan step 13: the attribute list, and for SSDs the controller and the
// attribute family chosen by brand rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestMachine.h"
#include "discovery/Scan.h"
#include "discovery/SmartProfile.h"
#include "smart/SmartData.h"
#include "device/DiagnosticLog.h"

namespace {

const char* const ListK =
    "1, 5, 9, 12, 171, 172, 173, 174, 176, 181, 183, 184, 187, 188, 194, 198, 199, 201, 240, 241, 242, 243";
const char* const ListI2 = "1, 5, 9, 12, 13, 179, 180, 181, 182, 184, 194, 195, 198, 199, 201, 226, 227, 228, 233, 245";

std::vector<uint8_t> Ids(const std::string& list) {
    std::vector<uint8_t> ids;
    for (size_t at = 0; at < list.size();) {
        ids.push_back(static_cast<uint8_t>(std::stoi(list.substr(at))));
        at = list.find(", ", at);
        at = at == std::string::npos ? list.size() : at + 2;
    }
    return ids;
}

DriveRecord WithAttributes(const std::vector<uint8_t>& ids) {
    DriveRecord d;
    for (size_t i = 0; i < ids.size(); ++i) d.SmartData[AttributeOffset(i)] = ids[i];
    d.AttributeCount = CountAttributes(d);
    return d;
}

TEST(AttributeList, ListsTheCountedIdentifiersInTableOrder) {
    DriveRecord three = WithAttributes({9, 12, 194});
    BuildAttributeList(three);
    EXPECT_EQ(three.AttributeList, "9, 12, 194");
    EXPECT_EQ(DriveLogText(three), "DEBUG - Few SMART attributes - 9, 12, 194");

    DriveRecord four = WithAttributes({12, 9, 194, 229});
    BuildAttributeList(four);
    EXPECT_EQ(four.AttributeList, "12, 9, 194, 229");  // not sorted
    EXPECT_EQ(DriveLogText(four), "");

    // Entries after an empty slot are not attributes of the drive.
    DriveRecord gap = WithAttributes({1, 5, 0, 9, 12, 194});
    BuildAttributeList(gap);
    EXPECT_EQ(gap.AttributeList, "1, 5");
    EXPECT_NE(DriveLogText(gap).find("Few SMART attributes - 1, 5"), std::string::npos);

    std::vector<uint8_t> thirty;
    for (unsigned id = 226; id <= 255; ++id) thirty.push_back(static_cast<uint8_t>(id));
    DriveRecord full = WithAttributes(thirty);
    BuildAttributeList(full);
    EXPECT_EQ(full.AttributeList.substr(0, 10), "226, 227, ");
    EXPECT_EQ(full.AttributeList.substr(full.AttributeList.size() - 8), "254, 255");
    EXPECT_EQ(full.AttributeList.size(), 30 * 3 + 29 * 2u);

    // A count beyond the page's 30 slots never reads past them.
    full.AttributeCount = 200;
    BuildAttributeList(full);
    EXPECT_EQ(full.AttributeList.size(), 30 * 3 + 29 * 2u);
}

struct FamilyCase {
    const char* brand;
    const char* model;
    const char* firmware;
    uint8_t controller;
    std::string list;
    uint8_t family;
};

// Expectations follow the brand rules: the first rule of the drive's brand that applies decides.
TEST(AttributeFamily, FollowsTheBrandRulesInOrder) {
    const std::string other = "1, 5, 9, 12, 194";
    const FamilyCase cases[] = {
        {"Fake", "KINGSTON SA400S37240G", "", 14, ListK, 0},
        {"Western digital", "WDC WDS100T2B0A-00SM50", "", 0, other, 1},
        {"Western digital", "WDC WDS250G2B0B-1006", "", 0, other, 20},
        {"Western digital", "-1006 SSD", "", 0, other, 1},  // at position 1 only: not "after the start"
        {"Western digital", "-1006 SSD", "", 3, other, 0},
        {"Western digital", "WDC WDS100T2B0A", "", 20, other, 0},
        {"Western digital", "WDC WDS100T2B0A", "", 17, other, 1},
        {"Kingston", "KINGSTON SA400S37240G", "", 14, other, 10},
        {"Kingston", "KC-S44120-6F", "", 0, other, 10},
        {"Kingston", "KINGSTON SQ500S37120G", "", 0, other, 10},
        {"Kingston", "HyperX Fury 3D 240G", "", 0, other, 10},
        {"Kingston", "KINGSTON SUV400S37240G", "", 0, other, 36},
        {"Kingston", "Kingston SHPM2280P2H/240G", "", 0, other, 36},
        {"Kingston", "KINGSTON SHPM2280P2H/240G", "", 0, other, 0},  // case matters
        {"Kingston", "KINGSTON SEDC500R480G", "", 0, other, 11},
        {"Kingston", "KINGSTON SKC600512G", "", 0, other, 37},
        {"Kingston", "KINGSTON SV300S37A120G", "", 0, ListK, 33},
        {"Kingston", "KINGSTON SA400S37240G", "", 0, ListK, 10},  // a model rule comes first
        {"Kingston", "KINGSTON SV300S37A120G", "", 0, other, 0},
        {"Micron", "Micron_1100_MTFDDAK256TBN", "", 0, ListK, 19},
        {"Micron", "Micron_1100_MTFDDAK256TBN", "", 0,
         "1, 5, 9, 12, 171, 172, 173, 174, 176, 181, 183, 184, 187, 188, 194, 198, 199, 240, 241, 242, 243", 19},
        {"Micron", "Micron_5100_MTFDDAK480TCB", "", 0, other, 34},
        {"Micron", "Micron_1100_MTFDDAK256TBN", "", 0, other, 0},
        {"Seagate", "Seagate BarraCuda SSD ZA250CM10002", "", 0, other, 12},
        {"Seagate", "ZA250CM10002", "", 0, other, 14},
        {"Seagate", "XA400LE10023", "", 0, other, 14},
        {"Seagate", "ST500LM000", "", 0, other, 0},
        {"Intel", "INTEL SSDSCKHB080G4", "", 0, other, 13},
        {"Intel", "INTEL SSDSC2BB480G4", "", 0, other, 0},
        {"Intel", "INTEL SSDSCKKF256G8H", "", 0, other, 23},
        {"Intel", "INTEL SSDSC2BW240H6L", "", 0, other, 24},
        {"Intel", "INTEL SSDSC2BW240A4", "", 0, ListI2, 32},
        {"Dell", "DELL SSD", "", 0, ListI2, 0},  // Dell has the first list of I only
        {"SanDisk", "SanDisk SD5SG2128G1052E", "", 0, "1, 5, 175, 9, 12", 4},
        {"SanDisk", "SanDisk SD5SG2128G1052E", "", 0, "1, 5, 9, 175, 12", 4},
        {"SanDisk", "SanDisk SD5SG2128G1052E", "", 0, "1, 5, 9, 12, 175", 5},
        {"SanDisk", "SanDisk SD5SB2128G1052E", "", 0, "175, 5, 9, 12", 5},
        {"SanDisk", "SanDisk X600 2280 SATA", "", 0, "5, 9, 175, 12", 4},
        {"SanDisk", "SanDisk X600 7MM", "", 0, other, 5},
        {"SanDisk", "SanDisk X600 mSATA", "", 0, "5, 9, 175, 12", 5},  // any other SanDisk SSD
        {"SanDisk", "SanDisk SDSSDX240GG25 X400", "", 0, "5, 9, 12, 175", 4},
        {"SanDisk", "SanDisk Z400s 2.5 7MM 128GB", "", 0, other, 4},
        {"SanDisk", "SanDisk SD8SB8U128G1006", "", 0, other, 5},  // no "-1006",
        {"SanDisk", "SanDisk SD8SB8U128G-1006", "", 0, other, 7},
        {"SanDisk", "SanDisk SD7SB6S-128G-1006", "", 0, other, 6},
        {"SanDisk", "SanDisk SD8TB8W-1006", "", 0, other, 7},
        {"SanDisk", "SanDisk SD7SB3Q128G1001", "", 0, other, 9},
        {"SanDisk", "SanDisk SD8TB8W256G1001", "", 0, other, 8},
        {"SanDisk", "SanDisk SD6SN6U512G1001", "", 0, other, 9},
        {"SanDisk", "SanDisk SD8SNAT256G1012", "", 0, other, 4},
        {"SanDisk", "SanDisk SD8SNAT-256G-1012", "", 0, other, 5},
        {"SanDisk", "SanDisk SSD P4 16GB", "", 0, other, 2},
        {"SanDisk", "SanDisk iSSD P4 16GB", "", 0, other, 2},
        {"SanDisk", "SanDisk SDSSDP064G", "", 0, other, 2},
        {"SanDisk", "SanDisk pSSD-S2 16GB", "", 0, other, 2},
        {"SanDisk", "SDLF1DAR-480G-1HA1", "", 0, other, 3},
        {"SanDisk", "SanDisk SDSSDHII240G", "", 0, other, 5},
        {"Transcend", "TS128GSSD370", "", 14, other, 15},
        {"Transcend", "TS128GSSD370", "", 17, other, 0},
        {"KingSpec", "KingSpec P3-512", "", 14, other, 16},
        {"Apacer", "Apacer AS340 120GB", "", 14, other, 17},
        {"Apple", "APPLE SSD SM256E", "", 6, other, 18},
        {"Apple", "APPLE SSD SM0256C", "", 6, other, 0},
        {"Apple", "APPLE SSD TS128C", "", 0, other, 0},
        {"Samsung", "Samsung SSD 840 PRO Series", "", 6,
         "1, 5, 9, 12, 170, 171, 172, 173, 174, 183, 184, 187, 188, 190, 191, 196, 198, 199", 21},
        {"Samsung", "SAMSUNG MZ7LN128HAHQ-00000", "", 6,
         "5, 9, 12, 170, 171, 172, 173, 174, 178, 180, 184, 187, 194, 199, 233, 241, 242, 249, 250, 251", 22},
        {"Samsung", "Samsung SSD 860 EVO 500GB", "", 6,
         "5, 9, 12, 177, 179, 181, 182, 183, 187, 190, 195, 199, 235, 241", 0},
        {"Hewlett Packard", "HP SSD S700 1TB", "", 17, other, 25},
        {"Hewlett Packard", "RBU-SNS8152S3128GG", "", 0, other, 25},
        {"Hewlett Packard", "HP SSD", "", 0, other, 0},  // the rule needs the blank after "SSD"
        {"Intenso", "Intenso SSD", "T0529A1", 0, other, 26},
        {"Intenso", "Intenso SSD", "T0529A10", 0, other, 0},
        {"Zheino", "Zheino CHN-25SATAS3-120", "T0529A1", 0, other, 27},
        {"Lite-On", "LITEON CV3-8D128-HP", "", 0, other, 28},
        {"Silicon Power", "SPCC Solid State Disk", "Q0831C0", 0, other, 29},
        {"SSSTC", "SSSTC CL1-8D256-HP", "", 0, other, 30},
        {"SK hynix", "SK hynix SC311 SATA 256GB", "", 0,
         "1, 5, 9, 12, 171, 172, 173, 174, 176, 181, 183, 184, 187, 188, 194, 198, 199, 201, 241, 242, 243", 31},
        {"SK hynix", "SK hynix SC401 SATA 512GB", "", 0,
         "1, 5, 9, 12, 100, 170, 171, 172, 173, 174, 177, 178, 180, 181, 182, 183, 184, 187, 194, 195, 199, 201, 204, "
         "231, 233, 234, 241, 242, 250",
         35},
        {"Dell", "DELL SSD", "", 0,
         "1, 5, 9, 12, 13, 170, 174, 179, 180, 181, 182, 184, 194, 195, 197, 198, 199, 201, 202, 225, 226, 227, 228, "
         "232, 233, 234, 241, 242, 245",
         32},
        {"Crucial", "CT500MX500SSD1", "", 17, ListK, 0},
        {"", "SSD 240GB", "", 0, ListK, 0},
    };
    for (const FamilyCase& c : cases) {
        DriveRecord d = WithAttributes(Ids(c.list));
        BuildAttributeList(d);
        ASSERT_EQ(d.AttributeList, c.list);
        d.IsSSD = true;
        d.Trademark = c.brand;
        d.Model = c.model;
        d.FirmwareVersion = c.firmware;
        d.ControllerID = c.controller;
        SelectAttributeFamily(d);
        EXPECT_EQ(d.AttributeFamily, c.family) << c.brand << " / " << c.model << " / controller " << int(c.controller);
    }
}

TEST(AttributeFamily, ARotatingDriveKeepsTheGenericProfile) {
    for (const char* brand : {"Western digital", "Kingston", "SanDisk", "Samsung", "Seagate"}) {
        DriveRecord d = WithAttributes(Ids(ListK));
        BuildAttributeList(d);
        d.Trademark = brand;
        d.Model = "WDC WD10EZEX-1006 A400 X400";
        SelectAttributeFamily(d);
        EXPECT_EQ(d.AttributeFamily, 0) << brand;
    }
}

TEST(SmartProfile, ChoosesTheFamilyFromTheDetectedController) {
    // Phison's signature (1, 9, 12, 168, ...) on a Transcend SSD: controller first, then family 15.
    DriveRecord ssd = WithAttributes({1, 9, 12, 168, 170, 173, 192, 194, 218, 231, 241});
    ssd.IsSSD = true;
    ssd.Trademark = "Transcend";
    SelectSmartProfile(ssd);
    EXPECT_EQ(ssd.AttributeList, "1, 9, 12, 168, 170, 173, 192, 194, 218, 231, 241");
    EXPECT_EQ(ssd.ControllerID, 14);
    EXPECT_EQ(ssd.Controller, "Phison");
    EXPECT_EQ(ssd.AttributeFamily, 15);

    // An SSD that matches no signature is named "Unknown".
    DriveRecord unknown = WithAttributes({1, 2, 3, 4, 5});
    unknown.IsSSD = true;
    SelectSmartProfile(unknown);
    EXPECT_EQ(unknown.ControllerID, 0);
    EXPECT_EQ(unknown.Controller, "Unknown");

    // A hard disk gets its list only, even with an SSD's layout.
    DriveRecord disk = WithAttributes({1, 9, 12, 168, 170, 173, 192, 194, 218, 231, 241});
    disk.Trademark = "Transcend";
    SelectSmartProfile(disk);
    EXPECT_EQ(disk.AttributeList, "1, 9, 12, 168, 170, 173, 192, 194, 218, 231, 241");
    EXPECT_EQ(disk.ControllerID, 0);
    EXPECT_EQ(disk.Controller, "");
    EXPECT_EQ(disk.AttributeFamily, 0);
}

class ScanProfile : public MachineTest {};

TEST_F(ScanProfile, TheScanGivesAtaDrivesTheirListAndSsdsTheirController) {
    Install(sim::DefaultMachine());
    ScanDrives();
    const DriveRecord* ssd = nullptr;
    const DriveRecord* sandisk = nullptr;
    const DriveRecord* disk = nullptr;
    const DriveRecord* nvme = nullptr;
    for (unsigned i = 0; i < DriveCount(); ++i) {
        const DriveRecord& d = DriveForCommands(i);
        if (d.IsNVMe)
            nvme = &d;
        else if (d.Model == "Samsung SSD 860 EVO 500GB")
            ssd = &d;
        else if (d.Model == "WD Blue SA510 2.5 1000GB")
            sandisk = &d;
        else if (d.Model == "WDC WD10EZEX-08WN4A0")
            disk = &d;
    }
    ASSERT_TRUE(ssd && sandisk && disk && nvme);
    // A Western digital SSD on a SanDisk controller: its layout names both the controller and the family.
    EXPECT_EQ(sandisk->ControllerID, 11);
    EXPECT_EQ(sandisk->Controller, "SanDisk");
    EXPECT_EQ(sandisk->AttributeFamily, 1);
    EXPECT_TRUE(ssd->IsSSD && sandisk->IsSSD);
    EXPECT_EQ(ssd->AttributeList, "5, 9, 12, 177, 179, 181, 182, 183, 187, 190, 195, 199, 235, 241");
    EXPECT_EQ(ssd->ControllerID, 6);
    EXPECT_EQ(ssd->Controller, "Samsung");
    EXPECT_EQ(disk->AttributeList, "1, 3, 4, 5, 7, 9, 10, 11, 12, 192, 193, 194, 196, 197, 198, 199, 200");
    EXPECT_EQ(disk->ControllerID, 0);
    EXPECT_EQ(disk->Controller, "");
    // NVMe drives have no attribute table.
    EXPECT_EQ(nvme->AttributeList, "");
    EXPECT_EQ(nvme->ControllerID, 0);
}

}  // namespace
