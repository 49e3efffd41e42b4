// The installation facility of the platform interface: folders and files of the installed copy, the
// short form of a path, the named file mapping that marks the running instance and the program a
// process runs, programs started
// hidden, the program's own raw-data resources and the system's text for an error code (kernel32,
// shell32).
#pragma once

#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace platform {

// The Windows headers define these as macros of the same values.
#ifndef INVALID_FILE_ATTRIBUTES
constexpr uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr uint32_t INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr uint32_t ERROR_ALREADY_EXISTS = 183;
#endif

// CreateDirectoryA without security attributes; an existing folder counts as made.
bool CreateDirectory(const std::string& path);
// CopyFileA(from, to, overwrite): false when it failed (GetLastError tells why).
bool CopyFile(const std::string& from, const std::string& to);
// GetFileAttributesA: INVALID_FILE_ATTRIBUTES when there is nothing at the path.
uint32_t GetFileAttributes(const std::string& path);
bool SetFileAttributes(const std::string& path, uint32_t attributes);
// GetFileSize of the file opened for reading; false when it cannot be opened.
bool GetFileSize(const std::string& path, uint64_t& size);
// CreateFileA(always create) and WriteFileA of every byte; false unless all were written.
bool WriteNewFile(const std::string& path, const std::string& bytes);
// RemoveDirectoryA: false when the folder is missing or not empty.
bool RemoveDirectory(const std::string& path);
// GetShortPathNameA: the 8.3 form of an existing path; empty when there is none.
std::string GetShortPathName(const std::string& path);

uint32_t GetLastError();
// FormatMessageA from the system for the code, trailing blanks and line breaks removed.
std::string FormatMessage(uint32_t code);

// CreateFileMappingA(paging file, read-write, `size` bytes, name): 0 on failure; `alreadyExisted` is
// set when another process made it first (the handle is still returned).
Handle CreateFileMapping(const std::string& name, uint32_t size, bool& alreadyExisted);
// OpenFileMappingA(read, inheritable, name): 0 when there is none.
Handle OpenFileMapping(const std::string& name);
// MapViewOfFile of the mapping's 4 bytes at `slot` × 4, the value written or read, UnmapViewOfFile.
bool WriteMappedValue(Handle mapping, uint32_t value, unsigned slot = 0);
bool ReadMappedValue(Handle mapping, uint32_t& value, unsigned slot = 0);
// CloseHandle of a file mapping.
bool CloseFileMapping(Handle mapping);

// GetCurrentProcessId, which the mapping holds beside the main window.
uint32_t GetCurrentProcessId();
// OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, not inherited, processId), QueryFullProcessImageNameA
// (Win32 path form) and CloseHandle: the path of the program the process runs; empty when there is
// no such process or it cannot be asked.
std::string QueryFullProcessImageName(uint32_t processId);

// ShellExecuteExA(no verb, file, parameters, show) keeping the process handle, then
// WaitForSingleObject on it for at most `milliseconds`; false when the program could not be started.
bool ShellExecuteAndWait(const std::string& file, const std::string& parameters, int showCommand,
                         uint32_t milliseconds);

// CharToOemBuffA: ANSI text in the OEM code page, as the command interpreter reads a batch file.
std::string CharToOem(const std::string& text);

// MultiByteToWideChar from the ANSI code page, then WideCharToMultiByte to UTF-8; empty on failure.
std::string AnsiToUtf8(const std::string& text);

// FindResourceA(own module, name, RT_RCDATA), LoadResource, the bytes whole; empty when missing.
std::string LoadRawResource(const std::string& name);

}  // namespace platform
