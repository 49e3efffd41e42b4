// The scheduled task an installation test registered, deleted again: through the task scheduler's
// tool, and, where that leaves the stored definition behind (Wine), by removing the stored file.
#pragma once

#include "platform/win32/WindowsApi.h"

#include <string>

// The stored definition of the task `name` (system32\tasks).
inline std::string StoredTaskPath(const std::string& name) {
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\system32\\tasks\\" + name;
}

// True when no stored definition is left.
inline bool DeleteTestTask(const std::string& name) {
    std::string command = "schtasks /Delete /TN " + name + " /F";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                         &process)) {
        ::WaitForSingleObject(process.hProcess, 10000);
        ::CloseHandle(process.hProcess);
        ::CloseHandle(process.hThread);
    }
    const std::string stored = StoredTaskPath(name);
    ::DeleteFileA(stored.c_str());
    return ::GetFileAttributesA(stored.c_str()) == INVALID_FILE_ATTRIBUTES;
}
