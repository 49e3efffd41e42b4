// Arbitrary bytes as every page a drive of the built-in machine delivers while it is identified,
// through the dispatcher as the scan reaches it (a target per drive kind, chosen when the target is
// built):
// - ATA: IDENTIFY DEVICE, the SCT status and temperature history table, the log directory and the
//   IDENTIFY DEVICE data log;
// - NVMe: Identify Controller and Namespace, the feature data, the health log and the self-test log.
// The first input byte picks the drive; then each page the drive delivers, in order, is replaced by
// the next bytes of the input, as many as the page holds, until the input runs out.
// With KORVANTE_FUZZ_SEEDS set to a folder, the target writes there one seed per drive (the pages the
// drive delivers unchanged) and exits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "device/DriveRecord.h"
#include "device/TIOCTL.h"
#include "discovery/AtaIdentify.h"
#include "discovery/NvmeIdentify.h"
#include "platform/Storage.h"
#include "platform/sim/SimMachine.h"
#include "smart/Condition.h"
#include "smart/NvmeHealth.h"
#include "smart/SmartData.h"

namespace {

#if defined(FUZZ_NVME_LOGS)
constexpr bool FuzzNvme = true;
#else
constexpr bool FuzzNvme = false;
#endif

const sim::Machine& Prototype() {
    static const sim::Machine machine = sim::DefaultMachine();
    return machine;
}

// The drives of the built-in machine this target takes.
std::vector<size_t> Candidates() {
    std::vector<size_t> drives;
    for (size_t i = 0; i < Prototype().Drives.size(); ++i)
        if (Prototype().Drives[i].NvmeIdentifyController.empty() != FuzzNvme) drives.push_back(i);
    return drives;
}

DriveRecord OpenDrive(size_t index) {
    const sim::Drive& drive = Prototype().Drives[index];
    DriveRecord d;
    d.DevicePath = drive.DevicePath;
    d.Handle = platform::CreateFile(d.DevicePath);
    d.IsNVMe = FuzzNvme;
    d.IsUSB = drive.Parent.compare(0, 4, "USB\\") == 0;
    return d;
}

AtaTaskFile IdentifyTaskFile() {
    AtaTaskFile tf;
    tf.Command = ATA_IDENTIFY_DEVICE;
    tf.SectorCount = 1;
    return tf;
}

// What identification reads of the drive, in the scan's order.
void Identify(DriveRecord& d) {
    if (FuzzNvme) {
        if (!ExecuteCommand(d, IdentifyTaskFile(), d.NVMeIdentifyController, sizeof d.NVMeIdentifyController)) return;
        InterpretNVMeIdentify(d, "PCI\\VEN_144D&DEV_A808&SUBSYS_A801144D&REV_00\\4&1");
        if (!ExecuteCommand(d, SmartTaskFile(SMART_READ_DATA, 1), d.SmartData, sizeof d.SmartData)) return;
        ExtractSmartValues(d);
        EvaluateCondition(d);
        NvmeSelfTestLog log;
        ReadNvmeSelfTestLog(d, log);
        return;
    }
    if (!ExecuteCommand(d, IdentifyTaskFile(), d.IdentifyData, sizeof d.IdentifyData) || !InterpretAtaIdentify(d))
        return;
    if (d.SCT_Support) {
        TakeSctTopTemperature(d);
        if (d.SCT_DataTablesSupport) ReadSctTemperatureLimits(d);
    }
    SctReading sct{};
    if (TakesSctTemperature(d)) ReadSctTemperature(d, sct);
    ExtractSmartValues(d, sct);
    ReadIdentifyDataLog(d);
}

void RunOn(size_t index) {
    sim::Machine alone;  // the drive by itself: nothing else to copy for each input
    alone.Drives = {Prototype().Drives[index]};
    sim::Install(std::move(alone));
    DriveRecord d = OpenDrive(index);
    Identify(d);
    platform::CloseHandle(d.Handle);
}

// The seeds: each drive's pages as it delivers them, behind the byte that picks it.
void WriteSeeds(const std::string& folder) {
    const std::vector<size_t> drives = Candidates();
    for (size_t pick = 0; pick < drives.size(); ++pick) {
        std::string pages(1, static_cast<char>(pick));
        sim::SetPageHook([&pages](uint8_t* page, uint32_t bytes) { pages.append(reinterpret_cast<char*>(page), bytes); });
        RunOn(drives[pick]);
        sim::SetPageHook(nullptr);
        std::ofstream(folder + "/seed-drive-" + std::to_string(drives[pick]), std::ios::binary) << pages;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* folder = std::getenv("KORVANTE_FUZZ_SEEDS")) {
        WriteSeeds(folder);
        std::exit(0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<size_t> drives = Candidates();
    if (size == 0) return 0;
    size_t at = 1;
    sim::SetPageHook([&](uint8_t* page, uint32_t bytes) {
        const size_t taken = std::min<size_t>(bytes, size - at);
        std::memcpy(page, data + at, taken);
        at += taken;
    });
    RunOn(drives[data[0] % drives.size()]);
    sim::SetPageHook(nullptr);
    return 0;
}
