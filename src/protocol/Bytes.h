// Little-endian reads and writes at explicit offsets of a byte area. Request buffers and drive
// pages are always built and read through these, never through host struct layouts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

inline uint16_t Get16(const uint8_t* p, size_t offset) {
    return static_cast<uint16_t>(p[offset] | (p[offset + 1] << 8));
}

inline uint32_t Get32(const uint8_t* p, size_t offset) {
    return static_cast<uint32_t>(p[offset]) | (static_cast<uint32_t>(p[offset + 1]) << 8) |
           (static_cast<uint32_t>(p[offset + 2]) << 16) | (static_cast<uint32_t>(p[offset + 3]) << 24);
}

inline uint64_t Get64(const uint8_t* p, size_t offset) {
    return static_cast<uint64_t>(Get32(p, offset)) | (static_cast<uint64_t>(Get32(p, offset + 4)) << 32);
}

inline void Put16(uint8_t* p, size_t offset, uint16_t v) {
    p[offset] = static_cast<uint8_t>(v);
    p[offset + 1] = static_cast<uint8_t>(v >> 8);
}

inline void Put32(uint8_t* p, size_t offset, uint32_t v) {
    Put16(p, offset, static_cast<uint16_t>(v));
    Put16(p, offset + 2, static_cast<uint16_t>(v >> 16));
}

inline void Put64(uint8_t* p, size_t offset, uint64_t v) {
    Put32(p, offset, static_cast<uint32_t>(v));
    Put32(p, offset + 4, static_cast<uint32_t>(v >> 32));
}

// 16-bit word `word` of a page of little-endian words (IDENTIFY DEVICE data).
inline uint16_t Word(const uint8_t* page, unsigned word) { return Get16(page, 2u * word); }

inline bool Bit(uint32_t value, unsigned bit) { return (value >> bit) & 1u; }

// Index of the highest set bit; value must not be 0.
inline uint8_t HighestBit(uint32_t value) {
    uint8_t i = 0;
    while (value >>= 1) ++i;
    return i;
}

// Index of the lowest set bit; value must not be 0.
inline uint8_t LowestBit(uint32_t value) {
    uint8_t i = 0;
    while (!(value & 1u)) { value >>= 1; ++i; }
    return i;
}
