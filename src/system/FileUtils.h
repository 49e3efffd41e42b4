// File helpers: the version of an executable, and the running program's own.
#pragma once

#include <cstdint>
#include <string>

struct FileVersion {
    std::string Text;  // "major.minor.build.revision"; empty without version information
    uint64_t Number;   // major, minor, build, revision as 16-bit fields, major highest; 0 without
};

FileVersion GetFileVersion(const std::string& path);

// The running executable's file version text, e.g. "1.2.3.4".
std::string ProgramVersion();
