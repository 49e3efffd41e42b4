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
