// The whole scan of a simulated machine with 32 drives: SATA disks on an AHCI controller, NVMe SSDs
// and disks behind USB bridges reached through SAT. The time per drive is the "per_drive" counter;
// "commands_per_drive" counts the commands that reached the drives in one scan (the sim's counters).
#include <benchmark/benchmark.h>

#include <string>

#include "BenchmarkMachines.h"
#include "device/DriveRecord.h"
#include "discovery/Scan.h"
#include "platform/sim/PageBuilders.h"
#include "platform/sim/SimMachine.h"
#include "ui/ProcessState.h"

namespace {

using benchmachine::AtaDrive;
using benchmachine::DiskClass;
using benchmachine::SataDrive;

constexpr unsigned DriveCount = 32;
const char* const NvmeController = "PCI\\VEN_144D&DEV_A808&SUBSYS_A801144D&REV_00\\4&1d8b6e1a&0&0008";

sim::Drive UsbDrive(unsigned n) {
    const std::string serial = "WD-USB" + std::to_string(n);
    sim::Drive d = AtaDrive(n, serial);
    d.DevicePath = "\\\\?\\usbstor#disk&ven_wd&prod_" + serial + "#5&2&0&0" + DiskClass;
    d.Parent = "USB\\VID_152D&PID_0578\\" + serial;
    d.Methods = {AccessMethod::SAT};
    return d;
}

sim::Drive NvmeDrive(unsigned n) {
    sim::NvmeController c;
    c.vendorId = c.subsystemVendorId = 0x144D;
    c.serial = "S4EWNX0R" + std::to_string(n);
    c.model = "Samsung SSD 970 EVO Plus 1TB";
    c.firmware = "2B2QEXM7";
    c.version = 0x00010300;
    c.apsta = 1;
    c.warningKelvin = c.criticalKelvin = 358;
    c.optionalNvmCommands = 0x005F;
    c.volatileWriteCache = 1;
    c.powerStates = 4;
    c.maxPowerCentiwatts = 754;
    sim::NvmeHealth h;
    h.temperatureKelvin = 311;
    h.powerOnHours = 2000 + n;
    h.powerCycles = 500 + n;
    sim::Drive d;
    d.DevicePath = "\\\\?\\scsi#disk&ven_nvme&prod_samsung_ssd_970#5&3&0&00000" + std::to_string(n) + DiskClass;
    d.Parent = NvmeController;
    d.NvmeIdentifyController = sim::NvmeIdentifyControllerPage(c);
    d.NvmeNamespaces[1] = sim::NvmeIdentifyNamespacePage(1953525168, {9}, 0);
    d.NvmeLogs[NvmeHealthLogPage] = sim::NvmeHealthLogPage(h);
    d.NvmeLogs[NvmeSelfTestLogPage] = std::vector<uint8_t>(564, 0);
    d.NvmeFeatures = {{0x01, 3}, {0x02, 0}, {0x06, 1}, {0x08, 0}, {0x09, 0}, {0x0B, 0x11F}, {0x0C, 1}};
    d.Methods = {AccessMethod::NVMe};
    return d;
}

sim::Machine MixedMachine() {
    sim::Machine m;
    for (unsigned n = 0; n < DriveCount; ++n) {
        m.Drives.push_back(n % 3 == 0 ? SataDrive(n) : n % 3 == 1 ? NvmeDrive(n) : UsbDrive(n));
        m.Drives.back().DeviceNumber = static_cast<int>(n);
    }
    return m;
}

void BM_ScanMixedMachine(benchmark::State& state) {
    const sim::Machine machine = MixedMachine();
    unsigned commands = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ResetProcessState();
        sim::Install(machine);
        state.ResumeTiming();
        ScanDrives();
    }
    if (::DriveCount() != DriveCount) {
        state.SkipWithError(("the scan kept " + std::to_string(::DriveCount()) + " drives, not 32").c_str());
        return;
    }
    for (const sim::Drive& d : sim::Current().Drives) commands += d.RequestCount();
    ResetProcessState();
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * DriveCount));
    state.counters["per_drive"] =
        benchmark::Counter(DriveCount, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["commands_per_drive"] = static_cast<double>(commands) / DriveCount;
}
BENCHMARK(BM_ScanMixedMachine)->Unit(benchmark::kMicrosecond);

}  // namespace
