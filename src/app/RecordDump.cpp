#include "app/RecordDump.h"

#include <cstdio>
#include <string>

namespace {

void Field(std::ostream& out, const char* name, bool v) { out << name << " = " << (v ? "true" : "false") << "\n"; }
void Field(std::ostream& out, const char* name, uint8_t v) { out << name << " = " << unsigned(v) << "\n"; }
void Field(std::ostream& out, const char* name, uint16_t v) { out << name << " = " << v << "\n"; }
void Field(std::ostream& out, const char* name, uint32_t v) { out << name << " = " << v << "\n"; }
void Field(std::ostream& out, const char* name, int64_t v) { out << name << " = " << v << "\n"; }
void Field(std::ostream& out, const char* name, const std::string& v) { out << name << " = " << v << "\n"; }

// Handles and registry keys: opaque numbers, shown in hexadecimal.
void Opaque(std::ostream& out, const char* name, std::uintptr_t v) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(v));
    out << name << " = " << text << "\n";
}

void Field(std::ostream& out, const char* name, const SystemTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.Year, t.Month, t.Day, t.Hour, t.Minute,
                  t.Second, t.Milliseconds);
    out << name << " = " << text << "\n";
}

bool ZeroRow(const uint8_t* row, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (row[i]) return false;
    return true;
}

// Rows of 32 bytes with their offsets; runs of all-zero rows are folded into one line.
template <size_t N>
void Field(std::ostream& out, const char* name, const uint8_t (&block)[N]) {
    out << name << " =\n";
    constexpr size_t Row = 32;
    for (size_t at = 0; at < N; at += Row) {
        if (ZeroRow(block + at, Row)) {
            size_t end = at;
            while (end < N && ZeroRow(block + end, Row)) end += Row;
            if (end - at > Row) {
                char text[48];
                std::snprintf(text, sizeof text, "  %04zX-%04zX: all 00\n", at, end - 1);
                out << text;
                at = end - Row;
                continue;
            }
        }
        char text[8];
        std::snprintf(text, sizeof text, "  %04zX:", at);
        out << text;
        for (size_t i = 0; i < Row; ++i) {
            std::snprintf(text, sizeof text, " %02X", block[at + i]);
            out << text;
        }
        out << "\n";
    }
}

}  // namespace

void DumpDriveRecord(std::ostream& out, const DriveRecord& d) {
    Field(out, "RemapAlertShowing", d.RemapAlertShowing);
    Field(out, "TemperatureAlertShowing", d.TemperatureAlertShowing);
    Field(out, "SelfTestPassedShowing", d.SelfTestPassedShowing);
    Field(out, "SelfTestInterruptedShowing", d.SelfTestInterruptedShowing);
    Field(out, "SelfTestFailedShowing", d.SelfTestFailedShowing);
    Field(out, "PreFailureAlertShowing", d.PreFailureAlertShowing);
    Field(out, "NonCriticalAlertShowing", d.NonCriticalAlertShowing);
    Field(out, "PowerTimeLogged", d.PowerTimeLogged);
    Field(out, "Caption", d.Caption);
    Opaque(out, "RegKey", d.RegKey);
    Opaque(out, "Handle", d.Handle);
    Field(out, "DevicePath", d.DevicePath);
    Field(out, "DeviceAddress", d.DeviceAddress);
    Field(out, "ChannelAddress", d.ChannelAddress);
    Field(out, "ChannelKnown", d.ChannelKnown);
    Field(out, "HostAdapter", d.HostAdapter);
    Field(out, "HardwareID", d.HardwareID);
    Field(out, "SerialNumber", d.SerialNumber);
    Field(out, "FirmwareVersion", d.FirmwareVersion);
    Field(out, "DownloadMicrocode", d.DownloadMicrocode);
    Field(out, "Model", d.Model);
    Field(out, "PhysicalSectorSize", d.PhysicalSectorSize);
    Field(out, "LogicalSectorSize", d.LogicalSectorSize);
    Field(out, "AvailableSize", d.AvailableSize);
    Field(out, "ATA_version", d.ATA_version);
    Field(out, "SATA_version", d.SATA_version);
    Field(out, "SATA_SignalingSpeedSupport", d.SATA_SignalingSpeedSupport);
    Field(out, "SATA_SignalingSpeedCurrent", d.SATA_SignalingSpeedCurrent);
    Field(out, "HardwareCache", d.HardwareCache);
    Field(out, "QueueDepth", d.QueueDepth);
    Field(out, "UltraDMA_ModeCurrent", d.UltraDMA_ModeCurrent);
    Field(out, "UltraDMA_ModeSupport", d.UltraDMA_ModeSupport);
    Field(out, "SecuritySupport", d.SecuritySupport);
    Field(out, "SecurityEnabled", d.SecurityEnabled);
    Field(out, "SecurityLocked", d.SecurityLocked);
    Field(out, "EnhancedEraseSupport", d.EnhancedEraseSupport);
    Field(out, "SanitizeSupport", d.SanitizeSupport);
    Field(out, "CryptoEraseSupport", d.CryptoEraseSupport);
    Field(out, "TrustedComputingSupport", d.TrustedComputingSupport);
    Field(out, "WriteCacheSupport", d.WriteCacheSupport);
    Field(out, "WriteCacheEnabled", d.WriteCacheEnabled);
    Field(out, "LookAheadSupport", d.LookAheadSupport);
    Field(out, "LookAheadEnabled", d.LookAheadEnabled);
    Field(out, "PowerManagementSupport", d.PowerManagementSupport);
    Field(out, "APM_Support", d.APM_Support);
    Field(out, "APM_Enabled", d.APM_Enabled);
    Field(out, "APM_Level", d.APM_Level);
    Field(out, "AAM_Support", d.AAM_Support);
    Field(out, "AAM_Enabled", d.AAM_Enabled);
    Field(out, "AAM_Level", d.AAM_Level);
    Field(out, "AAM_Recommended", d.AAM_Recommended);
    Field(out, "FreeFallSupport", d.FreeFallSupport);
    Field(out, "FreeFallEnabled", d.FreeFallEnabled);
    Field(out, "FreeFallSensitivity", d.FreeFallSensitivity);
    Field(out, "SCT_Support", d.SCT_Support);
    Field(out, "SCT_StatusRead", d.SCT_StatusRead);
    Field(out, "SCT_DataTablesSupport", d.SCT_DataTablesSupport);
    Field(out, "LBA48Support", d.LBA48Support);
    Field(out, "HPA_Support", d.HPA_Support);
    Field(out, "SetMaxSecuritySupport", d.SetMaxSecuritySupport);
    Field(out, "SetMaxSecurityEnabled", d.SetMaxSecurityEnabled);
    Field(out, "TCQ_Support", d.TCQ_Support);
    Field(out, "TCQ_Usable", d.TCQ_Usable);
    Field(out, "NCQ_Usable", d.NCQ_Usable);
    Field(out, "DevSleepSupport", d.DevSleepSupport);
    Field(out, "DevSleepEnabled", d.DevSleepEnabled);
    Field(out, "TemperatureIndex", d.TemperatureIndex);
    Field(out, "Temperature", d.Temperature);
    Field(out, "TopTemperature", d.TopTemperature);
    Field(out, "WarningTemperature", d.WarningTemperature);
    Field(out, "CriticalTemperature", d.CriticalTemperature);
    Field(out, "LegacySamsung", d.LegacySamsung);
    Field(out, "TemperatureLimit", d.TemperatureLimit);
    Field(out, "StartMonitoringDate", d.StartMonitoringDate);
    Field(out, "PreFailure", d.PreFailure);
    Field(out, "WasPreFailure", d.WasPreFailure);
    Field(out, "PreFailureReport", d.PreFailureReport);
    Field(out, "Unreliable", d.Unreliable);
    Field(out, "WasUnreliable", d.WasUnreliable);
    Field(out, "WarrantyReport", d.WarrantyReport);
    Field(out, "IdentifyData", d.IdentifyData);
    Field(out, "AttributeCount", d.AttributeCount);
    Field(out, "AttributeList", d.AttributeList);
    Field(out, "SmartData", d.SmartData);
    Field(out, "SmartThresholds", d.SmartThresholds);
    Field(out, "SelfTestSupport", d.SelfTestSupport);
    Field(out, "ShortSelfTestTime", d.ShortSelfTestTime);
    Field(out, "ShortSelfTestRunning", d.ShortSelfTestRunning);
    Field(out, "ExtendedSelfTestRunning", d.ExtendedSelfTestRunning);
    Field(out, "ExtendedSelfTestTime", d.ExtendedSelfTestTime);
    Field(out, "AverageAccessTime", d.AverageAccessTime);
    Field(out, "AverageAccessTimeFrac", d.AverageAccessTimeFrac);
    Field(out, "AverageReadSpeed", d.AverageReadSpeed);
    Field(out, "BufferingReadSpeed", d.BufferingReadSpeed);
    Field(out, "MaxReadSpeed", d.MaxReadSpeed);
    Field(out, "StabilityReadSpeed", d.StabilityReadSpeed);
    Field(out, "ReadInstability", d.ReadInstability);
    Field(out, "MinReadSpeed", d.MinReadSpeed);
    Field(out, "PowerTimeIndex", d.PowerTimeIndex);
    Field(out, "PowerOnTimerPeriod", d.PowerOnTimerPeriod);
    Field(out, "PowerTimeCheckPoint", d.PowerTimeCheckPoint);
    Field(out, "PowerTime", d.PowerTime);
    Field(out, "PowerCycleIndex", d.PowerCycleIndex);
    Field(out, "PowerCycleCount", d.PowerCycleCount);
    Field(out, "Sleeping", d.Sleeping);
    Field(out, "PowerOffDetected", d.PowerOffDetected);
    Field(out, "RemapIndex", d.RemapIndex);
    Field(out, "RemappedSectors", d.RemappedSectors);
    Field(out, "SecurityEraseTime", d.SecurityEraseTime);
    Field(out, "MaxRecommendedTempReport", d.MaxRecommendedTempReport);
    Field(out, "PerformanceTestPending", d.PerformanceTestPending);
    Field(out, "MeasuredThisRun", d.MeasuredThisRun);
    Field(out, "LogicalDrives", d.LogicalDrives);
    Field(out, "SmartFailures", d.SmartFailures);
    Field(out, "SmartLost", d.SmartLost);
    Field(out, "SctVersionLogged", d.SctVersionLogged);
    Field(out, "Trademark", d.Trademark);
    Field(out, "Controller", d.Controller);
    Field(out, "ControllerID", d.ControllerID);
    Field(out, "AttributeFamily", d.AttributeFamily);
    out << "Log = (" << d.Log.size() << " characters, shown after the record)\n";
    Field(out, "IsSSD", d.IsSSD);
    Field(out, "IsNVMe", d.IsNVMe);
    Field(out, "PCI_VendorID", d.PCI_VendorID);
    Field(out, "PCI_DeviceID", d.PCI_DeviceID);
    Field(out, "NVMe_version", d.NVMe_version);
    Field(out, "NamespaceCount", d.NamespaceCount);
    Field(out, "MaxNamespaces", d.MaxNamespaces);
    Field(out, "NVMeIdentifyController", d.NVMeIdentifyController);
    Field(out, "NVMeIdentifyNamespace", d.NVMeIdentifyNamespace);
    Field(out, "MaxPhysicalSectorSize", d.MaxPhysicalSectorSize);
    Field(out, "PCI_MaxLinkSpeed", d.PCI_MaxLinkSpeed);
    Field(out, "PCI_MaxLinkWidth", d.PCI_MaxLinkWidth);
    Field(out, "PCI_CurrentLinkSpeed", d.PCI_CurrentLinkSpeed);
    Field(out, "PCI_CurrentLinkWidth", d.PCI_CurrentLinkWidth);
    Field(out, "HMB_Support", d.HMB_Support);
    Field(out, "HMB_Enabled", d.HMB_Enabled);
    Field(out, "HMB_Size", d.HMB_Size);
    Field(out, "PowerStatesCount", d.PowerStatesCount);
    Field(out, "MaxPower", d.MaxPower);
    Field(out, "APST_Support", d.APST_Support);
    Field(out, "HCTM_Support", d.HCTM_Support);
    Field(out, "HCTM_TMT1", d.HCTM_TMT1);
    Field(out, "HCTM_TMT2", d.HCTM_TMT2);
    Field(out, "APST_Enabled", d.APST_Enabled);
    Field(out, "Arbitration", d.Arbitration);
    Field(out, "PowerState", d.PowerState);
    Field(out, "InterruptCoalescing", d.InterruptCoalescing);
    Field(out, "InterruptVectorConfig", d.InterruptVectorConfig);
    Field(out, "AsyncEventConfig", d.AsyncEventConfig);
    Field(out, "KeepAliveSupport", d.KeepAliveSupport);
    Field(out, "KeepAliveTimer", d.KeepAliveTimer);
    Field(out, "NOPSPM_Support", d.NOPSPM_Support);
    Field(out, "NOPSPM_Enabled", d.NOPSPM_Enabled);
    Field(out, "ReadRecoverySupport", d.ReadRecoverySupport);
    Field(out, "ReadRecoveryLevel", d.ReadRecoveryLevel);
    Field(out, "PLM_Support", d.PLM_Support);
    Field(out, "PLM_Enabled", d.PLM_Enabled);
    Field(out, "PLM_Window", d.PLM_Window);
    Field(out, "LBAStatusSupport", d.LBAStatusSupport);
    Field(out, "LBAStatusInterval", d.LBAStatusInterval);
    Field(out, "IsUSB", d.IsUSB);
    Field(out, "IsUAS", d.IsUAS);
    Field(out, "RotationRate", d.RotationRate);
    Field(out, "TRIM_Support", d.TRIM_Support);
    Field(out, "TRIM_Enabled", d.TRIM_Enabled);
    Field(out, "TemperatureChanged", d.TemperatureChanged);
    Field(out, "ChecksumErrorLogged", d.ChecksumErrorLogged);
    Field(out, "Transport", d.Transport);
    Field(out, "DimensionalFormFactor", d.DimensionalFormFactor);
    Field(out, "HasWWN", d.HasWWN);
    Field(out, "OUI", d.OUI);
    Field(out, "UsedOLD", d.UsedOLD);
    Field(out, "UsedIDE", d.UsedIDE);
    Field(out, "UsedSCSI", d.UsedSCSI);
    Field(out, "UsedSAT", d.UsedSAT);
    Field(out, "UsedUSB_ATA", d.UsedUSB_ATA);
    Field(out, "UsedUSB_SCSI", d.UsedUSB_SCSI);
    Field(out, "UsedUSB_IDE", d.UsedUSB_IDE);
    Field(out, "UsedUSB_OLD", d.UsedUSB_OLD);
    Field(out, "UsedNVMe_ATA", d.UsedNVMe_ATA);
    Field(out, "UsedNVMe_SCSI", d.UsedNVMe_SCSI);
}
