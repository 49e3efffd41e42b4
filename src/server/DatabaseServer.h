// The drive database's web server: the upload address the program posts to and the database pages.
#pragma once

#include <cstddef>
#include <string>

#include "server/DriveStore.h"

namespace httplib {
class Server;
}

// The largest request body taken; a larger one is answered 413.
constexpr std::size_t MaxUploadBytes = 64u << 20;

// Adds the routes to `server`: POST /korvante-data.php stores a well-formed upload (200) or nothing
// (400 for a malformed one, 500 when the store fails); GET /database/[Fake/]MODEL/FIRMWARE/ answers
// the page, or 404 when nothing was published for it. Failures are written to standard error.
void InstallRoutes(httplib::Server& server, DriveStore& store);

// Binds `server` to `address` and `port` (0: a free port) with a listen queue long enough for a burst
// of uploads; the library's own queue of five connections made the kernel drop some of a hundred
// simultaneous ones. The port bound, or -1.
int BindServer(httplib::Server& server, const std::string& address, int port);

// The current UTC time as the uploads table keeps it.
std::string UtcNowText();
