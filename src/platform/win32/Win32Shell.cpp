// The shell of the platform interface on Windows.
#include "platform/win32/WindowsApi.h"

#include "platform/Shell.h"

namespace platform {
namespace {

const char* TextOrNone(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

}  // namespace

bool ShellExecute(std::uintptr_t window, const std::string& verb, const std::string& file,
                  const std::string& parameters, const std::string& directory, int showCommand) {
    const HINSTANCE result = ::ShellExecuteA(reinterpret_cast<HWND>(window), TextOrNone(verb), file.c_str(),
                                             TextOrNone(parameters), TextOrNone(directory), showCommand);
    return reinterpret_cast<std::uintptr_t>(result) > 32;
}

bool CreateProcess(const std::string& application, const std::string& arguments, const std::string& directory) {
    std::string commandLine = "\"" + application + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(application.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          directory.c_str(), &startup, &started))
        return false;
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    return true;
}

}  // namespace platform
