#include "device/DiagnosticLog.h"

#include <mutex>

namespace {

std::mutex LogLock;
std::string GlobalLog;

void AppendEntry(std::string& log, const std::string& message) {
    if (!log.empty()) log += "\r\n\r\n";
    log += "DEBUG - ";
    log += message;
}

}  // namespace

void WriteLog(const std::string& message, DriveRecord* drive) {
    std::lock_guard<std::mutex> lock(LogLock);
    AppendEntry(drive ? drive->Log : GlobalLog, message);
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
