// The headless run on a simulated machine (a description file, or the built-in one). Without options
// the resident program starts and prints the report of its drives as plain text (--expert: the expert
// report; --publish: the text publishing sends). --fields scans and prints every kept drive's record
// and diagnostic log, then the global log. With --cycles N the resident program lives N minutes on
// the virtual clock: each monitoring cycle's commands per drive, every message box, registry write and
// shell request, and at the end each drive's diagnostic log. --replay=BLOCKFILE in place of the
// description runs on the machine a published data block describes, so that the report a user
// published is rebuilt from what they sent.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <vector>

#include "app/AttributeDump.h"
#include "app/HealthDump.h"
#include "app/LifeAudit.h"
#include "app/RecordDump.h"
#include "app/Replay.h"
#include "discovery/Scan.h"
#include "device/TIOCTL.h"
#include "platform/sim/SimMachine.h"
#include "device/DiagnosticLog.h"
#include "app/ProgramLife.h"
#include "monitor/Monitor.h"
#include "platform/FileVersion.h"
#include "platform/Time.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimShell.h"
#include "platform/sim/SimSystem.h"
#include "platform/sim/SimUserInterface.h"
#include "system/OSInfo.h"
#include "ui/Report.h"

namespace {

int Usage() {
    std::cerr << "usage: korvante-headless [--expert | --publish | --fields | --cycles N]\n"
                 "                         [MACHINE-DESCRIPTION | --replay=BLOCKFILE]\n"
                 "Starts the program on the simulated machine the description file defines (the built-in\n"
                 "machine without one) and prints the report of its drives as plain text: the normal report,\n"
                 "with --expert the expert report, with --publish the text publishing sends. --fields prints\n"
                 "every drive record after the scan, its diagnostic log and the global log instead. With\n"
                 "--cycles, runs the resident program for N minutes of virtual time and prints what it did each\n"
                 "minute (the built-in machine then has eight hours of events scripted on its timeline).\n"
                 "--replay runs on the machine a published data block (as the server stored it) describes:\n"
                 "its drives' pages, places, drive letters and stored measurements, its program version and\n"
                 "operating system.\n";
    return 2;
}

void PrintLog(const std::string& title, const std::string& log) {
    std::cout << "--- " << title << " ---\n" << log << (log.empty() ? "" : "\n") << "\n";
}

// What a drive of the machine has been asked so far.
struct DriveCounts {
    unsigned Queries = 0, Commands = 0, Reads = 0, Wakes = 0;
};

std::vector<DriveCounts> CountsNow() {
    std::vector<DriveCounts> counts;
    for (const sim::Drive& d : sim::Current().Drives)
        counts.push_back({d.Power.Queries, d.RequestCount(), d.Power.Reads, d.Power.Wakes});
    return counts;
}

std::string ClockText() {
    platform::SystemTime t{};
    platform::GetSystemTime(t);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", t.Year, t.Month, t.Day, t.Hour, t.Minute);
    return text;
}

std::string Printable(const std::string& text) {
    std::string out;
    for (const char c : text) out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    return out;
}

std::string ValueText(const sim::RegistryWrite& w) {
    if (w.Type == platform::REG_DWORD && w.Data.size() == 4)
        return std::to_string(w.Data[0] | w.Data[1] << 8 | w.Data[2] << 16 | uint32_t(w.Data[3]) << 24);
    if (w.Type == platform::REG_SZ) return "\"" + std::string(w.Data.begin(), w.Data.end()) + "\"";
    std::string hex;
    char byte[4];
    for (const uint8_t b : w.Data) {
        std::snprintf(byte, sizeof byte, "%02X", b);
        hex += byte;
    }
    return "binary " + hex;
}

bool NamesADrive(sim::SystemEventKind kind) {
    return kind == sim::SystemEventKind::RemoveDrive || kind == sim::SystemEventKind::StartSelfTest;
}

const char* SystemEventText(sim::SystemEventKind kind) {
    switch (kind) {
        case sim::SystemEventKind::Suspend: return "the machine suspends";
        case sim::SystemEventKind::Resume: return "the machine resumes";
        case sim::SystemEventKind::ResumeAutomatic: return "the machine wakes unattended";
        case sim::SystemEventKind::ExplorerRestart: return "Explorer restarts";
        case sim::SystemEventKind::ProgramExit: return "the program ends";
        case sim::SystemEventKind::ProgramStart: return "the program starts";
        case sim::SystemEventKind::RemoveDrive: return "the user removes drive";
        case sim::SystemEventKind::HoldBoxes: return "the user leaves every new box open";
        case sim::SystemEventKind::StartSelfTest: return "the user starts the self-test of drive";
    }
    return "";
}

// Prints what happened since the last call: the machine's events, the cycle's commands per drive
// (power queries, other commands, raw reads, wakes from standby), then boxes, registry writes and
// shell requests. A minute that asked the drives what the one before asked, and had nothing else
// happen, is left out.
class LifePrinter {
public:
    void Minute(unsigned minute) {
        std::ostringstream events;
        if (minute == 0) start_ = sim::UptimeMilliseconds();
        const uint64_t from = start_ + (minute - 1) * 60000ull, to = start_ + minute * 60000ull;
        for (const sim::SystemEvent& e : sim::Current().SystemEvents)
            if (uint64_t at = 0; minute > 0 && EventDueBetween(e, from, to, at))
                events << SystemEventText(e.Kind)
                       << (NamesADrive(e.Kind) ? " " + std::to_string(e.Drive) : "") << "\n";
        const std::string counts = CountsLine();
        NewEvents(events);
        if (minute == 0 || counts != lastCounts_ || !events.str().empty())
            std::cout << "minute " << minute << " (" << ClockText() << ") cycles " << CycleCounter << ":" << counts
                      << "\n"
                      << events.str();
        lastCounts_ = counts;
    }

private:
    std::string CountsLine() {
        const std::vector<DriveCounts> now = CountsNow();
        std::ostringstream line;
        for (size_t i = 0; i < now.size(); ++i) {
            const DriveCounts was = i < counts_.size() ? counts_[i] : DriveCounts{};
            line << "  d" << i << " " << now[i].Queries - was.Queries << "q " << now[i].Commands - was.Commands << "c";
            if (now[i].Reads != was.Reads) line << " " << now[i].Reads - was.Reads << "r";
            if (now[i].Wakes != was.Wakes) line << " woken";
        }
        counts_ = now;
        return line.str();
    }

    void NewEvents(std::ostream& out) {
        for (const sim::MessageBoxCall& b : sim::MessageBoxCalls(boxes_)) {
            ++boxes_;
            char flags[16];
            std::snprintf(flags, sizeof flags, "0x%X", b.Flags);
            out << "  box \"" << b.Caption << "\" " << flags << " answered " << b.Answer << ": " << Printable(b.Text)
                << "\n";
        }
        for (const sim::RegistryWrite& w : sim::RegistryWrites(writes_)) {
            ++writes_;
            out << "  registry " << w.Key << " : " << w.Name << " = " << ValueText(w) << "\n";
        }
        for (const sim::ShellRequest& r : sim::ShellRequests(shell_)) {
            ++shell_;
            out << "  shell " << r.Verb << " " << r.File << "\n";
        }
    }

    std::vector<DriveCounts> counts_;
    std::string lastCounts_;
    uint64_t start_ = 0;
    size_t boxes_ = 0, writes_ = 0, shell_ = 0;
};

// The whole program's life; the exit status says whether the audit found the watch sound.
int RunLife(unsigned minutes) {
    LifePrinter printer;
    LifeAudit audit;
    std::cout << "Start-up (" << ClockText() << ")\n";
    StartWholeProgram(sim::Current().DialogMinutes);
    std::cout << "Drives kept: " << DriveCount() << "\n";
    for (unsigned i = 0; i < DriveCount(); ++i)
        std::cout << "  drive " << i << ": " << DriveReader(i)->Model << " / " << DriveReader(i)->SerialNumber << "\n";
    printer.Minute(0);
    RunTimeline(minutes, [&](unsigned minute) {
        printer.Minute(minute);
        audit.AfterMinute(minute);
    });
    const bool sound = audit.Print(std::cout);
    for (unsigned i = 0; i < DriveCount(); ++i) PrintLog("Log of drive " + std::to_string(i), DriveLogText(*DriveReader(i)));
    PrintLog("Global log", GlobalLogText());
    KillResidentProgram();
    return sound ? 0 : 3;
}

// The report of the started program's drives, as the report box would give it back as plain text;
// a replayed block names the operating system its sender ran.
int PrintReport(ReportDepth depth, const std::string& reportedSystem) {
    InitOSInfo();
    if (!reportedSystem.empty()) OSName = reportedSystem;
    StartResidentProgram();
    std::cout << ReportPlainText(BuildReportDocument(depth)) << "\n";
    KillResidentProgram();
    return 0;
}

int PrintFields() {
    ScanDrives();
    std::cout << "Drives kept: " << DriveCount() << "\n\n";
    for (unsigned i = 0; i < DriveCount(); ++i) {
        const DriveReader reader(i);
        const DriveRecord& d = *reader;
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

enum class Output { Report, ExpertReport, PublishText, Fields, Life };

const char ReplayOption[] = "--replay=";

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// The machine of a description file or of a published block, or the built-in one; false after
// saying on the error stream why it cannot be had.
bool InstallMachine(const char* argument, bool day, std::string& reportedSystem) {
    sim::Machine machine;
    std::string error;
    if (argument && !std::strncmp(argument, ReplayOption, sizeof ReplayOption - 1)) {
        const std::string path = argument + sizeof ReplayOption - 1;
        std::string block;
        PublishHeader header;
        if (!ReadWholeFile(path, block)) error = path + ": cannot read";
        else if (!InstallReplayedBlock(block, header, error)) error = path + ": not a published data block: " + error;
        reportedSystem = header.OperatingSystem;
    } else if (argument) {
        if (sim::LoadMachineFile(argument, machine, error)) sim::Install(std::move(machine));
    } else {
        sim::Install(day ? sim::DefaultMachineDay() : sim::DefaultMachine());
    }
    if (!error.empty()) std::cerr << "korvante-headless: " << error << "\n";
    return error.empty();
}

}  // namespace

int main(int argc, char** argv) {
    int next = 1;
    long minutes = -1;
    Output output = Output::Report;
    const struct { const char* flag; Output output; } flags[] = {
        {"--expert", Output::ExpertReport}, {"--publish", Output::PublishText}, {"--fields", Output::Fields}};
    if (argc > 2 && !std::strcmp(argv[1], "--cycles")) {
        char* end = nullptr;
        minutes = std::strtol(argv[2], &end, 10);
        if (*end != 0 || minutes < 0 || minutes > 10000000) return Usage();
        output = Output::Life;
        next = 3;
    }
    for (const auto& f : flags)
        if (argc > 1 && !std::strcmp(argv[1], f.flag)) {
            output = f.output;
            next = 2;
        }
    const char* argument = argc == next + 1 ? argv[next] : nullptr;
    if (argc > next + 1 || (argument && argument[0] == '-' && std::strncmp(argument, ReplayOption, sizeof ReplayOption - 1)))
        return Usage();
    sim::SetFileVersion(platform::GetModuleFileName(), {KORVANTE_VERSION_MS, KORVANTE_VERSION_LS});
    std::string reportedSystem;
    if (!InstallMachine(argument, minutes >= 0, reportedSystem)) return 1;
    switch (output) {
        case Output::Life: return RunLife(static_cast<unsigned>(minutes));
        case Output::Fields: return PrintFields();
        case Output::ExpertReport: return PrintReport(ReportDepth::Expert, reportedSystem);
        case Output::PublishText: return PrintReport(ReportDepth::Publish, reportedSystem);
        case Output::Report: break;
    }
    return PrintReport(ReportDepth::Normal, reportedSystem);
}
