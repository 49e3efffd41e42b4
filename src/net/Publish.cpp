// Publishing (Publish.h).
#include "net/Publish.h"

#include <atomic>
#include <vector>

#include "device/DiagnosticLog.h"
#include "device/DriveRecord.h"
#include "knowledge/VendorSite.h"
#include "monitor/Alerts.h"
#include "monitor/DriveState.h"
#include "monitor/Monitor.h"
#include "net/NetCalls.h"
#include "net/Update.h"
#include "platform/Network.h"
#include "platform/Threads.h"
#include "platform/Time.h"
#include "platform/UserInterface.h"
#include "system/FileUtils.h"
#include "system/OSInfo.h"

using namespace platform;

UploadTarget PublishTarget = VendorUploadTarget();

namespace {

std::atomic<bool> PromptShowing{false};
// One publication at a time: the Publish button and the hourly prompt's worker both start one, and two
// would measure and send the drives twice. Taken by PublishData, given back when its upload has ended.
std::atomic<bool> PublicationRunning{false};

constexpr char Boundary[] = "ThisBoundary";
constexpr char NotSent[] = "The KORVANTE data not sent. ";
constexpr char AlreadyPublishingText[] = "The KORVANTE data is already being published.";
constexpr char OneHourText[] =
    "One hour of continuous KORVANTE operation is required to calculate the operating time of your data drives.";
constexpr char UpdateQuestion[] = "A new version of KORVANTE is available. Update program?";
constexpr char PromptText[] =
    "The analysis of disk system is completed. Please publish the KORVANTE data to update the storage device database.";
constexpr uint32_t CommandBoxFlags = MB_ICONINFORMATION | OwnedBoxFlags;           // 0x50040
constexpr uint32_t UploadBoxFlags = MB_SYSTEMMODAL | MB_ICONINFORMATION;           // 0x1040
constexpr uint32_t PromptFlags = MB_SYSTEMMODAL | MB_ICONINFORMATION | MB_OKCANCEL;  // 0x1041

void SetPublishEnabled(bool enabled) {
    if (NetCalls.SetPublishEnabled) NetCalls.SetPublishEnabled(enabled);
}

void EndPublication() {
    SetPublishEnabled(true);
    PublicationRunning = false;
}

void Call(void (*call)()) {
    if (call) call();
}

std::string FormPart(const std::string& boundary, const char* name, const std::string& value) {
    return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value +
           "\r\n";
}

// The vendor's "version.txt" into `remote`; false when it cannot be had (an error page included).
bool ReadVendorVersion(std::string& remote) {
    const HInternet internet = OpenInternet(UploadAgent);
    if (!internet) return false;
    const HInternet file = OpenVersionFile(internet, VendorAddress("/version.txt"));
    if (!file) {
        InternetCloseHandle(internet);
        return false;
    }
    remote = ReadRemoteVersion(file);
    InternetCloseHandle(file);
    InternetCloseHandle(internet);
    return true;
}

// A drive whose power-on counter is not yet calibrated has no operating time to publish.
bool AnyDriveCalibrating() {
    for (unsigned i = 0; i < DriveCount(); ++i) {
        const DriveReader d(i);
        if (d->PowerTimeIndex != 0 && d->PowerOnTimerPeriod == 0) return true;
    }
    return false;
}

// A drive measured at this start is published with that measurement; every other one is measured again,
// a drive whose read test failed within the week included: the user asked for it.
void MarkDrivesForReadTests() {
    for (unsigned i = 0; i < DriveCount(); ++i) {
        DriveWriter writer(i);
        DriveRecord& d = *writer;
        if (d.MeasuredThisRun) d.MeasuredThisRun = d.PerformanceTestPending = false;
        else d.PerformanceTestPending = true;
    }
}

std::string BlockOfAllDrives() {
    std::vector<DriveRecord> drives;
    for (unsigned i = 0; i < DriveCount(); ++i) drives.push_back(SnapshotDrive(i));
    std::vector<const DriveRecord*> pointers;
    for (const DriveRecord& d : drives) pointers.push_back(&d);
    return BuildPublishBlock(CurrentPublishHeader(), pointers);
}

void ShowUploadBox(const std::string& text) { MessageBox(0, text, InfoCaption, UploadBoxFlags); }

// A send that failed: a host name that does not resolve means no Internet access.
void ReportSendFailure(uint32_t error) {
    WriteLog("Publish: the upload failed with error " + std::to_string(error));
    if (error == ERROR_INTERNET_NAME_NOT_RESOLVED) ShowUploadBox(std::string(NotSent) + NoInternetText);
    else ShowUploadBox(std::string(NotSent) + "Error - " + std::to_string(error));
}

// Sends the form; true when the server took it (a 2xx status). Every failure is shown.
bool SendForm(HInternet internet, const std::string& body) {
    uint32_t error = 0;
    const HInternet connection =
        InternetConnect(internet, PublishTarget.Host, PublishTarget.Port, INTERNET_SERVICE_HTTP, error);
    const HInternet request =
        connection ? HttpOpenRequest(connection, "POST", UploadObject, PublishTarget.Secure ? INTERNET_FLAG_SECURE : 0, error)
                   : 0;
    bool taken = false;
    if (!request || !HttpSendRequest(request, BuildUploadHeaders(body), body, error)) {
        ReportSendFailure(error);
    } else {
        uint32_t status = 0;
        taken = HttpQueryStatusCode(request, status) && status >= 200 && status < 300;
        if (!taken) {
            const std::string answer = status ? "HTTP status " + std::to_string(status) : std::string("no HTTP status");
            WriteLog("Publish: the server answered with " + answer);
            ShowUploadBox(std::string(NotSent) + (status ? answer : "The server gave no HTTP status."));
        }
    }
    if (request) InternetCloseHandle(request);
    if (connection) InternetCloseHandle(connection);
    return taken;
}

}  // namespace

UploadTarget VendorUploadTarget() { return {VendorHost, INTERNET_DEFAULT_HTTPS_PORT, true}; }

std::string BuildUploadBody(const std::string& version, const std::string& text, const std::string& block) {
    std::string boundary = Boundary;
    for (unsigned n = 1; (version + text + block).find(boundary) != std::string::npos; ++n)
        boundary = Boundary + std::to_string(n);
    std::string body = FormPart(boundary, "ver", version) + FormPart(boundary, "txt", text);
    if (!block.empty()) body += FormPart(boundary, "bin", block);
    return body + "--" + boundary + "--";
}

std::string BuildUploadHeaders(const std::string& body) {
    const std::string boundary = body.substr(2, body.find("\r\n") - 2);
    return "Content-Type: multipart/form-data; boundary=" + boundary + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n";
}

PublishHeader CurrentPublishHeader() {
    PublishHeader header;
    header.ProgramVersion = ProgramVersion();
    header.OperatingSystem = OSName;
    header.GlobalLog = GlobalLogText();
    GetSystemTime(header.Time);
    header.SuspendSeen = SuspendSeen ? 1 : 0;
    return header;
}

// A second request while a publication runs is refused with a box: waiting for the first would hold
// the user-interface thread, which the first needs, and its figures are the ones to publish anyway.
void PublishData() {
    if (PublicationRunning.exchange(true)) {
        MessageBox(0, AlreadyPublishingText, InfoCaption, CommandBoxFlags);
        return;
    }
    SetPublishEnabled(false);
    std::string remote;
    if (!ReadVendorVersion(remote)) {
        MessageBox(0, std::string(NotSent) + NoInternetText, InfoCaption, CommandBoxFlags);
        EndPublication();
        return;
    }
    if (VersionGreater(remote, ProgramVersion())) {  // nothing is published by an outdated program
        if (MessageBox(0, UpdateQuestion, InfoCaption, CommandBoxFlags | MB_YESNO) == IDYES) CheckForUpdateFromVendor();
        EndPublication();
        return;
    }
    const bool drivesPresent = DriveCount() > 0;
    if (drivesPresent) {
        if (AnyDriveCalibrating()) {
            MessageBox(0, OneHourText, InfoCaption, CommandBoxFlags);
            EndPublication();
            return;
        }
        MarkDrivesForReadTests();
        Call(NetCalls.HideMainWindow);
        // Another read test under way measures other drives or an older state: nothing is sent.
        if (NetCalls.RunPerformanceWindow && !NetCalls.RunPerformanceWindow()) {
            EndPublication();
            return;
        }
    }
    const std::string text = NetCalls.BuildPublishText ? NetCalls.BuildPublishText() : std::string();
    const std::string block = drivesPresent ? BlockOfAllDrives() : std::string();
    if (!CreateThread([text, block] { UploadData(text, block); })) {
        WriteLog("Publish: the upload thread cannot be started");
        EndPublication();
    }
}

void UploadData(const std::string& text, const std::string& block) {
    const HInternet internet = OpenInternet(UploadAgent);
    if (!internet) {
        WriteLog("Publish: no Internet handle");
        ShowUploadBox(std::string(NotSent) + NoInternetText);
    } else {
        if (SendForm(internet, BuildUploadBody(ProgramVersion(), text, block))) MarkPublished();
        InternetCloseHandle(internet);
    }
    if (block.empty()) Call(NetCalls.CloseMainWindow);
    EndPublication();
}

void MarkPublished() {
    const std::string version = ProgramVersion();
    for (unsigned i = 0; i < DriveCount(); ++i) {
        const DriveReader d(i);
        WriteDriveText(*d, DriveKeyValue::LastReportVersion, version);
    }
}

bool PublishPromptShowing() { return PromptShowing; }

void PublishPrompt() {
    PromptShowing = true;
    if (MessageBox(0, PromptText, InfoCaption, PromptFlags) == IDOK) PublishData();
    else MarkPublished();
    PromptShowing = false;
}

void ResetPublishing() {
    PromptShowing = false;
    PublicationRunning = false;
    PublishTarget = VendorUploadTarget();
}
