// The tagged data block: its layout walked byte by byte against a layout written out here (not the
// program's table), build and decode back field by field, and the blocks the decoder refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>

#include "FieldValues.h"
#include "app/RecordDump.h"
#include "net/PublishBlock.h"

namespace {

// The expected sequence of one group: tag and kind letter (b byte, w word, d dword, q qword, T time,
// t text, B 512 bytes, K 4096 bytes).
const char HeaderLayout[] = "1t 2t 4t 6T 8w 9b";
const char DriveLayout[] =
    "10b 11b 12b 13b 14t 15t 16t 17t 18t 19b 20t 21q 23b 24b 25d 27b 28b 29b 30b 31b 32b 33b 34b 35b 36b "
    "37b 38b 39b 40b 41b 42b 44b 45b 46b 47b 48b 49b 51b 53b 54b 55T 56b 57b 59b 60B 62b 63b 64b 65b 66b "
    "67b 68b 69w 70w 71w 72w 73b 74w 76b 77d 78d 80b 81d 82b 83b 85b 86d 87d 91t 92d 93b 94b 95d 96t 97t "
    "98b 99b 100b 101b 106b 107b 108b 113t 114b 116b 117b 118b 119w 120b 121d 122b 123b 124b 125b 126b "
    "127b 128b 129b 130b 131b 132b 133b 134b 135b 138w 3w 137d 139d 140d 142d 102b 103b 104b 105b 88b "
    "89b 90d 5b 7b 26b 43b 50b 52b 75b 79d 84b 111w 112d 144d 145b 146d 147b 148b 149b 150b 151b 152b "
    "153b 154b 155d";
const char NvmeTail[] = "136K 141K";
const char OtherTail[] = "58B 61B";
const char WholeValues[] = "156w";  // after the tails: tags older versions never sent

struct Entry {
    unsigned Tag;
    char Kind;
};

std::vector<Entry> Layout(const std::string& text) {
    std::vector<Entry> entries;
    std::istringstream in(text);
    for (std::string word; in >> word;) entries.push_back({unsigned(std::stoul(word)), word.back()});
    return entries;
}

// What the walk found: each tag's value bytes, in the order met, per group.
using Group = std::vector<std::pair<unsigned, std::string>>;

// Walks `block` along the expected layouts and fails the test at the first difference.
std::vector<Group> Walk(const std::string& block, const std::vector<bool>& nvme) {
    std::vector<Group> groups;
    size_t at = 0;
    auto walkGroup = [&](std::vector<Entry> layout) {
        layout.push_back({0, '-'});
        Group group;
        for (const Entry& e : layout) {
            if (at + 2 > block.size()) { ADD_FAILURE() << "block ends before tag " << e.Tag; return; }
            const unsigned tag = uint8_t(block[at]) | uint8_t(block[at + 1]) << 8;
            at += 2;
            if (tag != e.Tag) { ADD_FAILURE() << "tag " << tag << " where " << e.Tag << " belongs"; return; }
            size_t size = 0;
            switch (e.Kind) {
            case 'b': size = 1; break;
            case 'w': size = 2; break;
            case 'd': size = 4; break;
            case 'q': size = 8; break;
            case 'T': size = 16; break;
            case 'B': size = 512; break;
            case 'K': size = 4096; break;
            case 't': size = block.find('\0', at) - at + 1; break;
            }
            if (at + size > block.size()) { ADD_FAILURE() << "value of tag " << tag << " cut"; return; }
            if (e.Kind != '-') group.push_back({tag, block.substr(at, size)});
            at += size;
        }
        groups.push_back(group);
    };
    walkGroup(Layout(HeaderLayout));
    for (bool isNvme : nvme) walkGroup(Layout(std::string(DriveLayout) + " " + (isNvme ? NvmeTail : OtherTail) + " " + WholeValues));
    EXPECT_EQ(at, block.size()) << "bytes after the last group";
    return groups;
}

std::string ValueOf(const Group& group, unsigned tag) {
    for (const auto& [t, value] : group)
        if (t == tag) return value;
    return "<absent>";
}

size_t PositionOf(const Group& group, unsigned tag) {
    for (size_t i = 0; i < group.size(); ++i)
        if (group[i].first == tag) return i;
    return group.size();
}

std::string Dump(const DriveRecord& d) {
    std::ostringstream out;
    DumpDriveRecord(out, d);
    return out.str();
}

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s.push_back(char(b));
    return s;
}

PublishHeader Header() {
    PublishHeader h;
    h.ProgramVersion = "2.0.0.7710";
    h.OperatingSystem = "Windows 10 Pro";
    h.GlobalLog = "DEBUG - started";
    h.Time = {2024, 5, 3, 17, 9, 30, 15, 250};
    h.SuspendSeen = 1;
    return h;
}

DriveRecord AtaDrive() {
    DriveRecord d;
    d.Model = "";  // an empty model is the single zero byte
    d.SerialNumber = "ATA-SN-1";
    d.AvailableSize = 500107862016;
    d.HardwareCache = 0x01020304;
    d.PhysicalSectorSize = 4096;
    d.Sleeping = 7;  // any low-power state: 0xFF
    d.RotationRate = 7200;
    d.Temperature = 41;
    d.AverageAccessTime = 304, d.AverageAccessTimeFrac = 17;  // 304.17 ms: past what one byte holds
    d.StartMonitoringDate = {2023, 1, 0, 2, 3, 4, 5, 6};
    for (int i = 0; i < 512; ++i) d.IdentifyData[i] = uint8_t(i), d.SmartThresholds[i] = uint8_t(255 - i % 256);
    d.SmartData[0] = 0x10, d.SmartData[511] = 0x5A;
    d.Log = "DEBUG - drive\r\n\r\nDEBUG - more";
    return d;
}

DriveRecord NvmeDrive() {
    DriveRecord d;
    d.IsNVMe = true;
    d.IsSSD = true;
    d.Model = "NVMe Test 1TB";
    d.PCI_VendorID = 0x144D;
    d.PCI_DeviceID = 0xA808;
    d.PowerStatesCount = 5;
    d.HMB_Size = 0x10000;
    d.LBAStatusInterval = 0xDEADBEEF;
    d.NVMeIdentifyController[0] = 0x4D, d.NVMeIdentifyController[4095] = 0x01;
    d.NVMeIdentifyNamespace[7] = 0x77;
    d.Trademark = "Samsung";
    return d;
}

TEST(PublishBlock, LayoutOfAnAtaAndAnNvmeDrive) {
    const DriveRecord ata = AtaDrive(), nvme = NvmeDrive();
    const std::string block = BuildPublishBlock(Header(), {&ata, &nvme});
    const auto groups = Walk(block, {false, true});
    ASSERT_EQ(groups.size(), 3u);
    const Group &h = groups[0], &a = groups[1], &n = groups[2];

    const struct { const Group* group; unsigned tag; std::string value; } values[] = {
        {&h, 1, std::string("2.0.0.7710", 11)},
        {&h, 6, Bytes({0xE8, 0x07, 5, 0, 3, 0, 17, 0, 9, 0, 30, 0, 15, 0, 0xFA, 0})},
        {&h, 8, Bytes({0x33, 0x10})},  // 4147
        {&h, 9, Bytes({1})},
        {&a, 16, Bytes({0})},
        {&a, 20, Bytes({0})},
        {&a, 17, std::string("ATA-SN-1", 9)},
        {&a, 21, Bytes({0x00, 0x60, 0xC0, 0x70, 0x74, 0x00, 0x00, 0x00})},
        {&a, 25, Bytes({4, 3, 2, 1})},
        {&a, 82, Bytes({0xFF})},
        {&a, 119, Bytes({0x20, 0x1C})},
        {&a, 121, Bytes({0, 0x10, 0, 0})},
        {&a, 53, Bytes({41})},
        {&a, 67, Bytes({0xFF})},  // older readers: at least 255
        {&a, 68, Bytes({17})},
        {&a, 156, Bytes({0x30, 0x01})},
        {&a, 96, std::string("DEBUG - drive\r\n\r\nDEBUG - more", 30)},
        {&n, 82, Bytes({0})},
        {&n, 138, Bytes({0x4D, 0x14})},
        {&n, 3, Bytes({0x08, 0xA8})},
        {&n, 5, Bytes({5})},
        {&n, 90, Bytes({0, 0, 1, 0})},
        {&n, 155, Bytes({0xEF, 0xBE, 0xAD, 0xDE})},
        {&n, 135, Bytes({1})},
        {&n, 97, std::string("Samsung", 8)},
    };
    for (const auto& v : values) EXPECT_EQ(ValueOf(*v.group, v.tag), v.value) << "tag " << v.tag;

    // Tags 3 and 5 follow 138 and 90 in the drive group.
    for (const Group* g : {&a, &n}) {
        EXPECT_EQ(PositionOf(*g, 3), PositionOf(*g, 138) + 1);
        EXPECT_EQ(PositionOf(*g, 5), PositionOf(*g, 90) + 1);
    }
    // The tails: the ATA drive's identify data and thresholds, the NVMe drive's identify pages.
    EXPECT_EQ(ValueOf(a, 58), std::string(reinterpret_cast<const char*>(ata.IdentifyData), 512));
    EXPECT_EQ(ValueOf(a, 61), std::string(reinterpret_cast<const char*>(ata.SmartThresholds), 512));
    EXPECT_EQ(ValueOf(a, 60), std::string(reinterpret_cast<const char*>(ata.SmartData), 512));
    EXPECT_EQ(ValueOf(n, 136), std::string(reinterpret_cast<const char*>(nvme.NVMeIdentifyController), 4096));
    EXPECT_EQ(ValueOf(n, 141), std::string(reinterpret_cast<const char*>(nvme.NVMeIdentifyNamespace), 4096));
    EXPECT_EQ(ValueOf(a, 136), "<absent>");
    EXPECT_EQ(ValueOf(n, 58), "<absent>");
}

TEST(PublishBlock, NoDrivesIsTheHeaderGroupAlone) {
    const std::string block = BuildPublishBlock(Header(), {});
    EXPECT_EQ(Walk(block, {}).size(), 1u);
    EXPECT_EQ(block.substr(block.size() - 2), std::string(2, '\0'));
}

// Every field the block carries comes back; bools, narrow fields and Sleeping as the block can say them.
TEST(PublishBlock, BuildThenDecodeGivesTheSameFields) {
    DriveRecord ata = AtaDrive(), nvme = NvmeDrive();
    ata.Sleeping = 3;
    ata.PowerOnTimerPeriod = 3600, ata.PowerTime = 123456, ata.PowerCycleCount = 987;
    ata.MinReadSpeed = 65535, ata.AverageAccessTimeFrac = 9, ata.TemperatureChanged = true;
    ata.FirmwareVersion = "FW01", ata.HostAdapter = "Standard SATA AHCI Controller", ata.LogicalDrives = "C: D:";
    nvme.NVMe_version = 0x10400, nvme.KeepAliveTimer = 15, nvme.InterruptCoalescing = 0x0A0B, nvme.PLM_Window = 3;
    PublishHeader header = Header();
    std::string block = BuildPublishBlock(header, {&ata, &nvme});

    PublishHeader h2;
    std::vector<DriveRecord> drives;
    std::string why;
    ASSERT_TRUE(DecodePublishBlock(block, h2, drives, why)) << why;
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(h2.ProgramVersion, header.ProgramVersion);
    EXPECT_EQ(h2.OperatingSystem, header.OperatingSystem);
    EXPECT_EQ(h2.GlobalLog, header.GlobalLog);
    EXPECT_EQ(std::memcmp(&h2.Time, &header.Time, sizeof header.Time), 0);
    EXPECT_EQ(h2.Constant, 4147);
    EXPECT_EQ(h2.SuspendSeen, 1);

    // The records set only fields the block carries, so every field of the dump must come back.
    ata.Sleeping = 1;  // a low-power state comes back as 1
    EXPECT_EQ(Dump(drives[0]), Dump(ata));
    EXPECT_EQ(Dump(drives[1]), Dump(nvme));
    EXPECT_EQ(drives[0].Log, ata.Log);  // the dump gives only its length
    // The decoded records build the very same block again.
    EXPECT_EQ(BuildPublishBlock(h2, {&drives[0], &drives[1]}), block);
}

// A record whose fields all differ, of either kind of drive: each field whose tag the layout above
// gives that kind comes back (the sleep flag as 1), every other field keeps its default.
TEST(PublishBlock, EveryFieldItsGroupCarriesComesBackAndNoOther) {
    const DriveRecord none;
    for (const bool nvme : {false, true}) {
        SCOPED_TRACE(nvme ? "NVMe drive" : "other drive");
        const DriveRecord sent = RecordOfDistinctValues(nvme);
        const std::string block = BuildPublishBlock(Header(), {&sent});
        const auto groups = Walk(block, {nvme});
        ASSERT_EQ(groups.size(), 2u);
        PublishHeader header;
        std::vector<DriveRecord> drives;
        std::string why;
        ASSERT_TRUE(DecodePublishBlock(block, header, drives, why)) << why;
        ASSERT_EQ(drives.size(), 1u);
        unsigned carried = 0;
        for (const DriveField& f : DriveFields) {
            const bool inGroup = f.Tag != 0 && ValueOf(groups[1], f.Tag) != "<absent>";
            carried += inGroup + (f.WholeTag != 0);
            if (!inGroup) {
                EXPECT_TRUE(SameValue(f, drives[0], none)) << f.Name << " is not in the block";
                continue;
            }
            if (HasTrait(f, SleepFlag) || f.WholeTag != 0) {
                EXPECT_EQ(ValueOf(groups[1], f.Tag), Bytes({0xFF})) << f.Name;
            }
            if (!HasTrait(f, SleepFlag)) {
                EXPECT_TRUE(SameValue(f, drives[0], sent)) << f.Name;
            }
        }
        EXPECT_EQ(carried + 1, groups[1].size()) << "every tag but the reserved text is a field's";
        EXPECT_EQ(drives[0].Sleeping, 1u);
    }
}

// An access time of 304.17 ms from this version's block, and the byte alone from an older version's
// block (its group ends after tag 61): the whole value where the block has it, else the byte.
TEST(PublishBlock, AWiderFieldComesBackWholeOrAsTheByteOlderBlocksCarry) {
    const DriveRecord ata = AtaDrive();
    const std::string block = BuildPublishBlock(Header(), {&ata});
    const std::string older = block.substr(0, block.size() - 6) + Bytes({0, 0});  // without tag 156 and its word
    ASSERT_EQ(older.substr(older.size() - 2 - 512 - 2, 2), Bytes({61, 0}));
    const struct { const char* name; std::string block; unsigned ms; } cases[] = {
        {"this version's block", block, 304}, {"older block", older, 255}};
    for (const auto& c : cases) {
        PublishHeader h;
        std::vector<DriveRecord> drives;
        std::string why;
        ASSERT_TRUE(DecodePublishBlock(c.block, h, drives, why)) << c.name << ": " << why;
        ASSERT_EQ(drives.size(), 1u) << c.name;
        EXPECT_EQ(drives[0].AverageAccessTime, c.ms) << c.name;
        EXPECT_EQ(drives[0].AverageAccessTimeFrac, 17) << c.name;
    }
}

TEST(PublishBlock, DecoderRefusesMalformedBlocks) {
    const DriveRecord ata = AtaDrive();
    const std::string good = BuildPublishBlock(Header(), {&ata});
    const size_t headerEnd = BuildPublishBlock(Header(), {}).size();
    // The first drive entry is tag 10 (a byte) right after the header group.
    std::string swapped = good;
    swapped[headerEnd] = 11;
    std::string unknown = good;
    unknown[headerEnd] = char(0xF0);
    std::string noZero = BuildPublishBlock(Header(), {});
    noZero = noZero.substr(0, 2) + "2.0";  // tag 1 and a text that never ends

    const struct { const char* name; std::string block; const char* why; } cases[] = {
        {"empty", "", "header cut short before tag 1"},
        {"text without zero", noZero, "has no zero byte"},
        {"out of order", swapped, "tag 11 at offset"},
        {"unknown tag", unknown, "unknown, tag 10 expected"},
        {"value cut short", good.substr(0, good.size() - 100), "value of tag 61 cut short"},
        {"missing group end", good.substr(0, good.size() - 2), "drive group does not end"},
        {"group end replaced", good.substr(0, good.size() - 2) + Bytes({9, 0}), "where the group ends"},
        {"stray byte", good + Bytes({0}), "stray byte"},
        {"empty drive group", good + Bytes({0, 0}), "drive 2: drive group: tag 0"},
        {"header without end", good.substr(0, headerEnd - 2), "header does not end"},
    };
    for (const auto& c : cases) {
        PublishHeader h;
        std::vector<DriveRecord> drives;
        std::string why;
        EXPECT_FALSE(DecodePublishBlock(c.block, h, drives, why)) << c.name;
        EXPECT_NE(why.find(c.why), std::string::npos) << c.name << ": " << why;
    }

    std::vector<const DriveRecord*> many(MaxPhysicalDisks + 1, &ata);
    PublishHeader h;
    std::vector<DriveRecord> drives;
    std::string why;
    EXPECT_FALSE(DecodePublishBlock(BuildPublishBlock(Header(), many), h, drives, why));
    EXPECT_NE(why.find("more than 32 drive groups"), std::string::npos) << why;
    many.pop_back();
    EXPECT_TRUE(DecodePublishBlock(BuildPublishBlock(Header(), many), h, drives, why)) << why;
    EXPECT_EQ(drives.size(), MaxPhysicalDisks);
}

// 32 NVMe drives with long logs no longer fit 256 KiB: the block grows and keeps every log whole.
TEST(PublishBlock, GrowsPastTheOldFixedSize) {
    DriveRecord nvme = NvmeDrive();
    nvme.Log = std::string(20000, 'x');
    const std::vector<const DriveRecord*> drives(MaxPhysicalDisks, &nvme);
    const std::string block = BuildPublishBlock(Header(), drives);
    EXPECT_GT(block.size(), 262144u);
    const auto groups = Walk(block, std::vector<bool>(MaxPhysicalDisks, true));
    ASSERT_EQ(groups.size(), MaxPhysicalDisks + 1);
    EXPECT_EQ(ValueOf(groups.back(), 96).size(), 20001u);
}

}  // namespace
