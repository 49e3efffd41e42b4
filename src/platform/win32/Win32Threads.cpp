// The threads facility of the platform interface on Windows.
#include "platform/win32/WindowsApi.h"

#include <memory>

#include "platform/Entry.h"
#include "platform/Threads.h"

namespace platform {
namespace {

// The thread's own copy of its work, freed when the work ends.
DWORD WINAPI RunWork(LPVOID parameter) {
    std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
    (*work)();
    return 0;
}

}  // namespace

bool CreateThread(std::function<void()> work) {
    if (!work) return false;
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    const HANDLE thread = ::CreateThread(nullptr, 0, RunWork, owned.get(), 0, nullptr);
    if (!thread) return false;  // `owned` frees the work
    owned.release();            // the thread frees it
    ::CloseHandle(thread);      // nobody waits for the thread: it frees itself when it ends
    return true;
}

void ExitProcess(uint32_t exitCode) { ::ExitProcess(exitCode); }

}  // namespace platform
