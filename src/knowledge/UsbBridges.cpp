#include "knowledge/UsbBridges.h"

#include <cctype>
#include <cstdio>

namespace {

constexpr uint16_t Any = 0xFFFF;
using M = AccessMethod;

// From the ids of bridges seen in enclosures; the JMicron NVMe id is also used by SATA adapters,
// which only their release tells apart.
const UsbBridgeRow Bridges[] = {
    {0x152D, 0x0578, 0, Any, M::SAT, false, "JMicron JMS578"},
    {0x152D, 0x0562, 0, Any, M::SAT, false, "JMicron JMS562"},
    {0x174C, 0x55AA, 0, Any, M::SAT, false, "ASMedia ASM1051"},
    {0x174C, 0x1153, 0, Any, M::SAT, false, "ASMedia ASM1153"},
    {0x152D, 0x0583, 0x0414, 0x0414, M::SAT, false, "JMicron JMS583 (SATA adapter)"},
    {0x152D, 0x0583, 0x3202, 0x3202, M::SAT, false, "JMicron JMS583 (SATA adapter)"},
    {0x152D, 0x0583, 0x9128, 0x9128, M::SAT, false, "JMicron JMS583 (SATA adapter)"},
    {0x152D, 0x0583, 0, Any, M::JMicronNVMe, false, "JMicron JMS583"},
    {0x152D, 0xA583, 0, Any, M::JMicronNVMe, false, "JMicron JMS583"},
    {0x21C4, 0x0003, 0, Any, M::JMicronNVMe, false, "JMicron JMS583"},
    {0x21C4, 0xB06A, 0, Any, M::JMicronNVMe, false, "JMicron JMS583"},
    {0x30DE, 0x1000, 0, Any, M::JMicronNVMe, false, "JMicron JMS583"},
    {0x152D, 0x0581, 0, Any, M::JMicronNVMe, true, "JMicron JMS581"},
    {0x152D, 0xA581, 0, Any, M::JMicronNVMe, true, "JMicron JMS581"},
    {0x152D, 0xB581, 0, Any, M::JMicronNVMe, true, "JMicron JMS581"},
    {0x174C, 0x2362, 0, Any, M::ASMedia, false, "ASMedia ASM2362"},
    {0x174C, 0x2364, 0, Any, M::ASMedia, false, "ASMedia ASM2364"},
    {0x174C, 0x2463, 0, Any, M::ASMedia, false, "ASMedia ASM2464"},
    {0x04E8, 0x4001, 0, Any, M::ASMedia, false, "Samsung portable SSD (ASMedia)"},
    {0x04E8, 0x61FB, 0, Any, M::ASMedia, false, "Samsung portable SSD (ASMedia)"},
    {0x04E8, 0x61FD, 0, Any, M::ASMedia, false, "Samsung portable SSD (ASMedia)"},
    {0x0634, 0x5603, 0, Any, M::ASMedia, false, "Micron portable SSD (ASMedia)"},
    {0x0634, 0x5607, 0, Any, M::ASMedia, false, "Micron portable SSD (ASMedia)"},
    {0x0781, 0x55AE, 0, Any, M::ASMedia, false, "SanDisk portable SSD (ASMedia)"},
    {0x0781, 0x55AF, 0, Any, M::ASMedia, false, "SanDisk portable SSD (ASMedia)"},
    {0x0781, 0x55BB, 0, Any, M::ASMedia, false, "SanDisk portable SSD (ASMedia)"},
    {0x0BC2, 0xAA1A, 0, Any, M::ASMedia, false, "Seagate portable SSD (ASMedia)"},
    {0x1058, 0x266E, 0, Any, M::ASMedia, false, "Western Digital portable SSD (ASMedia)"},
    {0x0B05, 0x1932, 0, Any, M::ASMedia, false, "ASUS enclosure (ASMedia)"},
    {0x0411, 0x039D, 0, Any, M::ASMedia, false, "Buffalo portable SSD (ASMedia)"},
    {0x13FE, 0x6500, 0, Any, M::ASMedia, false, "Phison enclosure (ASMedia)"},
    {0x1B1C, 0x1A20, 0, Any, M::ASMedia, false, "Corsair portable SSD (ASMedia)"},
    {0x1E91, 0xDE79, 0, Any, M::ASMedia, false, "Other World Computing enclosure (ASMedia)"},
    {0x32AC, 0x0005, 0, Any, M::ASMedia, false, "Framework expansion card (ASMedia)"},
    {0x0BDA, 0x9210, 0, Any, M::Realtek, false, "Realtek RTL9210"},
    {0x0BDA, 0x9211, 0, Any, M::Realtek, false, "Realtek RTL9211"},
    {0x0BDA, 0x9220, 0, Any, M::Realtek, false, "Realtek RTL9220"},
    {0x0DD8, 0x9210, 0, Any, M::Realtek, false, "Netac enclosure (Realtek)"},
    {0x2EB9, 0x9211, 0, Any, M::Realtek, false, "Realtek RTL9211"},
    {0x1DE1, 0xE101, 0, Any, M::Realtek, false, "Realtek RTL9210"},
    {0x2174, 0x7010, 0, Any, M::Realtek, false, "Realtek RTL9210"},
    {0x21C4, 0xB083, 0, Any, M::Realtek, false, "Realtek RTL9210"},
    {0x067B, 0x2571, 0, Any, M::Prolific, false, "Prolific PL2571"},
    {0x067B, 0x2771, 0, Any, M::Prolific, false, "Prolific PL2771"},
    {0x067B, 0x2773, 0, Any, M::Prolific, false, "Prolific PL2773"},
    {0x067B, 0x2775, 0, Any, M::Prolific, false, "Prolific PL2775"},
    {0x152D, 0x2329, 0, Any, M::JMicron, false, "JMicron JM20329"},
    {0x152D, 0x2336, 0, Any, M::JMicron, false, "JMicron JM20336"},
    {0x152D, 0x2338, 0, Any, M::JMicron, false, "JMicron JM20337"},
    {0x152D, 0x2339, 0, Any, M::JMicron, false, "JMicron JM20339"},
    {0x04FC, 0x0C05, 0, Any, M::Sunplus, false, "Sunplus SPIF215"},
    {0x04FC, 0x0C15, 0, Any, M::Sunplus, false, "Sunplus SPIF215A"},
    {0x04FC, 0x0C25, 0, Any, M::Sunplus, false, "Sunplus SPIF225A"},
    {0x04B4, 0x6830, 0, Any, M::Cypress, false, "Cypress CY7C68300"},
    {0x04B4, 0x6831, 0, Any, M::Cypress, false, "Cypress CY7C68310"},
};

// Four hexadecimal digits at `at`, after `prefix`.
bool HexField(const std::string& text, size_t& at, const char* prefix, uint16_t& value) {
    for (const char* p = prefix; *p; ++p, ++at)
        if (at >= text.size() || std::toupper(static_cast<unsigned char>(text[at])) != *p) return false;
    value = 0;
    for (int digit = 0; digit < 4; ++digit, ++at) {
        if (at >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[at]))) return false;
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[at])));
        value = static_cast<uint16_t>(value * 16 + (c <= '9' ? c - '0' : c - 'A' + 10));
    }
    return true;
}

}  // namespace

const UsbBridgeRow* FindUsbBridge(const UsbDeviceId& id) {
    for (const UsbBridgeRow& row : Bridges)
        if (row.Vendor == id.Vendor && row.Product == id.Product && id.Release >= row.FirstRelease &&
            id.Release <= row.LastRelease)
            return &row;
    return nullptr;
}

bool ParseUsbHardwareId(const std::string& hardwareId, UsbDeviceId& id) {
    size_t at = 0;
    UsbDeviceId parsed;
    if (!HexField(hardwareId, at, "USB\\VID_", parsed.Vendor) || !HexField(hardwareId, at, "&PID_", parsed.Product))
        return false;
    if (at < hardwareId.size() && !HexField(hardwareId, at, "&REV_", parsed.Release)) return false;
    if (at != hardwareId.size()) return false;
    id = parsed;
    return true;
}

std::string UsbHardwareId(const UsbDeviceId& id) {
    char text[40];
    std::snprintf(text, sizeof text, "USB\\VID_%04X&PID_%04X&REV_%04X", id.Vendor, id.Product, id.Release);
    return text;
}

std::string UsbIdText(const UsbDeviceId& id) {
    char text[40];
    std::snprintf(text, sizeof text, "%04X:%04X, release %04X", id.Vendor, id.Product, id.Release);
    return text;
}
