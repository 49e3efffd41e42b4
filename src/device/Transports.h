// What the dispatcher's transports share: their common signature and the helpers that build and
// check request buffers. Only the dispatcher and the transports include this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "device/DriveRecord.h"
#include "protocol/Ata.h"

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
bool TransportASMedia(DriveRecord&, const AtaTaskFile&, uint8_t*, size_t, bool);
bool TransportRealtek(DriveRecord&, const AtaTaskFile&, uint8_t*, size_t, bool);
bool TransportJMicronNVMe(DriveRecord&, const AtaTaskFile&, uint8_t*, size_t, bool);
bool TransportJMicron(DriveRecord&, const AtaTaskFile&, uint8_t*, size_t, bool);
bool TransportProlific(DriveRecord&, const AtaTaskFile&, uint8_t*, size_t, bool);
bool TransportSunplus(DriveRecord&, const AtaTaskFile&, uint8_t*, size_t, bool);
bool TransportCypress(DriveRecord&, const AtaTaskFile&, uint8_t*, size_t, bool);

// The NVMe requests callers describe in task-file terms (Identify, a log page, Get Features, the
// device self-test), as bits of TransportCapability::NvmeForms.
enum NvmeForm : uint8_t { NvmeIdentify = 1, NvmeLogPage = 2, NvmeFeatures = 4, NvmeSelfTest = 8 };

// What a transport can carry. The dispatcher checks it before it sends anything.
struct TransportCapability {
    AccessMethod Method;
    TransportFunction Transport;
    bool DataIn, DataOut;
    uint8_t NvmeForms;   // the NVMe requests it carries for an NVMe drive; 0: it takes the task file as ATA
    uint8_t MaxSectors;  // sectors one command moves
    bool FirstSectorOnly;  // a longer read comes back with its first sector rather than being refused
    uint32_t MaxLogRead;   // bytes of one NVMe log read that come back sound; the rest reads as zeros
    bool StatusBack;       // the command's own status comes back, not only the bridge's
};

const TransportCapability& CapabilityOf(AccessMethod method);

// The NVMe request a task file describes (0 for none), and the bytes its data takes.
uint8_t NvmeFormOf(const AtaTaskFile& tf);

// The request buffer of the 255-sector pass-through requests, all zero at `size` bytes. One buffer,
// reused: requests go out only under the dispatcher's lock, and a fresh 130 KB allocation per
// command cost more than the command.
std::vector<uint8_t>& LargeRequest(size_t size);

// DeviceIoControl with one request buffer as input and output; true when the call succeeded and
// returned bytes.
bool CallWithRequest(const DriveRecord& drive, uint32_t ioControlCode, std::vector<uint8_t>& request);

// The five bytes written where returned data will land; still there afterwards means no data came.
void WriteMarker(uint8_t* at);
bool MarkerPresent(const uint8_t* at);
