// The network of the simulated machine: addresses served from a test's table, each transfer whole,
// cut short, stalled or refused; every request sent with a body recorded and answered with the
// status a test sets or a handler computes; and the files the program writes kept with their bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace sim {

enum class Transfer {
    Whole,        // every byte, the length announced
    Unannounced,  // every byte, no length announced
    Cut,          // the length announced, the connection closed after CutAt bytes (reads end early)
    Stalled,      // the length announced; after CutAt bytes a read fails, as when it times out
};

struct ServedFile {
    std::string Body;
    Transfer Mode = Transfer::Whole;
    std::size_t CutAt = 0;
};

// Serves `file` at `url` (exactly as opened). An address not served cannot be opened.
void Serve(const std::string& url, const ServedFile& file);
// While set, InternetOpen fails.
void SetOffline(bool offline);

struct UrlRequest {
    std::string Agent;  // of the Internet handle it was opened on
    std::string Url;
    std::string Headers;
    uint32_t Flags;
};
// Every InternetOpenUrl so far, in order, and the options set on Internet handles (option, value).
std::vector<UrlRequest> UrlRequests();
std::vector<std::pair<uint32_t, uint32_t>> InternetOptions();
// Internet handles opened and not closed.
unsigned OpenInternetHandles();

// A request sent with HttpSendRequest, with what its connection and request handles were opened with.
struct PostRequest {
    std::string Agent;
    std::string Host;
    uint16_t Port;
    uint32_t Service;
    std::string Verb;
    std::string Object;
    uint32_t Flags;
    std::string Headers;
    std::string Body;
};
// Every request sent so far, in order (failed sends included).
std::vector<PostRequest> PostRequests();
// The HTTP status the server answers a sent request with (200 at the start).
void SetPostStatus(uint32_t status);
// While set, the answer comes from `handler` (on the sending thread, without the network's lock) in
// place of the status set; an empty handler goes back to the status.
using PostHandler = std::function<uint32_t(const PostRequest&)>;
void SetPostHandler(PostHandler handler);
// While not 0, HttpSendRequest fails with this error code (the request is still recorded).
void SetPostError(uint32_t error);

// The bytes last written to `path` while the file exists (SimSystem.h's file set); empty otherwise.
std::string WrittenFile(const std::string& path);

// Nothing served, online, no request, option, handle or written file; status 200, no handler, no error.
void ResetNetwork();

}  // namespace sim
