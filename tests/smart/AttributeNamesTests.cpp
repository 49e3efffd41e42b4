// Attribute naming: every identifier for a hard disk, a generic SSD and representative drive
// profiles, then the conditions that look at other attributes, the entry's position, texts and
// capacity. Expectations are written from the naming rules, identifier by identifier.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/sim/PageBuilders.h"
#include "smart/AttributeNames.h"
#include "smart/SmartData.h"

namespace {

const std::string Unknown = "Unknown Attribute";
using Names = std::map<unsigned, std::string>;

struct Entry {
    uint8_t id;
    uint64_t raw;
};

// A record whose value page holds these entries, counted, with the attribute list the drive reports.
DriveRecord WithEntries(const std::vector<Entry>& entries) {
    std::vector<sim::Attribute> attributes;
    for (const Entry& e : entries) attributes.push_back({e.id, 0x0032, 100, 100, e.raw, 0});
    const std::vector<uint8_t> page = sim::SmartValuePage(attributes);
    DriveRecord d;
    std::copy(page.begin(), page.end(), d.SmartData);
    d.AttributeCount = CountAttributes(d);
    for (const Entry& e : entries) d.AttributeList += (d.AttributeList.empty() ? "" : ", ") + std::to_string(e.id);
    return d;
}

struct Profile {
    const char* label;
    bool ssd;
    uint8_t family;
    uint8_t controller;
    const char* brand;
    const char* model;
    uint8_t sataSpeed;
    uint8_t transport;
};

// Names every identifier 0..255 as the only attribute of a drive of this profile.
void ExpectNames(const Profile& p, const Names& expected) {
    for (unsigned id = 0; id < 256; ++id) {
        DriveRecord d = WithEntries({{static_cast<uint8_t>(id), 1}});
        d.IsSSD = p.ssd;
        d.AttributeFamily = p.family;
        d.ControllerID = p.controller;
        d.Trademark = p.brand;
        d.Model = p.model;
        d.SATA_SignalingSpeedSupport = p.sataSpeed;
        d.Transport = p.transport;
        d.AvailableSize = 1000204886016;
        const auto it = expected.find(id);
        EXPECT_EQ(NameAttribute(d, 0), it == expected.end() ? Unknown : it->second) << p.label << ", ID " << id;
    }
}

Names With(Names base, const Names& changes) {
    for (const auto& c : changes) base[c.first] = c.second;
    return base;
}

// Identifiers a hard disk without a brand names; every other one is unknown.
const Names HardDiskNames = {
    {1, "Read Error Rate"}, {2, "Throughput Performance"}, {3, "Spin-Up Time"}, {4, "Start/Stop Count"},
    {5, "Reallocated Sector Count"}, {6, "Read Channel Margin"}, {7, "Seek Error Rate"}, {8, "Seek Time Performance"},
    {9, "Power-On Time"}, {10, "Spin Retry Count"}, {11, "Calibration Retry Count"}, {12, "Power Cycle Count"},
    {13, "Soft Read Error Rate"}, {18, "Head Health"}, {22, "Current Helium Level"}, {23, "Helium Condition Lower"},
    {24, "Helium Condition Upper"}, {27, "MAMR Health Monitor"}, {71, "Milli/Micro Actuator"},
    {82, "Head Health Score"}, {90, "NAND Master"}, {99, "Average Flying Height Control"},
    {100, "Minimum Flying Height Control"}, {101, "Maximum Flying Height Control"},
    {160, "Free-fall Sensor Self Test Result"}, {161, "Free-Fall Sensor Work Count"},
    {181, "Non-4K Aligned Access Count"}, {183, "SATA Interface Downshift Count"}, {184, "End-to-End Error Count"},
    {185, "Head Stability"}, {186, "Induced Op-Vibration Detection"}, {187, "Uncorrectable Error Count"},
    {188, "Command Timeout Count"}, {189, "High Fly Writes"}, {190, "Airflow Temperature"}, {191, "G-Sense Error Rate"},
    {192, "Unsafe Shutdown Count"}, {193, "Load/Unload Cycle Count"}, {194, "Temperature"},
    {195, "Hardware ECC Recovered"}, {196, "Reallocation Event Count"}, {197, "Current Pending Sector Count"},
    {198, "Offline Uncorrectable Sector Count"}, {199, "SATA CRC Error Count"}, {200, "Write Error Rate"},
    {201, "Soft Read Error Rate"}, {202, "Data Address Mark Errors"}, {204, "Soft ECC Correction"},
    {205, "Thermal Asperity Rate"}, {206, "Flying Height"}, {207, "Spin High Current"}, {208, "Spin Buzz"},
    {209, "Offline Seek Performance"}, {210, "Vibration During Write"}, {212, "Shock During Write"},
    {213, "Ground Seek Error Count"}, {214, "Ground Load Error Count"}, {215, "Ground SpinUp Error Count"},
    {216, "Unexpectant Error Count"}, {217, "Unlock/Mis Read Count"}, {220, "Disk Shift"}, {221, "G-Sense Error Rate"},
    {222, "Loaded Hours"}, {223, "Load/Unload Retry Count"}, {224, "Load Friction"}, {225, "Load/Unload Cycle Count"},
    {226, "Load-in Time"}, {227, "Torque Amplification Count"}, {228, "Power-Off Retract Count"},
    {230, "Head Amplitude"}, {231, "Temperature"}, {240, "Head Flying Hours"}, {241, "Host Writes"},
    {242, "Host Reads"}, {250, "Read Error Retry Rate"}, {251, "Vendor Unique"}, {252, "Vendor Unique"},
    {254, "Free Fall Protection"},
};

// Identifiers an SSD of no known brand, family or controller names.
const Names SsdNames = {
    {1, "Read Error Rate"}, {2, "Not In Use"}, {3, "Not In Use"}, {4, "Not In Use"}, {5, "Reallocated Block Count"},
    {7, "Not In Use"}, {8, "Not In Use"}, {9, "Power-On Time"}, {10, "Not In Use"}, {11, "Calibration Retry Count (?)"},
    {12, "Power Cycle Count"}, {13, "Soft Read Error Rate"}, {14, "Device Capacity"}, {15, "User Capacity"},
    {16, "Spare Block Count"}, {17, "Spare Block Count"}, {90, "NAND Master"}, {102, "Lifetime PS4 Entry Count"},
    {103, "Lifetime PS3 Entry Count"}, {160, "Uncorrectable Block Count"}, {168, "SATA PHY Error Count"},
    {171, "Program Fail Count"}, {172, "Erase Fail Count"}, {173, "Erase Count"}, {174, "Unsafe Shutdown Count"},
    {177, "Wear Leveling Count"}, {178, "Used Reserved Block Count (Worst Case)"},
    {179, "Used Reserved Block Count (Total)"}, {180, "Unused Reserved Block Count (Total)"},
    {181, "Program Fail Count (Total)"}, {182, "Erase Fail Count (Total)"}, {183, "SATA Interface Downshift Count"},
    {184, "End-to-End Error Count"}, {187, "Uncorrectable Error Count"}, {188, "Command Timeout Count"},
    {190, "Airflow Temperature"}, {192, "Unsafe Shutdown Count"}, {194, "Temperature"}, {195, "Hardware ECC Recovered"},
    {196, "Reallocation Event Count"}, {197, "Current Pending Block Count"}, {198, "Offline Uncorrectable Block Count"},
    {199, "SATA CRC Error Count"}, {204, "Soft ECC Correction Rate"}, {205, "Maximum Rated Program/Erase Count"},
    {207, "Maximum Erase Count"}, {208, "Average Erase Count"}, {212, "SATA PHY Error"}, {218, "CRC Error Count"},
    {225, "Host Writes"}, {226, "Timed Workload Media Wear"}, {227, "Timed Workload Host Read/Write Ratio"},
    {228, "Timed Workload Timer"}, {231, "Life Remaining"}, {232, "Available Reserved Space"}, {233, "NAND Written"},
    {241, "Host Writes"}, {242, "Host Reads"},
};

TEST(NameAttribute, EveryIdentifierOfAHardDiskAndAGenericSsd) {
    ExpectNames({"hard disk", false, 0, 0, "", "TESTDISK 1000", 3, 1}, HardDiskNames);
    ExpectNames({"SSD", true, 0, 0, "", "SSD 240GB", 3, 1}, SsdNames);
}

TEST(NameAttribute, EveryIdentifierOfRepresentativeProfiles) {
    // Samsung controller, family 21: the family's names come before the controller's.
    ExpectNames({"Samsung family 21", true, 21, 6, "Samsung", "Samsung SSD 840 PRO Series", 3, 1},
                With(SsdNames, {
                    {170, "Reserved Block Count"}, {171, "Program Fail Count (Chip)"}, {172, "Erase Fail Count (Chip)"},
                    {173, "Wear Leveling Count"}, {175, "Program Fail Count (Chip)"},
                    {176, "Unused Reserved Block Count"}, {178, "Used Reserved Block Count (Chip)"},
                    {181, "Non-4K Aligned Access Count"}, {183, "SATA Interface Downshift Count"},
                    {195, "ECC Error Rate"}, {201, "Life Remaining"}, {202, "Exception Mode Status"},
                    {232, "Unused Reserved Block Count (Chip)"}, {233, "Normalized Media Wearout"},
                    {235, "POR Recovery Count"}, {236, "Average Program/Erase Count"},
                    {237, "Maximum Program/Erase Count"}, {238, "Retiring Block Count"}, {243, "NAND Written"},
                    {244, "Temperature Throttle Status"}, {245, "Timed Workload Media Wear"},
                    {246, "Timed Workload Host Read/Write Ratio"}, {247, "Timed Workload Timer"},
                    {248, "Vendor Unique"}, {249, "NAND Written"}, {250, "SATA Interface Downshift Count"},
                    {251, "NAND LBA Written Count"}, {252, "Grown Bad Blocks"}}));

    // Kingston family 10 on a Phison controller.
    ExpectNames({"Kingston family 10, Phison", true, 10, 14, "Kingston", "KINGSTON SA400S37240G", 3, 1},
                With(SsdNames, {
                    {1, "Uncorrectable Errors"}, {148, "RAID Event Count"}, {149, "RAID Uncorrectable Count"},
                    {160, "Total Early Bad Block Count"}, {161, "Total Bad Block Count"}, {162, "Spare Block Count"},
                    {163, "Maximum Erase Count"}, {164, "Worse Group(Die) Average Erase Count"},
                    {165, "Average Erase Count"}, {166, "Total Later Bad Block Count"}, {167, "Protect Mode"},
                    {168, "SATA PHY Error Count"}, {169, "Bad Block Rate"}, {170, "Early Bad Block Count"},
                    {173, "Avg/Max Erase Count"}, {175, "Not In Use"}, {177, "Wear Range Delta"},
                    {182, "RAID Correctable Count"}, {183, "Avg/Max/Min Erase Count"},
                    {193, "Power Failure Uncompleted Count"}, {195, "HB retry count"}, {197, "Not In Use"},
                    {201, "Life Remaining"}, {202, "Life Remaining"}, {227, Unknown}, {232, "Read Failure Block Count"},
                    {234, "NAND Written"}, {235, "NAND LBAs Written"}, {240, "Not In Use"},
                    {244, "Average Erase Count"}, {245, "Maximum Erase Count"}, {246, "Total Erase Count"},
                    {247, "Not In Use"}, {249, "Vendor Unique"}, {250, "NAND Read Retries"},
                    {252, "CRC Error Write Count"}, {254, "Vendor Unique"}}));

    // Silicon Motion behind a USB bridge that reports neither SATA signalling nor a transport.
    ExpectNames({"Silicon Motion, SATA signalling 0", true, 0, 17, "", "USB SSD", 0, 0},
                With(SsdNames, {
                    {148, "RAID Event Count"}, {149, "RAID Uncorrectable Count"}, {150, "Minimum SLC Erase Count"},
                    {151, "Average SLC Erase Count"}, {159, "DRAM 1 bit Error Count"}, {161, "Spare Block Count"},
                    {162, "Cache Block Count"}, {163, "Initial Bad Block Count"}, {164, "Total Erase Count"},
                    {165, "Maximum Erase Count"}, {166, "Minimum Erase Count"}, {167, "Protect Mode"},
                    {168, "USB CRC Error Recovery Count"}, {169, "Life Remaining"}, {170, "Reserved Block Count"},
                    {173, "Average Program/Erase Cycles"}, {175, "Program Fail Count (Worst Case)"},
                    {176, "Erase Fail Count (Worst Case)"}, {178, "Runtime Invalid Block Count"},
                    {196, "Later Bad Block Count"}, {199, "UltraDMA CRC Error Count"}, {202, "Life Remaining"},
                    {206, "Write Error Rate"}, {210, "Successful RAIN Recovery Count"},
                    {218, "SuperSpeed USB CRC Error Recovery Count"}, {226, "Not In Use"}, {227, "Not In Use"},
                    {228, "Not In Use"}, {234, "SLC NAND Written (?)"}, {236, "Cache Buffer Media Wearout (SLC) (?)"},
                    {238, "Life Remaining"}, {243, "NAND Written"}, {244, "Average Erase Count"},
                    {245, "Maximum Erase Count"}, {246, "Total Erase Count"}, {247, "Raid Recovery Count"},
                    {248, "Life Remaining"}, {249, "Life Remaining"}, {250, "Do RefCal Count"},
                    {251, "NAND Read Plane Count (Low DWORD)"}}));

    // SandForce in an Intel drive.
    ExpectNames({"Intel, SandForce", true, 0, 7, "Intel", "INTEL SSDSC2CW240A3", 3, 1},
                With(SsdNames, {
                    {100, "Gigabytes Erased"}, {170, "Reserved Block Count"}, {175, "Power Loss Protection Failure"},
                    {176, "Power Loss Protection Error"}, {177, "Wear Range Delta"}, {189, "Airflow Temperature"},
                    {195, "ECC Uncorrectable Error Count"}, {198, "Read/Uncorrectable Block Count"},
                    {201, "Uncorrectable Soft Read Error Rate"}, {230, "Life Protection Status"},
                    {233, "Media Wearout Indicator"}, {234, "Thermal Throttle Status"}, {235, "Capacitor Health"},
                    {243, "NAND Written"}, {244, "SSD Wear Indicator"}, {249, "NAND Written"},
                    {250, "NAND Read Retries"}}));

    // SanDisk family 3, controller not determined.
    ExpectNames({"SanDisk family 3", true, 3, 0, "SanDisk", "SDLF1DAR-480G-1HA1", 3, 1},
                With(SsdNames, {
                    {13, "Uncorrectable ECC Error Count"}, {32, "Write Amplification multiplied by 100"},
                    {33, "Write Amplification Factor"}, {170, "Reserved Block Count"},
                    {173, "Average Program/Erase Cycles"}, {175, "Lifetime Die Failure Count"},
                    {178, "Life Remaining(0.01% Resolution)"}, {191, "Clean Shutdown Count"},
                    {211, "Read Disturbance Reallocation Event"}, {233, "NAND Written"}, {235, "Capacitor Health"},
                    {244, "Temperature Throttle Activations"}, {245, "Life Remaining"}, {253, "SPI Tests Remaining"}}));

    // Marvell in a Crucial drive.
    ExpectNames({"Crucial, Marvell", true, 0, 15, "Crucial", "Crucial_CT256M550SSD1", 3, 1},
                With(SsdNames, {
                    {100, "SLC Erase Count"}, {101, "Total Erased TLC Block Count"}, {161, "Not In Use"},
                    {164, "Total Erase Count"}, {165, "Maximum Erase Count"}, {166, "Minimum Erase Count"},
                    {167, "Average Erase Count"}, {170, "Used Reserved Block Count"},
                    {173, "Average Program/Erase Cycles"}, {175, "Program Fail Count (Worst Case)"},
                    {176, "Erase Fail Count Worst Die"}, {181, "Non-4K Aligned Access Count"},
                    {189, "Factory Bad Block Count"}, {195, "ECC Error Count"}, {201, "Uncorrectable Read Error Rate"},
                    {202, "Life Remaining"}, {206, "Write Error Rate"}, {210, "Successful RAIN Recovery Count"},
                    {234, "NAND Written"}, {238, "Life Remaining"}, {243, "Not In Use"},
                    {244, "ECC Cumulative Threshold Events"}, {245, "Program NAND Pages"}, {246, "Host Writes"},
                    {247, "Host Program NAND Pages Count"}, {248, "Background Program Page Count"}, {249, "Not In Use"},
                    {250, "Not In Use"}, {251, "Not In Use"}, {252, "Not In Use"}, {253, "Not In Use"},
                    {254, "Not In Use"}}));
}

DriveRecord Ssd(const std::vector<Entry>& entries, uint8_t family = 0, uint8_t controller = 0) {
    DriveRecord d = WithEntries(entries);
    d.IsSSD = true;
    d.AttributeFamily = family;
    d.ControllerID = controller;
    d.SATA_SignalingSpeedSupport = 3;
    d.Transport = 1;
    return d;
}

TEST(NameAttribute, ConditionsOnOtherAttributesCompareAllSixRawBytes) {
    // 16 repeats 17: not in use; a raw value that differs in its top byte is a spare block count.
    EXPECT_EQ(NameAttribute(Ssd({{16, 0x123456789ABCULL}, {17, 0x123456789ABCULL}}), 0), "Not In Use");
    EXPECT_EQ(NameAttribute(Ssd({{16, 0x123456789ABCULL}, {17, 0x023456789ABCULL}}), 0), "Spare Block Count");
    EXPECT_EQ(NameAttribute(Ssd({{16, 5}}), 0), "Spare Block Count");
    // An attribute after an empty slot is not present.
    EXPECT_EQ(NameAttribute(Ssd({{16, 5}, {0, 0}, {17, 5}}), 0), "Spare Block Count");

    // 174 beside 192: equal raw values are not in use, different ones leave it unnamed.
    EXPECT_EQ(NameAttribute(Ssd({{174, 9}, {192, 9}}), 0), "Not In Use");
    EXPECT_EQ(NameAttribute(Ssd({{174, 9}, {192, 10}}), 0), Unknown);

    // 225 repeats 193 on a hard disk, 241 on an SSD.
    DriveRecord disk = WithEntries({{193, 77}, {225, 77}});
    EXPECT_EQ(NameAttribute(disk, 1), "Not In Use");
    disk = WithEntries({{193, 77}, {225, 78}});
    EXPECT_EQ(NameAttribute(disk, 1), "Load/Unload Cycle Count");
    EXPECT_EQ(NameAttribute(Ssd({{225, 3}, {241, 3}}), 0), "Not In Use");
    EXPECT_EQ(NameAttribute(Ssd({{225, 3}, {241, 4}}), 0), "Host Writes");

    // 169 on Silicon Motion: 231 equal, or the fixed raw pattern, or merely present.
    const uint64_t pattern = 0xF7F03B9B7DB3ULL;  // bytes B3 7D 9B 3B F0 F7, least significant first
    EXPECT_EQ(NameAttribute(Ssd({{169, 40}, {231, 40}}, 0, 17), 0), "Not In Use");
    EXPECT_EQ(NameAttribute(Ssd({{169, pattern}, {231, 40}}, 0, 17), 0), "Not In Use");
    EXPECT_EQ(NameAttribute(Ssd({{169, pattern}}, 0, 17), 0), "Life Remaining");
    EXPECT_EQ(NameAttribute(Ssd({{169, 41}, {231, 40}}, 0, 17), 0), "SOC Temperature");
    EXPECT_EQ(NameAttribute(Ssd({{169, 41}, {231, 40}}, 10, 17), 0), "Vendor Unique");
    EXPECT_EQ(NameAttribute(Ssd({{169, 41}}, 0, 17), 0), "Life Remaining");

    // 173 on Silicon Motion in a Kingston drive.
    DriveRecord kingston = Ssd({{173, pattern}}, 0, 17);
    kingston.Trademark = "Kingston";
    EXPECT_EQ(NameAttribute(kingston, 0), "Not In Use");
    kingston = Ssd({{173, 12}}, 0, 17);
    kingston.Trademark = "Kingston";
    EXPECT_EQ(NameAttribute(kingston, 0), "Vendor Unique");

    // 195 and 201 on SandForce repeat 204.
    EXPECT_EQ(NameAttribute(Ssd({{195, 8}, {201, 8}, {204, 8}}, 0, 7), 0), "Not In Use");
    EXPECT_EQ(NameAttribute(Ssd({{195, 8}, {201, 8}, {204, 8}}, 0, 7), 1), "Not In Use");
    EXPECT_EQ(NameAttribute(Ssd({{195, 8}, {201, 9}, {204, 7}}, 0, 7), 1), "Uncorrectable Soft Read Error Rate");

    // 202 on an Intel or Dell profile depends on the presence of 245.
    EXPECT_EQ(NameAttribute(Ssd({{202, 1}, {245, 1}}, 32), 0), "End of Life");
    EXPECT_EQ(NameAttribute(Ssd({{202, 1}}, 32), 0), "Life Remaining");
}

TEST(NameAttribute, KindFamilyAndControllerChooseTheItem) {
    EXPECT_EQ(NameAttribute(WithEntries({{5, 0}}), 0), "Reallocated Sector Count");
    EXPECT_EQ(NameAttribute(Ssd({{5, 0}}), 0), "Reallocated Block Count");

    DriveRecord hu = WithEntries({{231, 30}});
    hu.Model = "HUS726060ALE610";
    EXPECT_EQ(NameAttribute(hu, 0), Unknown);
    hu.Model = "WDC WD10EZEX";
    EXPECT_EQ(NameAttribute(hu, 0), "Temperature");
    EXPECT_EQ(NameAttribute(Ssd({{231, 30}}), 0), "Life Remaining");

    // 170 on Phison: the family's own name, the family-with-controller name, the controller's.
    EXPECT_EQ(NameAttribute(Ssd({{170, 0}}, 3, 14), 0), "Reserved Block Count");
    EXPECT_EQ(NameAttribute(Ssd({{170, 0}}, 10, 14), 0), "Early Bad Block Count");
    EXPECT_EQ(NameAttribute(Ssd({{170, 0}}, 0, 14), 0), "Later/Early Bad Block Count");
    EXPECT_EQ(NameAttribute(Ssd({{170, 0}}, 10, 17), 0), "Not In Use");

    // A family item that exists decides even when it names nothing for this controller.
    EXPECT_EQ(NameAttribute(Ssd({{173, 0}}, 28, 17), 0), "Wear Leveling Count");
    EXPECT_EQ(NameAttribute(Ssd({{173, 0}}, 28, 14), 0), Unknown);
    EXPECT_EQ(NameAttribute(Ssd({{173, 0}}, 0, 14), 0), "Avg/Max Erase Count");
    EXPECT_EQ(NameAttribute(Ssd({{230, 0}}, 5, 7), 0), "Life Protection Status");
    EXPECT_EQ(NameAttribute(Ssd({{230, 0}}, 5, 14), 0), "Media Wearout Indicator");

    // 246 on family 10 with Phison, listed twice in a row.
    const DriveRecord twice = Ssd({{9, 1}, {246, 5}, {246, 5}}, 10, 14);
    EXPECT_EQ(NameAttribute(twice, 1), "Total Erase Count");
    EXPECT_EQ(NameAttribute(twice, 2), "Not In Use");
    EXPECT_EQ(NameAttribute(Ssd({{9, 1}, {246, 5}, {246, 5}}, 10, 17), 2), "Total Erase Count");

    // 148 on Silicon Motion, directly attached or behind a bridge without SATA signalling.
    DriveRecord smi = Ssd({{148, 0}}, 0, 17);
    EXPECT_EQ(NameAttribute(smi, 0), "Total SLC Erase Count");
    smi.SATA_SignalingSpeedSupport = 0;
    EXPECT_EQ(NameAttribute(smi, 0), "RAID Event Count");

    // 199 on a parallel interface, except for the two Indilinx controllers that name it.
    DriveRecord parallel = WithEntries({{199, 0}});
    EXPECT_EQ(NameAttribute(parallel, 0), "UltraDMA CRC Error Count");
    parallel.Transport = 1;
    EXPECT_EQ(NameAttribute(parallel, 0), "SATA CRC Error Count");
    DriveRecord flash = Ssd({{199, 0}}, 0, 7);
    flash.Transport = 0;
    EXPECT_EQ(NameAttribute(flash, 0), "UltraDMA CRC Error Count");
    flash.ControllerID = 4;
    EXPECT_EQ(NameAttribute(flash, 0), "Write Block Count");
    flash.ControllerID = 12;
    EXPECT_EQ(NameAttribute(flash, 0), "Host Writes");

    // Identifiers without a row, and entries past the page.
    for (uint8_t id : {0, 19, 21, 25, 26, 28, 31, 34, 70, 72, 81, 83, 89, 91, 98, 104, 147, 152, 158, 219, 239, 255}) {
        EXPECT_EQ(NameAttribute(WithEntries({{id, 0}}), 0), Unknown) << int(id);
        EXPECT_EQ(NameAttribute(Ssd({{id, 0}}, 10, 17), 0), Unknown) << int(id);
    }
    EXPECT_EQ(NameAttribute(Ssd({{9, 0}}), 30), Unknown);
    EXPECT_EQ(NameAttribute(Ssd({{9, 0}}), 1000), Unknown);
}

TEST(NameAttribute, BrandModelListAndCapacityConditions) {
    DriveRecord seagate = WithEntries({{200, 0}});
    seagate.Trademark = "Seagate";
    seagate.AvailableSize = 4444217409024;
    EXPECT_EQ(NameAttribute(seagate, 0), "Pressure Limit");
    seagate.AvailableSize = 4444217409023;
    EXPECT_EQ(NameAttribute(seagate, 0), "Write Error Rate");
    seagate.Trademark = "Western digital";
    EXPECT_EQ(NameAttribute(seagate, 0), "Multi Zone Error Rate");

    DriveRecord toshiba = WithEntries({{1, 0}, {3, 0}, {240, 0}});
    toshiba.Trademark = "Toshiba";
    toshiba.Model = "TOSHIBA DT01ACA100";
    EXPECT_EQ(toshiba.AttributeList, "1, 3, 240");
    EXPECT_EQ(NameAttribute(toshiba, 2), "Head Flying Hours");
    toshiba.Model = "TOSHIBA MQ01ABD100";
    EXPECT_EQ(NameAttribute(toshiba, 2), "Transfer Error Rate");
    toshiba.Model = "TOSHIBA DT01ACA100";
    toshiba.AttributeList = "1, 2, 3, 240";
    EXPECT_EQ(NameAttribute(toshiba, 2), "Transfer Error Rate");
    toshiba.Trademark = "Fujitsu";
    EXPECT_EQ(NameAttribute(toshiba, 2), "Transfer Error Rate");
    toshiba.Trademark = "Hitachi";
    EXPECT_EQ(NameAttribute(toshiba, 2), "Head Flying Hours");

    // Characters 6 to 14 of the model, on Silicon Motion.
    DriveRecord crucial = Ssd({{246, 0}, {247, 0}}, 0, 17);
    crucial.Trademark = "Crucial";
    crucial.Model = "CT240BX200SSD1";
    EXPECT_EQ(NameAttribute(crucial, 0), "NAND Written (SLC)");
    EXPECT_EQ(NameAttribute(crucial, 1), "Raid Recovery Count");
    crucial.Model = "CT500MX500SSD1";
    EXPECT_EQ(NameAttribute(crucial, 0), "NAND Written");
    EXPECT_EQ(NameAttribute(crucial, 1), "Host Program NAND Pages Count");
    crucial.Model = "CT240BX200";  // too short for the nine characters
    EXPECT_EQ(NameAttribute(crucial, 0), "NAND Written");
    crucial.Model = "";
    EXPECT_EQ(NameAttribute(crucial, 0), "NAND Written");

    // 233 of a generic SSD: Intel, one Toshiba model and one attribute list are exceptions.
    DriveRecord generic = Ssd({{233, 0}});
    generic.Trademark = "Intel";
    EXPECT_EQ(NameAttribute(generic, 0), "Media Wearout Indicator");
    generic.Trademark = "Toshiba";
    generic.Model = "TOSHIBA THNSFJ256GDNU A";
    EXPECT_EQ(NameAttribute(generic, 0), Unknown);
    generic.Model = "TOSHIBA THNSFJ256GDNU";
    EXPECT_EQ(NameAttribute(generic, 0), "NAND Written");
    generic.AttributeList = "5, 9, 12, 170, 168, 169, 171, 172, 173, 175, 183, 187, 192, 194, 196, 197, 199, 209, 210, "
                            "211, 232, 233, 234, 235, 241, 242, 243, 245";
    EXPECT_EQ(NameAttribute(generic, 0), Unknown);

    // Firmware on Phison: 245 and 247 of an unbranded "SATA SSD".
    DriveRecord phison = Ssd({{245, 0}, {247, 0}}, 0, 14);
    phison.Model = "SATA SSD";
    phison.FirmwareVersion = "SBFMB1.1";
    EXPECT_EQ(NameAttribute(phison, 0), "Maximum Erase Count");
    EXPECT_EQ(NameAttribute(phison, 1), "Not In Use");
    phison.FirmwareVersion = "SBFMB1.2";
    EXPECT_EQ(NameAttribute(phison, 0), "Maximum Erase Count");
    EXPECT_EQ(NameAttribute(phison, 1), Unknown);
    phison.FirmwareVersion = "S9FM02.1";
    EXPECT_EQ(NameAttribute(phison, 0), "NAND Written");

    // Realtek names by whether the attribute list mentions 148.
    DriveRecord realtek = Ssd({{161, 0}, {163, 0}}, 0, 19);
    EXPECT_EQ(NameAttribute(realtek, 0), "GDN");
    EXPECT_EQ(NameAttribute(realtek, 1), "Maximum Program/Erase Cycles");
    realtek.AttributeList = "1, 148, 161, 163";
    EXPECT_EQ(NameAttribute(realtek, 0), "Spare Block Count");
    EXPECT_EQ(NameAttribute(realtek, 1), "Initial Bad Block Count");

    // Lite-On names no airflow temperature.
    DriveRecord liteon = Ssd({{190, 0}});
    liteon.Trademark = "Lite-On";
    EXPECT_EQ(NameAttribute(liteon, 0), Unknown);
}

}  // namespace
