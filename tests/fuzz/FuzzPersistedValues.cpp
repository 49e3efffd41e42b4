// Arbitrary registry values as start-up reads them from each drive's key of the built-in machine:
// its monitoring date, highest temperature, alert flags, read-speed results and stored tuning. (The
// settings key's values go through the same typed readers.) The input is a list of values, each a
// byte picking the drive and the value's row, a byte for its registry type, a length byte and that
// many bytes of data; then every drive's state is taken in and its stored tuning applied. Whatever a
// value holds, nothing may crash or read outside its data.
// With KORVANTE_FUZZ_SEEDS set to a folder, the target writes there the seed of the values as the
// program itself stores them, and exits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "device/DriveTableFill.h"
#include "discovery/Scan.h"
#include "drivetools/Tuning.h"
#include "monitor/DriveState.h"
#include "platform/Registry.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimRegistry.h"
#include "system/Settings.h"
#include "ui/ProcessState.h"

namespace {

// The drives as the scan found them, before any of their keys was read.
std::vector<DriveRecord> Scanned;

// Value `pick` of the input: a drive and a row of its key.
DriveRecord& DriveOf(std::vector<DriveRecord>& drives, uint8_t pick) { return drives[pick / DriveKeyValueCount % drives.size()]; }
const PersistedValue& ValueOf(uint8_t pick) { return DriveKeyTable[pick % DriveKeyValueCount].Value; }

void TakeInStoredState() {
    for (DriveRecord d : Scanned) {
        LoadDriveState(d);
        ApplyStoredTuning(d);
        platform::RegCloseKey(d.RegKey);
    }
}

// What the program stores for each value, as the seed: the registry's record of its own writes
// after a value of each row's type was stored through the program's functions.
void WriteSeed(const std::string& folder) {
    std::string seed;
    for (size_t drive = 0; drive < Scanned.size(); ++drive) {
        DriveRecord d = Scanned[drive];
        OpenDriveKey(d);
        for (size_t row = 0; row < DriveKeyValueCount; ++row) {
            const PersistedValue& value = DriveKeyTable[row].Value;
            sim::ClearRegistryWrites();
            if (value.Type == ValueType::Dword) StoreDword(d.RegKey, value, 1);
            if (value.Type == ValueType::Text) StoreText(d.RegKey, value, "2.0.0.7711");
            if (value.Type == ValueType::Date) StoreDate(d.RegKey, value, {2026, 12, 6, 5, 11, 14, 30, 0});
            for (const sim::RegistryWrite& write : sim::RegistryWrites()) {
                seed += static_cast<char>(drive * DriveKeyValueCount + row);
                seed += static_cast<char>(write.Type);
                seed += static_cast<char>(write.Data.size());
                seed.append(write.Data.begin(), write.Data.end());
            }
        }
        platform::RegCloseKey(d.RegKey);
    }
    std::ofstream(folder + "/seed-stored", std::ios::binary) << seed;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ResetProcessState();
    sim::Install(sim::DefaultMachine());
    ScanDrives();
    for (unsigned i = 0; i < DriveCount(); ++i) Scanned.push_back(DriveForCommands(i));
    if (const char* folder = std::getenv("KORVANTE_FUZZ_SEEDS")) {
        sim::ResetRegistry();
        OpenSettingsKey();
        WriteSeed(folder);
        std::exit(0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sim::ResetRegistry();
    OpenSettingsKey();
    std::vector<DriveRecord> keys = Scanned;
    for (DriveRecord& d : keys) OpenDriveKey(d);
    for (size_t at = 0; at + 3 <= size;) {
        const size_t length = std::min<size_t>(data[at + 2], size - at - 3);
        platform::RegSetValueEx(DriveOf(keys, data[at]).RegKey, ValueOf(data[at]).Name, data[at + 1],
                                std::vector<uint8_t>(data + at + 3, data + at + 3 + length));
        at += 3 + length;
    }
    for (DriveRecord& d : keys) platform::RegCloseKey(d.RegKey);
    TakeInStoredState();
    return 0;
}
