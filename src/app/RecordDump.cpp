#include "app/RecordDump.h"

#include <cstdio>
#include <string>
#include <type_traits>
#include <variant>

#include "device/DriveFields.h"

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

// Texts shown whole after the record appear in it by their length only.
void FieldLength(std::ostream& out, const char* name, const std::string& text) {
    out << name << " = (" << text.size() << " characters, shown after the record)\n";
}

template <class Member>
constexpr bool Dumpable = !std::is_same_v<Member, PowerTimeReading (DriveRecord::*)[PowerTimeReadingsKept]>;

// The calibration's readings are working state with no line of their own, and only a text can be
// shown by its length.
constexpr bool DumpRowsAgree() {
    for (const DriveField& f : DriveFields) {
        const bool dumpable = std::visit([](auto m) { return Dumpable<decltype(m)>; }, f.Member);
        const bool text = std::holds_alternative<std::string DriveRecord::*>(f.Member);
        if ((!dumpable && !HasTrait(f, NotDumped)) || (HasTrait(f, DumpLengthOnly) && !text)) return false;
    }
    return true;
}
static_assert(DumpRowsAgree(), "a row the dump cannot show is marked NotDumped; DumpLengthOnly is for texts");

void DumpField(std::ostream& out, const DriveField& f, const DriveRecord& d) {
    std::visit(
        [&](auto member) {
            using M = decltype(member);
            if constexpr (std::is_same_v<M, OpaqueNumber>) {
                Opaque(out, f.Name, d.*member.Member);
            } else if constexpr (std::is_same_v<M, std::string DriveRecord::*>) {
                if (HasTrait(f, DumpLengthOnly)) FieldLength(out, f.Name, d.*member);
                else Field(out, f.Name, d.*member);
            } else if constexpr (Dumpable<M>) {
                Field(out, f.Name, d.*member);
            }
        },
        f.Member);
}

}  // namespace

void DumpDriveRecord(std::ostream& out, const DriveRecord& d) {
    for (const DriveField& f : DriveFields)
        if (!HasTrait(f, NotDumped)) DumpField(out, f, d);
}
