// The threads facility of the simulated machine: platform::CreateThread starts a real thread, which
// runs its work and ends on its own like a Windows worker; platform::ExitProcess is recorded and
// returns. The threads are tracked rather than
// detached, so that a test (and sim::ResetWorld) can wait for every one to end.
#pragma once

#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

namespace sim {

// Joins every worker thread started so far, and those they start meanwhile. Not from a worker.
void WaitForWorkers();

// Joins the workers that end; returns once every one left waits for the user (`waitsForUser` says
// so of its thread), rechecking in real time while some are still at work. Not from a worker.
void WaitForWorkersExcept(const std::function<bool(std::thread::id)>& waitsForUser);

// Worker threads started since the last reset of the world.
unsigned WorkersStarted();

// The exit codes platform::ExitProcess was called with, in order.
std::vector<uint32_t> ProcessExits();

// WaitForWorkers, and the count and the exits from zero again.
void ResetWorkers();

}  // namespace sim
