#include "knowledge/Controllers.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "knowledge/Signatures.h"
#include "smart/SmartData.h"

namespace {

// Indexed by ControllerID. No signature or rule yields 8 or 13.
const char* const ControllerNames[] = {
    "Unknown",             // 0
    "SK hynix",            // 1
    "JMicron60x",          // 2
    "JMicron61x",          // 3
    "Indilinx Barefoot",   // 4
    "Intel",               // 5
    "Samsung",             // 6
    "SandForce",           // 7
    "Micron",              // 8
    "Indilinx Barefoot 2", // 9
    "Yeestor",             // 10
    "SanDisk",             // 11
    "Indilinx Barefoot 3", // 12
    "Toshiba",             // 13
    "Phison",              // 14
    "Marvell",             // 15
    "LAMD",                // 16
    "Silicon Motion",      // 17
    "Maxiotek",            // 18
    "Realtek",             // 19
    "JMicron66x",          // 20
};

// The signatures several controllers share, with the clues that tell them apart.
enum class Clue : uint8_t { FirmwareBeginsWith, FirmwareIs, BrandIs };

struct Resolution {
    Clue Test;
    std::initializer_list<const char*> Texts;  // the clue holds when any of them does
    uint8_t Controller;
};

struct SpecialSignature {
    std::initializer_list<uint8_t> Ids;  // the first slots (at most 30); the rest are 0
    std::initializer_list<Resolution> Rules;
    uint8_t Otherwise;  // 0: the controller stays undetermined
};

constexpr Clue Begins = Clue::FirmwareBeginsWith;
constexpr Clue Firmware = Clue::FirmwareIs;
constexpr Clue Brand = Clue::BrandIs;

// Tested in this order (S1 to S15); the first equal one decides. None equals a row of the
// signature table.
const SpecialSignature SpecialSignatures[] = {
    // S1
    {{1, 5, 9, 12, 160, 161, 163, 164, 165, 166, 167, 168, 169, 175, 176, 177, 178, 181, 182, 192, 194, 195, 196, 197,
      198, 199, 232, 241, 242, 245},
     {{Begins, {"HC", "HP", "HT", "FW", "RY"}, 10}},
     17},
    // S2
    {{1, 9, 12, 148, 149, 167, 168, 169, 170, 172, 173, 181, 182, 187, 192, 194, 196, 199, 218, 231, 233, 241, 242,
      244, 245, 246},
     {{Begins, {"R0", "S1", "S3", "SA", "02", "SE"}, 17}, {Begins, {"SBF", "SHF"}, 14}, {Begins, {"03"}, 15}},
     0},
    // S3
    {{5, 9, 12, 165, 166, 167, 168, 169, 170, 171, 172, 173, 174, 184, 187, 188, 194, 199, 230, 232, 233, 234, 241,
      242, 244},
     {{Begins, {"U", "420", "520"}, 11}},
     15},
    // S4
    {{1, 5, 9, 12, 171, 172, 174, 177, 181, 182, 187, 194, 195, 196, 201, 204, 230, 231, 233, 234, 241, 242},
     {{Begins, {"CS"}, 17}},
     7},
    // S5
    {{1, 5, 9, 12, 100, 101, 170, 171, 172, 174, 175, 176, 177, 178, 180, 183, 187, 194, 195, 196, 197, 199, 201, 204,
      231, 233, 234, 241, 242, 250},
     {{Firmware, {"603ABBF0"}, 7}},
     15},
    // S6
    {{1, 5, 9, 12, 160, 161, 163, 164, 165, 166, 167, 148, 149, 150, 151, 159, 168, 169, 177, 181, 182, 192, 194, 195,
      196, 199, 232, 241, 242, 245},
     {{Begins, {"Q0"}, 17}},
     19},
    // S7
    {{9, 12, 163, 164, 166, 167, 168, 171, 172, 175, 192, 194, 231, 241}, {{Begins, {"AP"}, 14}}, 20},
    // S8
    {{5, 9, 12, 170, 171, 172, 173, 174, 178, 180, 184, 187, 194, 199, 233, 241, 242, 249},
     {{Brand, {"Samsung"}, 6}, {Brand, {"Lite-On"}, 17}},
     0},
    // S9
    {{5, 12, 175, 176, 177, 178, 179, 180, 181, 182, 187, 195, 241, 242},
     {{Brand, {"Samsung"}, 6}, {Begins, {"ZM"}, 17}},
     15},
    // S10
    {{1, 5, 9, 12, 171, 172, 173, 174, 176, 181, 183, 184, 187, 188, 194, 198, 199, 201, 241, 242, 243},
     {{Brand, {"Samsung"}, 6}, {Brand, {"Lite-On", "SSSTC"}, 17}, {Brand, {"SK hynix"}, 1}},
     0},
    // S11
    {{1, 5, 9, 12, 171, 172, 173, 174, 176, 181, 183, 184, 187, 188, 194, 198, 199, 241, 242, 243},
     {{Brand, {"Samsung"}, 6}, {Brand, {"Lite-On"}, 17}},
     0},
    // S12
    {{5, 9, 12, 170, 171, 172, 173, 174, 178, 180, 184, 187, 194, 199, 233, 234, 241, 242, 249},
     {{Brand, {"Samsung"}, 6}, {Brand, {"SanDisk"}, 15}},
     0},
    // S13
    {{5, 9, 12, 175, 176, 177, 178, 179, 180, 181, 182, 187, 195, 241, 242},
     {{Brand, {"Samsung"}, 6}, {Brand, {"Lite-On"}, 17}},
     0},
    // S14
    {{5, 9, 12, 175, 176, 177, 178, 179, 180, 181, 182, 187, 194, 195, 199, 238, 241, 242},
     {{Brand, {"Samsung"}, 6}, {Brand, {"Lite-On"}, 17}, {Begins, {"SFD"}, 20}},
     0},
    // S15
    {{5, 9, 12, 170, 171, 172, 173, 174, 178, 180, 184, 187, 194, 199, 233, 241, 242},
     {{Brand, {"Samsung"}, 6}, {Brand, {"Lite-On"}, 15}},
     0},
};

using Signature = uint8_t[SignatureLength];

static_assert(SignatureLength == MaxAttributes, "one identifier per attribute slot");

void ReadSignature(const DriveRecord& drive, Signature& signature) {
    for (unsigned slot = 0; slot < SignatureLength; ++slot) signature[slot] = drive.SmartData[AttributeOffset(slot)];
}

uint8_t MatchSignatureTable(const Signature& signature) {
    for (size_t i = 0; i < SignatureTableSize; ++i) {
        const SignatureRow& row = SignatureTable[i];
        if (std::memcmp(row.Ids, signature, SignatureLength) == 0) return row.Controller;
    }
    return 0;
}

bool SameSignature(const SpecialSignature& special, const Signature& signature) {
    Signature expected{};
    std::copy_n(special.Ids.begin(), std::min<size_t>(special.Ids.size(), SignatureLength), expected);
    return std::memcmp(expected, signature, SignatureLength) == 0;
}

bool ClueHolds(const Resolution& rule, const DriveRecord& drive) {
    for (const char* text : rule.Texts) {
        switch (rule.Test) {
            case Clue::FirmwareBeginsWith:
                if (drive.FirmwareVersion.compare(0, std::strlen(text), text) == 0) return true;
                break;
            case Clue::FirmwareIs:
                if (drive.FirmwareVersion == text) return true;
                break;
            case Clue::BrandIs:
                if (drive.Trademark == text) return true;
                break;
        }
    }
    return false;
}

uint8_t Resolve(const SpecialSignature& special, const DriveRecord& drive) {
    for (const Resolution& rule : special.Rules)
        if (ClueHolds(rule, drive)) return rule.Controller;
    return special.Otherwise;
}

uint8_t MatchSpecialSignatures(const Signature& signature, const DriveRecord& drive) {
    for (const SpecialSignature& special : SpecialSignatures)
        if (SameSignature(special, signature)) return Resolve(special, drive);
    return 0;
}

}  // namespace

std::string ControllerName(uint8_t code) {
    return code < sizeof ControllerNames / sizeof *ControllerNames ? ControllerNames[code] : "";
}

void DetectController(DriveRecord& drive) {
    Signature signature;
    ReadSignature(drive, signature);
    drive.ControllerID = MatchSignatureTable(signature);
    if (drive.ControllerID == 0) drive.ControllerID = MatchSpecialSignatures(signature, drive);
    drive.Controller = ControllerName(drive.ControllerID);
}
