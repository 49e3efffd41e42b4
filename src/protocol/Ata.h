// The drive-protocol facts that the dispatcher, the interpretation and the simulated drives share:
// the eight-byte ATA register block, the access methods a driver stack may offer, command codes,
// S.M.A.R.T. subcommands, log addresses and the attribute identifiers read by number. Depends on
// nothing but the standard library.
#pragma once

#include <cstdint>

// The ATA register block, in the byte order of the Windows IDEREGS structure.
struct AtaTaskFile {
    uint8_t Features{};
    uint8_t SectorCount{};
    uint8_t SectorNumber{};
    uint8_t CylinderLow{};
    uint8_t CylinderHigh{};
    uint8_t DeviceHead{};
    uint8_t Command{};
    uint8_t Reserved{};
};

// The register block as the eight bytes a request buffer carries, and back.
inline void StoreTaskFile(const AtaTaskFile& tf, uint8_t* at) {
    at[0] = tf.Features;
    at[1] = tf.SectorCount;
    at[2] = tf.SectorNumber;
    at[3] = tf.CylinderLow;
    at[4] = tf.CylinderHigh;
    at[5] = tf.DeviceHead;
    at[6] = tf.Command;
    at[7] = tf.Reserved;
}

inline AtaTaskFile LoadTaskFile(const uint8_t* at) {
    return AtaTaskFile{at[0], at[1], at[2], at[3], at[4], at[5], at[6], at[7]};
}

// The ways a command reaches a drive. The last seven are USB bridges' own command blocks, each sent
// through SCSI pass-through: NVMe tunnels (ASMedia, Realtek, JMicron's three-phase one) and the
// older ATA pass-through of bridges that do not speak SAT (JMicron, Prolific, Sunplus, Cypress).
enum class AccessMethod { NVMe, ATA, SCSI, OLD, IDE, SAT, ASMedia, Realtek, JMicronNVMe, JMicron, Prolific, Sunplus, Cypress };

constexpr AccessMethod AllAccessMethods[] = {
    AccessMethod::NVMe,    AccessMethod::ATA,         AccessMethod::SCSI,    AccessMethod::OLD,
    AccessMethod::IDE,     AccessMethod::SAT,         AccessMethod::ASMedia, AccessMethod::Realtek,
    AccessMethod::JMicronNVMe, AccessMethod::JMicron, AccessMethod::Prolific, AccessMethod::Sunplus,
    AccessMethod::Cypress};

inline const char* AccessMethodName(AccessMethod method) {
    switch (method) {
        case AccessMethod::NVMe: return "NVMe";
        case AccessMethod::ATA: return "ATA";
        case AccessMethod::SCSI: return "SCSI";
        case AccessMethod::OLD: return "OLD";
        case AccessMethod::IDE: return "IDE";
        case AccessMethod::SAT: return "SAT";
        case AccessMethod::ASMedia: return "ASMedia";
        case AccessMethod::Realtek: return "Realtek";
        case AccessMethod::JMicronNVMe: return "JMicron NVMe";
        case AccessMethod::JMicron: return "JMicron";
        case AccessMethod::Prolific: return "Prolific";
        case AccessMethod::Sunplus: return "Sunplus";
        case AccessMethod::Cypress: return "Cypress";
    }
    return "";
}

// Whether the method tunnels NVMe admin commands through a USB bridge.
inline bool IsNvmeTunnel(AccessMethod method) {
    return method == AccessMethod::ASMedia || method == AccessMethod::Realtek || method == AccessMethod::JMicronNVMe;
}

// Command codes, S.M.A.R.T. subcommands and the log addresses the program uses.
constexpr uint8_t ATA_IDENTIFY_PACKET_DEVICE = 0xA1;
constexpr uint8_t ATA_SMART = 0xB0;
constexpr uint8_t ATA_CHECK_POWER_MODE = 0xE5;
constexpr uint8_t ATA_IDENTIFY_DEVICE = 0xEC;
constexpr uint8_t ATA_SET_FEATURES = 0xEF;
constexpr uint8_t SMART_READ_DATA = 0xD0;
constexpr uint8_t SMART_READ_THRESHOLDS = 0xD1;
constexpr uint8_t SMART_EXECUTE_OFFLINE = 0xD4;
constexpr uint8_t SMART_READ_LOG = 0xD5;
constexpr uint8_t SMART_WRITE_LOG = 0xD6;
constexpr uint8_t SMART_ENABLE_OPERATIONS = 0xD8;
constexpr uint8_t SmartCylinderLow = 0x4F;
constexpr uint8_t SmartCylinderHigh = 0xC2;
constexpr uint8_t LogDirectory = 0x00;
constexpr uint8_t IdentifyDeviceDataLog = 0x30;
constexpr uint8_t SctCommandLog = 0xE0;
constexpr uint8_t SctDataLog = 0xE1;
constexpr uint8_t NvmeHealthLogPage = 0x02;
constexpr uint8_t NvmeSelfTestLogPage = 0x06;

// A zeroed S.M.A.R.T. command block for one subcommand.
inline AtaTaskFile SmartTaskFile(uint8_t features, uint8_t sectorCount = 0, uint8_t logAddress = 0) {
    AtaTaskFile tf;
    tf.Command = ATA_SMART;
    tf.Features = features;
    tf.SectorCount = sectorCount;
    tf.SectorNumber = logAddress;
    tf.CylinderLow = SmartCylinderLow;
    tf.CylinderHigh = SmartCylinderHigh;
    return tf;
}

// The S.M.A.R.T. value and threshold pages: up to 30 entries of 12 bytes after a 2-byte version.
constexpr unsigned MaxAttributes = 30;
constexpr unsigned AttributeOffset(unsigned i) { return 2 + 12 * i; }

// Attributes the program reads by their identifier.
constexpr uint8_t RemappedSectorsId = 5;
constexpr uint8_t PowerOnTimeId = 9;
constexpr uint8_t PowerCyclesId = 12;
constexpr uint8_t AirflowTemperatureId = 190;
constexpr uint8_t TemperatureId = 194;
constexpr uint8_t OtherTemperatureId = 231;  // a temperature on hard disks, life left on many SSDs
