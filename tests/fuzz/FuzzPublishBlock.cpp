// Arbitrary bytes as an uploaded data block. The decoder must refuse or accept without reading
// outside the input; what it accepts must build back into a block that decodes to the same block again.
// With KORVANTE_FUZZ_SEEDS set to a folder, the target writes there the blocks the program builds for
// the built-in machine (all its drives, and each drive alone), and with KORVANTE_FUZZ_DICTIONARY set
// to a file, the drive group's tags as a dictionary; then it exits.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "device/DriveFields.h"
#include "device/DriveTableFill.h"
#include "discovery/Scan.h"
#include "net/PublishBlock.h"
#include "platform/sim/SimMachine.h"

namespace {

std::vector<const DriveRecord*> Pointers(const std::vector<DriveRecord>& drives) {
    std::vector<const DriveRecord*> pointers;
    for (const DriveRecord& d : drives) pointers.push_back(&d);
    return pointers;
}

void WriteSeeds(const std::string& folder) {
    sim::Install(sim::DefaultMachine());
    ScanDrives();
    const PublishHeader header{"2.0.0.7711", "Windows 10 Pro (build 19045), 64-bit", "Log", {2026, 12, 4, 10, 9, 30, 0, 0}};
    std::vector<const DriveRecord*> all;
    for (unsigned i = 0; i < DriveCount(); ++i) {
        all.push_back(&DriveForCommands(i));
        std::ofstream(folder + "/seed-drive-" + std::to_string(i), std::ios::binary) << BuildPublishBlock(header, {all.back()});
    }
    std::ofstream(folder + "/seed-machine", std::ios::binary) << BuildPublishBlock(header, all);
}

// Each tag as its two bytes, little-endian.
void WriteDictionary(const std::string& path) {
    std::ofstream out(path);
    for (const DriveField& f : DriveFields)
        for (const uint16_t tag : {f.Tag, f.WholeTag}) {
            if (tag == 0) continue;
            char entry[48];
            std::snprintf(entry, sizeof entry, "tag_%u=\"\\x%02X\\x%02X\"\n", tag, tag & 0xFF, tag >> 8);
            out << entry;
        }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* folder = std::getenv("KORVANTE_FUZZ_SEEDS");
    const char* dictionary = std::getenv("KORVANTE_FUZZ_DICTIONARY");
    if (folder) WriteSeeds(folder);
    if (dictionary) WriteDictionary(dictionary);
    if (folder || dictionary) std::exit(0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string block(reinterpret_cast<const char*>(data), size);
    PublishHeader header;
    std::vector<DriveRecord> drives;
    std::string why;
    if (!DecodePublishBlock(block, header, drives, why)) {
        if (why.empty()) std::abort();
        return 0;
    }
    const std::string rebuilt = BuildPublishBlock(header, Pointers(drives));
    PublishHeader header2;
    std::vector<DriveRecord> drives2;
    if (!DecodePublishBlock(rebuilt, header2, drives2, why)) std::abort();
    if (BuildPublishBlock(header2, Pointers(drives2)) != rebuilt) std::abort();
    return 0;
}
