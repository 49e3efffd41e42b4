// The update check and download (Update.h).
#include "net/Update.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "device/DiagnosticLog.h"
#include "device/DriveRecord.h"
#include "knowledge/VendorSite.h"
#include "monitor/Alerts.h"
#include "net/CodeTrust.h"
#include "net/NetCalls.h"
#include "platform/FileVersion.h"
#include "platform/Network.h"
#include "platform/Shell.h"
#include "platform/Threads.h"
#include "platform/UserInterface.h"
#include "platform/Windowing.h"
#include "system/FileUtils.h"

using namespace platform;

const char NoInternetText[] =
    "The application couldn\x92t get access to the Internet. Please make sure that your computer is online "
    "and/or add the application to your firewall\x92s list of safe (trusted) applications.";

namespace {

std::atomic<bool> PromptShowing{false};

constexpr uint32_t RemoteVersionLimit = 23;
constexpr char ProgramName[] = "KORVANTE";
constexpr char ProgramFile[] = "KORVANTE.exe";
constexpr char GzipHeader[] = "Accept-Encoding: gzip";
constexpr uint32_t ErrorBoxFlags = MB_ICONERROR | OwnedBoxFlags;        // 0x50010
constexpr uint32_t InformationBoxFlags = MB_ICONINFORMATION | OwnedBoxFlags;  // 0x50040
constexpr uint32_t PromptFlags = MB_SYSTEMMODAL | MB_ICONINFORMATION | MB_YESNO;  // 0x1044
const char InterruptedCaption[] = "The update was interrupted.";
const char LatestText[] = "You already have the latest version of the program installed.";
const char DamagedText[] =
    "The update was interrupted.\r\nThe downloaded file is incomplete or is not the announced version.";
const char UnsignedText[] =
    "The update was interrupted.\r\nThe downloaded file is not signed by the program's vendor.";
const char UnsignedCopyText[] =
    "This copy of the program is not signed, so it cannot tell a genuine update from another program. "
    "Please download the new version from the vendor's site.";
const char PromptText[] = "A new version of KORVANTE is available. Update program?";

// Without drives the program runs in diagnostic mode, where the installer does not run and the
// captions carry no name.
std::string DisplayName() { return DriveCount() > 0 ? ProgramName : ""; }

std::string SiteBase() { return VendorAddress("/"); }

// The manual check's boxes belong to the main window once it exists.
void ShowBox(const std::string& text, const char* captionEnd, uint32_t flags) {
    MessageBox(ProgramWindow(), text, DisplayName() + " :: " + captionEnd, flags);
}

// A version file usually ends in a line break, which no version resource holds.
std::string WithoutLineBreaks(std::string version) {
    while (!version.empty() && (version.back() == '\n' || version.back() == '\r')) version.pop_back();
    return version;
}

// Reads the whole file into `body`. False on a failed read, on a file larger than the buffer, and on
// fewer bytes than the server announced: such a file is cut and must not be started.
bool ReadWholeFile(HInternet file, std::vector<uint8_t>& body) {
    uint32_t announced = 0;
    const bool hasLength = HttpQueryContentLength(file, announced);
    if (hasLength && announced > UpdateBufferSize) {
        WriteLog("Update: the program file announces " + std::to_string(announced) + " bytes, more than the buffer");
        return false;
    }
    body.assign(UpdateBufferSize, 0);
    std::size_t size = 0;
    for (;;) {
        uint8_t spare = 0;
        const std::size_t left = UpdateBufferSize - size;
        uint8_t* target = left > 0 ? body.data() + size : &spare;  // a full buffer: is there more?
        uint32_t read = 0;
        if (!InternetReadFile(file, target, left > 0 ? static_cast<uint32_t>(left) : 1, read)) {
            WriteLog("Update: a read of the program file failed after " + std::to_string(size) + " bytes");
            return false;
        }
        if (read == 0) break;
        if (left == 0) {
            WriteLog("Update: the program file is larger than the buffer");
            return false;
        }
        size += std::min<std::size_t>(read, left);
    }
    body.resize(size);
    if (hasLength && size != announced) {
        WriteLog("Update: the program file ended after " + std::to_string(size) + " of " + std::to_string(announced) +
                 " bytes");
        return false;
    }
    return true;
}

bool DownloadFile(HInternet internet, const std::string& url, std::vector<uint8_t>& body) {
    InternetSetOption(internet, INTERNET_OPTION_HTTP_DECODING, 1);
    const HInternet file = InternetOpenUrl(internet, url, GzipHeader, INTERNET_FLAG_RELOAD);
    if (!file) {
        WriteLog("Update: cannot open " + url);
        return false;
    }
    const bool whole = ReadWholeFile(file, body);
    InternetCloseHandle(file);
    return whole;
}

// Writes the download and holds it against change from then on, so that the file checked is the file
// started. An executable with the announced version is kept; otherwise it is deleted and the hold
// given back.
bool KeepVerifiedFile(const std::string& path, const std::vector<uint8_t>& body, const std::string& version,
                      HeldFile& held) {
    if (!WriteNewFile(path, body.data(), body.size()) || !(held = CreateHeldFile(path))) {
        WriteLog("Update: cannot write " + path);
        DeleteFile(path);
        return false;
    }
    const bool image = IsUpdateImage(body.data(), body.size());
    const std::string fileVersion = GetFileVersion(path).Text;
    if (image && fileVersion == WithoutLineBreaks(version)) return true;
    WriteLog(!image ? std::string("Update: the downloaded file is not an executable for this machine")
                    : "Update: the downloaded file has version \"" + fileVersion + "\", not \"" + version + "\"");
    held.Reset(0);
    DeleteFile(path);
    return false;
}

uint32_t ReadLe(const uint8_t* data, std::size_t offset, unsigned bytes) {
    uint32_t value = 0;
    for (unsigned i = 0; i < bytes; ++i) value |= uint32_t{data[offset + i]} << (8 * i);
    return value;
}

}  // namespace

HInternet OpenInternet(const std::string& agent) {
    const HInternet internet = InternetOpen(agent);
    if (internet) InternetSetOption(internet, INTERNET_OPTION_ENABLE_HTTP_PROTOCOL, HTTP_PROTOCOL_FLAG_HTTP2);
    return internet;
}

// One read of at most 23 bytes into a zeroed buffer; the text ends at the first zero byte.
std::string ReadRemoteVersion(HInternet file) {
    char buffer[RemoteVersionLimit] = {};
    uint32_t read = 0;
    if (!InternetReadFile(file, reinterpret_cast<uint8_t*>(buffer), RemoteVersionLimit, read)) {
        WriteLog("Update: reading version.txt failed");
        read = 0;
    }
    const uint32_t length = std::min(read, RemoteVersionLimit);
    return std::string(buffer, std::find(buffer, buffer + length, '\0'));
}

// The version file, opened only when the server answered with success: an error page (404, 500...)
// would otherwise be read as a version, and its text compares greater than any version. 0 when the
// file cannot be had, for whatever reason.
HInternet OpenVersionFile(HInternet internet, const std::string& url) {
    const HInternet file = InternetOpenUrl(internet, url, "", INTERNET_FLAG_RELOAD);
    if (!file) return 0;
    uint32_t status = 0;
    if (HttpQueryStatusCode(file, status) && status >= 200 && status <= 299) return file;
    WriteLog("Update: " + url + " answered with status " + std::to_string(status));
    InternetCloseHandle(file);
    return 0;
}

bool VersionGreater(const std::string& left, const std::string& right) {
    // std::string's compare is byte-wise on unsigned chars, then by length.
    return left.compare(right) > 0;
}

std::string StripLastComponent(const std::string& version) {
    const std::size_t dot = version.rfind('.');
    return dot == std::string::npos ? std::string() : version.substr(0, dot);
}

bool IsUpdateImage(const uint8_t* data, std::size_t size) {
    constexpr std::size_t HeaderOffsetAt = 0x3C, FileHeaderSize = 24;  // signature and file header
    constexpr uint32_t ExecutableImage = 0x0002, Dll = 0x2000;
    if (size < HeaderOffsetAt + 4 || data[0] != 'M' || data[1] != 'Z') return false;
    const std::size_t pe = ReadLe(data, HeaderOffsetAt, 4);
    if (pe > size || size - pe < FileHeaderSize) return false;
    if (std::memcmp(data + pe, "PE\0\0", 4) != 0) return false;
    const uint32_t characteristics = ReadLe(data, pe + 22, 2);
    return ReadLe(data, pe + 4, 2) == UpdateMachineType && (characteristics & ExecutableImage) &&
           !(characteristics & Dll);
}

void DownloadUpdate(const std::string& siteBase, const std::string& folderBase, const std::string& fileName) {
    const HInternet internet = OpenInternet(DisplayName());
    const HInternet versionFile = internet ? OpenVersionFile(internet, siteBase + "version.txt") : 0;
    if (!versionFile) {
        if (internet) InternetCloseHandle(internet);
        ShowBox(NoInternetText, InterruptedCaption, ErrorBoxFlags);
        return;
    }
    const std::string own = ProgramVersion();
    const std::string remote = ReadRemoteVersion(versionFile);
    InternetCloseHandle(versionFile);
    Signer vendor;
    if (!VersionGreater(remote, own) || !SignerOfFile(GetModuleFileName(), vendor)) {
        InternetCloseHandle(internet);
        if (VersionGreater(remote, own)) ShowBox(UnsignedCopyText, "Warning!", MB_ICONEXCLAMATION | OwnedBoxFlags);
        else ShowBox(LatestText, "Information", InformationBoxFlags);
        return;
    }
    std::vector<uint8_t> body;
    const bool whole = DownloadFile(internet, folderBase + fileName, body);
    InternetCloseHandle(internet);
    const std::string path = GetTempPath() + fileName;
    HeldFile held;
    if (!whole || !KeepVerifiedFile(path, body, remote, held)) {
        ShowBox(DamagedText, "Warning!", MB_ICONEXCLAMATION | OwnedBoxFlags);
        return;
    }
    if (!SignedBy("Update", path, held, vendor)) {
        held.Reset(0);
        DeleteFile(path);
        ShowBox(UnsignedText, "Warning!", MB_ICONEXCLAMATION | OwnedBoxFlags);
        return;
    }
    if (!ShellExecute(0, "", path, "", "", SW_SHOWNORMAL)) WriteLog("Update: cannot start " + path);
}

void CheckForUpdateFromVendor() { DownloadUpdate(SiteBase(), SiteBase(), ProgramFile); }

void HourlyUpdateCheck() {
    const HInternet internet = OpenInternet(ProgramName);
    if (!internet) return;
    const HInternet versionFile = OpenVersionFile(internet, SiteBase() + "version.txt");
    if (!versionFile) {
        InternetCloseHandle(internet);
        return;
    }
    const std::string remote = ReadRemoteVersion(versionFile);
    InternetCloseHandle(versionFile);
    InternetCloseHandle(internet);
    if (VersionGreater(StripLastComponent(remote), StripLastComponent(ProgramVersion())))
        CreateThread(UpdatePrompt);
}

bool UpdatePromptShowing() { return PromptShowing; }

void UpdatePrompt() {
    PromptShowing = true;
    if (MessageBox(0, PromptText, InfoCaption, PromptFlags) == IDYES) CheckForUpdateFromVendor();
    PromptShowing = false;
}

void ResetUpdate() { PromptShowing = false; }
