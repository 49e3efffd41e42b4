#include "platform/sim/PageBuilders.h"

#include "protocol/Bytes.h"

namespace sim {

IdentifyPage::IdentifyPage() : page_(512, 0) {}

IdentifyPage& IdentifyPage::Word(unsigned word, uint16_t value) {
    Put16(page_.data(), 2u * word, value);
    return *this;
}

IdentifyPage& IdentifyPage::SetBits(unsigned word, uint16_t bits) { return Word(word, Get(word) | bits); }

uint16_t IdentifyPage::Get(unsigned word) const { return ::Word(page_.data(), word); }

IdentifyPage& IdentifyPage::Text(unsigned firstWord, unsigned words, const std::string& text) {
    std::string padded = text.substr(0, 2u * words);
    padded.resize(2u * words, ' ');
    for (unsigned i = 0; i < words; ++i)
        Word(firstWord + i, static_cast<uint16_t>((static_cast<uint8_t>(padded[2 * i]) << 8) |
                                                  static_cast<uint8_t>(padded[2 * i + 1])));
    return *this;
}

IdentifyPage& IdentifyPage::Sectors28(uint32_t count) {
    Put32(page_.data(), 120, count);
    return *this;
}

IdentifyPage& IdentifyPage::Sectors48(uint64_t count) {
    Put64(page_.data(), 200, count);
    return *this;
}

std::vector<uint8_t> IdentifyPage::Bytes() const {
    std::vector<uint8_t> page = page_;
    page[510] = 0xA5;
    uint8_t sum = 0;
    for (size_t i = 0; i < 511; ++i) sum = static_cast<uint8_t>(sum + page[i]);
    page[511] = static_cast<uint8_t>(-sum);
    return page;
}

void SealChecksum(std::vector<uint8_t>& page) {
    page.resize(512, 0);
    uint8_t sum = 0;
    for (size_t i = 0; i < 511; ++i) sum = static_cast<uint8_t>(sum + page[i]);
    page[511] = static_cast<uint8_t>(-sum);
}

std::vector<uint8_t> SmartValuePage(const std::vector<Attribute>& attributes, const SmartCapabilities& caps) {
    std::vector<uint8_t> page(512, 0);
    Put16(page.data(), 0, 0x0010);
    for (size_t i = 0; i < attributes.size() && i < 30; ++i) {
        uint8_t* e = &page[2 + 12 * i];
        const Attribute& a = attributes[i];
        e[0] = a.id;
        Put16(e, 1, a.flags);
        e[3] = a.value;
        e[4] = a.worst;
        for (int b = 0; b < 6; ++b) e[5 + b] = static_cast<uint8_t>(a.raw >> (8 * b));
    }
    page[362] = 0x82;  // off-line collection completed, automatic collection on
    page[367] = caps.offlineCapability;
    Put16(page.data(), 368, 0x0003);  // attribute autosave, saved before power-saving
    page[370] = caps.errorLogging;
    page[372] = caps.shortMinutes;
    page[373] = caps.extendedMinutes;
    SealChecksum(page);
    return page;
}

std::vector<uint8_t> SmartThresholdPage(const std::vector<Attribute>& attributes) {
    std::vector<uint8_t> page(512, 0);
    Put16(page.data(), 0, 0x0010);
    for (size_t i = 0; i < attributes.size() && i < 30; ++i) {
        page[2 + 12 * i] = attributes[i].id;
        page[3 + 12 * i] = attributes[i].threshold;
    }
    SealChecksum(page);
    return page;
}

std::vector<uint8_t> IdentifyDataLog(uint64_t nominalBufferSize, uint64_t supportedCapabilities) {
    std::vector<uint8_t> log(4 * 512, 0);
    // Page 0: list of supported pages.
    Put64(log.data(), 0, 0x8000000000000001ULL);
    log[8] = 3;
    log[9] = 0x00;
    log[10] = 0x02;
    log[11] = 0x03;
    // Page 2: capacity; the nominal buffer size is valid with bit 63.
    Put32(log.data(), 1024, 0x00020001);
    Put32(log.data(), 1028, 0x80000000);
    Put64(log.data(), 1056, nominalBufferSize);
    // Page 3: supported capabilities.
    Put32(log.data(), 1536, 0x00030001);
    Put32(log.data(), 1540, 0x80000000);
    Put64(log.data(), 1680, supportedCapabilities);
    return log;
}

}  // namespace sim

namespace sim {
namespace {

void PutText(std::vector<uint8_t>& page, size_t offset, size_t width, const std::string& text) {
    for (size_t i = 0; i < width; ++i) page[offset + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : ' ';
}

}  // namespace

std::vector<uint8_t> NvmeIdentifyControllerPage(const NvmeController& c) {
    std::vector<uint8_t> p(4096, 0);
    Put16(p.data(), 0, c.vendorId);
    Put16(p.data(), 2, c.subsystemVendorId);
    PutText(p, 4, 20, c.serial);
    PutText(p, 24, 40, c.model);
    PutText(p, 64, 8, c.firmware);
    p[73] = c.ieeeOui[0];
    p[74] = c.ieeeOui[1];
    p[75] = c.ieeeOui[2];
    Put32(p.data(), 80, c.version);
    Put16(p.data(), 256, c.optionalAdminCommands);
    p[263] = c.powerStates;
    p[265] = c.apsta;
    Put16(p.data(), 266, c.warningKelvin);
    Put16(p.data(), 268, c.criticalKelvin);
    Put32(p.data(), 272, c.hmbPreferredPages);
    Put32(p.data(), 276, c.hmbMinimumPages);
    Put16(p.data(), 316, c.extendedSelfTestMinutes);
    Put16(p.data(), 322, c.thermalMinKelvin || c.thermalMaxKelvin ? 1 : 0);  // HCTMA
    Put16(p.data(), 324, c.thermalMinKelvin);
    Put16(p.data(), 326, c.thermalMaxKelvin);
    Put32(p.data(), 328, c.sanitizeCapabilities);
    p[512] = 0x66;  // SQES
    p[513] = 0x44;  // CQES
    Put32(p.data(), 516, c.namespaces);
    Put16(p.data(), 520, c.optionalNvmCommands);
    p[525] = c.volatileWriteCache;
    Put16(p.data(), 2048, c.maxPowerCentiwatts);
    return p;
}

std::vector<uint8_t> NvmeIdentifyNamespacePage(uint64_t blocks, const std::vector<uint8_t>& lbaDataSizes,
                                               uint8_t formatInUse) {
    std::vector<uint8_t> p(4096, 0);
    Put64(p.data(), 0, blocks);
    Put64(p.data(), 8, blocks);
    Put64(p.data(), 16, blocks / 3);
    p[25] = static_cast<uint8_t>(lbaDataSizes.empty() ? 0 : lbaDataSizes.size() - 1);
    p[26] = formatInUse;
    for (size_t i = 0; i < lbaDataSizes.size() && i < 16; ++i) p[128 + 4 * i + 2] = lbaDataSizes[i];
    return p;
}

// The counters are 128-bit little-endian; the simulated ones fit in their low 64 bits.
std::vector<uint8_t> NvmeHealthLogPage(const NvmeHealth& h) {
    std::vector<uint8_t> p(512, 0);
    p[0] = h.criticalWarning;
    Put16(p.data(), 1, h.temperatureKelvin);
    p[3] = h.availableSpare;
    p[4] = h.spareThreshold;
    p[5] = h.percentageUsed;
    Put64(p.data(), 32, h.dataUnitsRead);
    Put64(p.data(), 48, h.dataUnitsWritten);
    Put64(p.data(), 112, h.powerCycles);
    Put64(p.data(), 128, h.powerOnHours);
    Put64(p.data(), 144, h.unsafeShutdowns);
    Put64(p.data(), 160, h.mediaErrors);
    Put64(p.data(), 176, h.errorLogEntries);
    Put16(p.data(), 200, h.temperatureKelvin);  // sensor 1
    return p;
}

}  // namespace sim
