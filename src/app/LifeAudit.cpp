#include "app/LifeAudit.h"

#include <algorithm>

#include "app/ProgramLife.h"
#include "device/DriveRecord.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimTray.h"
#include "platform/sim/SimUserInterface.h"
#include "smart/PowerOnTime.h"
#include "system/Settings.h"

namespace {

constexpr unsigned GraceMinutes = 3;  // an owed alert comes within this many minutes of being due
constexpr uint64_t MinuteMs = 60000;

struct AlertText {
    const char* Kind;
    const char* Text;  // what the box says after the drive header
};
const AlertText AlertTexts[] = {
    {"remap", "New remapped sector is found!"},
    {"pre-failure", "The pre-failure state is detected!"},
    {"non-critical", "Non-critical parameters exceeded design limits"},
    {"temperature", "Excess of the recommended temperature is detected"},
    {"lost", "Control over the drive has been lost!"},
    {"self-test-passed", "Self-diagnostics is successfully completed."},
    {"self-test-interrupted", "Self-diagnostics is interrupted"},
    {"self-test-failed", "Self-diagnostics detected a nonrecoverable error!"},
};

struct Alert {
    unsigned Minute;
    size_t Drive;
    std::string Kind;
    std::string Text;
};

// The boxes that are alerts about a drive of the machine, in the order they opened.
std::vector<Alert> RaisedAlerts() {
    std::vector<Alert> alerts;
    const size_t drives = sim::Current().Drives.size();
    for (const sim::MessageBoxCall& box : sim::MessageBoxCalls())
        for (size_t i = 0; i < drives; ++i) {
            const std::string header = MachineDriveHeader(i);
            if (box.Text.compare(0, header.size(), header) != 0) continue;
            std::string kind = "other";
            for (const AlertText& a : AlertTexts)
                if (box.Text.compare(header.size(), std::string(a.Text).size(), a.Text) == 0) kind = a.Kind;
            alerts.push_back({static_cast<unsigned>(box.OpenedAt / MinuteMs), i, kind, box.Text});
            break;
        }
    return alerts;
}

// The hours a raw power-on count stands for, in the drive's own unit; false when it does not count.
bool TrueHours(const sim::Drive& d, uint64_t raw, uint64_t& hours) {
    const uint32_t unit = d.Aging.SecondsPerPowerOnUnit;
    hours = raw * unit / 3600;
    return unit != 0;
}

size_t ExpectedIcons() {
    const size_t drives = DriveCount();
    const size_t driveIcons = Settings.ShowHottestDiskOnly ? std::min<size_t>(drives, 1) : drives;
    return driveIcons + (Settings.ShowCPU_usage ? 1 : 0);
}

}  // namespace

void LifeAudit::AfterMinute(unsigned) {
    const unsigned minute = static_cast<unsigned>(sim::UptimeMilliseconds() / MinuteMs);
    lastMinute_ = minute;
    if (!owedTaken_) {
        for (const sim::ExpectedAlert& e : sim::Current().ExpectedAlerts)
            owed_.push_back({static_cast<unsigned>(e.AtMilliseconds / MinuteMs), e.Drive, e.Kind, 0});
        owedTaken_ = true;
    }
    if (!ProgramRunning()) return;
    if (MachineAwake()) {
        if (sim::TimerCount() == 0) ++unmonitored_;
        for (Owed& o : owed_)
            if (o.Deadline == 0 && o.Minute <= minute) o.Deadline = minute + GraceMinutes;
    }
    if (sim::ActiveTrayEntries().size() < ExpectedIcons()) ++missingIcons_;
}

bool LifeAudit::Print(std::ostream& out) const {
    std::vector<Alert> raised = RaisedAlerts();
    std::vector<bool> matched(raised.size(), false);
    std::vector<const Owed*> missed;
    for (const Owed& o : owed_) {
        bool found = false;
        for (size_t i = 0; i < raised.size() && !found; ++i) {
            const Alert& a = raised[i];
            if (matched[i] || a.Drive != o.Drive || a.Kind != o.Kind || a.Minute < o.Minute) continue;
            if (o.Deadline != 0 && a.Minute > o.Deadline) continue;
            matched[i] = found = true;
        }
        if (!found) missed.push_back(&o);
    }
    const size_t falseAlerts = std::count(matched.begin(), matched.end(), false);
    out << "=== Summary at minute " << lastMinute_ << " of uptime ===\n"
        << "alerts owed " << owed_.size() << ", announced " << owed_.size() - missed.size() << ", missed "
        << missed.size() << ", false " << falseAlerts << "\n"
        << "awake minutes without the monitoring timer: " << unmonitored_ << "\n"
        << "minutes with fewer icons than drives: " << missingIcons_ << "\n";
    for (const Owed* o : missed) out << "  missed: minute " << o->Minute << " d" << o->Drive << " " << o->Kind << "\n";
    for (size_t i = 0; i < raised.size(); ++i)
        if (!matched[i])
            out << "  false: minute " << raised[i].Minute << " d" << raised[i].Drive << " " << raised[i].Kind << "\n";
    bool hoursRight = true;
    for (size_t i = 0; i < sim::Current().Drives.size(); ++i) {
        unsigned index = 0;
        if (!TableIndexOfMachineDrive(i, index)) continue;
        const DriveRecord snapshot = SnapshotDrive(index);
        const DriveRecord* record = &snapshot;
        uint64_t truth = 0;
        uint32_t worked = 0;
        const bool known = TrueHours(sim::Current().Drives[i], record->PowerTime, truth) && !record->SmartLost;
        const bool shown = WorkedHours(*record, worked);
        const bool right = known && shown && (worked > truth ? worked - truth : truth - worked) <= 1;
        if (known) hoursRight = hoursRight && right;
        out << "d" << i << " " << record->Model << ": worked hours " << (shown ? std::to_string(worked) : "none")
            << ", true hours " << (known ? std::to_string(truth) : record->SmartLost ? "(lost)" : "not counted")
            << (known && !right ? "  WRONG" : "") << "\n";
    }
    out << "drive removals Windows had to refuse: " << RefusedRemovals() << "\n";
    return missed.empty() && falseAlerts == 0 && unmonitored_ == 0 && missingIcons_ == 0 && hoursRight &&
           RefusedRemovals() == 0;
}
