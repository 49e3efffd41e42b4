#include "server/DatabaseServer.h"

#include <httplib.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <iterator>

#include "server/DatabasePage.h"
#include "server/UploadRequest.h"

namespace {

// Connections. A worker serves one connection from its first byte to its close, and the library's
// read timeout runs from one received byte to the next: eight connections trickling a byte every 3 s
// held all eight of its default workers for good, with its default 5 s timeout.
// - Reads time out after 2 s: such a trickle is dropped at its first gap, and the program sends its
//   upload in one go, so a 2 s silence inside a request is a stalled client.
// - Writes time out after 5 s: a page to a client that stops reading is given up.
// - A kept-alive connection is closed after 2 s without a request and after 10 requests, so idle
//   connections do not keep workers either.
// - 12 workers: eight slow connections leave four for everyone else even before their timeouts
//   fire. The pool is fixed because each worker may hold a body of up to MaxUploadBytes and its decoded
//   copies, so it also bounds the memory uploads take.
// A client that trickles faster than the read timeout still holds its worker until its request ends;
// twelve of them delay every other client, which only a limit on a whole request's time would stop.
constexpr time_t ReadTimeoutSeconds = 2;
constexpr time_t WriteTimeoutSeconds = 5;
constexpr time_t KeepAliveSeconds = 2;
constexpr std::size_t KeepAliveRequests = 10;
constexpr std::size_t WorkerThreads = 12;

void ConfigureConnections(httplib::Server& server) {
    server.set_read_timeout(ReadTimeoutSeconds, 0);
    server.set_write_timeout(WriteTimeoutSeconds, 0);
    server.set_keep_alive_timeout(KeepAliveSeconds);
    server.set_keep_alive_max_count(KeepAliveRequests);
    server.new_task_queue = [] { return new httplib::ThreadPool(WorkerThreads); };
}

// Adds the uploads that have refilled `bucket` since it was last updated, up to the burst.
void Refill(TokenBucket& bucket, const UploadLimits& limits, std::chrono::steady_clock::time_point now) {
    if (now <= bucket.Updated) return;
    const double seconds = std::chrono::duration<double>(now - bucket.Updated).count();
    bucket.Tokens = std::min(limits.Burst, bucket.Tokens + seconds * limits.UploadsPerMinute / 60);
    bucket.Updated = now;
}

// Forgets the clients whose buckets are full again: they are as a new client would be.
void ForgetFullBuckets(UploadGate& gate, std::chrono::steady_clock::time_point now) {
    for (auto client = gate.Clients.begin(); client != gate.Clients.end();) {
        Refill(client->second, gate.Limits, now);
        client = client->second.Tokens >= gate.Limits.Burst ? gate.Clients.erase(client) : std::next(client);
    }
}

int64_t FileBytes(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? static_cast<int64_t>(status.st_size) : 0;
}

// The most clients tracked at once; beyond it the full buckets are forgotten, and while none is full
// a new address is refused, so the table's memory stays bounded however many addresses ask.
constexpr std::size_t MaxTrackedClients = 4096;

// Takes one upload from `client`'s bucket. False when it is empty, with the whole seconds until the
// next upload is allowed in `retryAfter`.
bool TakeUploadToken(UploadGate& gate, const std::string& client, int& retryAfter) {
    const std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> hold(gate.Lock);
    auto found = gate.Clients.find(client);
    if (found == gate.Clients.end()) {
        if (gate.Clients.size() >= MaxTrackedClients) ForgetFullBuckets(gate, now);
        if (gate.Clients.size() >= MaxTrackedClients) {
            retryAfter = 60;
            return false;
        }
        found = gate.Clients.emplace(client, TokenBucket{gate.Limits.Burst, now}).first;
    }
    TokenBucket& bucket = found->second;
    Refill(bucket, gate.Limits, now);
    if (bucket.Tokens >= 1) {
        bucket.Tokens -= 1;
        return true;
    }
    // at most an hour, which also covers a rate of zero
    const double wait = std::ceil((1 - bucket.Tokens) * 60 / gate.Limits.UploadsPerMinute);
    retryAfter = wait < 3600 ? static_cast<int>(wait) : 3600;
    return false;
}

// Whether the database file plus `uploadBytes` stays within the quota.
bool WithinQuota(UploadGate& gate, int64_t uploadBytes) {
    int64_t quota = 0;
    {
        std::lock_guard<std::mutex> hold(gate.Lock);
        quota = gate.Limits.QuotaBytes;
    }
    return FileBytes(gate.DatabasePath) + uploadBytes <= quota;
}

// The Content-Type of an upload is kept under this name: the library would otherwise parse a form
// body itself, and it refuses the closing delimiter without a line break that the program sends.
const char UploadTypeHeader[] = "X-Upload-Content-Type";

httplib::Server::HandlerResponse HideFormType(const httplib::Request& request, httplib::Response&) {
    // The request object is the library's own modifiable one, lent to this handler as const.
    httplib::Request& editable = const_cast<httplib::Request&>(request);
    editable.headers.erase(UploadTypeHeader);
    const auto type = editable.headers.find("Content-Type");
    if (type != editable.headers.end()) {
        const std::string value = type->second;
        editable.headers.erase(type);
        editable.headers.emplace(UploadTypeHeader, value);
    }
    return httplib::Server::HandlerResponse::Unhandled;
}

// The checks come once the body is in: a server that answers before reading it all closes a connection
// the client is still writing to, and the client sees a reset instead of the answer.
void ReceiveUpload(DriveStore& store, UploadGate& gate, const httplib::Request& request, httplib::Response& response) {
    int retryAfter = 0;
    if (!TakeUploadToken(gate, request.remote_addr, retryAfter)) {
        response.status = 429;
        response.set_header("Retry-After", std::to_string(retryAfter));
        response.set_content("too many uploads, try again later\n", "text/plain");
        return;
    }
    Upload upload;
    std::string why;
    if (!ParseUpload(request.get_header_value(UploadTypeHeader), request.body, upload, why)) {
        std::cerr << "upload refused: " << why << "\n";
        response.status = 400;
        response.set_content("malformed upload\n", "text/plain");
        return;
    }
    upload.ReceivedAt = UtcNowText();
    std::lock_guard<std::mutex> hold(gate.QuotaLock);
    if (!WithinQuota(gate, static_cast<int64_t>(request.body.size()))) {
        response.status = 507;
        response.set_content("the database is full\n", "text/plain");
        return;
    }
    int64_t id = 0;
    const StoreOutcome stored = StoreUpload(store, upload, id, why);
    if (stored == StoreOutcome::DoesNotFit) {
        std::cerr << "upload refused: " << why << "\n";
        response.status = 400;
        response.set_content("a text does not fit its column\n", "text/plain");
        return;
    }
    if (stored != StoreOutcome::Stored) {
        std::cerr << "upload not stored: " << why << "\n";
        response.status = 500;
        response.set_content("not stored\n", "text/plain");
        return;
    }
    response.set_content("stored " + std::to_string(id) + "\n", "text/plain");
}

void ServePage(DriveStore& store, const httplib::Request& request, httplib::Response& response) {
    bool fake = false;
    std::string model, firmware, why;
    ModelPage page;
    int64_t number = 1;
    if (!PageKeyFromPath(request.path, fake, model, firmware) ||
        (request.has_param("page") && !PageNumberFromText(request.get_param_value("page"), number))) {
        response.status = 404;
        return;
    }
    if (!LoadModelPage(store, fake, model, firmware, number, page, why)) {
        std::cerr << "page not read: " << why << "\n";
        response.status = 500;
        return;
    }
    if (page.Drives.empty()) {
        response.status = 404;
        response.set_content(page.Figures.Drives > 0 ? "There is no such page of this model and firmware.\n"
                                                     : "Nothing has been published for this model and firmware.\n",
                             "text/plain");
        return;
    }
    response.set_content(RenderModelPage(fake, model, firmware, page), "text/html; charset=utf-8");
}

}  // namespace

void SetUploadLimits(UploadGate& gate, const UploadLimits& limits) {
    std::lock_guard<std::mutex> hold(gate.Lock);
    gate.Limits = limits;
    gate.Clients.clear();
}

void InstallRoutes(httplib::Server& server, DriveStore& store, UploadGate& gate) {
    ConfigureConnections(server);
    server.set_payload_max_length(MaxUploadBytes);
    server.set_pre_routing_handler(HideFormType);
    server.Post("/korvante-data.php", [&store, &gate](const httplib::Request& request, httplib::Response& response) {
        ReceiveUpload(store, gate, request, response);
    });
    server.Get("/database/.*", [&store](const httplib::Request& request, httplib::Response& response) {
        ServePage(store, request, response);
    });
}

int BindServer(httplib::Server& server, const std::string& address, int port) {
    socket_t listening = INVALID_SOCKET;
    server.set_socket_options([&listening](socket_t sock) {
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        listening = sock;  // the last socket tried is the one bound
    });
    const int bound = port == 0 ? server.bind_to_any_port(address) : (server.bind_to_port(address, port) ? port : -1);
    if (bound <= 0 || ::listen(listening, SOMAXCONN) != 0) return -1;  // listen again: a longer queue
    return bound;
}

std::string UtcNowText() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
    return text;
}
