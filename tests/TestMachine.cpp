#include "TestMachine.h"

#include <cctype>
#include <fstream>
#include <sstream>

#include "platform/Storage.h"
#include "platform/sim/SimWorld.h"
#include "ui/CpuIcon.h"
#include "ui/ProcessState.h"

namespace testmachine {

sim::IdentifyPage SataIdentify(const std::string& serial) {
    sim::IdentifyPage id;
    id.Word(0, 0x0040).Serial(serial).Firmware("CC45").Model("TESTDISK 1000");
    id.Word(53, 0x0007).Sectors28(0x0FFFFFFF).Word(75, 31).Word(76, 0x010E).Word(77, 0x0006);
    id.Word(80, 0x01F0).Word(82, 0x746B).Word(83, 0x7C01).Word(84, 0x4000).Word(85, 0x7469).Word(86, 0x3C01);
    id.Word(87, 0x4000).Word(88, 0x407F).Sectors48(1953525168).Word(217, 7200);
    return id;
}

std::vector<sim::Attribute> SomeAttributes(unsigned seed) {
    return {{1, 0x000F, 100, 100, seed, 6},   {5, 0x0033, 100, 100, 0, 36},   {9, 0x0032, 90, 90, 9000 + seed, 0},
            {12, 0x0032, 100, 100, 120, 20}, {194, 0x0022, 35, 45, 35, 0}, {197, 0x0012, 100, 100, 0, 0}};
}

sim::Drive SataDrive(const std::string& serial, unsigned seed, std::vector<AccessMethod> methods) {
    sim::Drive d;
    d.DevicePath = DiskPath(serial.empty() ? "noserial" + std::to_string(seed) : serial + std::to_string(seed));
    d.Parent = "PCI\\VEN_8086&DEV_A282&SUBSYS_86941043&REV_00\\3&11583659&0&B8";
    d.Identify = SataIdentify(serial).Bytes();
    d.SmartData = sim::SmartValuePage(SomeAttributes(seed));
    d.SmartThresholds = sim::SmartThresholdPage(SomeAttributes(seed));
    d.Logs[0x30] = sim::IdentifyDataLog(0, 0);
    d.Logs[0x80] = std::vector<uint8_t>(512, 0);
    d.Methods = std::move(methods);
    return d;
}

sim::Drive TunableDrive(const std::string& serial, uint8_t aamLevel, uint8_t apmLevel, bool apm, unsigned seed) {
    sim::IdentifyPage id = SataIdentify(serial);
    id.SetBits(83, apm ? 0x0208 : 0x0200);
    id.Word(86, static_cast<uint16_t>((id.Get(86) & ~0x0208) | (aamLevel ? 0x0200 : 0) | (apmLevel ? 0x0008 : 0)));
    id.Word(94, static_cast<uint16_t>(0x8000 | aamLevel)).Word(91, apmLevel);
    sim::Drive d = SataDrive(serial, seed);
    d.Identify = id.Bytes();
    return d;
}

std::string DiskPath(const std::string& name) {
    return "\\\\?\\scsi#disk&ven_test&prod_" + name + "#4&1&0&000000#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
}

DriveRecord OpenRecord(size_t index, bool isUSB, bool isNVMe) {
    DriveRecord r;
    r.DevicePath = sim::Current().Drives.at(index).DevicePath;
    r.Handle = platform::CreateFile(r.DevicePath);
    r.IsUSB = isUSB;
    r.IsNVMe = isNVMe;
    return r;
}

std::string FixturesRoot() { return std::string(KORVANTE_SOURCE_DIR) + "/../shared/fixtures"; }

std::string ReadFixtureFile(const std::string& relative) {
    std::ifstream in(FixturesRoot() + "/" + relative, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Trimmed(const std::string& text) {
    size_t b = 0, e = text.size();
    while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
    return text.substr(b, e - b);
}

}  // namespace testmachine

void MachineTest::SetUp() {
    sim::ResetWorld();
    ResetProcessState();
    sim::SetLocalTime(15, 4, 5);
}

// The world's reset comes first: it answers the open boxes and waits for every worker, which may still
// use the process state. The processor-load sampler is a worker that ends only when it is stopped, so
// it is stopped before.
void MachineTest::TearDown() {
    StopCpuIcon();
    sim::ResetWorld();
    ResetProcessState();
}

sim::Machine& MachineTest::Install(sim::Machine m) {
    sim::Install(std::move(m));
    return sim::Current();
}

size_t MachineTest::InstallRealDrives() {
    const std::string description = std::string(KORVANTE_SOURCE_DIR) + "/tests/fixtures/real-drives.machine";
    sim::Machine machine;
    std::string error;
    if (!sim::LoadMachineFile(description, machine, error)) {
        if (testmachine::ReadFixtureFile("real-drives/README.md").empty())
            [&] { GTEST_SKIP() << "../shared/fixtures/real-drives is not here: " << error; }();
        else
            ADD_FAILURE() << error;
        return 0;
    }
    const size_t described = machine.Drives.size();
    Install(std::move(machine));
    return described;
}
