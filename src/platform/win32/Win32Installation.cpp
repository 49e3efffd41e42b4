// The installation facility on Windows (platform/Installation.h).
#include "platform/Installation.h"

#include <vector>

#include "platform/win32/WindowsApi.h"

namespace platform {

bool CreateDirectory(const std::string& path) {
    return ::CreateDirectoryA(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

bool CopyFile(const std::string& from, const std::string& to) { return ::CopyFileA(from.c_str(), to.c_str(), FALSE); }

uint32_t GetFileAttributes(const std::string& path) { return ::GetFileAttributesA(path.c_str()); }

bool SetFileAttributes(const std::string& path, uint32_t attributes) {
    return ::SetFileAttributesA(path.c_str(), attributes);
}

bool GetFileSize(const std::string& path, uint64_t& size) {
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (file == reinterpret_cast<HANDLE>(-1)) return false;
    LARGE_INTEGER length{};
    const bool known = ::GetFileSizeEx(file, &length);
    ::CloseHandle(file);
    if (!known) return false;
    size = static_cast<uint64_t>(length.QuadPart);
    return true;
}

bool WriteNewFile(const std::string& path, const std::string& bytes) {
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0x80, nullptr);
    if (file == reinterpret_cast<HANDLE>(-1)) return false;
    DWORD written = 0;
    const bool wrote = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return wrote && written == bytes.size();
}

bool RemoveDirectory(const std::string& path) { return ::RemoveDirectoryA(path.c_str()); }

std::string GetShortPathName(const std::string& path) {
    const DWORD needed = ::GetShortPathNameA(path.c_str(), nullptr, 0);
    if (needed == 0) return std::string();
    std::vector<char> buffer(needed + 1u, '\0');
    const DWORD length = ::GetShortPathNameA(path.c_str(), buffer.data(), needed + 1u);
    return length == 0 || length > needed ? std::string() : std::string(buffer.data(), length);
}

uint32_t GetLastError() { return ::GetLastError(); }

std::string FormatMessage(uint32_t code) {
    char text[512] = {};
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                          text, sizeof text, nullptr);
    std::string message(text, length < sizeof text ? length : 0);
    while (!message.empty() && (message.back() == ' ' || message.back() == '\r' || message.back() == '\n'))
        message.pop_back();
    return message;
}

Handle CreateFileMapping(const std::string& name, uint32_t size, bool& alreadyExisted) {
    const HANDLE mapping = ::CreateFileMappingA(reinterpret_cast<HANDLE>(-1), nullptr, PAGE_READWRITE, 0, size,
                                                name.c_str());
    alreadyExisted = mapping && ::GetLastError() == ERROR_ALREADY_EXISTS;
    return reinterpret_cast<Handle>(mapping);
}

Handle OpenFileMapping(const std::string& name) {
    return reinterpret_cast<Handle>(::OpenFileMappingA(FILE_MAP_READ, TRUE, name.c_str()));
}

bool WriteMappedValue(Handle mapping, uint32_t value, unsigned slot) {
    void* view = ::MapViewOfFile(reinterpret_cast<HANDLE>(mapping), FILE_MAP_ALL_ACCESS, 0, 0, (slot + 1) * sizeof value);
    if (!view) return false;
    static_cast<volatile uint32_t*>(view)[slot] = value;
    ::UnmapViewOfFile(view);
    return true;
}

bool ReadMappedValue(Handle mapping, uint32_t& value, unsigned slot) {
    const void* view = ::MapViewOfFile(reinterpret_cast<HANDLE>(mapping), FILE_MAP_READ, 0, 0, (slot + 1) * sizeof value);
    if (!view) return false;
    value = static_cast<const volatile uint32_t*>(view)[slot];
    ::UnmapViewOfFile(view);
    return true;
}

bool CloseFileMapping(Handle mapping) { return ::CloseHandle(reinterpret_cast<HANDLE>(mapping)); }

uint32_t GetCurrentProcessId() { return ::GetCurrentProcessId(); }

std::string QueryFullProcessImageName(uint32_t processId) {
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process) return std::string();
    char path[MAX_PATH * 2] = {};
    DWORD size = sizeof path;
    const bool named = ::QueryFullProcessImageNameA(process, 0, path, &size) != FALSE;
    ::CloseHandle(process);
    return named ? std::string(path, size) : std::string();
}

bool ShellExecuteAndWait(const std::string& file, const std::string& parameters, int showCommand,
                         uint32_t milliseconds) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = file.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.nShow = showCommand;
    if (!::ShellExecuteExA(&info)) return false;
    if (info.hProcess) {
        ::WaitForSingleObject(info.hProcess, milliseconds);
        ::CloseHandle(info.hProcess);
    }
    return true;
}

std::string CharToOem(const std::string& text) {
    std::string oem(text.size(), '\0');
    if (!text.empty()) ::CharToOemBuffA(text.data(), &oem[0], static_cast<DWORD>(text.size()));
    return oem;
}

std::string AnsiToUtf8(const std::string& text) {
    if (text.empty()) return text;
    const int wide = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (wide <= 0) return std::string();
    std::wstring utf16(static_cast<size_t>(wide), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &utf16[0], wide);
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string utf8(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

std::string LoadRawResource(const std::string& name) {
    const HRSRC found = ::FindResourceA(nullptr, name.c_str(), MAKEINTRESOURCEA(10));  // RT_RCDATA
    if (!found) return std::string();
    const HGLOBAL loaded = ::LoadResource(nullptr, found);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes) return std::string();
    return std::string(static_cast<const char*>(bytes), ::SizeofResource(nullptr, found));
}

}  // namespace platform
