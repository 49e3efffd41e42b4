// The real worker threads and raw reads against what Windows (here: Wine) does: a worker runs its
// work on a thread of its own and leaves neither its work nor its handle behind; reads land where
// the file pointer was set; the message pump wakes the window and empties the calling thread's
// queue. (Message boxes wait for a user and the power query for a drive: neither
// can be answered here.)
#include "platform/Storage.h"
#include "platform/Threads.h"
#include "platform/UserInterface.h"
#include "ui/TrayMenu.h"
#include "platform/win32/WindowsApi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

DWORD HandleCount() {
    DWORD count = 0;
    EXPECT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &count));
    return count;
}

TEST(Win32Threads, AWorkerRunsOnItsOwnThreadAndFreesItsWorkAndItsHandle) {
    const HANDLE done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const DWORD handlesBefore = HandleCount();
    auto owned = std::make_shared<int>(5);
    std::atomic<DWORD> thread{0};
    std::atomic<int> seen{0};
    ASSERT_TRUE(platform::CreateThread([owned, done, &thread, &seen] {
        thread = ::GetCurrentThreadId();
        seen = *owned;
        ::SetEvent(done);
    }));
    ASSERT_EQ(::WaitForSingleObject(done, 10000), platform::WAIT_OBJECT_0);
    EXPECT_NE(thread, ::GetCurrentThreadId());
    EXPECT_EQ(seen, 5);
    for (int i = 0; i < 1000 && owned.use_count() > 1; ++i) ::Sleep(10);  // freed on the worker's way out
    EXPECT_EQ(owned.use_count(), 1);
    EXPECT_LE(HandleCount(), handlesBefore) << "the thread's handle was closed at its start";
    ::CloseHandle(done);
    EXPECT_FALSE(platform::CreateThread(std::function<void()>()));
}

TEST(Win32RawReads, AReadLandsWhereThePointerWasSetAndReadsNothingAtTheEnd) {
    char folder[MAX_PATH] = {};
    ASSERT_GT(::GetTempPathA(MAX_PATH, folder), 0u);
    const std::string path = std::string(folder) + "korvante-raw-" + std::to_string(::GetCurrentProcessId()) + ".bin";
    std::vector<char> bytes(8192);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i / 512 * 13 + i % 251);
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    {
        platform::OwnedHandle h(platform::CreateFile(path, 0));
        ASSERT_NE(static_cast<platform::Handle>(h), platform::INVALID_HANDLE_VALUE);
        char block[1024] = {};
        uint32_t read = 0;
        const struct { int64_t position; uint32_t read; } cases[] = {{4096, 1024}, {512, 1024}, {7680, 512}, {8192, 0}};
        for (const auto& c : cases) {
            ASSERT_TRUE(platform::SetFilePointerEx(h, c.position) && platform::ReadFile(h, block, sizeof block, read));
            EXPECT_EQ(read, c.read) << c.position;
            for (uint32_t i = 0; i < read; ++i) ASSERT_EQ(block[i], bytes[c.position + i]) << c.position << "+" << i;
        }
        EXPECT_FALSE(platform::SetFilePointerEx(h, -512));
        EXPECT_FALSE(platform::ReadFile(platform::INVALID_HANDLE_VALUE, block, sizeof block, read));
    }
    ::DeleteFileA(path.c_str());
}

// What the window's procedure saw, by message.
std::vector<UINT> Dispatched;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == platform::WM_NULL || message == WM_APP) Dispatched.push_back(message);
    return ::DefWindowProcA(window, message, w, l);
}

TEST(Win32MessagePump, WakesTheWindowAndDispatchesWhatIsPending) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "KorvantePumpTest";
    ASSERT_NE(::RegisterClassA(&windowClass), 0);
    const HWND window = ::CreateWindowExA(0, "KorvantePumpTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                          windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(::PostMessageA(window, WM_APP, 0, 0));
    platform::PumpMessages(reinterpret_cast<std::uintptr_t>(window));
    EXPECT_EQ(Dispatched, (std::vector<UINT>{WM_APP, platform::WM_NULL}));
    MSG left;
    EXPECT_FALSE(::PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE));
    platform::PumpMessages(0);  // no window: only the queue, which is empty
    EXPECT_EQ(Dispatched.size(), 2u);
    ::DestroyWindow(window);
    ::UnregisterClassA("KorvantePumpTest", windowClass.hInstance);
}

// The tray menu as Windows holds it: its items in order, separators included.
TEST(Win32TrayMenu, ItemsInOrderWithTheirSeparators) {
    ASSERT_TRUE(CreateTrayMenu());
    const HMENU menu = reinterpret_cast<HMENU>(TrayMenu);
    std::vector<std::string> items;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        char text[64] = {};
        ::GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        items.push_back(text[0] ? text : "-");
    }
    EXPECT_EQ(items, (std::vector<std::string>{"Open", "-", "Settings", "Help", "Update", "-", "Exit"}));
    ::DestroyMenu(menu);
}

}  // namespace
