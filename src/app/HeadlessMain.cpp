// The headless run: scans a simulated machine (a description file, or the built-in one) and prints
// every kept drive's record and diagnostic log, then the global log.
#include <cstring>
#include <iostream>

#include "app/AttributeDump.h"
#include "app/HealthDump.h"
#include "app/RecordDump.h"
#include "discovery/Scan.h"
#include "device/TIOCTL.h"
#include "platform/sim/SimMachine.h"
#include "device/DiagnosticLog.h"

namespace {

int Usage() {
    std::cerr << "usage: korvante-headless [MACHINE-DESCRIPTION]\n"
                 "Scans the simulated machine the description file defines (the built-in machine without one)\n"
                 "and prints every drive record, its diagnostic log and the global log.\n";
    return 2;
}

void PrintLog(const std::string& title, const std::string& log) {
    std::cout << "--- " << title << " ---\n" << log << (log.empty() ? "" : "\n") << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 || (argc == 2 && (!std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--help")))) return Usage();
    sim::Machine machine;
    if (argc == 2) {
        std::string error;
        if (!sim::LoadMachineFile(argv[1], machine, error)) {
            std::cerr << "korvante-headless: " << error << "\n";
            return 1;
        }
    } else {
        machine = sim::DefaultMachine();
    }
    sim::Install(std::move(machine));

    ScanDrives();
    std::cout << "Drives kept: " << unsigned(DriveTable.Count) << "\n\n";
    for (unsigned i = 0; i < DriveTable.Count; ++i) {
        const DriveRecord& d = *DriveTable.Drives[i];
        std::cout << "=== Drive " << i << " ===\n";
        DumpDriveRecord(std::cout, d);
        std::cout << "\n";
        if (!d.IsNVMe) {
            std::cout << "--- Attributes of drive " << i << " ---\n";
            DumpAttributes(std::cout, d);
            std::cout << "\n";
        }
        std::cout << "--- Health of drive " << i << " ---\n";
        DumpHealth(std::cout, d);
        std::cout << "\n";
        PrintLog("Log of drive " + std::to_string(i), DriveLogText(d));
    }
    PrintLog("Global log", GlobalLogText());
    return 0;
}
