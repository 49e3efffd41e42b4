// The file facility of the platform interface: the running program's path, the fixed version numbers
// of an executable's version resource, the user's temporary folder, the system's folders and deleting
// a file.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// GetModuleFileNameA(no module): the path of the running program; empty on failure.
std::string GetModuleFileName();

// VS_FIXEDFILEINFO's file version: major and minor in dwFileVersionMS, build and revision in
// dwFileVersionLS, each as a high and a low 16-bit half.
struct FixedFileVersion {
    uint32_t FileVersionMS;
    uint32_t FileVersionLS;
};

// GetFileVersionInfoSizeA, GetFileVersionInfoA into a block of that size and VerQueryValueA(block,
// "\\"): false when the file has no version information.
bool GetFileVersionInfo(const std::string& path, FixedFileVersion& version);

// GetTempPathA: the user's temporary folder with its trailing backslash; empty on failure.
std::string GetTempPath();

// GetSystemDirectoryA and GetWindowsDirectoryA: the folders of the system's own programs, without a
// trailing backslash; empty on failure. A program the installer starts is named by its full path in
// them, never by its bare name, which would be looked for in the current folder first.
std::string GetSystemDirectory();
std::string GetWindowsDirectory();

// DeleteFileA. False when the file is not there or cannot be deleted.
bool DeleteFile(const std::string& path);

}  // namespace platform
