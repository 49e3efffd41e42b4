// The program as its own installer: at start-up it installs itself, replaces an older installed
// copy, uninstalls, or goes on as the single running installed copy. Every branch but the last ends
// the process. Restarts go through the logon task.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Types.h"

struct InstallerNames {
    std::string AppName;      // task, folder, file base, settings key, uninstall subkey, mapping
    std::string DisplayName;  // uninstall entry and message captions
    std::string PublisherName;
    bool CreateTask = true;
};

// Set by start-up: what runs before a fresh installation and before an update (given the installed
// version text); each returns true only when the user agreed. The window's handle is what the running
// instance publishes so that a newer copy can close it. Whatever the program put on the screen outside
// its windows (the tray icons) goes before every end of the process here.
struct InstallerHooksType {
    bool (*BeforeInstall)() = nullptr;  // false once the process was ended
    bool (*BeforeUpdate)(const std::string& installedVersion) = nullptr;
    std::uintptr_t (*InstanceWindow)() = nullptr;
    void (*BeforeExit)() = nullptr;  // the running program's last act before the process ends
};
extern InstallerHooksType InstallerHooks;

// The dispatcher. True only when this is the installed copy and no other instance runs (SettingsKey
// then open); false once the process has been ended.
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
