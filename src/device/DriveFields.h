// The fields of a DriveRecord, one row each in the record's order: its name, its member, its tag in
// the drive group of a publish block, whether the drive database keeps it in a column, and how the
// field dump shows it. The dump, the publish block and the server's drives table all follow these
// rows, so a new field is its member in DriveRecord and its row here.
//
// The table is constexpr so that the code that reads it can check its rows at compile time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <variant>

#include "device/DriveRecord.h"

// A number that means something only inside this process (a handle, a registry key): dumped in
// hexadecimal, never published.
struct OpaqueNumber {
    std::uintptr_t DriveRecord::*Member;
};

// The member a row stands for; the alternative is the field's kind.
using FieldMember = std::variant<bool DriveRecord::*, uint8_t DriveRecord::*, uint16_t DriveRecord::*,
                                 uint32_t DriveRecord::*, int64_t DriveRecord::*, std::string DriveRecord::*,
                                 SystemTime DriveRecord::*, uint8_t (DriveRecord::*)[512],
                                 uint8_t (DriveRecord::*)[4096],
                                 PowerTimeReading (DriveRecord::*)[PowerTimeReadingsKept], OpaqueNumber>;

// What a row says besides its name, member and tag, combined with |.
enum FieldTrait : unsigned {
    InColumn = 1u << 0,           // the drive database keeps it in a column of its name
    NVMeOnly = 1u << 1,           // published in the groups of NVMe drives only
    OtherThanNVMeOnly = 1u << 2,  // published in the groups of the other drives only
    SleepFlag = 1u << 3,          // published as one byte: 0xFF for any low-power state, 0 when awake
    DumpLengthOnly = 1u << 4,     // a text the dump gives the length of; it is shown after the record
    NotDumped = 1u << 5,          // working state of the monitoring that the dump leaves out
};

struct DriveField {
    const char* Name;
    FieldMember Member;
    uint16_t Tag = 0;  // in a publish block's drive group; 0: not published
    unsigned Traits = 0;
    // A number grown wider than the one byte older readers take under Tag: Tag keeps carrying one
    // byte, saturated at 255 ("at least 255"), and WholeTag the whole value in the field's width, which
    // a reader that knows the tag prefers. A block without it (of an older version) is still read.
    uint16_t WholeTag = 0;
};

constexpr bool HasTrait(const DriveField& field, FieldTrait trait) { return (field.Traits & trait) != 0; }

// The type a member of the record holds.
template <class Member>
struct FieldValue;
template <class T>
struct FieldValue<T DriveRecord::*> {
    using Type = T;
};

template <class Member>
constexpr bool IsNumberField =
    std::is_same_v<Member, bool DriveRecord::*> || std::is_same_v<Member, uint8_t DriveRecord::*> ||
    std::is_same_v<Member, uint16_t DriveRecord::*> || std::is_same_v<Member, uint32_t DriveRecord::*> ||
    std::is_same_v<Member, int64_t DriveRecord::*>;

#define FIELD(name) #name, &DriveRecord::name
#define OPAQUE(name) #name, OpaqueNumber{&DriveRecord::name}

inline constexpr DriveField DriveFields[] = {
    {FIELD(RemapAlertShowing)},
    {FIELD(TemperatureAlertShowing)},
    {FIELD(SelfTestPassedShowing)},
    {FIELD(SelfTestInterruptedShowing)},
    {FIELD(SelfTestFailedShowing)},
    {FIELD(PreFailureAlertShowing)},
    {FIELD(NonCriticalAlertShowing)},
    {FIELD(PowerTimeLogged)},
    {FIELD(Caption)},
    {OPAQUE(RegKey)},
    {OPAQUE(Handle)},
    {FIELD(DevicePath)},
    {FIELD(DeviceAddress), 11, InColumn},
    {FIELD(ChannelAddress), 12, InColumn},
    {FIELD(ChannelKnown), 13, InColumn},
    {FIELD(HostAdapter), 14, InColumn},
    {FIELD(HardwareID), 15, InColumn},
    {FIELD(SerialNumber), 17, InColumn},
    {FIELD(FirmwareVersion), 18, InColumn},
    {FIELD(DownloadMicrocode), 19, InColumn},
    {FIELD(Model), 20, InColumn},
    {FIELD(PhysicalSectorSize), 121, InColumn},
    {FIELD(LogicalSectorSize)},
    {FIELD(AvailableSize), 21, InColumn},
    {FIELD(ATA_version), 23, InColumn},
    {FIELD(SATA_version), 122, InColumn},
    {FIELD(SATA_SignalingSpeedSupport), 24, InColumn},
    {FIELD(SATA_SignalingSpeedCurrent), 123, InColumn},
    {FIELD(HardwareCache), 25, InColumn},
    {FIELD(QueueDepth)},
    {FIELD(UltraDMA_ModeCurrent), 27, InColumn},
    {FIELD(UltraDMA_ModeSupport), 28, InColumn},
    {FIELD(SecuritySupport), 29, InColumn},
    {FIELD(SecurityEnabled), 30, InColumn},
    {FIELD(SecurityLocked), 10, InColumn},
    {FIELD(EnhancedEraseSupport), 129, InColumn},
    {FIELD(SanitizeSupport), 130, InColumn},
    {FIELD(CryptoEraseSupport), 131, InColumn},
    {FIELD(TrustedComputingSupport), 98, InColumn},
    {FIELD(WriteCacheSupport), 31, InColumn},
    {FIELD(WriteCacheEnabled), 32, InColumn},
    {FIELD(LookAheadSupport), 33, InColumn},
    {FIELD(LookAheadEnabled), 34, InColumn},
    {FIELD(PowerManagementSupport), 35, InColumn},
    {FIELD(APM_Support), 36, InColumn},
    {FIELD(APM_Enabled), 37, InColumn},
    {FIELD(APM_Level), 38, InColumn},
    {FIELD(AAM_Support), 39, InColumn},
    {FIELD(AAM_Enabled), 40, InColumn},
    {FIELD(AAM_Level), 41, InColumn},
    {FIELD(AAM_Recommended), 42, InColumn},
    {FIELD(FreeFallSupport), 99, InColumn},
    {FIELD(FreeFallEnabled), 100, InColumn},
    {FIELD(FreeFallSensitivity), 101, InColumn},
    {FIELD(SCT_Support), 114, InColumn},
    {FIELD(SCT_StatusRead)},
    {FIELD(SCT_DataTablesSupport), 124, InColumn},
    {FIELD(LBA48Support)},
    {FIELD(HPA_Support), 44, InColumn},
    {FIELD(SetMaxSecuritySupport), 45, InColumn},
    {FIELD(SetMaxSecurityEnabled), 46, InColumn},
    {FIELD(TCQ_Support), 47, InColumn},
    {FIELD(TCQ_Usable), 48, InColumn},
    {FIELD(NCQ_Usable), 49, InColumn},
    {FIELD(DevSleepSupport), 133, InColumn},
    {FIELD(DevSleepEnabled), 134, InColumn},
    {FIELD(TemperatureIndex), 51, InColumn},
    {FIELD(Temperature), 53, InColumn},
    {FIELD(TopTemperature), 54, InColumn},
    {FIELD(WarningTemperature), 116, InColumn},
    {FIELD(CriticalTemperature), 117, InColumn},
    {FIELD(LegacySamsung)},
    {FIELD(TemperatureLimit)},
    {FIELD(StartMonitoringDate), 55},
    {FIELD(PreFailure), 56, InColumn},
    {FIELD(WasPreFailure), 106, InColumn},
    {FIELD(PreFailureReport)},
    {FIELD(Unreliable), 57, InColumn},
    {FIELD(WasUnreliable), 107, InColumn},
    {FIELD(WarrantyReport)},
    {FIELD(IdentifyData), 58, OtherThanNVMeOnly},
    {FIELD(AttributeCount), 59, InColumn},
    {FIELD(AttributeList)},
    {FIELD(SmartData), 60},
    {FIELD(SmartThresholds), 61, OtherThanNVMeOnly},
    {FIELD(SelfTestSupport), 62, InColumn},
    {FIELD(ShortSelfTestTime), 63, InColumn},
    {FIELD(ShortSelfTestRunning), 64, InColumn},
    {FIELD(ExtendedSelfTestRunning), 65, InColumn},
    {FIELD(ExtendedSelfTestTime), 66, InColumn},
    {FIELD(SelfTestStartTick), 0, NotDumped},
    {FIELD(AverageAccessTime), 67, InColumn, 156},
    {FIELD(AverageAccessTimeFrac), 68, InColumn},
    {FIELD(AverageReadSpeed), 69, InColumn},
    {FIELD(BufferingReadSpeed), 70, InColumn},
    {FIELD(MaxReadSpeed), 71, InColumn},
    {FIELD(StabilityReadSpeed), 72, InColumn},
    {FIELD(ReadInstability), 73, InColumn},
    {FIELD(MinReadSpeed), 74, InColumn},
    {FIELD(PowerTimeIndex), 76, InColumn},
    {FIELD(PowerOnTimerPeriod), 77, InColumn},
    {FIELD(PowerTimeCheckPoint)},
    {FIELD(PowerTimeReadings), 0, NotDumped},
    {FIELD(PowerTimeReadingCount), 0, NotDumped},
    {FIELD(PowerTime), 78, InColumn},
    {FIELD(PowerCycleIndex), 80, InColumn},
    {FIELD(PowerCycleCount), 81, InColumn},
    {FIELD(Sleeping), 82, InColumn | SleepFlag},
    {FIELD(PowerOffDetected), 83, InColumn},
    {FIELD(RemapIndex), 85, InColumn},
    {FIELD(RemappedSectors), 86, InColumn},
    {FIELD(SecurityEraseTime), 87, InColumn},
    {FIELD(MaxRecommendedTempReport)},
    {FIELD(PerformanceTestPending)},
    {FIELD(MeasuredThisRun)},
    {FIELD(ReadSpeedsKnown)},
    {FIELD(ReadTestFailed)},
    {FIELD(LogicalDrives), 91, InColumn},
    {FIELD(SmartFailures), 92, InColumn},
    {FIELD(SmartLost), 93, InColumn},
    {FIELD(SctVersionLogged)},
    {FIELD(Trademark), 97, InColumn},
    {FIELD(Controller), 113, InColumn},
    {FIELD(ControllerID)},
    {FIELD(AttributeFamily)},
    {FIELD(Log), 96, InColumn | DumpLengthOnly},
    {FIELD(IsSSD), 118, InColumn},
    {FIELD(IsNVMe), 135, InColumn},
    {FIELD(PCI_VendorID), 138, InColumn},
    {FIELD(PCI_DeviceID), 3, InColumn},
    {FIELD(NVMe_version), 137, InColumn},
    {FIELD(NamespaceCount), 139, InColumn},
    {FIELD(MaxNamespaces), 140, InColumn},
    {FIELD(NVMeIdentifyController), 136, NVMeOnly},
    {FIELD(NVMeIdentifyNamespace), 141, NVMeOnly},
    {FIELD(MaxPhysicalSectorSize), 142, InColumn},
    {FIELD(PCI_MaxLinkSpeed), 102, InColumn},
    {FIELD(PCI_MaxLinkWidth), 103, InColumn},
    {FIELD(PCI_CurrentLinkSpeed), 104, InColumn},
    {FIELD(PCI_CurrentLinkWidth), 105, InColumn},
    {FIELD(HMB_Support), 88, InColumn},
    {FIELD(HMB_Enabled), 89, InColumn},
    {FIELD(HMB_Size), 90, InColumn},
    {FIELD(PowerStatesCount), 5, InColumn},
    {FIELD(MaxPower), 7, InColumn},
    {FIELD(APST_Support), 26, InColumn},
    {FIELD(HCTM_Support), 43, InColumn},
    {FIELD(HCTM_TMT1), 50, InColumn},
    {FIELD(HCTM_TMT2), 52, InColumn},
    {FIELD(APST_Enabled), 75, InColumn},
    {FIELD(Arbitration), 79, InColumn},
    {FIELD(PowerState), 84, InColumn},
    {FIELD(InterruptCoalescing), 111, InColumn},
    {FIELD(InterruptVectorConfig), 112, InColumn},
    {FIELD(AsyncEventConfig), 144, InColumn},
    {FIELD(KeepAliveSupport), 145, InColumn},
    {FIELD(KeepAliveTimer), 146, InColumn},
    {FIELD(NOPSPM_Support), 147, InColumn},
    {FIELD(NOPSPM_Enabled), 148, InColumn},
    {FIELD(ReadRecoverySupport), 149, InColumn},
    {FIELD(ReadRecoveryLevel), 150, InColumn},
    {FIELD(PLM_Support), 151, InColumn},
    {FIELD(PLM_Enabled), 152, InColumn},
    {FIELD(PLM_Window), 153, InColumn},
    {FIELD(LBAStatusSupport), 154, InColumn},
    {FIELD(LBAStatusInterval), 155, InColumn},
    {FIELD(IsUSB), 126, InColumn},
    {FIELD(IsUAS), 108, InColumn},
    {FIELD(BridgeName)},
    {FIELD(UsbVendorId)},
    {FIELD(UsbProductId)},
    {FIELD(UsbRelease)},
    {FIELD(BridgeMethod), 0, NotDumped},
    {FIELD(BridgePort), 0, NotDumped},
    {FIELD(RotationRate), 119, InColumn},
    {FIELD(TRIM_Support), 120, InColumn},
    {FIELD(TRIM_Enabled), 132, InColumn},
    {FIELD(TemperatureChanged), 125, InColumn},
    {FIELD(ChecksumErrorLogged)},
    {FIELD(Transport), 127, InColumn},
    {FIELD(DimensionalFormFactor), 128, InColumn},
    {FIELD(HasWWN), 94, InColumn},
    {FIELD(OUI), 95, InColumn},
    {FIELD(UsedOLD)},
    {FIELD(UsedIDE)},
    {FIELD(UsedSCSI)},
    {FIELD(UsedSAT)},
    {FIELD(UsedUSB_ATA)},
    {FIELD(UsedUSB_SCSI)},
    {FIELD(UsedUSB_IDE)},
    {FIELD(UsedUSB_OLD)},
    {FIELD(UsedNVMe_ATA)},
    {FIELD(UsedNVMe_SCSI)},
};

#undef FIELD
#undef OPAQUE

constexpr std::size_t DriveFieldCount = sizeof DriveFields / sizeof DriveFields[0];

constexpr bool SameName(const char* a, const char* b) {
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

// The place of the row named `name`, or of the row published under `tag` (either of its tags);
// DriveFieldCount when there is none. The compile-time checks use places, not rows' addresses: with GCC's undefined-behaviour
// sanitizer, the address of a row is no constant expression.
constexpr std::size_t DriveFieldPlaceNamed(const char* name) {
    for (std::size_t i = 0; i < DriveFieldCount; ++i)
        if (SameName(DriveFields[i].Name, name)) return i;
    return DriveFieldCount;
}
constexpr std::size_t DriveFieldPlaceTagged(uint16_t tag) {
    for (std::size_t i = 0; i < DriveFieldCount; ++i)
        if (tag != 0 && (DriveFields[i].Tag == tag || DriveFields[i].WholeTag == tag)) return i;
    return DriveFieldCount;
}

// The row named `name`, or published under `tag` (either of its tags); null when there is none.
inline const DriveField* DriveFieldNamed(const char* name) {
    const std::size_t i = DriveFieldPlaceNamed(name);
    return i < DriveFieldCount ? &DriveFields[i] : nullptr;
}
inline const DriveField* DriveFieldTagged(uint16_t tag) {
    const std::size_t i = DriveFieldPlaceTagged(tag);
    return i < DriveFieldCount ? &DriveFields[i] : nullptr;
}

// A row's traits agree with each other: a drive kind or the sleep flag only on a published field,
// never both drive kinds, never both ways of leaving a value out of the dump. A whole-value tag only
// beside a tag of its own, and not on the sleep flag (always one byte).
constexpr bool TraitsAgree(const DriveField& f) {
    const bool publishing = HasTrait(f, NVMeOnly) || HasTrait(f, OtherThanNVMeOnly) || HasTrait(f, SleepFlag);
    return (f.Tag != 0 || !publishing) && !(HasTrait(f, NotDumped) && HasTrait(f, DumpLengthOnly)) &&
           !(HasTrait(f, NVMeOnly) && HasTrait(f, OtherThanNVMeOnly)) &&
           (f.WholeTag == 0 || (f.Tag != 0 && f.WholeTag != f.Tag && !HasTrait(f, SleepFlag)));
}

// Whether two rows share a tag, the whole-value tags counted.
constexpr bool TagsMeet(const DriveField& a, const DriveField& b) {
    for (const uint16_t x : {a.Tag, a.WholeTag})
        for (const uint16_t y : {b.Tag, b.WholeTag})
            if (x != 0 && x == y) return true;
    return false;
}

// Names and tags are each used once (the FIELD macro ties a member to its name).
constexpr bool DriveFieldRowsAgree() {
    for (std::size_t i = 0; i < DriveFieldCount; ++i) {
        if (!TraitsAgree(DriveFields[i])) return false;
        for (std::size_t j = i + 1; j < DriveFieldCount; ++j) {
            if (SameName(DriveFields[i].Name, DriveFields[j].Name)) return false;
            if (TagsMeet(DriveFields[i], DriveFields[j])) return false;
        }
    }
    return true;
}

static_assert(DriveFieldRowsAgree(), "every row of DriveFields has its own name and tags, and traits that agree");
