#include "platform/sim/SimThreads.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/Entry.h"
#include "platform/Threads.h"

namespace sim {
namespace {

std::mutex WorkersLock;
struct Worker {
    std::thread Thread;
    std::shared_ptr<std::atomic<bool>> Done;  // its work has returned
};
std::vector<Worker> Workers;  // started and not yet joined
unsigned Started = 0;
std::vector<uint32_t> Exits;

}  // namespace

void WaitForWorkers() {
    for (;;) {
        std::vector<Worker> joining;
        {
            std::lock_guard<std::mutex> lock(WorkersLock);
            joining.swap(Workers);
        }
        if (joining.empty()) return;
        for (Worker& w : joining) w.Thread.join();  // a worker may start another meanwhile: look again
    }
}

void WaitForWorkersExcept(const std::function<bool(std::thread::id)>& waitsForUser) {
    for (;;) {
        std::vector<Worker> running;
        {
            std::lock_guard<std::mutex> lock(WorkersLock);
            running.swap(Workers);
        }
        bool settled = true;
        std::vector<Worker> left;
        for (Worker& w : running) {
            if (w.Done->load()) w.Thread.join();
            else if (waitsForUser(w.Thread.get_id())) left.push_back(std::move(w));
            else {
                settled = false;
                left.push_back(std::move(w));
            }
        }
        std::lock_guard<std::mutex> lock(WorkersLock);
        for (Worker& w : left) Workers.push_back(std::move(w));
        if (settled) return;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
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
        auto done = std::make_shared<std::atomic<bool>>(false);
        sim::Workers.push_back({std::thread([work = std::move(work), done] {
                                    work();
                                    done->store(true);
                                }),
                                done});
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
