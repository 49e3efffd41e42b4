// The threads facility of the simulated machine: platform::CreateThread starts a real thread, which
// runs its work and ends on its own like a Windows worker. The threads are tracked rather than
// detached, so that a test (and sim::ResetWorld) can wait for every one to end.
#pragma once

namespace sim {

// Joins every worker thread started so far, and those they start meanwhile. Not from a worker.
void WaitForWorkers();

// Worker threads started since the last reset of the world.
unsigned WorkersStarted();

// WaitForWorkers, and the count from zero again.
void ResetWorkers();

}  // namespace sim
