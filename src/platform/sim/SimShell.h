// The shell facility of the simulated machine: it opens nothing and records every request, in order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sim {

struct ShellRequest {
    std::uintptr_t Window;
    std::string Verb;
    std::string File;
    std::string Parameters;
    std::string Directory;
    int ShowCommand;
    std::string Bytes;  // what the file held when it was started (SimNetwork.h's written files)
};

// CreateProcess is recorded as a request without a window or verb, shown hidden.
// Copies of the requests so far (from the `from`th on), taken under the recorder's lock.
std::vector<ShellRequest> ShellRequests(size_t from = 0);
void ClearShellRequests();
// While set, every request is recorded and then reported as failed.
void SetShellFails(bool fails);
// Called with the file of each request before it is started (null: nothing).
void SetBeforeStart(std::function<void(const std::string& file)> hook);

}  // namespace sim
