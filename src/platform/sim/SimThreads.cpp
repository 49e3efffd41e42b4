#include "platform/sim/SimThreads.h"

#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/Entry.h"
#include "platform/Threads.h"

namespace sim {
namespace {

std::mutex WorkersLock;
std::vector<std::thread> Workers;  // started and not yet joined
unsigned Started = 0;
std::vector<uint32_t> Exits;

}  // namespace

void WaitForWorkers() {
    for (;;) {
        std::vector<std::thread> joining;
        {
            std::lock_guard<std::mutex> lock(WorkersLock);
            joining.swap(Workers);
        }
        if (joining.empty()) return;
        for (std::thread& t : joining) t.join();  // a worker may start another meanwhile: look again
    }
}

unsigned WorkersStarted() {
    std::lock_guard<std::mutex> lock(WorkersLock);
    return Started;
}

std::vector<uint32_t> ProcessExits() {
    std::lock_guard<std::mutex> lock(WorkersLock);
    return Exits;
}

void ResetWorkers() {
    WaitForWorkers();
    std::lock_guard<std::mutex> lock(WorkersLock);
    Started = 0;
    Exits.clear();
}

}  // namespace sim

namespace platform {

bool CreateThread(std::function<void()> work) {
    if (!work) return false;
    std::lock_guard<std::mutex> lock(sim::WorkersLock);
    try {
        sim::Workers.emplace_back(std::move(work));
    } catch (const std::system_error&) {
        return false;  // no thread could be started
    }
    ++sim::Started;
    return true;
}

void ExitProcess(uint32_t exitCode) {
    std::lock_guard<std::mutex> lock(sim::WorkersLock);
    sim::Exits.push_back(exitCode);
}

}  // namespace platform
