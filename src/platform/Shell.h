// The shell facility of the platform interface: documents, links and programs opened by the shell.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// ShellExecuteA(window, verb, file, parameters, directory, showCommand); an empty verb, parameters
// or directory is passed as none. True when the shell reports success (a result above 32).
bool ShellExecute(std::uintptr_t window, const std::string& verb, const std::string& file,
                  const std::string& parameters, const std::string& directory, int showCommand);

// CreateProcessA(application, the application quoted then the arguments, nothing inherited,
// CREATE_NO_WINDOW, directory), both handles closed. Unlike the shell it expands no "%...%" in the
// folder. True when the program was started.
bool CreateProcess(const std::string& application, const std::string& arguments, const std::string& directory);

}  // namespace platform
