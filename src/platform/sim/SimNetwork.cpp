#include "platform/sim/SimNetwork.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/Network.h"
#include "platform/sim/SimSystem.h"

namespace sim {
namespace {

constexpr std::size_t LargestRead = 65536;  // a read returns what one packet train brings, not all

struct OpenHandle {
    std::string Agent;
    bool IsFile = false;
    ServedFile File;
    std::size_t Position = 0;
};

std::mutex NetworkLock;
std::map<std::string, ServedFile> Files;
std::map<platform::HInternet, OpenHandle> Handles;
std::map<std::string, std::string> Written;  // by the path as written
std::vector<UrlRequest> Requests;
std::vector<std::pair<uint32_t, uint32_t>> Options;
platform::HInternet NextHandle = 0x100;
bool Offline = false;

OpenHandle* Find(platform::HInternet handle) {
    const auto it = Handles.find(handle);
    return it == Handles.end() ? nullptr : &it->second;
}

platform::HInternet Add(OpenHandle handle) {
    Handles[++NextHandle] = std::move(handle);
    return NextHandle;
}

}  // namespace

void Serve(const std::string& url, const ServedFile& file) {
    std::lock_guard<std::mutex> lock(NetworkLock);
    Files[url] = file;
}

void SetOffline(bool offline) {
    std::lock_guard<std::mutex> lock(NetworkLock);
    Offline = offline;
}

std::vector<UrlRequest> UrlRequests() {
    std::lock_guard<std::mutex> lock(NetworkLock);
    return Requests;
}

std::vector<std::pair<uint32_t, uint32_t>> InternetOptions() {
    std::lock_guard<std::mutex> lock(NetworkLock);
    return Options;
}

unsigned OpenInternetHandles() {
    std::lock_guard<std::mutex> lock(NetworkLock);
    return static_cast<unsigned>(Handles.size());
}

std::string WrittenFile(const std::string& path) {
    if (!FileExists(path)) return std::string();
    std::lock_guard<std::mutex> lock(NetworkLock);
    const auto it = Written.find(path);
    return it == Written.end() ? std::string() : it->second;
}

void ResetNetwork() {
    std::lock_guard<std::mutex> lock(NetworkLock);
    Files.clear();
    Handles.clear();
    Written.clear();
    Requests.clear();
    Options.clear();
    Offline = false;
}

}  // namespace sim

namespace platform {

using sim::NetworkLock;

HInternet InternetOpen(const std::string& agent) {
    std::lock_guard<std::mutex> lock(NetworkLock);
    if (sim::Offline) return 0;
    return sim::Add({agent, false, {}, 0});
}

bool InternetSetOption(HInternet internet, uint32_t option, uint32_t value) {
    std::lock_guard<std::mutex> lock(NetworkLock);
    const sim::OpenHandle* handle = sim::Find(internet);
    if (!handle || handle->IsFile) return false;
    sim::Options.emplace_back(option, value);
    return true;
}

HInternet InternetOpenUrl(HInternet internet, const std::string& url, const std::string& headers, uint32_t flags) {
    std::lock_guard<std::mutex> lock(NetworkLock);
    const sim::OpenHandle* session = sim::Find(internet);
    if (!session || session->IsFile) return 0;
    sim::Requests.push_back({session->Agent, url, headers, flags});
    const auto served = sim::Files.find(url);
    if (served == sim::Files.end()) return 0;
    return sim::Add({session->Agent, true, served->second, 0});
}

bool InternetReadFile(HInternet file, uint8_t* buffer, uint32_t size, uint32_t& read) {
    std::lock_guard<std::mutex> lock(NetworkLock);
    read = 0;
    sim::OpenHandle* handle = sim::Find(file);
    if (!handle || !handle->IsFile) return false;
    const sim::ServedFile& served = handle->File;
    const bool shortened = served.Mode == sim::Transfer::Cut || served.Mode == sim::Transfer::Stalled;
    const std::size_t end = shortened ? std::min(served.CutAt, served.Body.size()) : served.Body.size();
    if (handle->Position >= end && served.Mode == sim::Transfer::Stalled) return false;
    read = static_cast<uint32_t>(std::min({std::size_t{size}, end - handle->Position, sim::LargestRead}));
    std::memcpy(buffer, served.Body.data() + handle->Position, read);
    handle->Position += read;
    return true;
}

bool HttpQueryContentLength(HInternet file, uint32_t& length) {
    std::lock_guard<std::mutex> lock(NetworkLock);
    const sim::OpenHandle* handle = sim::Find(file);
    if (!handle || !handle->IsFile || handle->File.Mode == sim::Transfer::Unannounced) return false;
    length = static_cast<uint32_t>(handle->File.Body.size());
    return true;
}

bool HttpQueryStatusCode(HInternet file, uint32_t& status) {
    std::lock_guard<std::mutex> lock(NetworkLock);
    const sim::OpenHandle* handle = sim::Find(file);
    if (!handle || !handle->IsFile) return false;
    status = handle->File.Status;
    return true;
}

bool InternetCloseHandle(HInternet handle) {
    std::lock_guard<std::mutex> lock(NetworkLock);
    return sim::Handles.erase(handle) != 0;
}

bool WriteNewFile(const std::string& path, const uint8_t* data, std::size_t size) {
    sim::AddFile(path);
    std::lock_guard<std::mutex> lock(NetworkLock);
    sim::Written[path].assign(reinterpret_cast<const char*>(data), size);
    return true;
}

}  // namespace platform
