#include "platform/sim/SimNetwork.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/Network.h"
#include "platform/sim/SimSystem.h"
#include "platform/sim/SimTrust.h"

namespace sim {
namespace {

constexpr std::size_t LargestRead = 65536;  // a read returns what one packet train brings, not all

enum class HandleKind { Internet, File, Connection, Request };

struct OpenHandle {
    std::string Agent;
    HandleKind Kind = HandleKind::Internet;
    ServedFile File;
    std::size_t Position = 0;
    PostRequest Post;       // a connection's or request's opening, filled as far as it goes
    bool Answered = false;  // a request the server answered
    uint32_t Status = 0;
};

std::mutex NetworkLock;
std::map<std::string, ServedFile> Files;
std::map<platform::HInternet, OpenHandle> Handles;
std::map<std::string, std::string> Written;  // by the path as written
std::vector<UrlRequest> Requests;
std::vector<std::pair<uint32_t, uint32_t>> Options;
std::vector<PostRequest> Posts;
uint32_t PostStatus = 200;
uint32_t PostError = 0;
PostHandler Handler;
platform::HInternet NextHandle = 0x100;
bool Offline = false;

OpenHandle* Find(platform::HInternet handle, HandleKind kind) {
    const auto it = Handles.find(handle);
    return it == Handles.end() || it->second.Kind != kind ? nullptr : &it->second;
}

// An error code for a handle of the wrong kind (ERROR_INVALID_HANDLE).
constexpr uint32_t InvalidHandle = 6;

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

std::vector<PostRequest> PostRequests() {
    std::lock_guard<std::mutex> lock(NetworkLock);
    return Posts;
}

void SetPostStatus(uint32_t status) {
    std::lock_guard<std::mutex> lock(NetworkLock);
    PostStatus = status;
}

void SetPostHandler(PostHandler handler) {
    std::lock_guard<std::mutex> lock(NetworkLock);
    Handler = std::move(handler);
}

void SetPostError(uint32_t error) {
    std::lock_guard<std::mutex> lock(NetworkLock);
    PostError = error;
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
    Posts.clear();
    PostStatus = 200;
    PostError = 0;
    Handler = nullptr;
    Offline = false;
}

}  // namespace sim

namespace platform {

using sim::NetworkLock;

HInternet InternetOpen(const std::string& agent) {
    std::lock_guard<std::mutex> lock(NetworkLock);
    if (sim::Offline) return 0;
    sim::OpenHandle internet;
    internet.Agent = agent;
    return sim::Add(internet);
}

bool InternetSetOption(HInternet internet, uint32_t option, uint32_t value) {
    std::lock_guard<std::mutex> lock(NetworkLock);
    if (!sim::Find(internet, sim::HandleKind::Internet)) return false;
    sim::Options.emplace_back(option, value);
    return true;
}

HInternet InternetOpenUrl(HInternet internet, const std::string& url, const std::string& headers, uint32_t flags) {
    std::lock_guard<std::mutex> lock(NetworkLock);
    const sim::OpenHandle* session = sim::Find(internet, sim::HandleKind::Internet);
    if (!session) return 0;
    sim::Requests.push_back({session->Agent, url, headers, flags});
    const auto served = sim::Files.find(url);
    if (served == sim::Files.end()) return 0;
    sim::OpenHandle file;
    file.Agent = session->Agent;
    file.Kind = sim::HandleKind::File;
    file.File = served->second;
    return sim::Add(file);
}

bool InternetReadFile(HInternet file, uint8_t* buffer, uint32_t size, uint32_t& read) {
    std::lock_guard<std::mutex> lock(NetworkLock);
    read = 0;
    sim::OpenHandle* handle = sim::Find(file, sim::HandleKind::File);
    if (!handle) return false;
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
    const sim::OpenHandle* handle = sim::Find(file, sim::HandleKind::File);
    if (!handle || handle->File.Mode == sim::Transfer::Unannounced) return false;
    length = static_cast<uint32_t>(handle->File.Body.size());
    return true;
}

HInternet InternetConnect(HInternet internet, const std::string& host, uint16_t port, uint32_t service, uint32_t& error) {
    std::lock_guard<std::mutex> lock(NetworkLock);
    const sim::OpenHandle* session = sim::Find(internet, sim::HandleKind::Internet);
    error = session ? 0 : sim::InvalidHandle;
    if (!session) return 0;
    sim::OpenHandle connection;
    connection.Agent = session->Agent;
    connection.Kind = sim::HandleKind::Connection;
    connection.Post = {session->Agent, host, port, service, "", "", 0, "", ""};
    return sim::Add(connection);
}

HInternet HttpOpenRequest(HInternet connection, const std::string& verb, const std::string& object, uint32_t flags,
                          uint32_t& error) {
    std::lock_guard<std::mutex> lock(NetworkLock);
    const sim::OpenHandle* opened = sim::Find(connection, sim::HandleKind::Connection);
    error = opened ? 0 : sim::InvalidHandle;
    if (!opened) return 0;
    sim::OpenHandle request = *opened;
    request.Kind = sim::HandleKind::Request;
    request.Post.Verb = verb;
    request.Post.Object = object;
    request.Post.Flags = flags;
    return sim::Add(request);
}

bool HttpSendRequest(HInternet request, const std::string& headers, const std::string& body, uint32_t& error) {
    sim::PostRequest post;
    sim::PostHandler handler;
    uint32_t status = 0;
    {
        std::lock_guard<std::mutex> lock(NetworkLock);
        const sim::OpenHandle* opened = sim::Find(request, sim::HandleKind::Request);
        if (!opened) {
            error = sim::InvalidHandle;
            return false;
        }
        post = opened->Post;
        post.Headers = headers;
        post.Body = body;
        sim::Posts.push_back(post);
        error = sim::PostError;
        if (error != 0) return false;
        handler = sim::Handler;
        status = sim::PostStatus;
    }
    if (handler) status = handler(post);
    std::lock_guard<std::mutex> lock(NetworkLock);
    sim::OpenHandle* opened = sim::Find(request, sim::HandleKind::Request);
    if (opened) {
        opened->Answered = true;
        opened->Status = status;
    }
    return true;
}

// A file answers with the status it is served with; a request once the server answered it.
bool HttpQueryStatusCode(HInternet handle, uint32_t& status) {
    std::lock_guard<std::mutex> lock(NetworkLock);
    if (const sim::OpenHandle* file = sim::Find(handle, sim::HandleKind::File)) {
        status = file->File.Status;
        return true;
    }
    const sim::OpenHandle* opened = sim::Find(handle, sim::HandleKind::Request);
    if (!opened || !opened->Answered) return false;
    status = opened->Status;
    return true;
}

bool InternetCloseHandle(HInternet handle) {
    std::lock_guard<std::mutex> lock(NetworkLock);
    return sim::Handles.erase(handle) != 0;
}

bool WriteNewFile(const std::string& path, const uint8_t* data, std::size_t size) {
    if (sim::FileHeld(path)) return false;  // a sharing violation
    sim::AddFile(path);
    std::lock_guard<std::mutex> lock(NetworkLock);
    sim::Written[path].assign(reinterpret_cast<const char*>(data), size);
    return true;
}

}  // namespace platform
