#include "platform/sim/SimInstallation.h"

#include <map>
#include <mutex>
#include <set>

#include "platform/FileVersion.h"
#include "platform/Installation.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/sim/SimSystem.h"

namespace sim {
namespace {

constexpr uint32_t ERROR_PATH_NOT_FOUND = 3;
constexpr uint32_t ERROR_SHARING_VIOLATION = 32;
constexpr platform::Handle FirstMappingHandle = 0x7E6A0000;  // apart from drive and process handles

struct Mapping {
    uint32_t Values[2] = {};
    unsigned Handles = 0;
};

struct InstallationState {
    std::set<std::string> Folders;                // upper case
    std::map<std::string, uint64_t> Sizes;         // upper case
    std::map<std::string, std::string> ShortNames;  // upper-case long path -> short path
    std::set<std::string> Locked;                  // upper case
    std::map<std::string, Mapping> Mappings;
    std::map<platform::Handle, std::string> MappingHandles;
    platform::Handle NextHandle = FirstMappingHandle;
    std::map<std::string, std::string> Resources;  // upper-case name
    std::map<uint32_t, std::string> Processes;     // identifier -> program
    std::vector<WrittenFile> Written;
    std::vector<WaitedProgram> Waited;
    uint32_t LastError = 0;
};

std::recursive_mutex Lock;
InstallationState State;

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// The long form of a path given in either form.
std::string LongForm(const std::string& path) {
    for (const auto& [longPath, shortPath] : State.ShortNames)
        if (Upper(shortPath) == Upper(path)) return longPath;
    return path;
}

bool Fail(uint32_t error) {
    State.LastError = error;
    return false;
}

}  // namespace

void AddFolder(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(Lock);
    State.Folders.insert(Upper(path));
}

bool FolderExists(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(Lock);
    return State.Folders.count(Upper(LongForm(path))) != 0;
}

void SetFileSize(const std::string& path, uint64_t size) {
    std::lock_guard<std::recursive_mutex> lock(Lock);
    State.Sizes[Upper(path)] = size;
}

void SetShortPathName(const std::string& longPath, const std::string& shortPath) {
    std::lock_guard<std::recursive_mutex> lock(Lock);
    State.ShortNames[Upper(longPath)] = shortPath;
}

void LockFile(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(Lock);
    State.Locked.insert(Upper(path));
}

bool MappingValue(const std::string& name, uint32_t& value) {
    std::lock_guard<std::recursive_mutex> lock(Lock);
    const auto found = State.Mappings.find(name);
    if (found == State.Mappings.end()) return false;
    value = found->second.Values[0];
    return true;
}

void SetRawResource(const std::string& name, const std::string& bytes) {
    std::lock_guard<std::recursive_mutex> lock(Lock);
    State.Resources[Upper(name)] = bytes;
}

std::vector<WrittenFile> WrittenFiles() {
    std::lock_guard<std::recursive_mutex> lock(Lock);
    return State.Written;
}

std::vector<WaitedProgram> WaitedPrograms() {
    std::lock_guard<std::recursive_mutex> lock(Lock);
    return State.Waited;
}

void AddProcess(uint32_t processId, const std::string& image) {
    std::lock_guard<std::recursive_mutex> lock(Lock);
    State.Processes[processId] = image;
}

void ResetInstallation() {
    std::lock_guard<std::recursive_mutex> lock(Lock);
    State = InstallationState();
}

}  // namespace sim

namespace platform {

uint32_t GetCurrentProcessId() { return sim::ProgramProcessId; }

std::string QueryFullProcessImageName(uint32_t processId) {
    std::lock_guard<std::recursive_mutex> lock(sim::Lock);
    const auto found = sim::State.Processes.find(processId);
    return found == sim::State.Processes.end() ? std::string() : found->second;
}

bool CreateDirectory(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(sim::Lock);
    sim::State.Folders.insert(sim::Upper(sim::LongForm(path)));
    return true;
}

bool CopyFile(const std::string& from, const std::string& to) {
    std::lock_guard<std::recursive_mutex> lock(sim::Lock);
    const std::string source = sim::LongForm(from), target = sim::LongForm(to);
    if (!sim::FileExists(source)) return sim::Fail(ERROR_FILE_NOT_FOUND);
    if (sim::State.Locked.count(sim::Upper(target))) return sim::Fail(sim::ERROR_SHARING_VIOLATION);
    const std::string folder = target.substr(0, target.find_last_of('\\'));
    if (!sim::State.Folders.count(sim::Upper(folder))) return sim::Fail(sim::ERROR_PATH_NOT_FOUND);
    sim::AddFile(target);
    sim::State.Sizes[sim::Upper(target)] = sim::State.Sizes[sim::Upper(source)];
    FixedFileVersion version{};
    if (GetFileVersionInfo(source, version)) sim::SetFileVersion(target, version);
    return true;
}

uint32_t GetFileAttributes(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(sim::Lock);
    const std::string full = sim::LongForm(path);
    if (sim::State.Folders.count(sim::Upper(full))) return FILE_ATTRIBUTE_DIRECTORY;
    return sim::FileExists(full) ? FILE_ATTRIBUTE_NORMAL : INVALID_FILE_ATTRIBUTES;
}

bool SetFileAttributes(const std::string& path, uint32_t) {
    return GetFileAttributes(path) != INVALID_FILE_ATTRIBUTES;
}

bool GetFileSize(const std::string& path, uint64_t& size) {
    std::lock_guard<std::recursive_mutex> lock(sim::Lock);
    const std::string full = sim::LongForm(path);
    if (!sim::FileExists(full)) return false;
    size = sim::State.Sizes[sim::Upper(full)];
    return true;
}

bool WriteNewFile(const std::string& path, const std::string& bytes) {
    std::lock_guard<std::recursive_mutex> lock(sim::Lock);
    sim::AddFile(path);
    sim::State.Sizes[sim::Upper(path)] = bytes.size();
    sim::State.Written.push_back({path, bytes});
    return true;
}

bool RemoveDirectory(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(sim::Lock);
    return sim::State.Folders.erase(sim::Upper(sim::LongForm(path))) != 0;
}

std::string GetShortPathName(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(sim::Lock);
    if (GetFileAttributes(path) == INVALID_FILE_ATTRIBUTES) return std::string();
    const auto alias = sim::State.ShortNames.find(sim::Upper(sim::LongForm(path)));
    return alias == sim::State.ShortNames.end() ? path : alias->second;
}

uint32_t GetLastError() {
    std::lock_guard<std::recursive_mutex> lock(sim::Lock);
    return sim::State.LastError;
}

std::string FormatMessage(uint32_t code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND: return "The system cannot find the file specified.";
        case sim::ERROR_PATH_NOT_FOUND: return "The system cannot find the path specified.";
        case sim::ERROR_SHARING_VIOLATION:
            return "The process cannot access the file because it is being used by another process.";
        default: return std::string();
    }
}

Handle CreateFileMapping(const std::string& name, uint32_t, bool& alreadyExisted) {
    std::lock_guard<std::recursive_mutex> lock(sim::Lock);
    sim::Mapping& mapping = sim::State.Mappings[name];
    alreadyExisted = mapping.Handles != 0;
    ++mapping.Handles;
    const Handle handle = sim::State.NextHandle++;
    sim::State.MappingHandles[handle] = name;
    return handle;
}

Handle OpenFileMapping(const std::string& name) {
    std::lock_guard<std::recursive_mutex> lock(sim::Lock);
    if (!sim::State.Mappings.count(name)) return 0;
    bool existed = false;
    return CreateFileMapping(name, 4, existed);
}

bool WriteMappedValue(Handle mapping, uint32_t value, unsigned slot) {
    std::lock_guard<std::recursive_mutex> lock(sim::Lock);
    const auto found = sim::State.MappingHandles.find(mapping);
    if (found == sim::State.MappingHandles.end() || slot >= 2) return false;
    sim::State.Mappings[found->second].Values[slot] = value;
    return true;
}

bool ReadMappedValue(Handle mapping, uint32_t& value, unsigned slot) {
    std::lock_guard<std::recursive_mutex> lock(sim::Lock);
    const auto found = sim::State.MappingHandles.find(mapping);
    if (found == sim::State.MappingHandles.end() || slot >= 2) return false;
    value = sim::State.Mappings[found->second].Values[slot];
    return true;
}

bool CloseFileMapping(Handle mapping) {
    std::lock_guard<std::recursive_mutex> lock(sim::Lock);
    const auto found = sim::State.MappingHandles.find(mapping);
    if (found == sim::State.MappingHandles.end()) return false;
    if (--sim::State.Mappings[found->second].Handles == 0) sim::State.Mappings.erase(found->second);
    sim::State.MappingHandles.erase(found);
    return true;
}

bool ShellExecuteAndWait(const std::string& file, const std::string& parameters, int showCommand,
                         uint32_t milliseconds) {
    if (!ShellExecute(0, "", file, parameters, "", showCommand)) return false;
    std::lock_guard<std::recursive_mutex> lock(sim::Lock);
    sim::State.Waited.push_back({file, parameters, showCommand, milliseconds});
    return true;
}

std::string CharToOem(const std::string& text) {
    // Code page 1252 to 437 for the letters the tests use; ASCII stays.
    static const std::map<char, char> oem{{'\xC4', '\x8E'}, {'\xD6', '\x99'}, {'\xDC', '\x9A'}};
    std::string out = text;
    for (char& c : out) {
        const auto found = oem.find(c);
        if (found != oem.end()) c = found->second;
    }
    return out;
}

std::string AnsiToUtf8(const std::string& text) {
    std::string out;  // the simulated ANSI code page is Latin-1
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

std::string LoadRawResource(const std::string& name) {
    std::lock_guard<std::recursive_mutex> lock(sim::Lock);
    const auto found = sim::State.Resources.find(sim::Upper(name));
    return found == sim::State.Resources.end() ? std::string() : found->second;
}

}  // namespace platform
