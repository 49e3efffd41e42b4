// The threads facility of the platform interface: self-freeing worker threads.
#pragma once

#include <functional>

namespace platform {

// CreateThread(no security, default stack, work, no flags) and CloseHandle of the handle it returns:
// the new thread owns `work`, runs it and frees itself when it ends; nobody waits for it. False when
// no thread could be started, and then `work` is not run.
bool CreateThread(std::function<void()> work);

}  // namespace platform
