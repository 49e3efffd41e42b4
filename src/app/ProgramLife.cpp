#include "app/ProgramLife.h"

#include <algorithm>
#include <vector>

#include "device/DriveRecord.h"
#include "discovery/Scan.h"
#include "monitor/Monitor.h"
#include "platform/Time.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/SimUserInterface.h"
#include "system/Settings.h"
#include "ui/Main.h"

namespace {

constexpr uint64_t Minute = 60000;

void AdvanceTo(uint64_t at) {
    const uint64_t now = sim::UptimeMilliseconds();
    if (at > now) sim::AdvanceTime(at - now);
}

// Power events due after `from` and by `to`, oldest first.
std::vector<sim::PowerEvent> PowerEventsBetween(uint64_t from, uint64_t to) {
    std::vector<sim::PowerEvent> due;
    for (const sim::PowerEvent& e : sim::Current().PowerEvents)
        if (e.AtMilliseconds > from && e.AtMilliseconds <= to) due.push_back(e);
    std::stable_sort(due.begin(), due.end(), [](const sim::PowerEvent& a, const sim::PowerEvent& b) {
        return a.AtMilliseconds < b.AtMilliseconds;
    });
    return due;
}

}  // namespace

void StartResidentProgram() {
    ScanDrives();
    OpenSettingsKey();
    for (unsigned i = 0; i < DriveTable.Count; ++i) LoadPersistedDriveState(*DriveTable.Drives[i]);
    StartMonitorTimer();
}

void KillResidentProgram() {
    sim::StopRegistryWritesAfter(0);
    StopMonitorTimer();
    sim::ResetMessageBoxes();
    sim::WaitForWorkers();
    ResetMonitorState();
    ResetProcessState();
    sim::StopRegistryWritesAfter(sim::NoWriteLimit);
}

void RunTimeline(unsigned minutes, const std::function<void(unsigned)>& afterMinute) {
    const uint64_t start = sim::UptimeMilliseconds();
    uint64_t delivered = start;
    for (unsigned m = 1; m <= minutes; ++m) {
        const uint64_t end = start + m * Minute;
        for (const sim::PowerEvent& e : PowerEventsBetween(delivered, end)) {
            AdvanceTo(e.AtMilliseconds);
            delivered = e.AtMilliseconds;
            if (e.Resume) OnSystemResume();
            else OnSystemSuspend();
        }
        AdvanceTo(end);
        delivered = end;
        sim::WaitForWorkers();
        if (afterMinute) afterMinute(m);
    }
}
