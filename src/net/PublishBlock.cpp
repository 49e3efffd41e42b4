#include "net/PublishBlock.h"

#include <cstring>
#include <iterator>
#include <type_traits>
#include <variant>

#include "device/DriveFields.h"

namespace {

// A text the block carries always empty, under a tag of the drive group that names no field.
struct ReservedText {};
constexpr uint16_t ReservedTextTag = 16;

using D = DriveRecord;
using H = PublishHeader;

// A value of the header group, a field of the drive's record, or the reserved text.
using RowField = std::variant<std::string H::*, SystemTime H::*, uint16_t H::*, uint8_t H::*, const DriveField*,
                              ReservedText>;

struct PublishRow {
    uint16_t Tag;
    PublishKind Kind;
    RowField Field;
};

using K = PublishKind;

// The header group in its order; it ends with tag 0.
const std::vector<PublishRow> HeaderRows = {
    {1, K::Text, &H::ProgramVersion}, {2, K::Text, &H::OperatingSystem}, {4, K::Text, &H::GlobalLog},
    {6, K::Time, &H::Time},           {8, K::Word, &H::Constant},        {9, K::Byte, &H::SuspendSeen},
};

// The drive group's tags in the order the block has always had them, which is not the record's: the
// block is shared with the server and stored. NVMe drives carry 136 and 141 at the end, the others
// 58 and 61. A tag this list does not name goes out after it, in the order of DriveFields.
constexpr uint16_t DriveTagOrder[] = {
    10,  11,  12,  13,  14,  15,  16,  17,  18,  19,  20,  21,  23,  24,  25,  27,  28,  29,  30,  31,  32,  33,
    34,  35,  36,  37,  38,  39,  40,  41,  42,  44,  45,  46,  47,  48,  49,  51,  53,  54,  55,  56,  57,  59,
    60,  62,  63,  64,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  76,  77,  78,  80,  81,  82,  83,  85,
    86,  87,  91,  92,  93,  94,  95,  96,  97,  98,  99,  100, 101, 106, 107, 108, 113, 114, 116, 117, 118, 119,
    120, 121, 122, 123, 124, 125, 126, 127, 128, 129, 130, 131, 132, 133, 134, 135, 138, 3,   137, 139, 140, 142,
    102, 103, 104, 105, 88,  89,  90,  5,   7,   26,  43,  50,  52,  75,  79,  84,  111, 112, 144, 145, 146, 147,
    148, 149, 150, 151, 152, 153, 154, 155, 136, 141, 58,  61,
};

template <class Member>
constexpr bool IsPublishable = IsNumberField<Member> || std::is_same_v<Member, std::string D::*> ||
                               std::is_same_v<Member, SystemTime D::*> || std::is_same_v<Member, uint8_t (D::*)[512]> ||
                               std::is_same_v<Member, uint8_t (D::*)[4096]>;

template <class Member>
constexpr bool IsWideNumber = IsNumberField<Member> && !std::is_same_v<Member, bool D::*> &&
                              !std::is_same_v<Member, uint8_t D::*>;

// Every published field has a value the block can carry (the sleep flag a number, a field with a
// whole-value tag a number wider than the byte under its first), the reserved tag names no field, and
// the order names each tag once and only tags of fields.
constexpr bool PublishedFieldsAgree() {
    for (const DriveField& f : DriveFields) {
        if (f.Tag == 0) continue;
        const bool publishable = std::visit([](auto m) { return IsPublishable<decltype(m)>; }, f.Member);
        const bool number = std::visit([](auto m) { return IsNumberField<decltype(m)>; }, f.Member);
        const bool wide = std::visit([](auto m) { return IsWideNumber<decltype(m)>; }, f.Member);
        if (!publishable || (HasTrait(f, SleepFlag) && !number) || f.Tag == ReservedTextTag) return false;
        if (f.WholeTag != 0 && (!wide || f.WholeTag == ReservedTextTag)) return false;
    }
    for (std::size_t i = 0; i < std::size(DriveTagOrder); ++i) {
        if (DriveTagOrder[i] != ReservedTextTag && DriveFieldPlaceTagged(DriveTagOrder[i]) == DriveFieldCount) return false;
        for (std::size_t j = i + 1; j < std::size(DriveTagOrder); ++j)
            if (DriveTagOrder[i] == DriveTagOrder[j]) return false;
    }
    return true;
}
static_assert(PublishedFieldsAgree(), "the published rows of DriveFields and DriveTagOrder agree");

// Whether `tag` is the one byte older readers take of a field that also goes out whole.
bool IsByteOfWiderField(const DriveField& f, uint16_t tag) { return f.WholeTag != 0 && tag == f.Tag; }

// The kind of a published field under `tag`: a number goes out in its own width, the sleep flag and
// the older readers' byte of a wider number in one byte.
PublishKind KindOf(const DriveField& f, uint16_t tag) {
    return std::visit(
        [&](auto member) {
            using M = decltype(member);
            if constexpr (IsNumberField<M>) {
                constexpr std::size_t width = sizeof(typename FieldValue<M>::Type);
                if (HasTrait(f, SleepFlag) || IsByteOfWiderField(f, tag) || width == 1) return K::Byte;
                return width == 2 ? K::Word : width == 4 ? K::Dword : K::Qword;
            } else if constexpr (std::is_same_v<M, std::string D::*>) {
                return K::Text;
            } else if constexpr (std::is_same_v<M, SystemTime D::*>) {
                return K::Time;
            } else if constexpr (std::is_same_v<M, uint8_t (D::*)[512]>) {
                return K::Block512;
            } else {
                return K::Block4096;  // the checks above leave no other field with a tag
            }
        },
        f.Member);
}

bool InTagOrder(uint16_t tag) {
    for (const uint16_t listed : DriveTagOrder)
        if (listed == tag) return true;
    return false;
}

PublishRow DriveRow(uint16_t tag) {
    if (tag == ReservedTextTag) return {tag, K::Text, ReservedText{}};
    const DriveField* field = DriveFieldTagged(tag);
    return {tag, KindOf(*field, tag), field};
}

std::vector<PublishRow> MakeDriveRows() {
    std::vector<PublishRow> rows;
    for (const uint16_t tag : DriveTagOrder) rows.push_back(DriveRow(tag));
    for (const DriveField& field : DriveFields)
        for (const uint16_t tag : {field.Tag, field.WholeTag})
            if (tag != 0 && !InTagOrder(tag)) rows.push_back(DriveRow(tag));
    return rows;
}

// The drive group in its order; it ends with tag 0.
const std::vector<PublishRow> DriveRows = MakeDriveRows();

// The header or the drive whose group is built (const) or decoded into.
template <class HeaderT, class DriveT>
struct Target {
    HeaderT* Header;
    DriveT* Drive;
};
using Source = Target<const PublishHeader, const DriveRecord>;
using Destination = Target<PublishHeader, DriveRecord>;

// A field's whole value under its second tag, which blocks of older versions lack.
bool IsWholeValueRow(const PublishRow& row) {
    const DriveField* const* field = std::get_if<const DriveField*>(&row.Field);
    return field && (*field)->WholeTag == row.Tag;
}

bool CarriedBy(const PublishRow& row, bool isNVMe) {
    const DriveField* const* field = std::get_if<const DriveField*>(&row.Field);
    if (!field) return true;
    if (HasTrait(**field, NVMeOnly)) return isNVMe;
    return !HasTrait(**field, OtherThanNVMeOnly) || !isNVMe;
}

// ---- building ----

void PutLittleEndian(std::string& out, uint64_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A number in `bytes`, saturated at the most they hold rather than cut to its low bytes: a reader of
// the byte a wider field keeps for older readers takes 255 as "at least 255". Only eight-byte numbers
// can be negative, and they go out whole.
void PutNumber(std::string& out, uint64_t value, std::size_t bytes) {
    const uint64_t most = bytes < 8 ? (uint64_t{1} << (8 * bytes)) - 1 : ~uint64_t{0};
    PutLittleEndian(out, value < most ? value : most, bytes);
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

template <class T>
void PutField(std::string& out, PublishKind kind, const T& field) {
    if constexpr (std::is_same_v<T, std::string>) PutText(out, field);
    else if constexpr (std::is_same_v<T, SystemTime>) PutTime(out, field);
    else if constexpr (std::is_array_v<T>) out.append(reinterpret_cast<const char*>(field), sizeof field);
    else PutNumber(out, static_cast<uint64_t>(field), PublishKindSize(kind));
}

void PutDriveField(std::string& out, const PublishRow& row, const DriveField& f, const DriveRecord& drive) {
    std::visit(
        [&](auto member) {
            using M = decltype(member);
            if constexpr (IsNumberField<M>) {
                if (HasTrait(f, SleepFlag)) out.push_back(drive.*member != 0 ? '\xFF' : '\0');
                else PutField(out, row.Kind, drive.*member);
            } else if constexpr (IsPublishable<M>) {
                PutField(out, row.Kind, drive.*member);
            }
        },
        f.Member);
}

void PutValue(std::string& out, const PublishRow& row, const Source& source) {
    std::visit(
        [&](auto field) {
            using F = decltype(field);
            if constexpr (std::is_same_v<F, ReservedText>) out.push_back('\0');
            else if constexpr (std::is_same_v<F, const DriveField*>) PutDriveField(out, row, *field, *source.Drive);
            else PutField(out, row.Kind, source.Header->*field);
        },
        row.Field);
}

void PutGroup(std::string& out, const std::vector<PublishRow>& rows, const Source& source, bool isNVMe) {
    for (const PublishRow& row : rows) {
        if (!CarriedBy(row, isNVMe)) continue;
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

bool HasRow(const std::vector<PublishRow>& rows, uint16_t tag) {
    for (const PublishRow& row : rows)
        if (row.Tag == tag) return true;
    return false;
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

// The value at the reader into `field`; the caller has checked that a fixed-size value fits.
template <class T>
bool TakeField(Reader& in, const PublishRow& row, T& field, std::string& why) {
    if constexpr (std::is_same_v<T, std::string>) {
        return TakeText(in, row.Tag, field, why);
    } else if constexpr (std::is_same_v<T, SystemTime>) {
        StoreTime(in, field);
    } else if constexpr (std::is_array_v<T>) {
        std::memcpy(field, in.Bytes.data() + in.At, sizeof field);
        in.At += sizeof field;
    } else if constexpr (std::is_same_v<T, bool>) {
        field = in.LittleEndian(PublishKindSize(row.Kind)) != 0;
    } else {
        field = static_cast<T>(in.LittleEndian(PublishKindSize(row.Kind)));
    }
    return true;
}

bool TakeDriveField(Reader& in, const PublishRow& row, const DriveField& f, DriveRecord& drive, std::string& why) {
    return std::visit(
        [&](auto member) {
            using M = decltype(member);
            if constexpr (IsNumberField<M>) {
                if (!HasTrait(f, SleepFlag)) return TakeField(in, row, drive.*member, why);
                drive.*member = in.LittleEndian(1) != 0 ? 1 : 0;
                return true;
            } else if constexpr (IsPublishable<M>) {
                return TakeField(in, row, drive.*member, why);
            } else {
                return false;
            }
        },
        f.Member);
}

bool TakeValue(Reader& in, const PublishRow& row, const Destination& target, std::string& why) {
    return std::visit(
        [&](auto field) {
            using F = decltype(field);
            if constexpr (std::is_same_v<F, ReservedText>) {
                std::string ignored;
                return TakeText(in, row.Tag, ignored, why);
            } else if constexpr (std::is_same_v<F, const DriveField*>) {
                return TakeDriveField(in, row, *field, *target.Drive, why);
            } else {
                return TakeField(in, row, target.Header->*field, why);
            }
        },
        row.Field);
}

// One group in its order; the drive group's tail depends on the IsNVMe it carried before.
bool TakeGroup(Reader& in, const std::vector<PublishRow>& rows, const Destination& target, std::string& why) {
    const std::string where = target.Drive ? "drive group" : "header";
    for (const PublishRow& row : rows) {
        if (!CarriedBy(row, target.Drive && target.Drive->IsNVMe)) continue;
        if (in.Left() < 2) {
            why = where + " cut short before tag " + std::to_string(row.Tag);
            return false;
        }
        const std::size_t at = in.At;
        const uint16_t tag = static_cast<uint16_t>(in.LittleEndian(2));
        if (tag != row.Tag && IsWholeValueRow(row)) {
            in.At = at;  // an older version's block: the field keeps the byte its first tag gave
            continue;
        }
        if (tag != row.Tag) {
            why = where + ": tag " + std::to_string(tag) + " at offset " + std::to_string(at) +
                  (HasRow(rows, tag) || tag == 0 ? " out of order" : " unknown") + ", tag " +
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
    PutGroup(block, HeaderRows, {&header, nullptr}, false);
    for (const DriveRecord* drive : drives) PutGroup(block, DriveRows, {nullptr, drive}, drive->IsNVMe);
    return block;
}

bool DecodePublishBlock(const std::string& block, PublishHeader& header, std::vector<DriveRecord>& drives,
                        std::string& why) {
    header = PublishHeader{};
    drives.clear();
    Reader in{block};
    if (!TakeGroup(in, HeaderRows, {&header, nullptr}, why)) return false;
    while (in.Left() >= 2) {
        if (drives.size() == MaxPhysicalDisks) {
            why = "more than " + std::to_string(MaxPhysicalDisks) + " drive groups";
            return false;
        }
        drives.emplace_back();
        if (!TakeGroup(in, DriveRows, {nullptr, &drives.back()}, why)) {
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
