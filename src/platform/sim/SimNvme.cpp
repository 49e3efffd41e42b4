// The NVMe side of a simulated drive: the storage protocol queries (Identify, Get Log Page, Get
// Features) and the protocol command carrying Device Self-test, decoded as the NVMe driver does.
#include <algorithm>
#include <cstring>

#include "protocol/Bytes.h"
#include "protocol/IoctlCodes.h"
#include "platform/sim/SimInternal.h"

namespace sim {
namespace {

constexpr uint32_t AdapterProperty = 49, DeviceProperty = 50;
constexpr uint32_t ProtocolTypeNvme = 3;
constexpr uint32_t DataTypeIdentify = 1, DataTypeLogPage = 2, DataTypeFeature = 3;
constexpr uint32_t StatusSuccess = 1, StatusError = 2, StatusThrottled = 8;
constexpr uint32_t DataOffset = 48;  // the protocol data, 40 bytes after ProtocolType at 8
constexpr uint32_t IdentifyDataSize = 4096;

bool ReplyData(uint8_t* r, const std::vector<uint8_t>& data, uint32_t& bytesReturned) {
    const uint32_t n = std::min(Get32(r, 28), static_cast<uint32_t>(data.size()));
    if (n) std::memcpy(r + DataOffset, data.data(), n);
    if (n && ThePageHook) ThePageHook(r + DataOffset, n);
    Put32(r, 28, n);  // ProtocolDataLength: what came back
    bytesReturned = DataOffset + n;
    return true;
}

// CNS 1 (controller) is an adapter property, CNS 0 (namespace) a device property; the driver wants
// room for the whole Identify data.
bool Identify(const Drive& d, uint32_t property, uint32_t cns, uint32_t nsid, uint8_t* r, uint32_t& bytesReturned) {
    if (Get32(r, 28) < IdentifyDataSize) return false;
    if (cns == 1 && property == AdapterProperty && !d.NvmeIdentifyController.empty())
        return ReplyData(r, d.NvmeIdentifyController, bytesReturned);
    if (cns == 0 && property == DeviceProperty) {
        const auto ns = d.NvmeNamespaces.find(nsid);
        if (ns != d.NvmeNamespaces.end()) return ReplyData(r, ns->second, bytesReturned);
    }
    return false;
}

bool Feature(const Drive& d, uint32_t fid, uint8_t* r, uint32_t& bytesReturned) {
    const auto value = d.NvmeFeatures.find(static_cast<uint8_t>(fid));
    if (fid > 0xFF || value == d.NvmeFeatures.end()) return false;
    Put32(r, 32, value->second);  // FixedProtocolReturnData
    const auto data = d.NvmeFeatureData.find(static_cast<uint8_t>(fid));
    return ReplyData(r, data == d.NvmeFeatureData.end() ? std::vector<uint8_t>() : data->second, bytesReturned);
}

// The header fields the driver checks: a standard query for NVMe, its protocol data right after the
// header and no longer than the buffer holds.
bool QueryHeaderValid(const uint8_t* r, uint32_t size) {
    return size >= DataOffset && Get32(r, 4) == 0 && Get32(r, 8) == ProtocolTypeNvme && Get32(r, 24) == 40 &&
           Get32(r, 28) <= size - DataOffset;
}

}  // namespace

bool NvmePropertyQuery(Drive& d, uint8_t* r, uint32_t size, uint32_t& bytesReturned) {
    if (!QueryHeaderValid(r, size)) return false;
    const uint32_t property = Get32(r, 0), type = Get32(r, 12), value = Get32(r, 16), sub = Get32(r, 20);
    if (property != AdapterProperty && property != DeviceProperty) return false;
    switch (type) {
        case DataTypeIdentify: return Identify(d, property, value, sub, r, bytesReturned);
        case DataTypeLogPage: {
            const auto log = d.NvmeLogs.find(static_cast<uint8_t>(value));
            if (property != DeviceProperty || value > 0xFF || log == d.NvmeLogs.end()) return false;
            return ReplyData(r, log->second, bytesReturned);
        }
        case DataTypeFeature: return property == DeviceProperty && Feature(d, value, r, bytesReturned);
        default: return false;
    }
}

// Only Device Self-test (admin opcode 0x14) is modelled; the drive may first answer that it limits
// how often self-tests run.
bool NvmeProtocolCommand(Drive& d, uint8_t* r, uint32_t size, uint32_t& bytesReturned) {
    if (size < NvmeCommandSize || Get32(r, 0) != 1 || Get32(r, 4) != 84 || Get32(r, 8) != ProtocolTypeNvme ||
        Get32(r, 24) != 64 || Get32(r, 56) != 1)
        return false;
    bytesReturned = NvmeCommandSize;
    const bool selfTestCapable = d.NvmeIdentifyController.size() > 256 && (d.NvmeIdentifyController[256] & 0x10);
    if ((Get32(r, 80) & 0xFF) != 0x14 || !selfTestCapable) {
        Put32(r, 16, StatusError);
        return true;
    }
    if (d.NvmeThrottledSelfTests > 0) {
        --d.NvmeThrottledSelfTests;
        Put32(r, 16, StatusThrottled);
        return true;
    }
    const uint32_t code = Get32(r, 120) & 0xF;
    d.NvmeSelfTests.push_back(code);
    StartNvmeSelfTest(d, static_cast<uint8_t>(code));
    Put32(r, 16, StatusSuccess);
    return true;
}

}  // namespace sim
