// An upload as the client sends it: a form with the program version (ver), the report text (txt) and,
// when the machine has drives, the tagged block (bin).
#pragma once

#include <cstddef>
#include <string>

#include "server/DriveStore.h"

// The largest parts taken: a version is a short text, the block of 32 drives with long logs stays
// well under its limit.
constexpr std::size_t MaxVersionBytes = 64;
constexpr std::size_t MaxReportBytes = 16u << 20;
constexpr std::size_t MaxBlockBytes = 16u << 20;

// The upload's parts decoded into `upload` (all but ReceivedAt). False, with the reason, for a body
// that is no form of that Content-Type, a missing ver or txt part, a part over its limit, a version or
// report with a zero byte, a block that does not decode, or more drives than a machine has.
bool ParseUpload(const std::string& contentType, const std::string& body, Upload& upload, std::string& why);
