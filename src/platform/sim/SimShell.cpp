#include "platform/sim/SimShell.h"

#include <algorithm>
#include <mutex>

#include "platform/Shell.h"
#include "platform/Windowing.h"
#include "platform/sim/SimNetwork.h"

namespace sim {
namespace {

std::mutex ShellLock;
std::vector<ShellRequest> Requests;
bool Fails = false;
std::function<void(const std::string&)> BeforeStart;

// A started program recorded with what its file held, after the test's hook had its say.
bool RecordStart(ShellRequest request) {
    std::function<void(const std::string&)> hook;
    {
        std::lock_guard<std::mutex> lock(ShellLock);
        hook = BeforeStart;
    }
    if (hook) hook(request.File);
    request.Bytes = WrittenFile(request.File);
    std::lock_guard<std::mutex> lock(ShellLock);
    Requests.push_back(std::move(request));
    return !Fails;
}

}  // namespace

std::vector<ShellRequest> ShellRequests(size_t from) {
    std::lock_guard<std::mutex> lock(ShellLock);
    return std::vector<ShellRequest>(Requests.begin() + static_cast<std::ptrdiff_t>(std::min(from, Requests.size())),
                                     Requests.end());
}

void ClearShellRequests() {
    std::lock_guard<std::mutex> lock(ShellLock);
    Requests.clear();
    BeforeStart = nullptr;
}

void SetShellFails(bool fails) {
    std::lock_guard<std::mutex> lock(ShellLock);
    Fails = fails;
}

void SetBeforeStart(std::function<void(const std::string& file)> hook) {
    std::lock_guard<std::mutex> lock(ShellLock);
    BeforeStart = std::move(hook);
}

}  // namespace sim

namespace platform {

bool ShellExecute(std::uintptr_t window, const std::string& verb, const std::string& file,
                  const std::string& parameters, const std::string& directory, int showCommand) {
    return sim::RecordStart({window, verb, file, parameters, directory, showCommand, {}});
}

bool CreateProcess(const std::string& application, const std::string& arguments, const std::string& directory) {
    return sim::RecordStart({0, "", application, arguments, directory, SW_HIDE, {}});
}

}  // namespace platform
