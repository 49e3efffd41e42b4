#include "knowledge/GetValues.h"

namespace {

// Texts indexed by code; a code past the end or with a null text has no name.
template <size_t N>
std::string Lookup(const char* const (&names)[N], unsigned code) {
    return code < N && names[code] ? names[code] : "";
}

// Indexed by ATA_version - 8 (the first major version with a name of its own).
const char* const AtaVersionNames[] = {"8 (ACS)", "ACS-2", "ACS-3", "ACS-4", "ACS-5"};

const char* const SataVersionNames[] = {nullptr, "1.0", "1.0", "2.0", "2.5", "2.6",
                                        "3.0",   "3.1", "3.2", "3.3", "3.4", "3.5"};

struct NvmeVersion {
    uint32_t Value;
    const char* Name;
};
// Identify Controller carries the version only from NVMe 1.2 on; an older controller reports 0.
const NvmeVersion NvmeVersions[] = {
    {0x00000000, "1.1"}, {0x00010000, "1.0"}, {0x00010100, "1.1"}, {0x00010200, "1.2"},
    {0x00010201, "1.2.1"}, {0x00010300, "1.3"}, {0x00010400, "1.4"}, {0x00020000, "2.0"},
};

const char* const FormFactorNames[] = {nullptr, "5.25\"", "3.5\"", "2.5\"", "1.8\"",
                                       "< 1.8\"", "mSATA",  "M.2",  "MicroSSD", "CFast"};

// The comma is part of the text, whatever the locale.
const char* const UltraDmaRates[] = {"16,7", "25", "33,3", "44,4", "66,7", "100", "133"};

const char* const SataRates[] = {nullptr, "150", "300", "600"};

// MB/s per lane, indexed by PCIe generation.
const unsigned PcieLaneRates[] = {0, 250, 500, 985, 1969, 3938, 7563};

}  // namespace

std::string AtaVersionName(uint8_t code) {
    if (code >= 8 && code - 8u < sizeof AtaVersionNames / sizeof *AtaVersionNames) return AtaVersionNames[code - 8];
    return std::to_string(code);
}

std::string SataVersionName(uint8_t code) { return Lookup(SataVersionNames, code); }

std::string NvmeVersionName(uint32_t version) {
    for (const NvmeVersion& v : NvmeVersions)
        if (v.Value == version) return v.Name;
    return "Unknown";
}

std::string FormFactorName(uint8_t code) { return Lookup(FormFactorNames, code); }

std::string UltraDmaRate(uint8_t mode) { return Lookup(UltraDmaRates, mode); }

std::string SataRate(uint8_t code) { return Lookup(SataRates, code); }

std::string PcieRate(uint8_t generation, uint8_t lanes) {
    if (generation == 0 || generation >= sizeof PcieLaneRates / sizeof *PcieLaneRates) return "";
    return std::to_string(unsigned(lanes) * PcieLaneRates[generation]);
}
