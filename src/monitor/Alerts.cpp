#include "monitor/Alerts.h"

#include "device/DiagnosticLog.h"
#include "knowledge/VendorSite.h"
#include "monitor/DriveState.h"
#include "platform/Shell.h"
#include "platform/Threads.h"
#include "platform/UserInterface.h"
#include "smart/Condition.h"
#include "system/Settings.h"

std::atomic<std::uintptr_t> ApplicationWindow{0};
const char InfoCaption[] = "KORVANTE :: Information";
const char WarningCaption[] = "KORVANTE :: Warning!";

namespace {

using platform::MB_ICONEXCLAMATION;
using platform::MB_ICONINFORMATION;
using platform::MB_OK;
using platform::MB_SYSTEMMODAL;
using platform::MB_YESNO;

constexpr int SW_SHOWMAXIMIZED = 3;
const char BackupAdvice[] = "Backup important information!";

// What happens after the box, on the alert thread.
enum class Afterwards { Nothing, CoolingPage, PreFailureSeen, NonCriticalSeen };

struct Alert {
    bool DriveRecord::*Showing;  // null: the alert has no showing flag
    const char* Caption;
    uint32_t Flags;
    Afterwards Then;
};

constexpr uint32_t Warning = MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL;
constexpr uint32_t Information = MB_OK | MB_ICONINFORMATION | MB_SYSTEMMODAL;

const Alert DriveLost = {nullptr, WarningCaption, Warning, Afterwards::Nothing};
const Alert Remap = {&DriveRecord::RemapAlertShowing, WarningCaption, Warning, Afterwards::Nothing};
const Alert Temperature = {&DriveRecord::TemperatureAlertShowing, WarningCaption,
                           MB_YESNO | MB_ICONEXCLAMATION | MB_SYSTEMMODAL, Afterwards::CoolingPage};
const Alert SelfTestPassed = {&DriveRecord::SelfTestPassedShowing, InfoCaption, Information, Afterwards::Nothing};
const Alert SelfTestInterrupted = {&DriveRecord::SelfTestInterruptedShowing, InfoCaption, Information,
                                   Afterwards::Nothing};
const Alert SelfTestFailed = {&DriveRecord::SelfTestFailedShowing, WarningCaption, Warning, Afterwards::Nothing};
const Alert PreFailure = {&DriveRecord::PreFailureAlertShowing, WarningCaption, Warning, Afterwards::PreFailureSeen};
const Alert NonCritical = {&DriveRecord::NonCriticalAlertShowing, WarningCaption, Warning,
                           Afterwards::NonCriticalSeen};

// After the user closed the box: the once-only state, then the showing flag.
void Conclude(DriveRecord& d, const Alert& alert, int answer) {
    if (alert.Then == Afterwards::CoolingPage && answer == platform::IDYES)
        platform::ShellExecute(ApplicationWindow, "open", VendorAddress("/active_cooling.htm"), "", "", SW_SHOWMAXIMIZED);
    DriveWriter writer(d);
    switch (alert.Then) {
        case Afterwards::CoolingPage:
            d.MaxRecommendedTempReport = true;
            StoreDriveField(d, DriveKeyValue::MaxRecommendedTempReport);
            break;
        // An episode that ended while its box was open is not recorded: the next one alerts again.
        case Afterwards::PreFailureSeen:
            if (!d.PreFailure) break;
            d.PreFailureReport = true;
            StoreDriveField(d, DriveKeyValue::PreFailureReport);
            break;
        case Afterwards::NonCriticalSeen:
            if (!d.Unreliable) break;
            d.WarrantyReport = true;
            StoreDriveField(d, DriveKeyValue::WarrantyReport);
            break;
        case Afterwards::Nothing: break;
    }
    if (alert.Showing) d.*alert.Showing = false;
}

void Raise(DriveRecord& d, const Alert& alert, const std::string& ownText) {
    if (alert.Showing) {
        if (d.*alert.Showing) return;
        d.*alert.Showing = true;
    }
    std::string text = DriveHeader(d) + ownText;
    DriveRecord* drive = &d;
    const Alert* kind = &alert;
    const bool started = platform::CreateThread([drive, kind, text] {
        const int answer = platform::MessageBox(0, text, kind->Caption, kind->Flags);
        Conclude(*drive, *kind, answer);
    });
    if (!started) {
        WriteLog("An alert could not be shown: no thread.", &d);
        if (alert.Showing) d.*alert.Showing = false;
    }
}

}  // namespace

std::string DriveHeader(const DriveRecord& d) {
    return "Model - " + d.Model + "\r\n" + "Serial number" + " - " + d.SerialNumber + "\r\n";
}

void AlertDriveLost(DriveRecord& d) { Raise(d, DriveLost, "Control over the drive has been lost!"); }

void AlertRemap(DriveRecord& d) {
    StoreDriveField(d, DriveKeyValue::Remaped);
    Raise(d, Remap, std::string("New remapped sector is found!") + " " + BackupAdvice);
}

void FollowRemapCount(DriveRecord& d, uint32_t previous) {
    if (d.RemappedSectors > previous) {
        AlertRemap(d);
    } else if (d.RemappedSectors < previous) {
        WriteLog("Remapped sector count fell from " + std::to_string(previous) + " to " +
                     std::to_string(d.RemappedSectors) + ": a reset counter or another drive, no alert.",
                 &d);
        StoreDriveField(d, DriveKeyValue::Remaped);
    }
}

void AlertTemperature(DriveRecord& d) {
    Raise(d, Temperature,
          std::string("Excess of the recommended temperature is detected") + " - " +
              FormatTemperature(d.TemperatureLimit, Settings.Fahrenheit) + ". " + "Want to know more?");
}

void AlertSelfTestPassed(DriveRecord& d) { Raise(d, SelfTestPassed, "Self-diagnostics is successfully completed."); }

void AlertSelfTestInterrupted(DriveRecord& d) {
    Raise(d, SelfTestInterrupted, "Self-diagnostics is interrupted by another process.");
}

void AlertSelfTestFailed(DriveRecord& d) {
    Raise(d, SelfTestFailed, "Self-diagnostics detected a nonrecoverable error!");
}

void AlertPreFailure(DriveRecord& d) {
    Raise(d, PreFailure, std::string("The pre-failure state is detected!") + " " + BackupAdvice);
}

void AlertNonCritical(DriveRecord& d) {
    Raise(d, NonCritical, std::string("Non-critical parameters exceeded design limits") + ". " + BackupAdvice);
}
