// SCSI pass-through carrying ATA PASS-THROUGH (12), and the miniport S.M.A.R.T. interface.
#include <cstring>
#include <vector>

#include "protocol/Bytes.h"
#include "protocol/IoctlCodes.h"
#include "device/TIOCTL.h"
#include "device/Transports.h"

namespace {

uint8_t SatProtocol(bool hasBuffer, bool dataOut) {
    if (dataOut) return 0x0A;          // PIO data-out
    return hasBuffer ? 0x08 : 0x06;    // PIO data-in : non-data
}

uint8_t SatTransferFlags(bool hasBuffer, bool dataOut) {
    uint8_t flags = 0x04;              // length in blocks
    if (hasBuffer) flags |= 0x02;      // length from the sector count field
    if (!dataOut) flags |= 0x08;       // from the device
    return flags;
}

uint32_t MiniportControlCode(const AtaTaskFile& tf) {
    if (tf.Command == ATA_IDENTIFY_DEVICE) return 0x001B0501;
    if (tf.Command != ATA_SMART) return 0;
    switch (tf.Features) {
        case 0xD0: return 0x001B0502;
        case 0xD1: return 0x001B0503;
        case 0xD2: return 0x001B0507;
        case 0xD4: return 0x001B0509;
        case 0xD5: return 0x001B050B;
        case 0xD6: return 0x001B050C;
        case 0xD8: return 0x001B0504;
        case 0xD9: return 0x001B0505;
        case 0xDA: return 0x001B0506;
        case 0xDB: return 0x001B050A;
        default: return 0;
    }
}

}  // namespace

bool TransportSAT(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size, bool dataOut) {
    const bool hasBuffer = buffer != nullptr;
    const uint32_t length = hasBuffer ? tf.SectorCount * SectorSize : 0;
    if (length > size) return false;
    const bool dataIn = hasBuffer && !dataOut;
    std::vector<uint8_t>& request = LargeRequest(SatRequestSize);
    uint8_t* const r = request.data();
    uint8_t* const data = r + SatDataOffset;
    Put16(r, 0, 44);
    r[6] = 12;                         // CdbLength
    r[8] = dataIn ? 1 : 0;             // SCSI_IOCTL_DATA_IN : SCSI_IOCTL_DATA_OUT
    Put32(r, 12, length);
    Put32(r, 16, 20);
    Put32(r, 20, SatDataOffset);
    uint8_t* const cdb = r + 28;
    cdb[0] = 0xA1;
    cdb[1] = SatProtocol(hasBuffer, dataOut);
    cdb[2] = SatTransferFlags(hasBuffer, dataOut);
    cdb[3] = tf.Features;
    cdb[4] = tf.SectorCount;
    cdb[5] = tf.SectorNumber;
    cdb[6] = tf.CylinderLow;
    cdb[7] = tf.CylinderHigh;
    cdb[8] = tf.DeviceHead;
    cdb[9] = tf.Command;
    if (hasBuffer && dataOut) std::memcpy(data, buffer, length);
    if (dataIn) WriteMarker(data);

    if (!CallWithRequest(drive, IOCTL_SCSI_PASS_THROUGH, request)) return false;
    if (dataIn) {
        if (MarkerPresent(data)) return false;
        std::memcpy(buffer, data, length);
    }
    return true;
}

bool TransportSCSI(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size, bool dataOut) {
    if (buffer && size < SectorSize) return false;
    const bool dataIn = buffer && !dataOut;
    std::vector<uint8_t> request(MiniportRequestSize, 0);
    uint8_t* const r = request.data();
    Put32(r, 0, 28);
    std::memcpy(r + 4, "SCSIDISK", 8);
    Put32(r, 12, 20);
    Put32(r, 16, MiniportControlCode(tf));
    Put32(r, 24, 544);
    Put32(r, 28, SectorSize);
    StoreTaskFile(tf, r + 32);
    if (buffer && dataOut) std::memcpy(r + MiniportInDataOffset, buffer, SectorSize);
    if (dataIn) WriteMarker(r + MiniportInDataOffset);

    if (!CallWithRequest(drive, IOCTL_SCSI_MINIPORT, request)) return false;
    if (Get32(r, 20) != 0 || r[32] != 0) return false;  // ReturnCode, bDriverError
    if (dataIn) {
        if (MarkerPresent(r + MiniportInDataOffset)) return false;
        std::memcpy(buffer, r + MiniportOutDataOffset, SectorSize);
    }
    return true;
}
