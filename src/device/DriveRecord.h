// The record of one physical drive and the table of the drives found, which owns the records.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Types.h"
#include "protocol/Ata.h"

using platform::SystemTime;

// One reading of the power-on counter while its unit is measured: the raw counter and the clock's
// milliseconds (the tick count) when it was read.
struct PowerTimeReading {
    uint32_t Counter;
    uint32_t Tick;
};
// Readings a calibration keeps: one a cycle for up to two hours, with room to spare.
constexpr unsigned PowerTimeReadingsKept = 128;

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
    platform::Handle Handle{};  // the drive, opened by the scan; the table owns and closes it
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
    uint32_t SelfTestStartTick{};  // the tick count when the awaited test was started
    uint16_t AverageAccessTime{};  // whole milliseconds
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
    PowerTimeReading PowerTimeReadings[PowerTimeReadingsKept]{};  // the first is the checkpoint
    uint8_t PowerTimeReadingCount{};
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
    bool ReadSpeedsKnown{};       // the read-test results are a whole measured or stored set
    SystemTime ReadTestFailed{};  // when the last read test failed; zero after one that succeeded
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
    std::string BridgeName;  // the USB bridge above the disk, from the bridge table; empty when not there
    uint16_t UsbVendorId{};  // the bridge's USB id
    uint16_t UsbProductId{};
    uint16_t UsbRelease{};
    uint8_t BridgeMethod{};  // the AccessMethod of the bridge's own command blocks; 0 (NVMe): none, the standard's
    uint8_t BridgePort{};    // a two-port JMicron bridge: 1 + the port the drive is on; 0: not read yet
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

// The table of the drives found. The scan fills it once at start-up, before the monitoring timer and
// any worker run, and nothing changes it afterwards: a device change restarts the program. So the
// count and each record's place stay fixed while other threads run, and only the records' fields need
// the lock. The table owns its records and their drive handles.
//
// Records are shared by the user-interface thread, the monitoring (timer) thread and worker threads,
// and kept apart by one table-wide reader/writer lock, reached only through the guards below:
// - a thread that sends commands to a drive of the table or changes its fields holds a DriveWriter
//   for that drive's step (one drive at a time, never across a wait for the user);
// - a thread that reads fields of records it did not just write holds a DriveReader while it reads,
//   or takes a SnapshotDrive and reads the copy at leisure;
// - the diagnostic logs have their own lock, and the process-wide flags are atomics;
// - locks are taken in one order: the table lock, then the dispatcher's, then the log's;
// - drive I/O that can take long (spin-ups, value-page reads) runs under the dispatcher's lock alone,
//   into buffers of its own, on the record that DriveForCommands hands out; the results are written
//   back under a DriveWriter afterwards.

// The drives in the table; fixed once the scan is done.
unsigned DriveCount();

// Holds the table lock exclusively for its lifetime and hands out one record to change. The record
// is named by its place in the table, or is a record of the table the caller was handed.
class DriveWriter {
public:
    explicit DriveWriter(unsigned index);
    explicit DriveWriter(DriveRecord& drive);
    ~DriveWriter();
    DriveWriter(const DriveWriter&) = delete;
    DriveWriter& operator=(const DriveWriter&) = delete;
    DriveRecord& operator*() const { return drive_; }
    DriveRecord* operator->() const { return &drive_; }

private:
    DriveRecord& drive_;
};

// Holds the table lock shared for its lifetime and hands out one record to read.
class DriveReader {
public:
    explicit DriveReader(unsigned index);
    explicit DriveReader(const DriveRecord& drive);
    ~DriveReader();
    DriveReader(const DriveReader&) = delete;
    DriveReader& operator=(const DriveReader&) = delete;
    const DriveRecord& operator*() const { return drive_; }
    const DriveRecord* operator->() const { return &drive_; }

private:
    const DriveRecord& drive_;
};

// Whether this thread holds a DriveWriter.
bool ThisThreadHoldsDriveWriter();

// A copy of record `index` taken under the reader lock, without the drive's handle (a snapshot opens
// nothing and sends nothing); an empty record when there is no such drive.
DriveRecord SnapshotDrive(unsigned index);

// Record `index` itself, for a thread that sends it commands without the table lock (the monitoring
// cycle, the drive tools): its handle and identity do not change after the scan, and every other field
// is read and written under a guard. The index must be below DriveCount().
DriveRecord& DriveForCommands(unsigned index);

// Closes the drive handle `handle` of a drive of the table (Windows wants to remove the device), not
// while a command or a read is on its way to the drive; the record stays, without a handle. False when
// no drive of the table has that handle.
bool CloseDriveHandle(platform::Handle handle);
