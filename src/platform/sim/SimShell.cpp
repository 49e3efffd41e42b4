#include "platform/sim/SimShell.h"

#include <algorithm>
#include <mutex>

#include "platform/Shell.h"
#include "platform/sim/SimNetwork.h"

namespace sim {
namespace {

std::mutex ShellLock;
std::vector<ShellRequest> Requests;
bool Fails = false;
std::function<void(const std::string&)> BeforeStart;

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
    std::function<void(const std::string&)> hook;
    {
        std::lock_guard<std::mutex> lock(sim::ShellLock);
        hook = sim::BeforeStart;
    }
    if (hook) hook(file);
    std::lock_guard<std::mutex> lock(sim::ShellLock);
    sim::Requests.push_back({window, verb, file, parameters, directory, showCommand, sim::WrittenFile(file)});
    return !sim::Fails;
}

}  // namespace platform
