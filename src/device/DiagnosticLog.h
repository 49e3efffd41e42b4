// The diagnostic logs: one growing text per drive and one global text, read only by the report and
// publishing. Any thread may write; each entry is appended whole under the log lock.
#pragma once

#include <string>

#include "device/DriveRecord.h"

// Appends "DEBUG - " + message to the drive's log, or to the global log when drive is null;
// entries are separated by one empty line.
void WriteLog(const std::string& message, DriveRecord* drive = nullptr);
// The same, unless that log already holds the entry: for findings made again at every report build.
void WriteLogOnce(const std::string& message, DriveRecord* drive = nullptr);

// Copies of the logs, taken under the log lock.
std::string GlobalLogText();
std::string DriveLogText(const DriveRecord& drive);
void ClearGlobalLog();

// A copy of the record (without its handle) taken under the log lock, so a log that another thread
// appends to is copied whole. The caller holds the table's reader or writer lock.
DriveRecord CopyWithLog(const DriveRecord& drive);
