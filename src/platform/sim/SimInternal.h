// What the simulated machine's facilities share: the machine lock, the handle table, and the ATA
// command engine every access method ends in.
#pragma once

#include <mutex>

#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

namespace sim {

std::recursive_mutex& MachineLock();

// The drive a handle was opened on, or null.
Drive* DriveForHandle(platform::Handle handle);
platform::Handle OpenHandle(size_t driveIndex);
bool CloseDriveHandle(platform::Handle handle);

extern ReplyHook TheReplyHook;

// ATA status and error registers the engine answers with.
constexpr uint8_t StatusReady = 0x50;    // DRDY | DSC
constexpr uint8_t StatusAborted = 0x51;  // DRDY | DSC | ERR
constexpr uint8_t ErrorAbort = 0x04;

struct AtaOutcome {
    AtaTaskFile registers;   // returned registers: Features holds the error, Command the status
    uint32_t delivered = 0;  // bytes the drive put into the data area (data-in)
    bool aborted() const { return registers.Command & 0x01; }
};

// Executes one ATA command. `data` holds `capacity` bytes: a data-in command fills at most that
// many, a data-out command takes its sectors from it. `hostSends` is the direction the host set up;
// a command whose direction disagrees is aborted, as a drive aborts a protocol mismatch.
AtaOutcome ExecuteAta(Drive& drive, const AtaTaskFile& tf, bool hostSends, uint8_t* data, uint32_t capacity);

// The NVMe drive behind the storage protocol interface: property queries and protocol commands.
bool NvmePropertyQuery(Drive& drive, uint8_t* request, uint32_t size, uint32_t& bytesReturned);
bool NvmeProtocolCommand(Drive& drive, uint8_t* request, uint32_t size, uint32_t& bytesReturned);

// Whether the command moves data to the drive.
bool CommandSendsData(const AtaTaskFile& tf);

}  // namespace sim
