// The dispatcher: carries an AtaTaskFile to a drive by the first access method that works for the
// drive's kind, remembers which fallbacks worked, and keeps the diagnostic logs.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/DriveRecord.h"

// Sends one command. `buffer` (of `size` bytes) receives the data of a data-in command, or holds
// the data a WRITE LOG sends; pass none for a non-data command. Exactly one command is in flight
// at a time, whichever thread calls.
bool ExecuteCommand(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer = nullptr, size_t size = 0);

// True for the one command that sends data to the drive (S.M.A.R.T. WRITE LOG).
bool IsDataOut(const AtaTaskFile& tf);

// The platform answered the last NVMe self-test request that it limits how often self-tests run.
extern std::atomic<bool> SelfTestThrottled;

// Appends "DEBUG - " + message to the drive's log, or to the global log when drive is null;
// entries are separated by one empty line.
void WriteLog(const std::string& message, DriveRecord* drive = nullptr);

// Copies of the logs, taken under the log lock.
std::string GlobalLogText();
std::string DriveLogText(const DriveRecord& drive);
void ClearGlobalLog();

const char* CommandName(uint8_t command);
const char* SubcommandName(uint8_t command, uint8_t features, bool isNVMe);

// The transports. Each takes the drive (only its Handle, and for NVMe HMB_Size), the task file, the
// caller's buffer and whether the buffer is sent; it returns true when the command went through and,
// for a data-in command, data really came back.
using TransportFunction = bool (*)(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer,
                                   size_t size, bool dataOut);

bool TransportATA(DriveRecord&, const AtaTaskFile&, uint8_t*, size_t, bool);
bool TransportIDE(DriveRecord&, const AtaTaskFile&, uint8_t*, size_t, bool);
bool TransportOLD(DriveRecord&, const AtaTaskFile&, uint8_t*, size_t, bool);
bool TransportSAT(DriveRecord&, const AtaTaskFile&, uint8_t*, size_t, bool);
bool TransportSCSI(DriveRecord&, const AtaTaskFile&, uint8_t*, size_t, bool);
bool TransportNVMe(DriveRecord&, const AtaTaskFile&, uint8_t*, size_t, bool);

// DeviceIoControl with one request buffer as input and output; true when the call succeeded and
// returned bytes.
bool CallWithRequest(const DriveRecord& drive, uint32_t ioControlCode, std::vector<uint8_t>& request);

// The five bytes written where returned data will land; still there afterwards means no data came.
void WriteMarker(uint8_t* at);
bool MarkerPresent(const uint8_t* at);
