#include "device/DiagnosticLog.h"

#include <mutex>

namespace {

std::mutex LogLock;
std::string GlobalLog;

constexpr char Separator[] = "\r\n\r\n";
constexpr char Prefix[] = "DEBUG - ";

void AppendEntry(std::string& log, const std::string& message) {
    if (!log.empty()) log += Separator;
    log += Prefix;
    log += message;
}

// Whether one of the log's entries is the message, whole.
bool HoldsEntry(const std::string& log, const std::string& message) {
    const std::string entry = Prefix + message;
    const size_t gap = sizeof Separator - 1;
    for (size_t at = log.find(entry); at != std::string::npos; at = log.find(entry, at + 1)) {
        const size_t end = at + entry.size();
        const bool starts = at == 0 || (at >= gap && log.compare(at - gap, gap, Separator) == 0);
        if (starts && (end == log.size() || log.compare(end, gap, Separator) == 0)) return true;
    }
    return false;
}

}  // namespace

void WriteLog(const std::string& message, DriveRecord* drive) {
    std::lock_guard<std::mutex> lock(LogLock);
    AppendEntry(drive ? drive->Log : GlobalLog, message);
}

void WriteLogOnce(const std::string& message, DriveRecord* drive) {
    std::lock_guard<std::mutex> lock(LogLock);
    std::string& log = drive ? drive->Log : GlobalLog;
    if (!HoldsEntry(log, message)) AppendEntry(log, message);
}

std::string GlobalLogText() {
    std::lock_guard<std::mutex> lock(LogLock);
    return GlobalLog;
}

std::string DriveLogText(const DriveRecord& drive) {
    std::lock_guard<std::mutex> lock(LogLock);
    return drive.Log;
}

DriveRecord CopyWithLog(const DriveRecord& drive) {
    std::lock_guard<std::mutex> lock(LogLock);
    return drive;
}

void ClearGlobalLog() {
    std::lock_guard<std::mutex> lock(LogLock);
    GlobalLog.clear();
}
