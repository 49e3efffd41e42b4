// The drive database's web server: the upload address the program posts to and the database pages.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "server/DriveStore.h"

namespace httplib {
class Server;
}

// The largest request body taken; a larger one is answered 413.
constexpr std::size_t MaxUploadBytes = 64u << 20;

// How much one client may upload and how large the database may grow. Page reads are not limited.
struct UploadLimits {
    // The program publishes when its user asks; twelve in a row and then one every ten seconds is far
    // more than a person clicks, and keeps one address from filling the disk.
    double UploadsPerMinute = 6;
    double Burst = 12;
    int64_t QuotaBytes = int64_t{4096} << 20;  // 4 GiB: over a hundred thousand uploads of one machine
};

// A client's allowance: `Tokens` uploads left at `Updated`, refilled at the limits' rate up to Burst.
struct TokenBucket {
    double Tokens = 0;
    std::chrono::steady_clock::time_point Updated;
};

// The uploads' admission: the limits, every client's bucket by remote address, and the database file
// whose size the quota counts. The server's routes are its one user; Lock guards the buckets and
// QuotaLock holds the size check and the store together, so two uploads cannot both pass the quota.
struct UploadGate {
    UploadLimits Limits;
    std::string DatabasePath;
    std::mutex Lock;
    std::map<std::string, TokenBucket> Clients;
    std::mutex QuotaLock;
};

// Replaces the limits (taking the gate's lock) and forgets every client's bucket.
void SetUploadLimits(UploadGate& gate, const UploadLimits& limits);

// Adds the routes to `server` and its connection limits (timeouts, keep-alive, a fixed pool): POST
// /korvante-data.php stores a well-formed upload (200) or nothing (400 for a malformed one, 429 with
// Retry-After when the client's bucket is empty, 507 when the quota would be passed, 500 when the
// store fails); GET /database/[Fake/]MODEL/FIRMWARE/ answers the page, or 404 when nothing was
// published for it. Failures are written to standard error.
void InstallRoutes(httplib::Server& server, DriveStore& store, UploadGate& gate);

// Binds `server` to `address` and `port` (0: a free port) with a listen queue long enough for a burst
// of uploads; the library's own queue of five connections made the kernel drop some of a hundred
// simultaneous ones. The port bound, or -1.
int BindServer(httplib::Server& server, const std::string& address, int port);

// The current UTC time as the uploads table keeps it.
std::string UtcNowText();
