// NVMe drives through the storage protocol interface: property queries for Identify, log pages and
// Get Features, a protocol command for the device self-test.
#include <cstring>
#include <vector>

#include "protocol/Bytes.h"
#include "protocol/IoctlCodes.h"
#include "device/TIOCTL.h"
#include "device/Transports.h"
#include "platform/Storage.h"

namespace {

constexpr uint32_t StorageAdapterProtocolSpecificProperty = 49;
constexpr uint32_t StorageDeviceProtocolSpecificProperty = 50;
constexpr uint32_t ProtocolTypeNvme = 3;
constexpr uint32_t NVMeDataTypeIdentify = 1;
constexpr uint32_t NVMeDataTypeLogPage = 2;
constexpr uint32_t NVMeDataTypeFeature = 3;
constexpr uint32_t STORAGE_PROTOCOL_STATUS_SUCCESS = 1;
constexpr uint32_t STORAGE_PROTOCOL_STATUS_THROTTLED_REQUEST = 8;
constexpr uint8_t NvmeFeatureHostMemoryBuffer = 0x0D;
constexpr size_t IdentifySize = 4096;
constexpr size_t HealthLogSize = 512;
constexpr size_t SelfTestLogSize = 564;

bool Query(const DriveRecord& drive, uint32_t propertyId, uint32_t dataType, uint32_t value, uint32_t subValue,
           std::vector<uint8_t>& request) {
    request.assign(NvmeQuerySize, 0);
    uint8_t* const r = request.data();
    Put32(r, 0, propertyId);
    Put32(r, 8, ProtocolTypeNvme);
    Put32(r, 12, dataType);
    Put32(r, 16, value);
    Put32(r, 20, subValue);
    Put32(r, 24, 40);
    Put32(r, 28, 4096);
    uint32_t returned = 0;
    return platform::DeviceIoControl(drive.Handle, IOCTL_STORAGE_QUERY_PROPERTY, r, NvmeQuerySize, r,
                                     NvmeQuerySize, returned);
}

void CopyProtocolData(const std::vector<uint8_t>& request, uint8_t* buffer, size_t size, size_t wanted) {
    if (buffer && size >= wanted) std::memcpy(buffer, &request[NvmeQueryDataOffset], wanted);
}

bool Identify(const DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size) {
    if (!buffer || size < IdentifySize) return false;
    const uint32_t property =
        tf.SectorCount != 0 ? StorageAdapterProtocolSpecificProperty : StorageDeviceProtocolSpecificProperty;
    std::vector<uint8_t> request;
    if (!Query(drive, property, NVMeDataTypeIdentify, tf.SectorCount, tf.SectorNumber, request)) return false;
    CopyProtocolData(request, buffer, size, IdentifySize);
    return true;
}

// Pages other than the health and self-test logs succeed with the query but return no data.
bool ReadLogPage(const DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size) {
    const bool health = tf.Features == SMART_READ_DATA;
    const uint8_t page = health ? NvmeHealthLogPage : tf.SectorNumber;
    const size_t wanted = health ? HealthLogSize : (page == NvmeSelfTestLogPage ? SelfTestLogSize : 0);
    if (wanted && (!buffer || size < wanted)) return false;
    std::vector<uint8_t> request;
    if (!Query(drive, StorageDeviceProtocolSpecificProperty, NVMeDataTypeLogPage, page, 0, request)) return false;
    if (wanted) CopyProtocolData(request, buffer, size, wanted);
    return true;
}

bool GetFeature(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size) {
    if (!buffer || size < 4) return false;
    std::vector<uint8_t> request;
    if (!Query(drive, StorageDeviceProtocolSpecificProperty, NVMeDataTypeFeature, tf.Features, 0, request))
        return false;
    std::memcpy(buffer, &request[32], 4);  // FixedProtocolReturnData
    if (tf.Features == NvmeFeatureHostMemoryBuffer) drive.HMB_Size = Get32(request.data(), NvmeQueryDataOffset);
    return true;
}

bool DeviceSelfTest(const DriveRecord& drive, const AtaTaskFile& tf) {
    uint8_t r[NvmeCommandSize] = {};
    Put32(r, 0, 1);              // Version
    Put32(r, 4, 84);             // Length
    Put32(r, 8, ProtocolTypeNvme);
    Put32(r, 12, 0x80000000u);   // adapter request
    Put32(r, 24, 64);            // CommandLength
    Put32(r, 40, 60);            // TimeOutValue
    Put32(r, 56, 1);             // NVMe admin command
    Put32(r, 80, 0x14);          // Device Self-test opcode
    Put32(r, 84, 0xFFFFFFFFu);   // all namespaces
    Put32(r, 120, tf.SectorNumber);
    uint32_t returned = 0;
    const bool called =
        platform::DeviceIoControl(drive.Handle, IOCTL_STORAGE_PROTOCOL_COMMAND, r, NvmeCommandSize, r,
                                  NvmeCommandSize, returned);
    const uint32_t status = Get32(r, 16);
    SelfTestThrottled = called && status == STORAGE_PROTOCOL_STATUS_THROTTLED_REQUEST;
    return called && status == STORAGE_PROTOCOL_STATUS_SUCCESS;
}

}  // namespace

bool TransportNVMe(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size, bool) {
    if (tf.Command == ATA_IDENTIFY_DEVICE) return Identify(drive, tf, buffer, size);
    if (tf.Command == ATA_SET_FEATURES) return GetFeature(drive, tf, buffer, size);
    if (tf.Command != ATA_SMART) return false;
    switch (tf.Features) {
        case SMART_READ_DATA:
        case SMART_READ_LOG: return ReadLogPage(drive, tf, buffer, size);
        case SMART_EXECUTE_OFFLINE: return DeviceSelfTest(drive, tf);
        default: return false;
    }
}
