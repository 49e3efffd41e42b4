// The installation facility of the simulated machine. Files live in the system facility's file set
// (SimSystem.h); this adds folders, file sizes, 8.3 aliases, files that refuse to be overwritten, the
// named file mappings (shared by every "process" of the world), the program's raw-data resources and
// a record of the files written and of the programs waited for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct WrittenFile {
    std::string Path;
    std::string Bytes;
};
struct WaitedProgram {
    std::string File;
    std::string Parameters;
    int ShowCommand;
    uint32_t Milliseconds;
};

void AddFolder(const std::string& path);
bool FolderExists(const std::string& path);
void SetFileSize(const std::string& path, uint64_t size);
// `shortPath` names the same file or folder as `longPath` (both full paths).
void SetShortPathName(const std::string& longPath, const std::string& shortPath);
// Copying onto this file fails with ERROR_SHARING_VIOLATION (32).
void LockFile(const std::string& path);
// The value held by the named mapping; false when no handle to it is open.
bool MappingValue(const std::string& name, uint32_t& value);
void SetRawResource(const std::string& name, const std::string& bytes);
// The program's own process identifier (GetCurrentProcessId).
constexpr uint32_t ProgramProcessId = 1492;
// Another process runs `image` (QueryFullProcessImageName names it).
void AddProcess(uint32_t processId, const std::string& image);
std::vector<WrittenFile> WrittenFiles();
std::vector<WaitedProgram> WaitedPrograms();

// No folder, size, alias, lock, mapping, resource, other process or record.
void ResetInstallation();

}  // namespace sim
