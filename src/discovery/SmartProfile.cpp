#include "discovery/SmartProfile.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>

#include "device/TIOCTL.h"
#include "knowledge/Controllers.h"
#include "knowledge/Counterfeit.h"
#include "smart/SmartData.h"
#include "device/DiagnosticLog.h"

namespace {

// The attribute lists that mark a family. M begins with K; Dell's list is the first of I.
const char* const ListK =
    "1, 5, 9, 12, 171, 172, 173, 174, 176, 181, 183, 184, 187, 188, 194, 198, 199, 201, 240, 241, 242, 243";
const char* const ListI1 =
    "1, 5, 9, 12, 13, 170, 174, 179, 180, 181, 182, 184, 194, 195, 197, 198, 199, 201, 202, 225, 226, 227, 228, 232, "
    "233, 234, 241, 242, 245";
const std::initializer_list<const char*> ListI = {
    ListI1,
    "1, 5, 9, 12, 13, 179, 180, 181, 182, 184, 194, 195, 198, 199, 201, 226, 227, 228, 233, 245",
    "1, 5, 9, 12, 13, 179, 180, 181, 182, 184, 194, 195, 198, 199, 201, 202, 226, 227, 228, 233, 245",
};
const std::initializer_list<const char*> ListS1 = {
    "1, 5, 9, 12, 170, 171, 172, 173, 174, 183, 184, 187, 188, 190, 196, 198, 199",
    "1, 5, 9, 11, 12, 170, 171, 172, 173, 174, 183, 184, 187, 188, 190, 196, 198, 199",
    "1, 5, 9, 12, 171, 172, 173, 174, 176, 181, 183, 184, 187, 188, 194, 198, 199, 201, 241, 242, 243",
    "1, 5, 9, 12, 171, 172, 173, 174, 176, 181, 183, 184, 187, 188, 194, 198, 199, 241, 242, 243",
    "1, 5, 9, 12, 170, 171, 172, 173, 174, 183, 184, 187, 188, 190, 191, 196, 198, 199",
};
const std::initializer_list<const char*> ListS2 = {
    "5, 9, 12, 170, 171, 172, 173, 174, 178, 180, 184, 187, 194, 199, 233, 241, 242, 249",
    "5, 9, 12, 170, 171, 172, 173, 174, 178, 180, 184, 187, 194, 199, 233, 234, 241, 242, 249",
    "5, 9, 12, 170, 171, 172, 173, 174, 178, 180, 184, 187, 194, 199, 233, 241, 242, 249, 250, 251",
    "5, 9, 12, 170, 171, 172, 173, 174, 178, 180, 184, 187, 194, 199, 233, 241, 242",
};
const std::initializer_list<const char*> ListM = {
    ListK,
    "1, 5, 9, 12, 171, 172, 173, 174, 176, 181, 183, 184, 187, 188, 194, 198, 199, 240, 241, 242, 243",
};
const std::initializer_list<const char*> ListH1 = {
    "1, 5, 9, 12, 171, 172, 173, 174, 176, 181, 183, 184, 187, 188, 194, 198, 199, 201, 241, 242, 243",
};
const std::initializer_list<const char*> ListH2 = {
    "1, 5, 9, 12, 100, 170, 171, 172, 173, 174, 177, 178, 180, 181, 182, 183, 184, 187, 194, 195, 199, 201, 204, 231, "
    "233, 234, 241, 242, 249, 250",
    "1, 5, 9, 12, 100, 170, 171, 172, 173, 174, 177, 178, 180, 181, 182, 183, 184, 187, 194, 195, 199, 201, 204, 231, "
    "233, 234, 241, 242, 250",
};

enum class Check : uint8_t {
    Always,
    Contains,          // occurs anywhere in Model
    StartsWith,        // occurs at position 1 of Model
    AfterStart,        // occurs in Model at position 2 or later
    EndsWith,          // Model ends with it
    DoesNotEndWith,
    FirmwareIs,
    ListIs,            // AttributeList equals it
    ControllerIs,      // ControllerID equals the code
    ControllerIsNone,  // ControllerID is none of the codes
    ThirdOrFourthId,   // the third or the fourth attribute entry has the code as identifier
};

// A test on the drive; it holds when any of its texts (or codes) passes.
struct Test {
    Check What;
    std::initializer_list<const char*> Texts{};
    std::initializer_list<uint8_t> Codes{};
};

// The rule applies when both tests hold; then a refinement that holds picks the refined family.
struct FamilyRule {
    const char* Brand;
    Test First;
    Test Second;
    uint8_t Family;
    Test Refinement{};
    uint8_t RefinedFamily{};  // 0: no refinement
};

constexpr Check Contains = Check::Contains;
constexpr Check StartsWith = Check::StartsWith;
constexpr Check AfterStart = Check::AfterStart;
constexpr Check Firmware = Check::FirmwareIs;
constexpr Check List = Check::ListIs;
constexpr Check Controller = Check::ControllerIs;

// Tried in order; the first rule of the drive's brand that applies decides, and a brand none of
// whose rules applies stays generic. A "Fake" drive matches no brand.
const FamilyRule FamilyRules[] = {
    {"Western digital", {AfterStart, {"-1006"}}, {}, 20},
    {"Western digital", {Check::ControllerIsNone, {}, {3, 20}}, {}, 1},
    {"Kingston", {Contains, {"A400"}}, {}, 10},
    {"Kingston", {StartsWith, {"KC-", "KINGSTON OM8P", "KINGSTON RBUS", "KINGSTON SQ", "HyperX Fury 3D"}}, {}, 10},
    {"Kingston", {StartsWith, {"KINGSTON SUV", "KINGSTON SHFR", "Kingston SHPM"}}, {}, 36},
    {"Kingston", {Contains, {"DC400", "DC450", "DC500", "DC600"}}, {}, 11},
    {"Kingston", {Contains, {"KC600"}}, {}, 37},
    {"Kingston", {List, {ListK}}, {}, 33},
    {"Seagate", {Contains, {"BarraCuda"}}, {}, 12},
    {"Seagate", {StartsWith, {"XA", "ZA"}}, {}, 14},
    {"Intel", {Contains, {"SSDSCKHB"}}, {}, 13},
    {"Intel", {Contains, {"8H"}}, {}, 23},
    {"Intel", {Check::EndsWith, {"L"}}, {}, 24},
    {"Intel", {List, ListI}, {}, 32},
    {"SanDisk", {Contains, {"X600"}}, {Contains, {"2280", "7MM"}}, 5, {Check::ThirdOrFourthId, {}, {175}}, 4},
    {"SanDisk", {Contains, {"X400", "X300", "X110", "SD5"}}, {}, 5, {Check::ThirdOrFourthId, {}, {175}}, 4},
    {"SanDisk", {Contains, {"Z400"}}, {}, 4},
    {"SanDisk", {AfterStart, {"-1006"}}, {}, 6, {AfterStart, {"8U", "8W"}}, 7},
    {"SanDisk", {Contains, {"G1001"}}, {}, 8, {AfterStart, {"6S", "7S", "8U"}}, 9},
    {"SanDisk", {Contains, {"G1012"}}, {}, 4},
    {"SanDisk", {Contains, {"SSD P4"}}, {}, 2},
    {"SanDisk", {Contains, {"SDSSDP", "SDSSDRC"}}, {}, 2},
    {"SanDisk", {Contains, {"SSD U100", "SSD U110", "SSD i100", "SSD i110", "pSSD"}}, {}, 2},
    {"SanDisk", {StartsWith, {"SDLF1"}}, {}, 3},
    {"SanDisk", {}, {}, 5},  // any other SanDisk SSD
    {"Transcend", {Controller, {}, {14}}, {}, 15},
    {"KingSpec", {Controller, {}, {14}}, {}, 16},
    {"Apacer", {Controller, {}, {14}}, {}, 17},
    {"Apple", {StartsWith, {"APPLE SSD S"}}, {Check::DoesNotEndWith, {"C"}}, 18},
    {"Samsung", {List, ListS1}, {}, 21},
    {"Samsung", {List, ListS2}, {}, 22},
    {"Micron", {List, ListM}, {}, 19},
    {"Micron", {StartsWith, {"Micron_5"}}, {}, 34},
    {"Hewlett Packard", {StartsWith, {"HP SSD ", "RBU-"}}, {}, 25},
    {"Intenso", {Firmware, {"T0529A1"}}, {}, 26},
    {"Zheino", {Firmware, {"T0529A1"}}, {}, 27},
    {"Lite-On", {Contains, {"-HP"}}, {}, 28},
    {"Silicon Power", {Firmware, {"Q0831C0"}}, {}, 29},
    {"SSSTC", {Contains, {"-HP"}}, {}, 30},
    {"SK hynix", {List, ListH1}, {}, 31},
    {"SK hynix", {List, ListH2}, {}, 35},
    {"Dell", {List, {ListI1}}, {}, 32},
};

bool EndsWith(const std::string& text, const char* tail) {
    const size_t n = std::strlen(tail);
    return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

bool TextPasses(Check what, const char* text, const DriveRecord& d) {
    switch (what) {
        case Check::Contains: return d.Model.find(text) != std::string::npos;
        case Check::StartsWith: return d.Model.compare(0, std::strlen(text), text) == 0;
        case Check::AfterStart: return d.Model.find(text, 1) != std::string::npos;
        case Check::EndsWith: return EndsWith(d.Model, text);
        case Check::DoesNotEndWith: return !EndsWith(d.Model, text);
        case Check::FirmwareIs: return d.FirmwareVersion == text;
        case Check::ListIs: return d.AttributeList == text;
        default: return false;
    }
}

// Entries past AttributeCount are not attributes of the drive.
uint8_t AttributeId(const DriveRecord& d, unsigned index) {
    return index < d.AttributeCount && index < MaxAttributes ? d.SmartData[AttributeOffset(index)] : 0;
}

bool CodePasses(Check what, uint8_t code, const DriveRecord& d) {
    switch (what) {
        case Check::ControllerIs: return d.ControllerID == code;
        case Check::ThirdOrFourthId: return AttributeId(d, 2) == code || AttributeId(d, 3) == code;
        default: return false;
    }
}

bool Holds(const Test& test, const DriveRecord& d) {
    if (test.What == Check::Always) return true;
    if (test.What == Check::ControllerIsNone)
        return std::find(test.Codes.begin(), test.Codes.end(), d.ControllerID) == test.Codes.end();
    for (const char* text : test.Texts)
        if (TextPasses(test.What, text, d)) return true;
    for (uint8_t code : test.Codes)
        if (CodePasses(test.What, code, d)) return true;
    return false;
}

}  // namespace

void BuildAttributeList(DriveRecord& drive) {
    const unsigned count = std::min<unsigned>(drive.AttributeCount, MaxAttributes);
    drive.AttributeList.clear();
    for (unsigned i = 0; i < count; ++i) {
        if (i > 0) drive.AttributeList += ", ";
        drive.AttributeList += std::to_string(drive.SmartData[AttributeOffset(i)]);
    }
    if (count < 4) WriteLog("Few SMART attributes - " + drive.AttributeList, &drive);
}

void SelectAttributeFamily(DriveRecord& drive) {
    drive.AttributeFamily = 0;
    if (!drive.IsSSD) return;
    for (const FamilyRule& rule : FamilyRules) {
        if (drive.Trademark != rule.Brand) continue;
        if (!Holds(rule.First, drive) || !Holds(rule.Second, drive)) continue;
        const bool refined = rule.RefinedFamily != 0 && Holds(rule.Refinement, drive);
        drive.AttributeFamily = refined ? rule.RefinedFamily : rule.Family;
        return;
    }
}

void SelectSmartProfile(DriveRecord& drive) {
    BuildAttributeList(drive);
    if (!drive.IsSSD) return;
    DetectController(drive);
    CheckCounterfeitByController(drive);
    SelectAttributeFamily(drive);
}
