// The command interface: carries an AtaTaskFile to a drive by the first access method that works for
// the drive's kind and remembers which fallbacks worked.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "device/DriveRecord.h"
#include "protocol/Ata.h"

// Sends one command. `buffer` (of `size` bytes) receives the data of a data-in command, or holds
// the data a WRITE LOG sends; pass none for a non-data command. Exactly one command is in flight
// at a time, whichever thread calls. The caller holds the DriveWriter, or no table lock at all (then
// the buffer is its own, and an access flag the command earns is stored under a DriveWriter taken
// for that moment).
bool ExecuteCommand(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer = nullptr, size_t size = 0);

// The dispatcher's one slot, held for a call on a drive's handle made outside ExecuteCommand (a
// power query, a raw read, the handle's reset at a query-remove): it never overlaps a command, and
// the handle does not change under a call that holds it.
class DriveCallSlot {
public:
    DriveCallSlot();
    ~DriveCallSlot();
    DriveCallSlot(const DriveCallSlot&) = delete;
    DriveCallSlot& operator=(const DriveCallSlot&) = delete;
};

// Whether some access method of the drive's order can carry the command at all (a USB bridge's
// tunnel carries no NVMe self-test, for one); nothing is sent.
bool CanCarry(const DriveRecord& drive, const AtaTaskFile& tf, bool hasBuffer = false);

// True for the one command that sends data to the drive (S.M.A.R.T. WRITE LOG).
bool IsDataOut(const AtaTaskFile& tf);

// The platform answered the last NVMe self-test request that it limits how often self-tests run.
extern std::atomic<bool> SelfTestThrottled;

const char* CommandName(uint8_t command);
const char* SubcommandName(uint8_t command, uint8_t features, bool isNVMe);
