// The network of the simulated machine: addresses served from a test's table, each transfer whole,
// cut short, stalled or refused, and the files the program writes kept with their bytes.
#pragma once

#include <cstdint>
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
    uint32_t Status = 200;  // the HTTP status the reply carries
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

// The bytes last written to `path` while the file exists (SimSystem.h's file set); empty otherwise.
std::string WrittenFile(const std::string& path);

// Nothing served, online, no request, option, handle or written file.
void ResetNetwork();

}  // namespace sim
