// What the simulated machine's facilities share: the machine lock, the handle table, and the ATA
// command engine every access method ends in.
#pragma once

#include <mutex>

#include "platform/Storage.h"
#include "platform/sim/SimMachine.h"

namespace sim {

std::recursive_mutex& MachineLock();

// The drive a handle was opened on, or null (also once the drive was removed).
Drive* DriveForHandle(platform::Handle handle);
platform::Handle OpenHandle(size_t driveIndex);
// The handles open on drive `driveIndex`, in the order they were opened.
std::vector<platform::Handle> OpenHandlesOf(size_t driveIndex);
bool CloseDriveHandle(platform::Handle handle);
// Where the next raw read on a drive handle starts, or null for no drive handle.
uint64_t* FilePointer(platform::Handle handle);
// Volume handles share the table: the volume a handle was opened on, or null.
Volume* VolumeForHandle(platform::Handle handle);
platform::Handle OpenVolumeHandle(size_t volumeIndex);
bool CloseVolumeHandle(platform::Handle handle);

// Whether the set is open.
bool KnownSet(platform::DevInfoSet set);
// A property of a drive or of a device of the tree an element names.
bool DevicePropertyValue(const platform::DevInfoData& element, const platform::DevPropKey& key, uint32_t bufferSize,
                    std::vector<uint8_t>& value, uint32_t& type);
// Requests the storage stack answers about a device rather than passing them to the drive: the
// device number, a volume's disk extents, the TRIM state. False when the request is none of these;
// otherwise `result` is what DeviceIoControl reports.
bool AnswerDeviceRequest(platform::Handle handle, uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                         uint32_t outSize, uint32_t& bytesReturned, bool& result);

extern ReplyHook TheReplyHook;
extern PageHook ThePageHook;

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

// What a fault leaves of the reply once the request got through.
enum class Reply { Normal, NoData, ErrorStatus, ZeroBytes };

// Runs the command unless the fault says the stack completed it without executing.
AtaOutcome RunAta(Drive& drive, Reply reply, const AtaTaskFile& tf, bool hostSends, uint8_t* data, uint32_t capacity);
// The byte count a request returns: `bytes`, or none when the fault says so; the request succeeded.
bool Finish(Reply reply, uint32_t bytes, uint32_t& bytesReturned);

// SCSI pass-through (SimBridges.cpp). The method a command block is meant for, from its bytes (SAT
// for a block no bridge protocol claims); the task file a bridge's ATA block carries; the registers
// of ATA PASS-THROUGH (12); and the request as the drive's bridge decodes it.
AccessMethod PassThroughMethod(const uint8_t* request, uint32_t size);
bool BridgeTaskFile(AccessMethod method, const uint8_t* request, uint32_t size, AtaTaskFile& tf);
AtaTaskFile SatRegisters(const uint8_t* cdb);
bool ScsiPassThrough(Drive& drive, Reply reply, uint8_t* request, uint32_t size, uint32_t& bytesReturned);

// The NVMe drive behind the storage protocol interface: property queries and protocol commands.
bool NvmePropertyQuery(Drive& drive, uint8_t* request, uint32_t size, uint32_t& bytesReturned);
bool NvmeProtocolCommand(Drive& drive, uint8_t* request, uint32_t size, uint32_t& bytesReturned);

// Whether the command moves data to the drive, or from it.
bool CommandSendsData(const AtaTaskFile& tf);
bool CommandReturnsData(const AtaTaskFile& tf);

// Outcomes of an ATA command: completed (with the bytes it delivered), aborted, or completed with
// up to `bytes` of a page copied into the data area.
AtaOutcome Done(uint32_t delivered = 0);
AtaOutcome Aborted();
AtaOutcome Deliver(const std::vector<uint8_t>& page, uint32_t bytes, uint8_t* data, uint32_t capacity);

// The SCT engine (SimSct.cpp): whether a READ LOG / WRITE LOG addresses it, and the command itself.
bool AddressesSct(const Drive& drive, const AtaTaskFile& tf);
AtaOutcome SctCommand(Drive& drive, const AtaTaskFile& tf, uint8_t* data, uint32_t capacity);

// SMART EXECUTE OFF-LINE IMMEDIATE (SimSmart.cpp): starts a short (1) or extended (2) self-test, or
// aborts the running one (0x7F); a drive that does not list self-tests in its value page aborts it.
AtaOutcome ExecuteOffline(Drive& drive, uint8_t subcommand);

// Every drive of the installed machine ages by this many seconds; the clock calls it as the timeline
// crosses whole seconds (SimSmart.cpp).
void AgeDrives(uint64_t seconds);

// Whether the drive answers at all now: not when it stopped answering, nor while a bridge's reset
// keeps it gone.
bool Answers(const PowerModel& power);

// A command or raw read reaching the drive wakes it from standby (counted in Power.Wakes).
void WakeForAccess(Drive& drive);

// The timeline's scripted events (SimPower.cpp): the time of the earliest one not yet fired that is
// due by `uptimeMs`, and firing every one due by then, in order of time, then drive, then listing.
bool NextEventDue(uint64_t uptimeMs, uint64_t& atMs);
void FireEventsDueBy(uint64_t uptimeMs);

// Device Self-test code 1 (short), 2 (extended) or 0xF (abort) taken by an NVMe drive (SimSmart.cpp).
void StartNvmeSelfTest(Drive& drive, uint8_t code);

}  // namespace sim
