#include "FieldValues.h"

#include <cstring>
#include <type_traits>

namespace {

template <class T>
void Fill(T& field, const DriveField& f, unsigned place) {
    if constexpr (std::is_same_v<T, bool>) {
        field = true;
    } else if constexpr (std::is_integral_v<T>) {
        for (std::size_t i = 0; i < sizeof(T) && i < 7; ++i) field = static_cast<T>(field << 8 | place);
    } else if constexpr (std::is_same_v<T, std::string>) {
        field = f.Name;
    } else if constexpr (std::is_same_v<T, SystemTime>) {
        const auto part = [place](unsigned modulo, unsigned base) {
            return static_cast<uint16_t>(base + place % modulo);
        };
        field = {part(1000, 2000), part(12, 1), part(7, 0),  part(28, 1),
                 part(24, 0),      part(60, 0), part(60, 0), part(1000, 0)};
    } else {
        std::memset(&field, static_cast<int>(place), sizeof field);
    }
}

}  // namespace

DriveRecord RecordOfDistinctValues(bool isNVMe) {
    DriveRecord d;
    for (std::size_t i = 0; i < DriveFieldCount; ++i) {
        const DriveField& f = DriveFields[i];
        std::visit(
            [&](auto member) {
                if constexpr (std::is_same_v<decltype(member), OpaqueNumber>) Fill(d.*member.Member, f, i + 1);
                else Fill(d.*member, f, i + 1);
            },
            f.Member);
    }
    d.IsNVMe = isNVMe;
    return d;
}

bool SameValue(const DriveField& f, const DriveRecord& a, const DriveRecord& b) {
    return std::visit(
        [&](auto member) {
            using M = decltype(member);
            if constexpr (std::is_same_v<M, OpaqueNumber>) return a.*member.Member == b.*member.Member;
            else if constexpr (std::is_trivially_copyable_v<typename FieldValue<M>::Type>)
                return std::memcmp(&(a.*member), &(b.*member), sizeof(a.*member)) == 0;
            else return a.*member == b.*member;
        },
        f.Member);
}
