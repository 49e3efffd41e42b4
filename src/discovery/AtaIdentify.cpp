#include "discovery/AtaIdentify.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "protocol/Bytes.h"
#include "protocol/IoctlCodes.h"
#include "device/TIOCTL.h"
#include "knowledge/Trademarks.h"
#include "device/DiagnosticLog.h"

namespace {

constexpr int64_t EmptyCountSize = 2199023255040LL;  // (2^32 - 1) * 512

bool ValidWord(uint16_t w) { return !Bit(w, 15) && Bit(w, 14); }

uint8_t LowByte(uint16_t w) { return static_cast<uint8_t>(w); }
uint8_t HighByte(uint16_t w) { return static_cast<uint8_t>(w >> 8); }

bool IsLegacySamsungModel(const std::string& model) {
    static const char* const Models[] = {"SAMSUNG SV0401H", "SAMSUNG SV0412H", "SAMSUNG SV0602H",
                                         "SAMSUNG SV0211H", "SAMSUNG SV1204H", "SAMSUNG SV0221H",
                                         "SAMSUNG SV0813H", "SAMSUNG SV0301H"};
    return std::find(std::begin(Models), std::end(Models), model) != std::end(Models);
}

// Some USB-bridged and early SATA drives report word 76 as 0; their firmware text gives them away.
bool SataFirmwareText(const std::string& fw) {
    return fw.size() >= 7 && fw[0] == 'U' && fw[2] == 'F' && fw[6] == '.';
}

void TakeText(DriveRecord& d, const uint8_t* id) {
    d.Model = AtaText(id, 54, 40);
    d.Trademark = DetectTrademark(d.Model, false);
    d.SerialNumber = AtaText(id, 20, 20);
    d.FirmwareVersion = AtaText(id, 46, 8);
}

void TakeMediaAndVersion(DriveRecord& d, const uint8_t* id) {
    const uint16_t w217 = Word(id, 217);
    if (w217 == 1 || d.FirmwareVersion == "02.10104" || d.FirmwareVersion == "2.9.09")
        d.IsSSD = true;
    else if (w217 > 1024 && w217 != 0xFFFF)
        d.RotationRate = w217;
    const uint16_t w80 = Word(id, 80);
    if (w80 != 0) {
        d.ATA_version = HighestBit(w80);
        if (d.ATA_version > 12) WriteLog("Unknown ATA_version - " + std::to_string(d.ATA_version), &d);
    }
    d.HardwareCache = Word(id, 21) * 512u;
    if (ValidWord(Word(id, 48))) d.TrustedComputingSupport = Bit(Word(id, 48), 0);
    d.QueueDepth = static_cast<uint8_t>(LowByte(Word(id, 75)) + 1);
}

void TakeUltraDma(DriveRecord& d, const uint8_t* id) {
    if (!Bit(Word(id, 53), 2)) return;
    const uint16_t w88 = Word(id, 88);
    if (LowByte(w88)) d.UltraDMA_ModeSupport = HighestBit(LowByte(w88));
    if (HighByte(w88)) d.UltraDMA_ModeCurrent = LowestBit(HighByte(w88));
}

void TakeSupportedFeatures(DriveRecord& d, const uint8_t* id) {
    const uint16_t w82 = Word(id, 82), w83 = Word(id, 83), w59 = Word(id, 59);
    d.SecuritySupport = Bit(w82, 1);
    if (d.SecuritySupport) d.SecurityEraseTime = (Word(id, 89) & 0x7FFFu) * 2u;
    d.SanitizeSupport = Bit(w59, 12);
    if (d.SanitizeSupport) d.CryptoEraseSupport = Bit(w59, 13);
    d.PowerManagementSupport = Bit(w82, 3);
    d.WriteCacheSupport = Bit(w82, 5);
    d.LookAheadSupport = Bit(w82, 6);
    d.HPA_Support = Bit(w82, 10);
    d.DownloadMicrocode = Bit(w83, 0);
    d.TCQ_Support = Bit(w83, 1);
    d.TCQ_Usable = d.TCQ_Support && d.QueueDepth != 1;
    d.APM_Support = Bit(w83, 3);
    if (d.HPA_Support) d.SetMaxSecuritySupport = Bit(w83, 8);
    if (!d.IsSSD) d.AAM_Support = Bit(w83, 9);
    d.LBA48Support = Bit(w83, 10);
}

void TakeEnabledFeatures(DriveRecord& d, const uint8_t* id) {
    const uint16_t w86 = Word(id, 86);
    d.APM_Enabled = Bit(w86, 3);
    if (d.SetMaxSecuritySupport) d.SetMaxSecurityEnabled = Bit(w86, 8);
    if (d.AAM_Support) d.AAM_Enabled = Bit(w86, 9);
    if (d.APM_Enabled) d.APM_Level = LowByte(Word(id, 91));
    if (d.AAM_Support) d.AAM_Recommended = HighByte(Word(id, 94));
    if (d.AAM_Enabled) d.AAM_Level = LowByte(Word(id, 94));
}

void TakeSectorSizesAndCapacity(DriveRecord& d, const uint8_t* id) {
    d.PhysicalSectorSize = 512;
    d.LogicalSectorSize = 512;
    const uint16_t w106 = Word(id, 106);
    if (ValidWord(w106)) {
        if (Bit(w106, 13)) {
            d.PhysicalSectorSize = 512u << (w106 & 0x0F);
        } else if (Bit(w106, 12)) {
            d.LogicalSectorSize = static_cast<uint16_t>(Word(id, 117) * 2);
            d.PhysicalSectorSize = d.LogicalSectorSize;
        }
    }
    // The size stops one sector short of the count. A 48-bit count of 0 gives size 0 rather than a
    // negative one; a 28-bit count of 0 wraps, as the parallel-drive check expects.
    uint64_t sectors;
    if (d.LBA48Support) {
        const uint64_t count = Get64(id, 200);
        sectors = count == 0 ? 0 : count - 1;
    } else {
        sectors = static_cast<uint32_t>(Get32(id, 120) - 1);
    }
    // A count no drive has (up to 2^48 sectors of up to 64 KiB) would wrap: no size instead.
    const bool fits = d.LogicalSectorSize == 0 ||
                      sectors <= static_cast<uint64_t>(INT64_MAX) / d.LogicalSectorSize;
    d.AvailableSize = fits ? static_cast<int64_t>(sectors * d.LogicalSectorSize) : 0;
}

void TakeSecurityState(DriveRecord& d, const uint8_t* id) {
    const uint16_t w85 = Word(id, 85);
    d.SecurityEnabled = Bit(w85, 1);
    d.WriteCacheEnabled = Bit(w85, 5);
    d.LookAheadEnabled = Bit(w85, 6);
    if (d.SecuritySupport) {
        d.SecurityLocked = Bit(Word(id, 128), 2);
        d.EnhancedEraseSupport = Bit(Word(id, 128), 5);
    }
}

void TakeSerialAta(DriveRecord& d, const uint8_t* id) {
    const uint16_t w76 = Word(id, 76), w77 = Word(id, 77);
    if ((w76 == 0 || w76 == 0xFFFF) && !SataFirmwareText(d.FirmwareVersion)) return;
    d.Transport = 1;
    if (w76 & 0x000E) d.SATA_SignalingSpeedSupport = HighestBit(w76 & 0x000E);
    if (w77 != 0) {
        d.SATA_SignalingSpeedCurrent = static_cast<uint8_t>((w77 & 0x000E) >> 1);
        if (d.SATA_SignalingSpeedCurrent > 3)
            WriteLog("Unknown SATA_SignalingSpeedCurrent - " + std::to_string(d.SATA_SignalingSpeedCurrent), &d);
    }
    d.NCQ_Usable = Bit(w76, 8) && d.QueueDepth != 1;
    d.DevSleepSupport = Bit(Word(id, 78), 8);
    d.DevSleepEnabled = Bit(Word(id, 79), 8);
}

void TakeTransportVersion(DriveRecord& d, const uint8_t* id) {
    const uint16_t w222 = Word(id, 222);
    if (w222 == 0 || w222 == 0xFFFF) return;
    if ((w222 >> 12) == 0xE) {
        d.Transport = 14;
    } else if (d.Transport == 1 && (w222 & 0x0FFF)) {
        d.SATA_version = static_cast<uint8_t>(HighestBit(w222 & 0x0FFF) + 1);
        if (d.SATA_version > 11) WriteLog("Unknown SATA_version - " + std::to_string(d.SATA_version), &d);
    }
}

void TakeLateFeatures(DriveRecord& d, const uint8_t* id) {
    if (Bit(Word(id, 86), 15)) {
        if (ValidWord(Word(id, 119))) d.FreeFallSupport = Bit(Word(id, 119), 5);
        if (ValidWord(Word(id, 120))) d.FreeFallEnabled = Bit(Word(id, 120), 5);
        if (d.FreeFallEnabled) d.FreeFallSensitivity = HighByte(Word(id, 53));
    }
    const uint16_t w206 = Word(id, 206);
    if (Bit(w206, 0)) {
        d.SCT_Support = true;
        d.SCT_DataTablesSupport = Bit(w206, 5);
    }
    const uint8_t formFactor = Word(id, 168) & 0x0F;
    d.DimensionalFormFactor = formFactor;
    if (formFactor > 9) {
        if (d.Trademark != "SanDisk")
            WriteLog("Unknown DimensionalFormFactor - " + std::to_string(formFactor), &d);
        d.DimensionalFormFactor = 0;
    }
    if (d.IsSSD || d.ATA_version > 7) d.TRIM_Support = Bit(Word(id, 169), 0);
    const uint16_t w87 = Word(id, 87);
    if (ValidWord(w87) && Bit(w87, 8)) {
        d.HasWWN = true;
        d.OUI = ((Word(id, 108) & 0x0FFFu) << 12) | (Word(id, 109) >> 4);
    }
}

}  // namespace

std::string TrimControlAndBlank(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
    return text.substr(begin, end - begin);
}

std::string AtaText(const uint8_t* page, size_t offset, size_t count) {
    std::string text(count, '\0');
    for (size_t i = 0; i + 1 < count; i += 2) {
        text[i] = static_cast<char>(page[offset + i + 1]);
        text[i + 1] = static_cast<char>(page[offset + i]);
    }
    return TrimControlAndBlank(text);
}

bool InterpretAtaIdentify(DriveRecord& d) {
    const uint8_t* id = d.IdentifyData;
    TakeText(d, id);
    TakeMediaAndVersion(d, id);
    TakeUltraDma(d, id);
    TakeSupportedFeatures(d, id);
    TakeEnabledFeatures(d, id);
    TakeSectorSizesAndCapacity(d, id);
    TakeSecurityState(d, id);
    TakeSerialAta(d, id);
    TakeTransportVersion(d, id);
    if (d.Transport == 0) {
        d.LegacySamsung = d.Trademark == "Samsung" && IsLegacySamsungModel(d.Model);
        if (d.AvailableSize == EmptyCountSize) return false;
    }
    TakeLateFeatures(d, id);
    return true;
}

void TakeSelfTestCapabilities(DriveRecord& d) {
    d.SelfTestSupport = Bit(d.SmartData[367], 4);
    if (d.SelfTestSupport) {
        d.ShortSelfTestTime = d.SmartData[372];
        d.ExtendedSelfTestTime = d.SmartData[373];
    }
}

namespace {

constexpr size_t CapacityPage = 1024;
constexpr size_t CapabilitiesPage = 1536;

bool PageCounts(const uint8_t* area, size_t offset, uint32_t header) {
    return Get32(area, offset) == header && Get32(area, offset + 4) == 0x80000000u;
}

void TakeNominalBufferSize(DriveRecord& d, const uint8_t* area) {
    if (!PageCounts(area, CapacityPage, 0x00020001u)) return;
    uint64_t q = Get64(area, CapacityPage + 32);
    if (!Bit(static_cast<uint32_t>(q >> 32), 31)) {
        if (q != 0) WriteLog("Nominal Buffer Size (RAW) - " + std::to_string(q), &d);
        return;
    }
    q &= ~(1ULL << 63);
    if (q > 0x7FFFFFFFu)
        WriteLog("HardwareCache Buffer Size overflow", &d);
    else if (d.HardwareCache < q)
        d.HardwareCache = static_cast<uint32_t>(q);
    if (d.IsSSD && d.ControllerID == 0 && q == 0x20000000u) WriteLog("This is Realtek or SMI controller.", &d);
}

// Drives that already announce SCT, or error logging, say nothing more here.
void NoteUnannouncedSct(DriveRecord& d, const uint8_t* area) {
    const uint8_t* id = d.IdentifyData;
    if ((Word(id, 87) & 0xC001) == 0x4001 || (Word(id, 84) & 0xC001) == 0x4001) return;
    if (Bit(d.SmartData[370], 0) || d.SCT_Support) return;
    if (!PageCounts(area, CapabilitiesPage, 0x00030001u)) return;
    const uint64_t capabilities = Get64(area, CapabilitiesPage + 144);
    if ((capabilities >> 63) && (capabilities & 1)) WriteLog("SCT SUPPORTED", &d);
}

}  // namespace

void ReadIdentifyDataLog(DriveRecord& d) {
    std::vector<uint8_t> area(255 * SectorSize, 0);
    if (!ExecuteCommand(d, SmartTaskFile(SMART_READ_LOG, 1, LogDirectory), area.data(), area.size())) return;
    const uint8_t pages = area[96];
    if (pages == 0) return;
    std::fill(area.begin(), area.begin() + 17, 0);
    std::fill(area.begin() + CapacityPage, area.begin() + CapacityPage + 8, 0);
    std::fill(area.begin() + CapacityPage + 32, area.begin() + CapacityPage + 40, 0);
    if (!ExecuteCommand(d, SmartTaskFile(SMART_READ_LOG, pages, IdentifyDeviceDataLog), area.data(), area.size()))
        return;
    TakeNominalBufferSize(d, area.data());
    NoteUnannouncedSct(d, area.data());
}
