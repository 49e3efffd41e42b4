#include "app/ProgramLife.h"

#include <algorithm>
#include <vector>

#include "device/DriveRecord.h"
#include "discovery/Scan.h"
#include "drivetools/SelfTest.h"
#include "monitor/Monitor.h"
#include "platform/Time.h"
#include "platform/Windowing.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimDialogs.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/SimTray.h"
#include "platform/sim/SimUserInterface.h"
#include "platform/sim/SimWindowing.h"
#include "system/Settings.h"
#include "ui/CpuIcon.h"
#include "ui/Main.h"
#include "ui/ProcessState.h"

namespace {

constexpr uint64_t Minute = 60000;
constexpr platform::WParam PBT_APMSUSPEND = 4, PBT_APMRESUMESUSPEND = 7, PBT_APMRESUMEAUTOMATIC = 0x12;

enum class Running { Nothing, Core, Whole };
Running Program = Running::Nothing;
bool Awake = true;
unsigned Refused = 0;
unsigned DialogMinutes = 0;

void AdvanceTo(uint64_t at) {
    const uint64_t now = sim::UptimeMilliseconds();
    if (at > now) sim::AdvanceTime(at - now);
}

std::string Trimmed(const std::string& s) {
    const auto keep = [](char c) { return static_cast<unsigned char>(c) > 0x20; };
    const auto b = std::find_if(s.begin(), s.end(), keep);
    const auto e = std::find_if(s.rbegin(), s.rend(), keep).base();
    return b < e ? std::string(b, e) : std::string();
}

// Text of a page, read straight from the drive's bytes (ATA text swapped in each 16-bit word).
std::string PageText(const std::vector<uint8_t>& page, size_t from, size_t to, bool swapped) {
    std::string text;
    for (size_t i = from; i < to && i < page.size(); ++i) text += static_cast<char>(page[swapped ? i ^ 1 : i]);
    return Trimmed(text);
}

// The user starts a self-test in the Diagnostics dialog.
void StartUsersSelfTest(size_t machineDrive, uint32_t kind) {
    unsigned index = 0;
    if (TableIndexOfMachineDrive(machineDrive, index))
        StartSelfTest(DriveForCommands(index), kind == 2 ? SelfTestKind::Extended : SelfTestKind::Short);
}

// Events due after `from` and by `to`, oldest first.
std::vector<sim::SystemEvent> EventsBetween(uint64_t from, uint64_t to) {
    std::vector<sim::SystemEvent> due;
    for (sim::SystemEvent e : sim::Current().SystemEvents)
        if (EventDueBetween(e, from, to, e.AtMilliseconds)) due.push_back(e);
    std::stable_sort(due.begin(), due.end(), [](const sim::SystemEvent& a, const sim::SystemEvent& b) {
        return a.AtMilliseconds < b.AtMilliseconds;
    });
    return due;
}

void Broadcast(platform::WParam event) {
    if (Program == Running::Whole) {
        platform::SendMessage(MainWindow, platform::WM_POWERBROADCAST, event, 0);
    } else if (Program == Running::Core) {
        if (event == PBT_APMSUSPEND) OnSystemSuspend();
        else OnSystemResume();
    }
}

// The timer and the sampler stop before the workers are waited for: they would start new ones, and
// the sampler never ends on its own.
void EndProgram() {
    if (Program == Running::Nothing) return;
    sim::StopRegistryWritesAfter(0);
    StopMonitorTimer();
    StopCpuIcon();
    sim::CloseMessageBoxes();
    sim::WaitForWorkers();
    if (Program == Running::Whole) {
        sim::ResetWindowing();
        sim::ResetDialogs();
        sim::ResetTray();  // what a dead process had in the notification area goes with it
    }
    ResetProcessState();
    sim::StopRegistryWritesAfter(sim::NoWriteLimit);
    Program = Running::Nothing;
}

void Deliver(const sim::SystemEvent& e) {
    switch (e.Kind) {
        case sim::SystemEventKind::Suspend: Broadcast(PBT_APMSUSPEND); Awake = false; return;
        case sim::SystemEventKind::Resume: Awake = true; Broadcast(PBT_APMRESUMESUSPEND); return;
        case sim::SystemEventKind::ResumeAutomatic: Awake = true; Broadcast(PBT_APMRESUMEAUTOMATIC); return;
        case sim::SystemEventKind::ExplorerRestart: sim::RestartExplorer(); return;
        case sim::SystemEventKind::ProgramExit: EndProgram(); return;
        case sim::SystemEventKind::ProgramStart:
            if (Program == Running::Nothing) StartWholeProgram(DialogMinutes);
            return;
        case sim::SystemEventKind::RemoveDrive:
            if (!sim::RequestDeviceRemoval(e.Drive)) ++Refused;
            return;
        case sim::SystemEventKind::HoldBoxes:
            if (e.Value) sim::HoldMessageBoxes(e.Value * Minute);
            else sim::StopHoldingMessageBoxes();
            return;
        case sim::SystemEventKind::StartSelfTest: StartUsersSelfTest(e.Drive, e.Value); return;
    }
}

// The logon task starts the program again; an earlier copy has ended by then.
void RestartIfAsked() {
    if (Program != Running::Whole || !RestartRequested()) return;
    EndProgram();
    StartWholeProgram(DialogMinutes);
}

}  // namespace

bool EventDueBetween(const sim::SystemEvent& e, uint64_t from, uint64_t to, uint64_t& at) {
    at = e.AtMilliseconds;
    if (at <= from && e.EveryMilliseconds) at += ((from - at) / e.EveryMilliseconds + 1) * e.EveryMilliseconds;
    return at > from && at <= to;
}

void StartResidentProgram() {
    ScanDrives();
    OpenSettingsKey();
    for (unsigned i = 0; i < DriveCount(); ++i) LoadPersistedDriveState(DriveForCommands(i));
    StartMonitorTimer();
    Program = Running::Core;
    Awake = true;
}

void StartWholeProgram(unsigned dialogMinutes) {
    DialogMinutes = dialogMinutes;
    sim::SetModalScript([](platform::HWnd) { sim::AdvanceTime(DialogMinutes * Minute); });
    Program = Running::Whole;
    RunProgram("", ProgramKind::RestartedByRunner);
}

void KillResidentProgram() {
    EndProgram();
    sim::ResetMessageBoxes();
    Awake = true;
    Refused = 0;
}

bool ProgramRunning() { return Program != Running::Nothing; }
bool MachineAwake() { return Awake; }

void RunTimeline(unsigned minutes, const std::function<void(unsigned)>& afterMinute) {
    const uint64_t start = sim::UptimeMilliseconds();
    uint64_t delivered = start;
    for (unsigned m = 1; m <= minutes; ++m) {
        const uint64_t end = start + m * Minute;
        for (const sim::SystemEvent& e : EventsBetween(delivered, end)) {
            AdvanceTo(e.AtMilliseconds);
            delivered = e.AtMilliseconds;
            Deliver(e);
        }
        AdvanceTo(end);
        delivered = end;
        sim::WaitForWorkersExcept(sim::WaitsInMessageBox);  // a box the user leaves open waits for the time
        RestartIfAsked();
        if (afterMinute) afterMinute(m);
    }
}

std::string MachineDriveHeader(size_t machineDrive) {
    const sim::Drive& d = sim::Current().Drives[machineDrive];
    const bool nvme = !d.NvmeIdentifyController.empty();
    const std::vector<uint8_t>& page = nvme ? d.NvmeIdentifyController : d.Identify;
    const std::string model = nvme ? PageText(page, 24, 64, false) : PageText(page, 54, 94, true);
    const std::string serial = nvme ? PageText(page, 4, 24, false) : PageText(page, 20, 40, true);
    return "Model - " + model + "\r\nSerial number - " + serial + "\r\n";
}

bool TableIndexOfMachineDrive(size_t machineDrive, unsigned& index) {
    const std::string header = MachineDriveHeader(machineDrive);
    for (index = 0; index < DriveCount(); ++index) {
        const DriveReader d(index);
        if (header == "Model - " + d->Model + "\r\nSerial number - " + d->SerialNumber + "\r\n") return true;
    }
    return false;
}

unsigned RefusedRemovals() { return Refused; }
