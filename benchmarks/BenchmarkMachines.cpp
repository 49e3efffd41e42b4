#include "BenchmarkMachines.h"

#include <vector>

#include "platform/sim/PageBuilders.h"

namespace benchmachine {

namespace {

const char* const AhciController = "PCI\\VEN_8086&DEV_A282&SUBSYS_86941043&REV_00\\3&11583659&0&B8";

// Attributes whose raw values differ per drive, so that no two drives repeat each other's page.
std::vector<sim::Attribute> Attributes(unsigned n) {
    return {{1, 0x000F, 100, 100, n, 6},       {5, 0x0033, 100, 100, 0, 36},  {9, 0x0032, 90, 90, 9000 + n, 0},
            {12, 0x0032, 100, 100, 120 + n, 20}, {194, 0x0022, 35, 45, 35, 0}, {197, 0x0012, 100, 100, 0, 0}};
}

}  // namespace

sim::Drive AtaDrive(unsigned n, const std::string& serial) {
    sim::IdentifyPage id;
    id.Word(0, 0x0040).Serial(serial).Firmware("CC45").Model("WDC WD10EZEX-08WN4A0");
    id.Word(53, 0x0007).Sectors28(0x0FFFFFFF).Word(75, 31).Word(76, 0x010E).Word(77, 0x0006);
    id.Word(80, 0x01F0).Word(82, 0x746B).Word(83, 0x7C01).Word(84, 0x4000).Word(85, 0x7469).Word(86, 0x3C01);
    id.Word(87, 0x4000).Word(88, 0x407F).Sectors48(1953525168).Word(217, 7200);
    sim::Drive d;
    d.Identify = id.Bytes();
    d.SmartData = sim::SmartValuePage(Attributes(n));
    d.SmartThresholds = sim::SmartThresholdPage(Attributes(n));
    d.Logs[0x01] = std::vector<uint8_t>(512, 0);
    d.Logs[0x30] = sim::IdentifyDataLog(0, 0);
    return d;
}

sim::Drive SataDrive(unsigned n) {
    const std::string serial = "WD-SATA" + std::to_string(n);
    sim::Drive d = AtaDrive(n, serial);
    d.DevicePath = "\\\\?\\scsi#disk&ven_wdc&prod_" + serial + "#4&1&0&000000" + DiskClass;
    d.Parent = AhciController;
    d.Methods = {AccessMethod::ATA, AccessMethod::OLD, AccessMethod::SAT};
    return d;
}

}  // namespace benchmachine
