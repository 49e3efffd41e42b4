#include "net/PublishBlock.h"

#include <cstring>
#include <type_traits>
#include <variant>

namespace {

// A drive's low-power state goes out as 0xFF, an awake drive as 0.
struct SleepFlag {
    uint32_t DriveRecord::*Field;
};
// A text the block carries always empty.
struct ReservedText {};

using FieldRef = std::variant<bool DriveRecord::*, uint8_t DriveRecord::*, uint16_t DriveRecord::*,
                              uint32_t DriveRecord::*, int64_t DriveRecord::*, std::string DriveRecord::*,
                              SystemTime DriveRecord::*, uint8_t (DriveRecord::*)[512],
                              uint8_t (DriveRecord::*)[4096], SleepFlag, ReservedText,
                              std::string PublishHeader::*, SystemTime PublishHeader::*,
                              uint16_t PublishHeader::*, uint8_t PublishHeader::*>;

enum class Group : uint8_t { Header, Drive };
// Which drives carry a row of the drive group.
enum class Carrier : uint8_t { Every, NVMe, OtherThanNVMe };

struct PublishRow {
    Group In;
    uint16_t Tag;
    PublishKind Kind;
    FieldRef Field;
    Carrier For = Carrier::Every;
};

using K = PublishKind;
using D = DriveRecord;
using H = PublishHeader;
constexpr Group Hd = Group::Header;
constexpr Group Dr = Group::Drive;

// The block in its order: the header group, then the drive group. Each group ends with tag 0.
const PublishRow PublishTable[] = {
    {Hd, 1, K::Text, &H::ProgramVersion},
    {Hd, 2, K::Text, &H::OperatingSystem},
    {Hd, 4, K::Text, &H::GlobalLog},
    {Hd, 6, K::Time, &H::Time},
    {Hd, 8, K::Word, &H::Constant},
    {Hd, 9, K::Byte, &H::SuspendSeen},
    {Dr, 10, K::Byte, &D::SecurityLocked},
    {Dr, 11, K::Byte, &D::DeviceAddress},
    {Dr, 12, K::Byte, &D::ChannelAddress},
    {Dr, 13, K::Byte, &D::ChannelKnown},
    {Dr, 14, K::Text, &D::HostAdapter},
    {Dr, 15, K::Text, &D::HardwareID},
    {Dr, 16, K::Text, ReservedText{}},
    {Dr, 17, K::Text, &D::SerialNumber},
    {Dr, 18, K::Text, &D::FirmwareVersion},
    {Dr, 19, K::Byte, &D::DownloadMicrocode},
    {Dr, 20, K::Text, &D::Model},
    {Dr, 21, K::Qword, &D::AvailableSize},
    {Dr, 23, K::Byte, &D::ATA_version},
    {Dr, 24, K::Byte, &D::SATA_SignalingSpeedSupport},
    {Dr, 25, K::Dword, &D::HardwareCache},
    {Dr, 27, K::Byte, &D::UltraDMA_ModeCurrent},
    {Dr, 28, K::Byte, &D::UltraDMA_ModeSupport},
    {Dr, 29, K::Byte, &D::SecuritySupport},
    {Dr, 30, K::Byte, &D::SecurityEnabled},
    {Dr, 31, K::Byte, &D::WriteCacheSupport},
    {Dr, 32, K::Byte, &D::WriteCacheEnabled},
    {Dr, 33, K::Byte, &D::LookAheadSupport},
    {Dr, 34, K::Byte, &D::LookAheadEnabled},
    {Dr, 35, K::Byte, &D::PowerManagementSupport},
    {Dr, 36, K::Byte, &D::APM_Support},
    {Dr, 37, K::Byte, &D::APM_Enabled},
    {Dr, 38, K::Byte, &D::APM_Level},
    {Dr, 39, K::Byte, &D::AAM_Support},
    {Dr, 40, K::Byte, &D::AAM_Enabled},
    {Dr, 41, K::Byte, &D::AAM_Level},
    {Dr, 42, K::Byte, &D::AAM_Recommended},
    {Dr, 44, K::Byte, &D::HPA_Support},
    {Dr, 45, K::Byte, &D::SetMaxSecuritySupport},
    {Dr, 46, K::Byte, &D::SetMaxSecurityEnabled},
    {Dr, 47, K::Byte, &D::TCQ_Support},
    {Dr, 48, K::Byte, &D::TCQ_Usable},
    {Dr, 49, K::Byte, &D::NCQ_Usable},
    {Dr, 51, K::Byte, &D::TemperatureIndex},
    {Dr, 53, K::Byte, &D::Temperature},
    {Dr, 54, K::Byte, &D::TopTemperature},
    {Dr, 55, K::Time, &D::StartMonitoringDate},
    {Dr, 56, K::Byte, &D::PreFailure},
    {Dr, 57, K::Byte, &D::Unreliable},
    {Dr, 59, K::Byte, &D::AttributeCount},
    {Dr, 60, K::Block512, &D::SmartData},
    {Dr, 62, K::Byte, &D::SelfTestSupport},
    {Dr, 63, K::Byte, &D::ShortSelfTestTime},
    {Dr, 64, K::Byte, &D::ShortSelfTestRunning},
    {Dr, 65, K::Byte, &D::ExtendedSelfTestRunning},
    {Dr, 66, K::Byte, &D::ExtendedSelfTestTime},
    {Dr, 67, K::Byte, &D::AverageAccessTime},
    {Dr, 68, K::Byte, &D::AverageAccessTimeFrac},
    {Dr, 69, K::Word, &D::AverageReadSpeed},
    {Dr, 70, K::Word, &D::BufferingReadSpeed},
    {Dr, 71, K::Word, &D::MaxReadSpeed},
    {Dr, 72, K::Word, &D::StabilityReadSpeed},
    {Dr, 73, K::Byte, &D::ReadInstability},
    {Dr, 74, K::Word, &D::MinReadSpeed},
    {Dr, 76, K::Byte, &D::PowerTimeIndex},
    {Dr, 77, K::Dword, &D::PowerOnTimerPeriod},
    {Dr, 78, K::Dword, &D::PowerTime},
    {Dr, 80, K::Byte, &D::PowerCycleIndex},
    {Dr, 81, K::Dword, &D::PowerCycleCount},
    {Dr, 82, K::Byte, SleepFlag{&D::Sleeping}},
    {Dr, 83, K::Byte, &D::PowerOffDetected},
    {Dr, 85, K::Byte, &D::RemapIndex},
    {Dr, 86, K::Dword, &D::RemappedSectors},
    {Dr, 87, K::Dword, &D::SecurityEraseTime},
    {Dr, 91, K::Text, &D::LogicalDrives},
    {Dr, 92, K::Dword, &D::SmartFailures},
    {Dr, 93, K::Byte, &D::SmartLost},
    {Dr, 94, K::Byte, &D::HasWWN},
    {Dr, 95, K::Dword, &D::OUI},
    {Dr, 96, K::Text, &D::Log},
    {Dr, 97, K::Text, &D::Trademark},
    {Dr, 98, K::Byte, &D::TrustedComputingSupport},
    {Dr, 99, K::Byte, &D::FreeFallSupport},
    {Dr, 100, K::Byte, &D::FreeFallEnabled},
    {Dr, 101, K::Byte, &D::FreeFallSensitivity},
    {Dr, 106, K::Byte, &D::WasPreFailure},
    {Dr, 107, K::Byte, &D::WasUnreliable},
    {Dr, 108, K::Byte, &D::IsUAS},
    {Dr, 113, K::Text, &D::Controller},
    {Dr, 114, K::Byte, &D::SCT_Support},
    {Dr, 116, K::Byte, &D::WarningTemperature},
    {Dr, 117, K::Byte, &D::CriticalTemperature},
    {Dr, 118, K::Byte, &D::IsSSD},
    {Dr, 119, K::Word, &D::RotationRate},
    {Dr, 120, K::Byte, &D::TRIM_Support},
    {Dr, 121, K::Dword, &D::PhysicalSectorSize},
    {Dr, 122, K::Byte, &D::SATA_version},
    {Dr, 123, K::Byte, &D::SATA_SignalingSpeedCurrent},
    {Dr, 124, K::Byte, &D::SCT_DataTablesSupport},
    {Dr, 125, K::Byte, &D::TemperatureChanged},
    {Dr, 126, K::Byte, &D::IsUSB},
    {Dr, 127, K::Byte, &D::Transport},
    {Dr, 128, K::Byte, &D::DimensionalFormFactor},
    {Dr, 129, K::Byte, &D::EnhancedEraseSupport},
    {Dr, 130, K::Byte, &D::SanitizeSupport},
    {Dr, 131, K::Byte, &D::CryptoEraseSupport},
    {Dr, 132, K::Byte, &D::TRIM_Enabled},
    {Dr, 133, K::Byte, &D::DevSleepSupport},
    {Dr, 134, K::Byte, &D::DevSleepEnabled},
    {Dr, 135, K::Byte, &D::IsNVMe},
    {Dr, 138, K::Word, &D::PCI_VendorID},
    {Dr, 3, K::Word, &D::PCI_DeviceID},
    {Dr, 137, K::Dword, &D::NVMe_version},
    {Dr, 139, K::Dword, &D::NamespaceCount},
    {Dr, 140, K::Dword, &D::MaxNamespaces},
    {Dr, 142, K::Dword, &D::MaxPhysicalSectorSize},
    {Dr, 102, K::Byte, &D::PCI_MaxLinkSpeed},
    {Dr, 103, K::Byte, &D::PCI_MaxLinkWidth},
    {Dr, 104, K::Byte, &D::PCI_CurrentLinkSpeed},
    {Dr, 105, K::Byte, &D::PCI_CurrentLinkWidth},
    {Dr, 88, K::Byte, &D::HMB_Support},
    {Dr, 89, K::Byte, &D::HMB_Enabled},
    {Dr, 90, K::Dword, &D::HMB_Size},
    {Dr, 5, K::Byte, &D::PowerStatesCount},
    {Dr, 7, K::Byte, &D::MaxPower},
    {Dr, 26, K::Byte, &D::APST_Support},
    {Dr, 43, K::Byte, &D::HCTM_Support},
    {Dr, 50, K::Byte, &D::HCTM_TMT1},
    {Dr, 52, K::Byte, &D::HCTM_TMT2},
    {Dr, 75, K::Byte, &D::APST_Enabled},
    {Dr, 79, K::Dword, &D::Arbitration},
    {Dr, 84, K::Byte, &D::PowerState},
    {Dr, 111, K::Word, &D::InterruptCoalescing},
    {Dr, 112, K::Dword, &D::InterruptVectorConfig},
    {Dr, 144, K::Dword, &D::AsyncEventConfig},
    {Dr, 145, K::Byte, &D::KeepAliveSupport},
    {Dr, 146, K::Dword, &D::KeepAliveTimer},
    {Dr, 147, K::Byte, &D::NOPSPM_Support},
    {Dr, 148, K::Byte, &D::NOPSPM_Enabled},
    {Dr, 149, K::Byte, &D::ReadRecoverySupport},
    {Dr, 150, K::Byte, &D::ReadRecoveryLevel},
    {Dr, 151, K::Byte, &D::PLM_Support},
    {Dr, 152, K::Byte, &D::PLM_Enabled},
    {Dr, 153, K::Byte, &D::PLM_Window},
    {Dr, 154, K::Byte, &D::LBAStatusSupport},
    {Dr, 155, K::Dword, &D::LBAStatusInterval},
    {Dr, 136, K::Block4096, &D::NVMeIdentifyController, Carrier::NVMe},
    {Dr, 141, K::Block4096, &D::NVMeIdentifyNamespace, Carrier::NVMe},
    {Dr, 58, K::Block512, &D::IdentifyData, Carrier::OtherThanNVMe},
    {Dr, 61, K::Block512, &D::SmartThresholds, Carrier::OtherThanNVMe},
};

// The record a row's field lives in: the header or a drive (const while building, written while decoding).
template <class HeaderT, class DriveT>
struct Target {
    HeaderT* Header;
    DriveT* Drive;
};

template <class T>
struct IsHeaderMember : std::false_type {};
template <class T>
struct IsHeaderMember<T PublishHeader::*> : std::true_type {};

template <class Member, class HeaderT, class DriveT>
auto& FieldOf(Member member, const Target<HeaderT, DriveT>& target) {
    if constexpr (IsHeaderMember<Member>::value) return target.Header->*member;
    else return target.Drive->*member;
}

bool CarriedBy(const PublishRow& row, bool isNVMe) {
    return row.For == Carrier::Every || (row.For == Carrier::NVMe) == isNVMe;
}

// ---- building ----

void PutLittleEndian(std::string& out, uint64_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void PutTime(std::string& out, const SystemTime& t) {
    for (uint16_t part : {t.Year, t.Month, t.DayOfWeek, t.Day, t.Hour, t.Minute, t.Second, t.Milliseconds})
        PutLittleEndian(out, part, 2);
}

void PutText(std::string& out, const std::string& text) {
    // A zero byte inside would end the text early for the reader: the text is cut there.
    out.append(text.c_str());
    out.push_back('\0');
}

using Source = Target<const PublishHeader, const DriveRecord>;
using Destination = Target<PublishHeader, DriveRecord>;

void PutValue(std::string& out, const PublishRow& row, const Source& source) {
    std::visit(
        [&](auto member) {
            using M = decltype(member);
            if constexpr (std::is_same_v<M, ReservedText>) {
                out.push_back('\0');
            } else if constexpr (std::is_same_v<M, SleepFlag>) {
                out.push_back(source.Drive->*member.Field != 0 ? '\xFF' : '\0');
            } else {
                const auto& field = FieldOf(member, source);
                using F = std::remove_cv_t<std::remove_reference_t<decltype(field)>>;
                if constexpr (std::is_same_v<F, std::string>) PutText(out, field);
                else if constexpr (std::is_same_v<F, SystemTime>) PutTime(out, field);
                else if constexpr (std::is_array_v<F>) out.append(reinterpret_cast<const char*>(field), sizeof field);
                else PutLittleEndian(out, static_cast<uint64_t>(field), PublishKindSize(row.Kind));
            }
        },
        row.Field);
}

void PutGroup(std::string& out, Group group, const Source& source, bool isNVMe) {
    for (const PublishRow& row : PublishTable) {
        if (row.In != group || !CarriedBy(row, isNVMe)) continue;
        PutLittleEndian(out, row.Tag, 2);
        PutValue(out, row, source);
    }
    PutLittleEndian(out, 0, 2);
}

// ---- decoding ----

struct Reader {
    const std::string& Bytes;
    std::size_t At = 0;
    std::size_t Left() const { return Bytes.size() - At; }
    uint64_t LittleEndian(std::size_t bytes) {
        uint64_t value = 0;
        for (std::size_t i = 0; i < bytes; ++i) value |= uint64_t{static_cast<uint8_t>(Bytes[At + i])} << (8 * i);
        At += bytes;
        return value;
    }
};

const PublishRow* FindRow(Group group, uint16_t tag) {
    for (const PublishRow& row : PublishTable)
        if (row.In == group && row.Tag == tag) return &row;
    return nullptr;
}

void StoreTime(Reader& in, SystemTime& t) {
    for (uint16_t* part : {&t.Year, &t.Month, &t.DayOfWeek, &t.Day, &t.Hour, &t.Minute, &t.Second, &t.Milliseconds})
        *part = static_cast<uint16_t>(in.LittleEndian(2));
}

bool TakeText(Reader& in, uint16_t tag, std::string& text, std::string& why) {
    const std::size_t end = in.Bytes.find('\0', in.At);
    if (end == std::string::npos) {
        why = "text of tag " + std::to_string(tag) + " has no zero byte";
        return false;
    }
    text = in.Bytes.substr(in.At, end - in.At);
    in.At = end + 1;
    return true;
}

// The value of `row` at the reader into its field; the caller has checked that a fixed-size value fits.
bool TakeValue(Reader& in, const PublishRow& row, const Destination& target, std::string& why) {
    return std::visit(
        [&](auto member) {
            using M = decltype(member);
            if constexpr (std::is_same_v<M, ReservedText>) {
                std::string ignored;
                return TakeText(in, row.Tag, ignored, why);
            } else if constexpr (std::is_same_v<M, SleepFlag>) {
                target.Drive->*member.Field = in.LittleEndian(1) != 0 ? 1 : 0;
                return true;
            } else {
                auto& field = FieldOf(member, target);
                using F = std::remove_cv_t<std::remove_reference_t<decltype(field)>>;
                if constexpr (std::is_same_v<F, std::string>) {
                    return TakeText(in, row.Tag, field, why);
                } else if constexpr (std::is_same_v<F, SystemTime>) {
                    StoreTime(in, field);
                } else if constexpr (std::is_array_v<F>) {
                    std::memcpy(field, in.Bytes.data() + in.At, sizeof field);
                    in.At += sizeof field;
                } else if constexpr (std::is_same_v<F, bool>) {
                    field = in.LittleEndian(PublishKindSize(row.Kind)) != 0;
                } else {
                    field = static_cast<F>(in.LittleEndian(PublishKindSize(row.Kind)));
                }
                return true;
            }
        },
        row.Field);
}

// One group in table order; the drive group's tail depends on the IsNVMe it carried before.
bool TakeGroup(Reader& in, Group group, const Destination& target, std::string& why) {
    const std::string where = group == Group::Header ? "header" : "drive group";
    for (const PublishRow& row : PublishTable) {
        if (row.In != group || !CarriedBy(row, group == Group::Drive && target.Drive->IsNVMe)) continue;
        if (in.Left() < 2) {
            why = where + " cut short before tag " + std::to_string(row.Tag);
            return false;
        }
        const std::size_t at = in.At;
        const uint16_t tag = static_cast<uint16_t>(in.LittleEndian(2));
        if (tag != row.Tag) {
            why = where + ": tag " + std::to_string(tag) + " at offset " + std::to_string(at) +
                  (FindRow(group, tag) || tag == 0 ? " out of order" : " unknown") + ", tag " +
                  std::to_string(row.Tag) + " expected";
            return false;
        }
        if (in.Left() < PublishKindSize(row.Kind)) {
            why = where + ": value of tag " + std::to_string(tag) + " cut short";
            return false;
        }
        if (!TakeValue(in, row, target, why)) return false;
    }
    if (in.Left() < 2) {
        why = where + " does not end";
        return false;
    }
    const std::size_t at = in.At;
    const uint16_t tag = static_cast<uint16_t>(in.LittleEndian(2));
    if (tag != 0) {
        why = where + ": tag " + std::to_string(tag) + " at offset " + std::to_string(at) + " where the group ends";
        return false;
    }
    return true;
}

}  // namespace

std::size_t PublishKindSize(PublishKind kind) {
    switch (kind) {
    case PublishKind::Byte: return 1;
    case PublishKind::Word: return 2;
    case PublishKind::Dword: return 4;
    case PublishKind::Qword: return 8;
    case PublishKind::Time: return sizeof(SystemTime);
    case PublishKind::Text: return 0;
    case PublishKind::Block512: return 512;
    case PublishKind::Block4096: return 4096;
    }
    return 0;
}

// The block grows with its content, so no log is ever cut: 32 drives with their identify pages take
// some 300 KiB, and only the diagnostic logs can make it larger.
std::string BuildPublishBlock(const PublishHeader& header, const std::vector<const DriveRecord*>& drives) {
    std::string block;
    PutGroup(block, Group::Header, {&header, nullptr}, false);
    for (const DriveRecord* drive : drives) PutGroup(block, Group::Drive, {nullptr, drive}, drive->IsNVMe);
    return block;
}

bool DecodePublishBlock(const std::string& block, PublishHeader& header, std::vector<DriveRecord>& drives,
                        std::string& why) {
    header = PublishHeader{};
    drives.clear();
    Reader in{block};
    if (!TakeGroup(in, Group::Header, {&header, nullptr}, why)) return false;
    while (in.Left() >= 2) {
        if (drives.size() == MaxPhysicalDisks) {
            why = "more than " + std::to_string(MaxPhysicalDisks) + " drive groups";
            return false;
        }
        drives.emplace_back();
        if (!TakeGroup(in, Group::Drive, {nullptr, &drives.back()}, why)) {
            why = "drive " + std::to_string(drives.size()) + ": " + why;
            return false;
        }
    }
    if (in.Left() != 0) {
        why = "a stray byte after the last group";
        return false;
    }
    return true;
}
