// The resident program's life on the simulated machine: its start-up for the drives (scan, settings
// key, every drive's persisted state, the monitoring timer) or the whole program as a user runs it,
// the timeline with the machine's events, and a kill that loses everything not yet written.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "device/DriveRecord.h"

// Start-up of the resident core: the drives scanned, the settings key opened, each drive's persisted
// state taken in and its tuning applied, the monitoring timer started.
void StartResidentProgram();

// The process dies: writes from now on are lost, its open boxes vanish, its threads end, the
// timer stops and its memory is gone. The registry and the machine stay.
void KillResidentProgram();

// The whole program on the simulated desktop (main window, settings at the first start, read
// measurements, tray icons, device notifications, the timer). A restart it asks for through its logon
// task is carried out by RunTimeline at the end of the minute. The user takes `dialogMinutes` over
// every dialog.
void StartWholeProgram(unsigned dialogMinutes = 0);

// Whether the program's process runs, and whether the machine is awake (not suspended).
bool ProgramRunning();
bool MachineAwake();

// Moves the timeline on `minutes` minutes from now, a minute at a time, delivering the installed
// machine's events when they fall due: power broadcasts (through the main window when the whole
// program runs, otherwise on this thread as the user-interface thread would), Explorer's restart,
// the program's exit and start, a drive's removal. After each minute, with every alert thread ended
// (or waiting in a box the user leaves open),
// `afterMinute` gets the minute's number (1-based).
void RunTimeline(unsigned minutes, const std::function<void(unsigned minute)>& afterMinute);

namespace sim {
struct SystemEvent;
}
// When the machine event (or one of its repeats) falls due after `from` and by `to`, in uptime
// milliseconds; false when none does.
bool EventDueBetween(const sim::SystemEvent& event, uint64_t from, uint64_t to, uint64_t& at);

// "Model - M\r\nSerial number - S\r\n" of the machine's drive, read from its own pages: how the
// program's boxes name it.
std::string MachineDriveHeader(size_t machineDrive);
// The place in the running program's table of the machine's drive; false when the table has no such drive.
bool TableIndexOfMachineDrive(size_t machineDrive, unsigned& index);
// Removals of a drive that Windows refused because the program kept it open.
unsigned RefusedRemovals();
