// A published block replayed as a machine: the report the headless runner rebuilds from the block
// must be the report of the machine that sent it, line for line (the original report is the oracle);
// a file that is no block is refused with a reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "TestMachine.h"
#include "app/ProgramLife.h"
#include "app/Replay.h"
#include "monitor/DriveState.h"
#include "net/Publish.h"
#include "platform/FileVersion.h"
#include "platform/sim/SimSystem.h"
#include "platform/sim/SimWorld.h"
#include "system/OSInfo.h"
#include "system/RegUtils.h"
#include "ui/Report.h"

namespace {

const char* const MeasurementNames[] = {"AverageAccessTime", "AverageAccessTimeFrac", "AverageReadSpeed",
                                        "BufferingReadSpeed", "MaxReadSpeed", "StabilityReadSpeed", "MinReadSpeed"};

std::string TempPath(const std::string& name) { return ::testing::TempDir() + "korvante-replay-" + name; }

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

void WritePage(const std::string& path, const std::vector<uint8_t>& page) {
    WriteFile(path, std::string(page.begin(), page.end()));
}

// A description file of two drives of its own: the built-in machine's NVMe and USB disks' pages, the
// NVMe disk behind another controller on a narrower link with its write cache and power-state
// transitions off, the USB disk behind a bulk-only bridge, and disk numbers that are not their order.
std::string NvmeAndUsbDescription() {
    const std::string folder = TempPath("machine/");
    mkdir(folder.c_str(), 0700);
    const sim::Machine builtIn = sim::DefaultMachine();
    const sim::Drive& nvme = builtIn.Drives[4];
    const sim::Drive& usb = builtIn.Drives[5];
    WritePage(folder + "nvme-id.bin", nvme.NvmeIdentifyController);
    WritePage(folder + "nvme-ns.bin", nvme.NvmeNamespaces.at(1));
    WritePage(folder + "nvme-health.bin", nvme.NvmeLogs.at(0x02));
    WritePage(folder + "usb-id.bin", usb.Identify);
    WritePage(folder + "usb-smart.bin", usb.SmartData);
    WritePage(folder + "usb-thresholds.bin", usb.SmartThresholds);
    WriteFile(folder + "machine.txt", R"([drive]
path = \\?\scsi#disk&ven_nvme&prod_file#1
parent = PCI\VEN_144D&DEV_A80A&SUBSYS_A801144D&REV_00\4&5&0&0010
methods = NVMe
device-number = 3
trim = disabled
nvme-identify = nvme-id.bin
nvme-namespace.1 = nvme-ns.bin
nvme-health-log = nvme-health.bin
nvme-feature.06 = 0
nvme-feature.0C = 0
[drive]
path = \\?\scsi#disk&ven_wd&prod_file#2
parent = USB\VID_1058&PID_2620\575836314133
methods = SAT
device-number = 7
identify = usb-id.bin
smart-data = usb-smart.bin
smart-thresholds = usb-thresholds.bin
[device]
instance-id = PCI\VEN_144D&DEV_A80A&SUBSYS_A801144D&REV_00\4&5&0&0010
enumerator = PCI
driver-desc = NVMe riser controller
hardware-ids = PCI\VEN_144D&DEV_A80A&SUBSYS_A801144D&REV_00
link = 4 4 3 2
[device]
instance-id = USB\VID_1058&PID_2620\575836314133
parent = PCI\VEN_1B21&DEV_2142\4&6&0&00E0
enumerator = USB
matching-id = USB\Class_08&SubClass_06&Prot_50
[device]
instance-id = PCI\VEN_1B21&DEV_2142\4&6&0&00E0
enumerator = PCI
driver-desc = ASMedia USB 3.1 eXtensible Host Controller
hardware-ids = PCI\VEN_1B21&DEV_2142
[volume]
letter = M
extent = 7 1048576 1000000000
[volume]
letter = K
extent = 3 1048576 1000000000
)");
    return folder + "machine.txt";
}

std::string Fixture(const char* name) { return std::string(KORVANTE_SOURCE_DIR) + "/tests/fixtures/" + name; }

// The machine of a description (the built-in one for none); false when an optional one, whose pages
// lie in ../shared, cannot be had.
bool CaseMachine(const std::string& description, bool optional, sim::Machine& machine) {
    std::string error;
    if (description.empty()) machine = sim::DefaultMachine();
    else if (!sim::LoadMachineFile(description, machine, error) && optional) return false;
    EXPECT_EQ(error, "");
    return error.empty();
}

// Measurements, a calibrated power-on timer, a highest temperature above what its pages say and a
// monitoring date of its own for every drive of the started program, which is then restarted so that
// it takes them in as stored state.
void StoreStateAndRestart() {
    for (unsigned i = 0; i < DriveCount(); ++i) {
        DriveRecord& d = DriveForCommands(i);
        for (unsigned k = 0; k < 7; ++k) SetRegistryDword(d.RegKey, MeasurementNames[k], 20 * (i + 1) + 3 * k);
        SetRegistryDword(d.RegKey, "PowerOnTimerPeriod_v3", i + 2);
        SetRegistryDword(d.RegKey, "TopTemperature", 60 + i);
        SetRegistryDate(d.RegKey, "StartMonitoringDate", {2021, 3, 0, static_cast<uint16_t>(i + 1), 10, 0, 0, 0});
    }
    KillResidentProgram();
    StartResidentProgram();
}

std::string ExpertReport() { return ReportPlainText(BuildReportDocument(ReportDepth::Expert)); }

// After the report, as publishing sends it: the block of the program's header and its drives.
std::string PublishedBlock() {
    std::vector<DriveRecord> drives;
    for (unsigned i = 0; i < DriveCount(); ++i) drives.push_back(SnapshotDrive(i));
    std::vector<const DriveRecord*> pointers;
    for (const DriveRecord& d : drives) pointers.push_back(&d);
    return BuildPublishBlock(CurrentPublishHeader(), pointers);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

void ExpectSameLines(const std::string& original, const std::string& replayed) {
    const std::vector<std::string> a = Lines(original), b = Lines(replayed);
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) EXPECT_EQ(a[i], b[i]) << "line " << i + 1;
    EXPECT_EQ(a.size(), b.size()) << "line counts";
}

// Runs the headless runner; its exit code into `exitCode` (-1 when it did not exit by itself).
std::string Headless(const std::string& arguments, int& exitCode) {
    const std::string command = std::string(KORVANTE_BUILD_DIR) + "/src/korvante-headless " + arguments;
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[4096];
    for (size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = pipe ? pclose(pipe) : -1;
    exitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

class ReplayTest : public MachineTest {};

TEST_F(ReplayTest, AReplayedBlockGivesTheSameExpertReportAsTheOriginal) {
    const struct {
        std::string Description;
        bool Optional;
    } cases[] = {{"", false},  // the built-in machine
                 {NvmeAndUsbDescription(), false},
                 {Fixture("nvme-synthetic.machine"), false},  // host memory buffer, thermal management
                 {Fixture("real-drives.machine"), true},
                 {Fixture("real-nvme.machine"), true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Description);
        sim::ResetWorld();
        sim::Machine machine;
        if (!CaseMachine(c.Description, c.Optional, machine)) continue;
        sim::Install(std::move(machine));
        // A system and a version of the sender's own, which the replaying world does not have.
        sim::SetOsVersion({6, 1, 7601, platform::VER_PLATFORM_WIN32_NT, "Service Pack 1"});
        sim::SetFileVersion(platform::GetModuleFileName(), {0x00020003, 0x00040005});
        InitOSInfo();
        StartResidentProgram();
        ASSERT_GT(DriveCount(), 0u);
        StoreStateAndRestart();
        const std::string original = ExpertReport();
        const std::string block = PublishedBlock();
        KillResidentProgram();

        const std::string file = TempPath("block.bin");
        WriteFile(file, block);
        int exitCode = 0;
        const std::string printed = Headless("--expert --replay=" + file + " 2>/dev/null", exitCode);
        EXPECT_EQ(exitCode, 0);
        ExpectSameLines(original, printed);
    }
}

TEST(ReplayVersionTest, OnlyFourDottedNumbersUpTo65535AreAProgramVersion) {
    platform::FixedFileVersion v{};
    ASSERT_TRUE(ParseProgramVersion("65535.0.12.7", v));
    EXPECT_EQ(v.FileVersionMS, 0xFFFF0000u);
    EXPECT_EQ(v.FileVersionLS, 0x000C0007u);
    for (const char* text : {"1.2.3", "1.2.3.4.5", "1.2.3.4.", "1.2..4", "1.2.3.65536", "1.-2.3.4", "", "0.1.0.0 "})
        EXPECT_FALSE(ParseProgramVersion(text, v)) << text;
}

TEST_F(ReplayTest, TheHeadlessRunnerRefusesABlockFileThatIsNoBlock) {
    Install(sim::DefaultMachine());
    StartResidentProgram();
    const std::string block = PublishedBlock();
    PublishHeader header;
    header.ProgramVersion = "1.0.0.0";
    KillResidentProgram();
    const struct {
        const char* Name;
        std::string Bytes;
        const char* Says;
    } cases[] = {
        {"empty", "", "not a published data block"},
        {"cut-short", block.substr(0, block.size() - 100), "not a published data block"},
        {"trailing-bytes", block + "x", "not a published data block"},
        {"no-drive", BuildPublishBlock(header, {}), "carries no drive"},
        {"text", "[drive]\nidentify = id.bin\n", "not a published data block"},
    };
    for (const auto& c : cases) {
        const std::string file = TempPath(c.Name);
        WriteFile(file, c.Bytes);
        int exitCode = 0;
        const std::string said = Headless("--expert --replay=" + file + " 2>&1", exitCode);
        EXPECT_EQ(exitCode, 1) << c.Name << ": " << said;
        EXPECT_EQ(said.rfind("korvante-headless: " + file + ": ", 0), 0u) << c.Name << ": " << said;
        EXPECT_NE(said.find(c.Says), std::string::npos) << c.Name << ": " << said;
    }
    int exitCode = 0;
    const std::string said = Headless("--replay=" + TempPath("absent") + " 2>&1", exitCode);
    EXPECT_EQ(exitCode, 1);
    EXPECT_NE(said.find("cannot read"), std::string::npos) << said;
}

}  // namespace
