// The program as its own installer: at start-up it installs itself, replaces an older installed
// copy, uninstalls, or goes on as the single running installed copy. Every branch but the last ends
// the process. Restarts go through the logon task.
#pragma once

#include <string>

struct InstallerNames {
    std::string AppName;      // task, folder, file base, settings key, uninstall subkey, mapping
    std::string DisplayName;  // uninstall entry and message captions
    std::string PublisherName;
    bool CreateTask = true;
};

// The dispatcher. True only when this is the installed copy and no other instance runs (SettingsKey
// then open); false once the process has been ended. The licence agreement before installing or
// updating, the running instance's window and what goes before every end of the process come through
// NetCalls (net/NetCalls.h).
bool RunInstaller(const InstallerNames& names, const std::string& commandLine);

// Runs the logon task now and ends the process.
void RestartViaTask();

// Writes and starts the batch (appName ".bat" in the temporary folder) that deletes the running
// executable once it has ended, then itself. False when a path cannot be put into the batch (a double
// quote) or the batch cannot be written.
bool SelfDeleteBatch(const std::string& appName);

// The task definition for the executable at `path`, as the task scheduler reads it.
std::string TaskDefinition(const std::string& path);

// Back to the state before RunInstaller (a simulated restart); closes the instance mapping.
void ResetInstaller();
