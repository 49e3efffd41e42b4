// Builders for the raw pages simulated drives return: IDENTIFY DEVICE data and the S.M.A.R.T. value
// and threshold sectors, consistent the way real drives make them (byte-swapped text, checksums).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

class IdentifyPage {
public:
    IdentifyPage();
    IdentifyPage& Word(unsigned word, uint16_t value);
    IdentifyPage& SetBits(unsigned word, uint16_t bits);
    // ATA text: padded with blanks, two characters per word, first character in the high byte.
    IdentifyPage& Text(unsigned firstWord, unsigned words, const std::string& text);
    IdentifyPage& Model(const std::string& text) { return Text(27, 20, text); }
    IdentifyPage& Serial(const std::string& text) { return Text(10, 10, text); }
    IdentifyPage& Firmware(const std::string& text) { return Text(23, 4, text); }
    IdentifyPage& Sectors28(uint32_t count);
    IdentifyPage& Sectors48(uint64_t count);
    uint16_t Get(unsigned word) const;
    // The page with its integrity word (signature 0xA5 and checksum) in word 255.
    std::vector<uint8_t> Bytes() const;

private:
    std::vector<uint8_t> page_;
};

struct Attribute {
    uint8_t id;
    uint16_t flags;
    uint8_t value;
    uint8_t worst;
    uint64_t raw;  // 48 bits used
    uint8_t threshold;
};

// Self-test and logging capabilities written into the value sector.
struct SmartCapabilities {
    uint8_t offlineCapability = 0x7B;  // bit 4: self-test implemented
    uint8_t errorLogging = 0x01;
    uint8_t shortMinutes = 2;
    uint8_t extendedMinutes = 120;
};

std::vector<uint8_t> SmartValuePage(const std::vector<Attribute>& attributes,
                                    const SmartCapabilities& capabilities = SmartCapabilities());
std::vector<uint8_t> SmartThresholdPage(const std::vector<Attribute>& attributes);

// Sets byte 511 so that the 512 bytes add up to 0 modulo 256.
void SealChecksum(std::vector<uint8_t>& page);

// A READ LOG page of the IDENTIFY DEVICE data log (address 0x30) with the capacity page (page 2)
// giving the nominal buffer size, and the supported-capabilities page (page 3).
std::vector<uint8_t> IdentifyDataLog(uint64_t nominalBufferSize, uint64_t supportedCapabilities);

}  // namespace sim

namespace sim {

// NVMe Identify Controller data (4096 bytes), set field by field at the NVM Express offsets.
struct NvmeController {
    uint16_t vendorId = 0, subsystemVendorId = 0;
    std::string serial, model, firmware;
    uint8_t ieeeOui[3] = {};
    uint32_t version = 0;             // e.g. 0x00010300 for 1.3
    uint16_t optionalAdminCommands = 0x0017;  // security, format, firmware download, self-test
    uint16_t extendedSelfTestMinutes = 0;
    uint8_t apsta = 0;                // bit 0: autonomous power state transitions
    uint16_t warningKelvin = 0, criticalKelvin = 0;
    uint32_t hmbPreferredPages = 0, hmbMinimumPages = 0;
    uint32_t sanitizeCapabilities = 0;
    uint16_t optionalNvmCommands = 0;  // bit 2: dataset management (TRIM)
    uint8_t volatileWriteCache = 0;
    uint32_t namespaces = 1;
    uint8_t powerStates = 0;           // number of power states minus one
    uint16_t maxPowerCentiwatts = 0;   // power state 0
    uint16_t thermalMinKelvin = 0, thermalMaxKelvin = 0;  // host-controlled thermal management, when set
};
std::vector<uint8_t> NvmeIdentifyControllerPage(const NvmeController& c);

// NVMe Identify Namespace data: size in logical blocks and the LBA formats (data size exponents).
std::vector<uint8_t> NvmeIdentifyNamespacePage(uint64_t blocks, const std::vector<uint8_t>& lbaDataSizes,
                                               uint8_t formatInUse);

struct NvmeHealth {
    uint8_t criticalWarning = 0;
    uint16_t temperatureKelvin = 0;
    uint8_t availableSpare = 100, spareThreshold = 10, percentageUsed = 0;
    uint64_t dataUnitsRead = 0, dataUnitsWritten = 0, powerCycles = 0, powerOnHours = 0, unsafeShutdowns = 0;
    uint64_t mediaErrors = 0, errorLogEntries = 0;
};
std::vector<uint8_t> NvmeHealthLogPage(const NvmeHealth& h);

}  // namespace sim
