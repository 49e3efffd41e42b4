// The tagged data block that carries every drive's identity and health to the drive database: the
// one tag table shared by the program that sends it and the server that receives it.
//
// An entry is a 16-bit little-endian tag and a value whose size the tag's kind fixes (the kind is not
// written). Tag 0 ends a group. The block is the header group, then one group per drive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/DriveRecord.h"

enum class PublishKind : uint8_t { Byte, Word, Dword, Qword, Time, Text, Block512, Block4096 };

// The bytes a value of this kind takes; 0 for a text (its bytes and a zero byte).
std::size_t PublishKindSize(PublishKind kind);

// The values of the header group.
struct PublishHeader {
    std::string ProgramVersion;
    std::string OperatingSystem;
    std::string GlobalLog;
    SystemTime Time{};          // UTC
    uint16_t Constant = 4147;
    uint8_t SuspendSeen = 0;
};

// The header group followed by one group per drive, in the order given; the block grows as needed.
std::string BuildPublishBlock(const PublishHeader& header, const std::vector<const DriveRecord*>& drives);

// The whole block back into its header and drives (the fields the block carries; every other field of
// a DriveRecord keeps its default). False, with the reason in `why`, on anything but a well-formed
// block: a tag unknown to its group, a value cut short, a text without its zero byte, a group that
// does not end, bytes after the last group.
bool DecodePublishBlock(const std::string& block, PublishHeader& header, std::vector<DriveRecord>& drives,
                        std::string& why);
