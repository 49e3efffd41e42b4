#include "platform/sim/SimForeground.h"

#include <mutex>

#include "platform/Dialogs.h"

namespace sim {
namespace {

std::mutex ForegroundLock;
std::vector<uint32_t> LockCalls;
std::vector<std::pair<platform::HWnd, platform::WParam>> Deleted;

}  // namespace

std::vector<uint32_t> ForegroundLockCalls() {
    std::lock_guard<std::mutex> lock(ForegroundLock);
    return LockCalls;
}

std::vector<std::pair<platform::HWnd, platform::WParam>> DeletedSystemMenuCommands() {
    std::lock_guard<std::mutex> lock(ForegroundLock);
    return Deleted;
}

void ResetForeground() {
    std::lock_guard<std::mutex> lock(ForegroundLock);
    LockCalls.clear();
    Deleted.clear();
}

}  // namespace sim

namespace platform {

bool LockSetForegroundWindow(uint32_t code) {
    std::lock_guard<std::mutex> lock(sim::ForegroundLock);
    sim::LockCalls.push_back(code);
    return code == LSFW_LOCK || code == LSFW_UNLOCK;
}

// A system menu holds each command once.
bool DeleteSystemMenuCommand(HWnd window, WParam command) {
    if (!IsWindow(window)) return false;
    std::lock_guard<std::mutex> lock(sim::ForegroundLock);
    for (const auto& d : sim::Deleted)
        if (d.first == window && d.second == command) return false;
    sim::Deleted.emplace_back(window, command);
    return true;
}

LParam WindowColourBackground(WParam) { return sim::WindowColourBrush; }

}  // namespace platform
