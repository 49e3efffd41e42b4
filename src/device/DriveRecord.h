// The record of one physical drive, the table of the drives found, and the eight-byte command
// block every drive command is described by.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

// Windows SYSTEMTIME, 16 bytes.
struct SystemTime {
    uint16_t Year, Month, DayOfWeek, Day, Hour, Minute, Second, Milliseconds;
};

// Every field starts at zero, false or empty: a new record is all zero.
struct DriveRecord {
    bool RemapAlertShowing{};
    bool TemperatureAlertShowing{};
    bool SelfTestPassedShowing{};
    bool SelfTestInterruptedShowing{};
    bool SelfTestFailedShowing{};
    bool PreFailureAlertShowing{};
    bool NonCriticalAlertShowing{};
    bool PowerTimeLogged{};
    std::string Caption;
    std::uintptr_t RegKey{};
    platform::Handle Handle{};
    std::string DevicePath;
    uint8_t DeviceAddress{};
    uint8_t ChannelAddress{};
    bool ChannelKnown{};
    std::string HostAdapter;
    std::string HardwareID;
    std::string SerialNumber;
    std::string FirmwareVersion;
    bool DownloadMicrocode{};
    std::string Model;
    uint32_t PhysicalSectorSize{};
    uint16_t LogicalSectorSize{};
    int64_t AvailableSize{};
    uint8_t ATA_version{};
    uint8_t SATA_version{};
    uint8_t SATA_SignalingSpeedSupport{};
    uint8_t SATA_SignalingSpeedCurrent{};
    uint32_t HardwareCache{};
    uint8_t QueueDepth{};
    uint8_t UltraDMA_ModeCurrent{};
    uint8_t UltraDMA_ModeSupport{};
    bool SecuritySupport{};
    bool SecurityEnabled{};
    bool SecurityLocked{};
    bool EnhancedEraseSupport{};
    bool SanitizeSupport{};
    bool CryptoEraseSupport{};
    bool TrustedComputingSupport{};
    bool WriteCacheSupport{};
    bool WriteCacheEnabled{};
    bool LookAheadSupport{};
    bool LookAheadEnabled{};
    bool PowerManagementSupport{};
    bool APM_Support{};
    bool APM_Enabled{};
    uint8_t APM_Level{};
    bool AAM_Support{};
    bool AAM_Enabled{};
    uint8_t AAM_Level{};
    uint8_t AAM_Recommended{};
    bool FreeFallSupport{};
    bool FreeFallEnabled{};
    uint8_t FreeFallSensitivity{};
    bool SCT_Support{};
    bool SCT_StatusRead{};
    bool SCT_DataTablesSupport{};
    bool LBA48Support{};
    bool HPA_Support{};
    bool SetMaxSecuritySupport{};
    bool SetMaxSecurityEnabled{};
    bool TCQ_Support{};
    bool TCQ_Usable{};
    bool NCQ_Usable{};
    bool DevSleepSupport{};
    bool DevSleepEnabled{};
    uint8_t TemperatureIndex{};
    uint8_t Temperature{};
    uint8_t TopTemperature{};
    uint8_t WarningTemperature{};
    uint8_t CriticalTemperature{};
    bool LegacySamsung{};
    uint8_t TemperatureLimit{};
    SystemTime StartMonitoringDate{};
    bool PreFailure{};
    bool WasPreFailure{};
    bool PreFailureReport{};
    bool Unreliable{};
    bool WasUnreliable{};
    bool WarrantyReport{};
    uint8_t IdentifyData[512]{};
    uint8_t AttributeCount{};
    std::string AttributeList;
    uint8_t SmartData[512]{};
    uint8_t SmartThresholds[512]{};
    bool SelfTestSupport{};
    uint8_t ShortSelfTestTime{};
    bool ShortSelfTestRunning{};
    bool ExtendedSelfTestRunning{};
    uint8_t ExtendedSelfTestTime{};
    uint8_t AverageAccessTime{};
    uint8_t AverageAccessTimeFrac{};
    uint16_t AverageReadSpeed{};
    uint16_t BufferingReadSpeed{};
    uint16_t MaxReadSpeed{};
    uint16_t StabilityReadSpeed{};
    uint8_t ReadInstability{};
    uint16_t MinReadSpeed{};
    uint8_t PowerTimeIndex{};
    uint32_t PowerOnTimerPeriod{};
    uint32_t PowerTimeCheckPoint{};
    uint32_t PowerTime{};
    uint8_t PowerCycleIndex{};
    uint32_t PowerCycleCount{};
    uint32_t Sleeping{};
    bool PowerOffDetected{};
    uint8_t RemapIndex{};
    uint32_t RemappedSectors{};
    uint32_t SecurityEraseTime{};
    bool MaxRecommendedTempReport{};
    bool PerformanceTestPending{};
    bool MeasuredThisRun{};
    std::string LogicalDrives;
    uint32_t SmartFailures{};
    bool SmartLost{};
    bool SctVersionLogged{};
    std::string Trademark;
    std::string Controller;
    uint8_t ControllerID{};
    uint8_t AttributeFamily{};
    std::string Log;
    bool IsSSD{};
    bool IsNVMe{};
    uint16_t PCI_VendorID{};
    uint16_t PCI_DeviceID{};
    uint32_t NVMe_version{};
    uint32_t NamespaceCount{};
    uint32_t MaxNamespaces{};
    uint8_t NVMeIdentifyController[4096]{};
    uint8_t NVMeIdentifyNamespace[4096]{};
    uint32_t MaxPhysicalSectorSize{};
    uint8_t PCI_MaxLinkSpeed{};
    uint8_t PCI_MaxLinkWidth{};
    uint8_t PCI_CurrentLinkSpeed{};
    uint8_t PCI_CurrentLinkWidth{};
    bool HMB_Support{};
    bool HMB_Enabled{};
    uint32_t HMB_Size{};
    uint8_t PowerStatesCount{};
    uint8_t MaxPower{};
    bool APST_Support{};
    bool HCTM_Support{};
    uint8_t HCTM_TMT1{};
    uint8_t HCTM_TMT2{};
    bool APST_Enabled{};
    uint32_t Arbitration{};
    uint8_t PowerState{};
    uint16_t InterruptCoalescing{};
    uint32_t InterruptVectorConfig{};
    uint32_t AsyncEventConfig{};
    bool KeepAliveSupport{};
    uint32_t KeepAliveTimer{};
    bool NOPSPM_Support{};
    bool NOPSPM_Enabled{};
    bool ReadRecoverySupport{};
    uint8_t ReadRecoveryLevel{};
    bool PLM_Support{};
    bool PLM_Enabled{};
    uint8_t PLM_Window{};
    bool LBAStatusSupport{};
    uint32_t LBAStatusInterval{};
    bool IsUSB{};
    bool IsUAS{};
    uint16_t RotationRate{};
    bool TRIM_Support{};
    bool TRIM_Enabled{};
    bool TemperatureChanged{};
    bool ChecksumErrorLogged{};
    uint8_t Transport{};
    uint8_t DimensionalFormFactor{};
    bool HasWWN{};
    uint32_t OUI{};
    bool UsedOLD{};
    bool UsedIDE{};
    bool UsedSCSI{};
    bool UsedSAT{};
    bool UsedUSB_ATA{};
    bool UsedUSB_SCSI{};
    bool UsedUSB_IDE{};
    bool UsedUSB_OLD{};
    bool UsedNVMe_ATA{};
    bool UsedNVMe_SCSI{};
};

constexpr unsigned MaxPhysicalDisks = 32;

// Filled once by the scan in discovery order; slots 0..Count-1 are used, never reordered.
struct DriveTableType {
    DriveRecord* Drives[MaxPhysicalDisks]{};
    uint8_t Count{};
};

extern DriveTableType DriveTable;

// Frees every record and empties the table (a new process starts with an empty table; tests
// that scan more than once start each scan from here).
void ClearDriveTable();

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
void StoreTaskFile(const AtaTaskFile& tf, uint8_t* at);
AtaTaskFile LoadTaskFile(const uint8_t* at);

enum class AccessMethod { NVMe, ATA, SCSI, OLD, IDE, SAT };

const char* AccessMethodName(AccessMethod method);

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
AtaTaskFile SmartTaskFile(uint8_t features, uint8_t sectorCount = 0, uint8_t logAddress = 0);
