// Publishing: one HTTPS POST to the vendor's server with the program version, the plain text of the
// expert report and the tagged data block of every drive, feeding the online drive database. The
// "Publish" button starts it, and the hourly step offers it while a drive has not been published by
// the running version. Without drives only the version and the report text (with the diagnostic log)
// are sent, and the program ends afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/PublishBlock.h"

// Where the upload goes. The program always sends to VendorUploadTarget(); tests aim the record at a
// server of their own.
struct UploadTarget {
    std::string Host;
    uint16_t Port;
    bool Secure;  // HTTPS (INTERNET_FLAG_SECURE)
};
UploadTarget VendorUploadTarget();  // the vendor's host, port 443, secure
extern UploadTarget PublishTarget;

// What publishing needs of the main window and the report comes through NetCalls (net/NetCalls.h).

// Whether the publish prompt is on screen.
bool PublishPromptShowing();

constexpr char UploadObject[] = "korvante-data.php";
constexpr char UploadAgent[] = "KORVANTE";

// The multipart form, byte for byte: the parts "ver" and "txt", then "bin" with the block unless the
// block is empty (no drives), then the closing boundary without a line break. The boundary is
// "ThisBoundary", or with a number after it when a part holds it: a part's text may not hold its form's
// boundary.
std::string BuildUploadBody(const std::string& version, const std::string& text, const std::string& block);
// The request headers for this body, its boundary the one its first line opens with.
std::string BuildUploadHeaders(const std::string& body);

// The header group as it stands: program version, system name, global log, UTC time, suspend flag.
PublishHeader CurrentPublishHeader();

// The command of the "Publish" button and of the accepted prompt, on its caller's thread: version
// check, the drives' read tests when due, the report text and the block; then UploadData on a worker.
void PublishData();

// The upload (a worker's body): sends the form to PublishTarget. Only an answer with a 2xx status
// marks the drives published; anything else is shown in a box. Without drives the program is closed
// afterwards. "Publish" is enabled again at the end.
void UploadData(const std::string& text, const std::string& block);

// "LastReportVersion" = the program's version under every drive's key.
void MarkPublished();

// The prompt the hourly step starts on a worker: OK publishes, Cancel marks every drive published
// without sending anything.
void PublishPrompt();

// The flag and the target back to their start (a simulated restart).
void ResetPublishing();
