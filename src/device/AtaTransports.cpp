// ATA pass-through, IDE pass-through and the legacy S.M.A.R.T. requests of the disk class driver.
#include <cstring>
#include <vector>

#include "protocol/Bytes.h"
#include "protocol/IoctlCodes.h"
#include "device/TIOCTL.h"
#include "device/Transports.h"
#include "platform/Storage.h"

bool TransportATA(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size, bool dataOut) {
    const uint32_t length = buffer ? tf.SectorCount * SectorSize : 0;
    if (length > size) return false;
    std::vector<uint8_t>& request = LargeRequest(AtaRequestSize);
    uint8_t* const data = &request[AtaDataOffset];
    Put16(request.data(), 0, AtaHeaderSize);
    Put16(request.data(), 2, buffer ? (dataOut ? ATA_FLAGS_DATA_OUT : ATA_FLAGS_DATA_IN) : 0);
    Put32(request.data(), 8, length);
    Put32(request.data(), 12, 20);
    Put32(request.data(), 20, AtaDataOffset);
    StoreTaskFile(tf, &request[32]);
    if (buffer && dataOut) std::memcpy(data, buffer, length);
    if (buffer && !dataOut) WriteMarker(data);

    if (!CallWithRequest(drive, IOCTL_ATA_PASS_THROUGH, request)) return false;
    const uint8_t status = request[32 + 6];
    if ((status & 0x01) && (status & 0x08)) return false;
    if (buffer && !dataOut) {
        if (MarkerPresent(data)) return false;
        std::memcpy(buffer, data, length);
    }
    return true;
}

bool TransportIDE(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size, bool dataOut) {
    if (buffer && size < SectorSize) return false;
    std::vector<uint8_t> request(IdeRequestSize, 0);
    uint8_t* const data = &request[IdeDataOffset];
    StoreTaskFile(tf, request.data());
    Put32(request.data(), 8, buffer ? SectorSize : 0);
    if (buffer && dataOut) std::memcpy(data, buffer, SectorSize);
    if (buffer && !dataOut) WriteMarker(data);

    if (!CallWithRequest(drive, IOCTL_IDE_PASS_THROUGH, request)) return false;
    if (request[6] & 0x01) return false;
    if (buffer && !dataOut) {
        if (MarkerPresent(data)) return false;
        std::memcpy(buffer, data, SectorSize);
    }
    return true;
}

// The legacy requests have no data-out form (the dispatcher sends none here): a WRITE LOG sent this
// way would come back as a read that overwrites the caller's data.
bool TransportOLD(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size, bool) {
    if (buffer && size < SectorSize) return false;
    uint8_t in[SendCmdInSize] = {};
    Put32(in, 0, buffer ? SectorSize : 0);
    StoreTaskFile(tf, &in[4]);
    std::vector<uint8_t> out(SendCmdOutSize, 0);
    uint8_t* const data = &out[SendCmdOutDataOffset];
    if (buffer) WriteMarker(data);

    uint32_t returned = 0;
    const uint32_t code = buffer ? SMART_RCV_DRIVE_DATA : SMART_SEND_DRIVE_COMMAND;
    if (!platform::DeviceIoControl(drive.Handle, code, in, SendCmdInSize, out.data(), SendCmdOutSize, returned) ||
        returned == 0)
        return false;
    if (out[4] != 0) return false;  // DriverStatus.bDriverError
    if (buffer) {
        if (MarkerPresent(data)) return false;
        std::memcpy(buffer, data, SectorSize);
    }
    return true;
}
