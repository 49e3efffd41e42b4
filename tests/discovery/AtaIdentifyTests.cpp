// ATA identification: IDENTIFY DEVICE pages of real drives checked against independent decodes of
// the same bytes, edge cases built word by word, the self-test capabilities, and the IDENTIFY
// DEVICE data log read from a simulated drive.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "TestMachine.h"
#include "discovery/AtaIdentify.h"
#include "protocol/Bytes.h"
#include "device/DriveRecord.h"
#include "device/TIOCTL.h"
#include "platform/Storage.h"
#include "platform/Time.h"
#include "platform/sim/SimWorld.h"
#include "platform/sim/PageBuilders.h"
#include "platform/sim/SimMachine.h"
#include "device/DiagnosticLog.h"

namespace fs = std::filesystem;

namespace {

// ------------------------------------------------------------------------------------------------
// Reading the peer decodes
// ------------------------------------------------------------------------------------------------

using Json = nlohmann::json;
using testmachine::Trimmed;

// The `hdparm --Istdin` listing: labelled lines, the feature table and the security block.
struct HdparmDecode {
    std::vector<std::string> lines;
    std::map<std::string, bool> features;  // feature name -> marked enabled ('*')
    std::vector<std::string> security;     // lines of the "Security:" block, blanks squeezed

    explicit HdparmDecode(const std::string& text) {
        std::istringstream in(text);
        std::string line;
        enum { Other, Features, Security } block = Other;
        while (std::getline(in, line)) {
            lines.push_back(line);
            if (line.rfind("Commands/features:", 0) == 0) {
                block = Features;
                continue;
            }
            if (line.rfind("Security:", 0) == 0) {
                block = Security;
                continue;
            }
            if (line.empty() || line[0] != '\t') {
                block = Other;
                continue;
            }
            if (block == Features) {
                // "\t   *\tName" (enabled) or "\t    \tName" (supported only).
                const size_t tab = line.find('\t', 1);
                if (tab == std::string::npos) continue;
                const std::string mark = line.substr(1, tab - 1), name = Trimmed(line.substr(tab + 1));
                if (name == "Enabled\tSupported:" || name.rfind("Supported:", 0) == 0) continue;
                features[name] = mark.find('*') != std::string::npos;
            } else if (block == Security) {
                std::string squeezed;
                for (char c : Trimmed(line)) squeezed += (c == '\t' ? ' ' : c);
                security.push_back(squeezed);
            }
        }
    }

    // Text after `label` on the first line that contains it, trimmed.
    std::optional<std::string> After(const std::string& label) const {
        for (const std::string& l : lines) {
            const size_t at = l.find(label);
            if (at != std::string::npos) return Trimmed(l.substr(at + label.size()));
        }
        return std::nullopt;
    }
    bool Listed(const std::string& name) const { return features.count(name) != 0; }
    bool Enabled(const std::string& name) const {
        const auto it = features.find(name);
        return it != features.end() && it->second;
    }
    bool ListedWithPrefix(const std::string& prefix) const {
        for (const auto& f : features)
            if (f.first.rfind(prefix, 0) == 0) return true;
        return false;
    }
    bool SecurityLine(const std::string& text) const {
        return std::find(security.begin(), security.end(), text) != security.end();
    }
};

std::optional<std::string> ReadFile(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return std::nullopt;
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// Leading decimal number of a text ("254", ">508min", "7936 KBytes"), if any.
std::optional<long long> LeadingNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == '>' || text[i] == ' ')) ++i;
    size_t j = i;
    while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
    if (j == i) return std::nullopt;
    return std::stoll(text.substr(i, j - i));
}

// KORVANTE_REAL_DRIVES names another folder of drive folders, such as pages one is looking into.
fs::path FixtureRoot() {
    const char* other = std::getenv("KORVANTE_REAL_DRIVES");
    return other && *other ? fs::path(other) : fs::path(KORVANTE_SOURCE_DIR "/../shared/fixtures/real-drives");
}

constexpr const char* NoFixtures = "no-ATA-drive-fixtures";

// Every drive folder that holds an ATA IDENTIFY DEVICE page. When there is none, one placeholder
// parameter stands in so that the suite reports a skip instead of disappearing.
std::vector<std::string> AtaDriveFolders() {
    std::vector<std::string> folders;
    std::error_code ec;
    if (fs::is_directory(FixtureRoot(), ec))
        for (const auto& entry : fs::directory_iterator(FixtureRoot(), ec))
            if (entry.is_directory() && fs::exists(entry.path() / "identify.bin"))
                folders.push_back(entry.path().filename().string());
    std::sort(folders.begin(), folders.end());
    if (folders.empty()) folders.push_back(NoFixtures);
    return folders;
}

std::string ParamName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name;
    for (char c : info.param) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

// ------------------------------------------------------------------------------------------------
// Real drives
// ------------------------------------------------------------------------------------------------

class RealDriveIdentify : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        const fs::path folder = FixtureRoot() / GetParam();
        if (GetParam() == NoFixtures || !fs::is_directory(folder))
            GTEST_SKIP() << "real-drive fixtures with identify.bin not found under " << FixtureRoot().string();

        // Only the IDENTIFY page is needed; the checks against a peer's reading skip without it.
        const auto identify = ReadFile(folder / "identify.bin");
        ASSERT_TRUE(identify.has_value());
        ASSERT_EQ(identify->size(), 512u) << "identify.bin must be one sector";
        drive = std::make_unique<DriveRecord>();
        std::memcpy(drive->IdentifyData, identify->data(), 512);
        const auto smart = ReadFile(folder / "smart-data.bin");
        if (smart) {
            ASSERT_EQ(smart->size(), 512u) << "smart-data.bin must be one sector";
            std::memcpy(drive->SmartData, smart->data(), 512);
        }
        const auto json = ReadFile(folder / "peer-smartctl.json");
        if (json) {
            smartctl = Json::parse(*json, nullptr, false);
            ASSERT_FALSE(smartctl.is_discarded()) << "peer-smartctl.json does not parse";
            hasSmartctl = true;
        }
        const auto hdparmText = ReadFile(folder / "peer-hdparm.txt");
        if (hdparmText) hdparm = std::make_unique<HdparmDecode>(*hdparmText);
        kept = InterpretAtaIdentify(*drive);
    }

    // Whether the peers' readings (and the S.M.A.R.T. page they were taken with) are there.
    bool HavePeers() const { return hdparm && hasSmartctl; }

    // Serial ATA by the peer's transport line, or by IDENTIFY word 76 (signalling speeds), which
    // drives older than the transport word (222) fill.
    bool SerialAta() const {
        const uint16_t w76 = Word(drive->IdentifyData, 76);
        const bool byPeer = hdparm && hdparm->After("Transport:").value_or("").rfind("Serial", 0) == 0;
        return byPeer || (w76 != 0 && w76 != 0xFFFF);
    }

    // The peer's member at a path of keys, or null when any step is missing.
    const Json* Peer(std::initializer_list<const char*> path) const {
        const Json* node = &smartctl;
        for (const char* key : path) {
            const auto member = node->find(key);  // the end for a node that is no object
            if (member == node->end()) return nullptr;
            node = &*member;
        }
        return node;
    }
    // Numbers here are integers; fractions are cut.
    long long PeerNumber(std::initializer_list<const char*> path, long long absent = 0) const {
        const Json* v = Peer(path);
        return v && v->is_number() ? v->get<long long>() : absent;
    }
    std::string PeerText(std::initializer_list<const char*> path) const {
        const Json* v = Peer(path);
        return v && v->is_string() ? v->get<std::string>() : std::string();
    }
    bool PeerFlag(std::initializer_list<const char*> path) const {
        const Json* v = Peer(path);
        return v && v->is_boolean() && v->get<bool>();
    }

    Json smartctl;
    bool hasSmartctl = false;
    std::unique_ptr<HdparmDecode> hdparm;
    std::unique_ptr<DriveRecord> drive;
    bool kept = false;
};

// Signalling speed names as the peer prints them, and the program's codes for them.
uint8_t SpeedCode(const std::string& peer) {
    if (peer.empty()) return 0;
    if (peer == "1.5 Gb/s") return 1;
    if (peer == "3.0 Gb/s") return 2;
    if (peer == "6.0 Gb/s") return 3;
    ADD_FAILURE() << "signalling speed the test does not know: " << peer;
    return 0;
}

// SATA revision names as the peer prints them, and the program's revision codes for them.
uint8_t SataRevisionCode(const std::string& peer) {
    static const std::map<std::string, uint8_t> Codes = {
        {"ATA8-AST", 1}, {"SATA 1.0a", 2}, {"SATA II Ext", 3}, {"SATA 2.5", 4},  {"SATA 2.6", 5}, {"SATA 3.0", 6},
        {"SATA 3.1", 7}, {"SATA 3.2", 8},  {"SATA 3.3", 9},    {"SATA 3.4", 10}, {"SATA 3.5", 11}};
    if (peer.empty()) return 0;
    const auto it = Codes.find(peer);
    if (it != Codes.end()) return it->second;
    ADD_FAILURE() << "SATA revision the test does not know: " << peer;
    return 0;
}

TEST_P(RealDriveIdentify, IdentityTextsMatchThePeer) {
    if (!HavePeers()) GTEST_SKIP() << "no peer readings";
    EXPECT_TRUE(kept) << "a real drive with a sensible size is kept";
    EXPECT_EQ(drive->Model, PeerText({"model_name"}));
    EXPECT_EQ(drive->SerialNumber, PeerText({"serial_number"}));
    EXPECT_EQ(drive->FirmwareVersion, PeerText({"firmware_version"}));
    // The peer keeps the model's trailing blanks in its listing; the program trims them.
    EXPECT_EQ(drive->Model, hdparm->After("Model Number:").value_or(""));
}

TEST_P(RealDriveIdentify, CapacityAndSectorSizesMatchThePeer) {
    if (!HavePeers()) GTEST_SKIP() << "no peer readings";
    const long long logical = PeerNumber({"logical_block_size"});
    const long long bytes = PeerNumber({"user_capacity", "bytes"});
    ASSERT_GT(logical, 0);
    EXPECT_EQ(drive->LogicalSectorSize, logical);
    EXPECT_EQ(drive->PhysicalSectorSize, PeerNumber({"physical_block_size"}));
    // The peer counts every addressable sector; the program takes (count - 1) x LogicalSectorSize,
    // so it reports exactly one logical sector less.
    EXPECT_EQ(drive->AvailableSize, bytes - logical);
    EXPECT_EQ(drive->LBA48Support, hdparm->Listed("48-bit Address feature set"));
}

TEST_P(RealDriveIdentify, MediaFormFactorAndCacheMatchThePeer) {
    if (!HavePeers()) GTEST_SKIP() << "no peer readings";
    const Json* rotation = Peer({"rotation_rate"});
    const long long rate = PeerNumber({"rotation_rate"});
    // The peer writes a rotation rate of 0 for a solid-state drive and leaves it out when the drive
    // reports none.
    const bool ssd = rotation && rate == 0;
    EXPECT_EQ(drive->IsSSD, ssd);
    EXPECT_EQ(drive->IsSSD, hdparm->After("Nominal Media Rotation Rate:").value_or("") == "Solid State Device");
    EXPECT_EQ(drive->RotationRate, rate > 0 ? rate : 0);

    // Codes above 9 are unknown to the program and become 0.
    const long long formFactor = PeerNumber({"form_factor", "ata_value"});
    EXPECT_EQ(drive->DimensionalFormFactor, formFactor <= 9 ? formFactor : 0);

    // The peer prints the cache in KiB (half the word, rounded down) or "unknown" when the word is 0.
    const std::string cache = hdparm->After("cache/buffer size  =").value_or("unknown");
    if (cache.rfind("unknown", 0) == 0)
        EXPECT_EQ(drive->HardwareCache, 0u);
    else
        EXPECT_EQ(drive->HardwareCache / 1024, LeadingNumber(cache).value_or(-1)) << cache;
}

TEST_P(RealDriveIdentify, SerialAtaFromTheIdentifyPageAlone) {
    EXPECT_TRUE(kept) << "a real drive with a sensible size is kept";
    EXPECT_EQ(drive->Transport, SerialAta() ? 1 : 0);
}

TEST_P(RealDriveIdentify, InterfaceAndVersionsMatchThePeer) {
    if (!HavePeers()) GTEST_SKIP() << "no peer readings";
    const bool serial = SerialAta();

    // "Supported: 8 7 6 5": the first number is the highest major version.
    EXPECT_EQ(drive->ATA_version, LeadingNumber(hdparm->After("Supported:").value_or("")).value_or(0));
    EXPECT_EQ(drive->SATA_version, SataRevisionCode(PeerText({"sata_version", "string"})));
    EXPECT_EQ(drive->SATA_SignalingSpeedSupport, SpeedCode(PeerText({"interface_speed", "max", "string"})));
    EXPECT_EQ(drive->SATA_SignalingSpeedCurrent, SpeedCode(PeerText({"interface_speed", "current", "string"})));

    // Without a queue the peer prints no depth; the drive's word says 0 more entries, so 1.
    const long long depth = LeadingNumber(hdparm->After("Queue depth:").value_or("1")).value_or(-1);
    EXPECT_EQ(drive->QueueDepth, depth);
    // NCQ counts only on Serial ATA and with a queue deeper than one entry.
    EXPECT_EQ(drive->NCQ_Usable, serial && hdparm->Listed("Native Command Queueing (NCQ)") && depth != 1);

    // "DMA: ... udma4 *udma5 udma6": the highest listed mode is supported, the marked one is active.
    const std::string dma = hdparm->After("DMA:").value_or("");
    int highest = -1, active = -1;
    std::istringstream modes(dma);
    for (std::string m; modes >> m;) {
        const bool marked = m[0] == '*';
        if (marked) m.erase(0, 1);
        if (m.rfind("udma", 0) != 0) continue;
        const int n = std::stoi(m.substr(4));
        highest = std::max(highest, n);
        if (marked) active = n;
    }
    ASSERT_GE(highest, 0) << "no Ultra DMA mode in the peer listing: " << dma;
    EXPECT_EQ(drive->UltraDMA_ModeSupport, highest);
    EXPECT_EQ(drive->UltraDMA_ModeCurrent, active < 0 ? 0 : active);

    const Json* wwn = Peer({"wwn"});
    EXPECT_EQ(drive->HasWWN, wwn != nullptr);
    EXPECT_EQ(drive->OUI, static_cast<uint32_t>(PeerNumber({"wwn", "oui"})));
    if (wwn) {
        const std::string hex = hdparm->After("IEEE OUI\t:").value_or("");
        EXPECT_EQ(drive->OUI, std::stoul(hex, nullptr, 16)) << "OUI in the other peer: " << hex;
    }
}

TEST_P(RealDriveIdentify, FeatureFlagsMatchThePeer) {
    if (!HavePeers()) GTEST_SKIP() << "no peer readings";
    const HdparmDecode& p = *hdparm;
    EXPECT_EQ(drive->PowerManagementSupport, p.Listed("Power Management feature set"));
    EXPECT_EQ(drive->WriteCacheSupport, p.Listed("Write cache"));
    EXPECT_EQ(drive->WriteCacheEnabled, p.Enabled("Write cache"));
    EXPECT_EQ(drive->LookAheadSupport, p.Listed("Look-ahead"));
    EXPECT_EQ(drive->LookAheadEnabled, p.Enabled("Look-ahead"));
    EXPECT_EQ(drive->HPA_Support, p.Listed("Host Protected Area feature set"));
    EXPECT_EQ(drive->DownloadMicrocode, p.Listed("DOWNLOAD_MICROCODE"));
    // The SET MAX security extension is only looked at on drives with a host protected area.
    EXPECT_EQ(drive->SetMaxSecuritySupport, drive->HPA_Support && p.Listed("SET_MAX security extension"));
    EXPECT_EQ(drive->SetMaxSecurityEnabled, drive->SetMaxSecuritySupport && p.Enabled("SET_MAX security extension"));
    EXPECT_EQ(drive->TCQ_Support, p.ListedWithPrefix("READ/WRITE_DMA_QUEUED"));
    EXPECT_EQ(drive->DevSleepSupport, p.Listed("Device Sleep (DEVSLP)"));
    EXPECT_EQ(drive->DevSleepEnabled, p.Enabled("Device Sleep (DEVSLP)"));
    EXPECT_EQ(drive->SCT_Support, p.Listed("SMART Command Transport (SCT) feature set"));
    EXPECT_EQ(drive->SCT_Support, Peer({"ata_sct_capabilities"}) != nullptr);
    EXPECT_EQ(drive->SCT_DataTablesSupport, PeerFlag({"ata_sct_capabilities", "data_table_supported"}));
    EXPECT_EQ(drive->FreeFallSupport, p.ListedWithPrefix("Free-fall"));
    // TRIM is only looked at on SSDs and on drives of an ATA major version above 7.
    EXPECT_EQ(drive->TRIM_Support, PeerFlag({"trim", "supported"}) && (drive->IsSSD || drive->ATA_version > 7));

    // APM: the level is taken only while APM is enabled ("disabled" in the peer's listing).
    EXPECT_EQ(drive->APM_Support, p.Listed("Advanced Power Management feature set"));
    EXPECT_EQ(drive->APM_Enabled, p.Enabled("Advanced Power Management feature set"));
    const auto apmLevel = LeadingNumber(p.After("Advanced power management level:").value_or(""));
    EXPECT_EQ(drive->APM_Level, drive->APM_Enabled ? apmLevel.value_or(-1) : 0);

    // AAM: ignored on SSDs; the current level is taken only while AAM is enabled (the peer prints
    // the word whatever its state).
    EXPECT_EQ(drive->AAM_Support, !drive->IsSSD && p.Listed("Automatic Acoustic Management feature set"));
    EXPECT_EQ(drive->AAM_Enabled, drive->AAM_Support && p.Enabled("Automatic Acoustic Management feature set"));
    const std::string aam = p.After("Recommended acoustic management value:").value_or("");
    long long recommended = 0, current = 0;
    if (!aam.empty()) {
        recommended = LeadingNumber(aam).value_or(-1);
        current = LeadingNumber(aam.substr(aam.find("current value:") + 14)).value_or(-1);
    }
    EXPECT_EQ(drive->AAM_Recommended, drive->AAM_Support ? recommended : 0);
    EXPECT_EQ(drive->AAM_Level, drive->AAM_Enabled ? current : 0);
}

TEST_P(RealDriveIdentify, SecurityMatchesThePeer) {
    if (!HavePeers()) GTEST_SKIP() << "no peer readings";
    const HdparmDecode& p = *hdparm;
    EXPECT_EQ(drive->SecuritySupport, p.Listed("Security Mode feature set"));
    EXPECT_EQ(drive->SecurityEnabled, p.Enabled("Security Mode feature set"));
    if (!drive->SecuritySupport) return;
    EXPECT_EQ(drive->SecurityLocked, p.SecurityLine("locked"));
    EXPECT_EQ(drive->EnhancedEraseSupport, p.SecurityLine("supported: enhanced erase"));
    // "224min for SECURITY ERASE UNIT. ..."; the peer prints nothing when the drive gives no time.
    long long minutes = 0;
    for (const std::string& line : p.security)
        if (line.find("min for SECURITY ERASE UNIT") != std::string::npos) minutes = LeadingNumber(line).value_or(-1);
    EXPECT_EQ(drive->SecurityEraseTime, minutes);
}

TEST_P(RealDriveIdentify, SelfTestCapabilitiesMatchThePeer) {
    if (!HavePeers()) GTEST_SKIP() << "no peer readings";
    TakeSelfTestCapabilities(*drive);
    EXPECT_EQ(drive->SelfTestSupport, PeerFlag({"ata_smart_data", "capabilities", "self_tests_supported"}));
    if (!drive->SelfTestSupport) {
        EXPECT_EQ(drive->ShortSelfTestTime, 0);
        EXPECT_EQ(drive->ExtendedSelfTestTime, 0);
        return;
    }
    EXPECT_EQ(drive->ShortSelfTestTime, PeerNumber({"ata_smart_data", "self_test", "polling_minutes", "short"}, -1));
    // The program keeps the one-byte time, where 255 stands for 255 minutes or more; the peer reads
    // the longer time some drives give elsewhere.
    const long long extended = PeerNumber({"ata_smart_data", "self_test", "polling_minutes", "extended"}, -1);
    EXPECT_EQ(drive->ExtendedSelfTestTime, std::min(extended, 255LL));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RealDriveIdentify, ::testing::ValuesIn(AtaDriveFolders()), ParamName);

// ------------------------------------------------------------------------------------------------
// Edge cases built word by word
// ------------------------------------------------------------------------------------------------

struct Result {
    std::unique_ptr<DriveRecord> drive;
    bool kept;
    std::string log;
    DriveRecord* operator->() const { return drive.get(); }
};

Result Interpret(const sim::IdentifyPage& page) {
    Result r{std::make_unique<DriveRecord>(), false, {}};
    const std::vector<uint8_t> bytes = page.Bytes();
    std::memcpy(r.drive->IdentifyData, bytes.data(), 512);
    r.kept = InterpretAtaIdentify(*r.drive);
    r.log = DriveLogText(*r.drive);
    return r;
}

// A parallel drive with a plain 28-bit size: nothing set that the rules below look at.
sim::IdentifyPage ParallelDisk() {
    sim::IdentifyPage p;
    p.Model("TEST PARALLEL 80").Serial("PAR0001").Firmware("1.00").Sectors28(156301488);
    return p;
}

// A Serial ATA drive (1.5 Gb/s only) with 48-bit addressing.
sim::IdentifyPage SataDisk() {
    sim::IdentifyPage p;
    p.Model("TEST SATA 1000").Serial("SAT0001").Firmware("2.00").Word(76, 0x0002).Word(83, 0x4400);
    p.Sectors28(0x0FFFFFFF).Sectors48(1953525168);
    return p;
}

TEST(AtaIdentifyText, SwapsEveryWordAndTrimsOnlyTheEnds) {
    // The first character of each pair sits in the high byte of its word.
    const uint8_t raw[] = {'B', 'A', 'D', 'C', ' ', 'E', ' ', ' '};
    EXPECT_EQ(AtaText(raw, 0, sizeof raw), "ABCDE");
    EXPECT_EQ(AtaText(raw, 2, 4), "CDE");

    sim::IdentifyPage page = SataDisk();
    page.Model("\x01\t WDC  WD10EZEX-08M\x1f ");  // control characters and blanks at both ends
    page.Serial(" \xe9SN 42\x7f\xb5");           // codes above 0x20 stay, 0x7F and 0xE9 / 0xB5 included
    page.Firmware("        ");                    // nothing but blanks
    Result r = Interpret(page);
    EXPECT_EQ(r->Model, "WDC  WD10EZEX-08M") << "inner blanks are kept";
    EXPECT_EQ(r->SerialNumber, "\xe9SN 42\x7f\xb5");
    EXPECT_EQ(r->FirmwareVersion, "");

    // Texts that fill their whole area lose nothing; a zero-filled area is empty.
    page.Model("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd").Firmware("FW8CHARS");
    r = Interpret(page);
    EXPECT_EQ(r->Model, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd");
    EXPECT_EQ(r->FirmwareVersion, "FW8CHARS");
    for (unsigned w = 10; w < 20; ++w) page.Word(w, 0);
    EXPECT_EQ(Interpret(page)->SerialNumber, "");
}

TEST(AtaIdentifyValidWords, WordsCountOnlyWithBit15ClearAndBit14Set) {
    struct Case {
        uint16_t marker;
        bool valid;
    };
    const Case cases[] = {{0x4000, true}, {0xC000, false}, {0x0000, false}, {0x8000, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "marker bits 0x" << std::hex << c.marker);
        sim::IdentifyPage page = SataDisk();
        page.Word(48, c.marker | 0x0001);                  // trusted computing
        page.Word(106, c.marker | 0x2003);                 // 8 logical sectors per physical sector
        page.Word(87, c.marker | 0x0100).Word(108, 0x5000).Word(109, 0xCCA3);  // world wide name
        page.Word(86, 0x8000).Word(119, c.marker | 0x0020).Word(120, c.marker | 0x0020);  // free-fall
        page.Word(53, 0x8000);
        Result r = Interpret(page);
        EXPECT_EQ(r->TrustedComputingSupport, c.valid);
        EXPECT_EQ(r->PhysicalSectorSize, c.valid ? 4096u : 512u);
        EXPECT_EQ(r->LogicalSectorSize, 512);
        EXPECT_EQ(r->HasWWN, c.valid);
        EXPECT_EQ(r->OUI, c.valid ? 0x000CCAu : 0u);
        EXPECT_EQ(r->FreeFallSupport, c.valid);
        EXPECT_EQ(r->FreeFallEnabled, c.valid);
        EXPECT_EQ(r->FreeFallSensitivity, c.valid ? 0x80 : 0);
    }
}

TEST(AtaIdentifyMedia, RotationWordAndFirmwareDecideSolidState) {
    struct Case {
        uint16_t word217;
        bool ssd;
        uint16_t rpm;
    };
    const Case cases[] = {{1, true, 0},       {5400, false, 5400}, {1000, false, 0},  {1024, false, 0},
                          {1025, false, 1025}, {0xFFFF, false, 0},  {0, false, 0},     {15000, false, 15000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "word 217 = " << c.word217);
        Result r = Interpret(SataDisk().Word(217, c.word217));
        EXPECT_EQ(r->IsSSD, c.ssd);
        EXPECT_EQ(r->RotationRate, c.rpm);
    }
    // Two firmware revisions mark an SSD whatever word 217 says; then no rotation rate is taken.
    for (const char* fw : {"02.10104", "2.9.09"}) {
        SCOPED_TRACE(fw);
        Result r = Interpret(SataDisk().Firmware(fw).Word(217, 7200));
        EXPECT_TRUE(r->IsSSD);
        EXPECT_EQ(r->RotationRate, 0);
    }
    Result near = Interpret(SataDisk().Firmware("02.10105").Word(217, 7200));
    EXPECT_FALSE(near->IsSSD);
    EXPECT_EQ(near->RotationRate, 7200);
}

TEST(AtaIdentifyVersions, MajorVersionIsTheHighestBitAndUnknownOnesAreLogged) {
    Result all = Interpret(SataDisk().Word(80, 0xFFFF));
    EXPECT_EQ(all->ATA_version, 15);
    EXPECT_EQ(all.log, "DEBUG - Unknown ATA_version - 15");

    Result acs5 = Interpret(SataDisk().Word(80, 0x1FF0));
    EXPECT_EQ(acs5->ATA_version, 12);
    EXPECT_EQ(acs5.log, "") << "12 is still a known version";

    Result bit13 = Interpret(SataDisk().Word(80, 0x2000));
    EXPECT_EQ(bit13->ATA_version, 13);
    EXPECT_EQ(bit13.log, "DEBUG - Unknown ATA_version - 13");

    Result none = Interpret(SataDisk().Word(80, 0));
    EXPECT_EQ(none->ATA_version, 0);
    EXPECT_EQ(none.log, "");
}

TEST(AtaIdentifySerialAta, FirmwarePatternMarksSerialAtaWhenWord76IsEmpty) {
    Result byFirmware = Interpret(ParallelDisk().Word(76, 0).Firmware("UXFA01.2"));
    EXPECT_EQ(byFirmware->Transport, 1);
    EXPECT_EQ(byFirmware->SATA_SignalingSpeedSupport, 0) << "word 76 names no speed";

    // The pattern is read on the trimmed text: a leading blank shifts the characters into place.
    EXPECT_EQ(Interpret(ParallelDisk().Firmware(" UXFAB1.")).drive->Transport, 1);

    const char* notSerial[] = {
        "UXFA1.",    // six characters: no seventh to look at
        "UXFA01",    // six characters
        "uXFA01.2",  // lower-case u
        "UXfA01.2",  // lower-case f
        "UXFA01,2",  // no full stop in the seventh place
        "XUFA01.2",
    };
    for (const char* fw : notSerial) {
        SCOPED_TRACE(fw);
        EXPECT_EQ(Interpret(ParallelDisk().Firmware(fw)).drive->Transport, 0);
    }
    // Word 76 of 0xFFFF is as empty as 0.
    EXPECT_EQ(Interpret(ParallelDisk().Word(76, 0xFFFF)).drive->Transport, 0);
    EXPECT_EQ(Interpret(ParallelDisk().Word(76, 0x0100)).drive->Transport, 1);
}

TEST(AtaIdentifySerialAta, SignallingSpeedsAndTheirUnknownCurrentValue) {
    struct Support {
        uint16_t word76;
        uint8_t code;
    };
    for (const Support& s : {Support{0x0002, 1}, Support{0x0006, 2}, Support{0x000E, 3}, Support{0x0008, 3},
                             Support{0x0010, 0}, Support{0x0F01, 0}}) {
        SCOPED_TRACE(testing::Message() << "word 76 = 0x" << std::hex << s.word76);
        Result r = Interpret(SataDisk().Word(76, s.word76));
        EXPECT_EQ(r->Transport, 1);
        EXPECT_EQ(r->SATA_SignalingSpeedSupport, s.code);
    }
    struct Current {
        uint16_t word77;
        uint8_t code;
        const char* log;
    };
    for (const Current& c : {Current{0x0002, 1, ""}, Current{0x0004, 2, ""}, Current{0x0086, 3, ""},
                             Current{0x0001, 0, ""}, Current{0x0000, 0, ""},
                             Current{0x0008, 4, "DEBUG - Unknown SATA_SignalingSpeedCurrent - 4"},
                             Current{0x000E, 7, "DEBUG - Unknown SATA_SignalingSpeedCurrent - 7"}}) {
        SCOPED_TRACE(testing::Message() << "word 77 = 0x" << std::hex << c.word77);
        Result r = Interpret(SataDisk().Word(77, c.word77));
        EXPECT_EQ(r->SATA_SignalingSpeedCurrent, c.code);
        EXPECT_EQ(r.log, c.log);
    }
    // A parallel drive keeps its signalling fields at 0 whatever word 77 holds.
    Result parallel = Interpret(ParallelDisk().Word(77, 0x000E));
    EXPECT_EQ(parallel->SATA_SignalingSpeedCurrent, 0);
    EXPECT_EQ(parallel.log, "");
}

TEST(AtaIdentifySerialAta, TransportVersionWord) {
    // Bits 15-12 of 0xE mean PCIe, whatever word 76 said, and no SATA revision is taken.
    Result pcie = Interpret(SataDisk().Word(76, 0x010E).Word(222, 0xE03F));
    EXPECT_EQ(pcie->Transport, 14);
    EXPECT_EQ(pcie->SATA_version, 0);
    EXPECT_EQ(Interpret(ParallelDisk().Word(222, 0xE001)).drive->Transport, 14);

    struct Case {
        uint16_t word222;
        uint8_t version;
        const char* log;
    };
    for (const Case& c : {Case{0x103F, 6, ""}, Case{0x10FF, 8, ""}, Case{0x1001, 1, ""}, Case{0x1400, 11, ""},
                          Case{0x1800, 12, "DEBUG - Unknown SATA_version - 12"}, Case{0x1000, 0, ""},
                          Case{0xFFFF, 0, ""}, Case{0x0000, 0, ""}}) {
        SCOPED_TRACE(testing::Message() << "word 222 = 0x" << std::hex << c.word222);
        Result r = Interpret(SataDisk().Word(222, c.word222));
        EXPECT_EQ(r->Transport, 1);
        EXPECT_EQ(r->SATA_version, c.version);
        EXPECT_EQ(r.log, c.log);
    }
    // The revision belongs to Serial ATA drives only.
    Result parallel = Interpret(ParallelDisk().Word(222, 0x103F));
    EXPECT_EQ(parallel->Transport, 0);
    EXPECT_EQ(parallel->SATA_version, 0);
}

TEST(AtaIdentifySerialAta, QueueingNeedsADepthAboveOne) {
    Result ncq = Interpret(SataDisk().SetBits(76, 0x0100).Word(75, 0x001F));
    EXPECT_EQ(ncq->QueueDepth, 32);
    EXPECT_TRUE(ncq->NCQ_Usable);
    Result shallow = Interpret(SataDisk().SetBits(76, 0x0100).Word(75, 0));
    EXPECT_EQ(shallow->QueueDepth, 1);
    EXPECT_FALSE(shallow->NCQ_Usable);
    Result noNcq = Interpret(SataDisk().Word(75, 0x001F));
    EXPECT_FALSE(noNcq->NCQ_Usable);

    Result tcq = Interpret(ParallelDisk().Word(83, 0x4002).Word(75, 0xFF07));  // high byte is not depth
    EXPECT_EQ(tcq->QueueDepth, 8);
    EXPECT_TRUE(tcq->TCQ_Support);
    EXPECT_TRUE(tcq->TCQ_Usable);
    Result tcqShallow = Interpret(ParallelDisk().Word(83, 0x4002));
    EXPECT_TRUE(tcqShallow->TCQ_Support);
    EXPECT_FALSE(tcqShallow->TCQ_Usable);
    // The depth is an 8-bit count: 255 more entries wrap to 0, which is not a depth of one.
    Result wrapped = Interpret(ParallelDisk().Word(83, 0x4002).Word(75, 0x00FF));
    EXPECT_EQ(wrapped->QueueDepth, 0);
    EXPECT_TRUE(wrapped->TCQ_Usable);

    Result sleep = Interpret(SataDisk().Word(78, 0x0100).Word(79, 0x0100));
    EXPECT_TRUE(sleep->DevSleepSupport);
    EXPECT_TRUE(sleep->DevSleepEnabled);
    Result sleepOff = Interpret(SataDisk().Word(78, 0x0100).Word(79, 0x00FF));
    EXPECT_TRUE(sleepOff->DevSleepSupport);
    EXPECT_FALSE(sleepOff->DevSleepEnabled);
}

TEST(AtaIdentifySectors, SectorSizesFromWords106And117) {
    Result advanced = Interpret(SataDisk().Word(106, 0x6003));
    EXPECT_EQ(advanced->PhysicalSectorSize, 4096u);
    EXPECT_EQ(advanced->LogicalSectorSize, 512);

    // Bit 13 wins over bit 12: the logical size stays 512.
    Result both = Interpret(SataDisk().Word(106, 0x7003).Word(117, 0x0800));
    EXPECT_EQ(both->PhysicalSectorSize, 4096u);
    EXPECT_EQ(both->LogicalSectorSize, 512);

    // Bit 12 alone: word 117 counts 16-bit words, and the physical size follows the logical one.
    const uint64_t count = 244190646;
    Result native = Interpret(SataDisk().Word(106, 0x5000).Word(117, 0x0800).Sectors48(count));
    EXPECT_EQ(native->LogicalSectorSize, 4096);
    EXPECT_EQ(native->PhysicalSectorSize, 4096u);
    EXPECT_EQ(native->AvailableSize, static_cast<int64_t>((count - 1) * 4096));

    Result plain = Interpret(SataDisk().Word(106, 0x4000));
    EXPECT_EQ(plain->PhysicalSectorSize, 512u);
    EXPECT_EQ(plain->LogicalSectorSize, 512);
    Result absent = Interpret(SataDisk());
    EXPECT_EQ(absent->PhysicalSectorSize, 512u);
    EXPECT_EQ(absent->LogicalSectorSize, 512);
}

TEST(AtaIdentifySectors, CapacityCountsOneSectorLessThanTheDrive) {
    // 48-bit: 1,953,525,168 sectors of 512 bytes give 1,953,525,167 x 512.
    Result big = Interpret(SataDisk().Sectors48(1953525168));
    EXPECT_TRUE(big.kept);
    EXPECT_EQ(big->AvailableSize, 1000204885504LL);

    // 28-bit on a drive without 48-bit support; words 100-103 are not looked at.
    Result small = Interpret(ParallelDisk().Sectors28(240121728).Sectors48(976773168));
    EXPECT_TRUE(small.kept);
    EXPECT_FALSE(small->LBA48Support);
    EXPECT_EQ(small->AvailableSize, 122942324224LL);

    // With 48-bit support the 28-bit words are not looked at.
    Result both = Interpret(SataDisk().Sectors28(0x0FFFFFFF).Sectors48(3907029168ULL));
    EXPECT_EQ(both->AvailableSize, 2000398933504LL);

    // A 48-bit count of 0 is an empty drive, not one of -512 bytes; one sector leaves none either.
    for (const uint64_t empty : {0ULL, 1ULL}) {
        Result none = Interpret(SataDisk().Sectors48(empty));
        EXPECT_TRUE(none.kept) << empty;
        EXPECT_EQ(none->AvailableSize, 0) << empty;
    }
    // A count whose size does not fit in a signed 64-bit number has no size, not a negative one.
    Result huge = Interpret(SataDisk().Word(106, 0x5000).Word(117, 0x7FFF).Sectors48(0xFFFFFFFFFFFFULL));
    EXPECT_EQ(huge->AvailableSize, 0);
}

TEST(AtaIdentifySectors, EmptyCountDropsOnlyParallelDrives) {
    // 0 - 1 taken modulo 2^32 is (2^32 - 1) sectors: 2,199,023,255,040 bytes.
    Result parallel = Interpret(ParallelDisk().Sectors28(0).Word(168, 0x0003).Word(206, 0x0001));
    EXPECT_FALSE(parallel.kept);
    EXPECT_EQ(parallel->AvailableSize, 2199023255040LL);
    EXPECT_EQ(parallel->DimensionalFormFactor, 0) << "nothing after the size check is taken";
    EXPECT_FALSE(parallel->SCT_Support);

    Result serial = Interpret(ParallelDisk().Sectors28(0).Word(76, 0x0106).Word(168, 0x0003));
    EXPECT_TRUE(serial.kept);
    EXPECT_EQ(serial->AvailableSize, 2199023255040LL);
    EXPECT_EQ(serial->DimensionalFormFactor, 3);

    Result pcie = Interpret(ParallelDisk().Sectors28(0).Word(222, 0xE000));
    EXPECT_TRUE(pcie.kept);

    // The size decides, not where it came from: a parallel 48-bit drive of exactly 2^32 sectors
    // gives the same size and is dropped as well.
    Result exact = Interpret(ParallelDisk().Word(83, 0x4400).Sectors48(0x100000000ULL));
    EXPECT_FALSE(exact.kept);
    EXPECT_TRUE(Interpret(ParallelDisk().Word(83, 0x4400).Sectors48(0x100000001ULL)).kept);
    EXPECT_TRUE(Interpret(ParallelDisk().Sectors28(0xFFFFFFFF)).kept);
}

TEST(AtaIdentifyBrands, LegacySamsungOnlyForParallelListedModels) {
    // The flag needs the brand "Samsung" as well; it follows whatever brand detection says.
    Result listed = Interpret(ParallelDisk().Model("SAMSUNG SV0401H"));
    EXPECT_EQ(listed->LegacySamsung, listed->Trademark == "Samsung");
    EXPECT_FALSE(Interpret(SataDisk().Model("SAMSUNG SV0401H")).drive->LegacySamsung) << "Serial ATA";
    EXPECT_FALSE(Interpret(ParallelDisk().Model("SAMSUNG SV0401HX")).drive->LegacySamsung);
    EXPECT_FALSE(Interpret(ParallelDisk().Model("SAMSUNG SP0401N")).drive->LegacySamsung);
}

TEST(AtaIdentifyFormFactor, UnknownCodesBecomeZeroAndAreLogged) {
    Result unknown = Interpret(SataDisk().Model("TEST 2.5 SSD").Word(168, 12));
    ASSERT_NE(unknown->Trademark, "SanDisk");
    EXPECT_EQ(unknown->DimensionalFormFactor, 0);
    EXPECT_EQ(unknown.log, "DEBUG - Unknown DimensionalFormFactor - 12");

    Result top = Interpret(SataDisk().Word(168, 9));
    EXPECT_EQ(top->DimensionalFormFactor, 9);
    EXPECT_EQ(top.log, "");
    Result ten = Interpret(SataDisk().Word(168, 10));
    EXPECT_EQ(ten->DimensionalFormFactor, 0);
    EXPECT_EQ(ten.log, "DEBUG - Unknown DimensionalFormFactor - 10");
    // Only bits 3-0 are the code.
    Result masked = Interpret(SataDisk().Word(168, 0xFFF3));
    EXPECT_EQ(masked->DimensionalFormFactor, 3);
    EXPECT_EQ(masked.log, "");
}

TEST(AtaIdentifyFormFactor, SanDiskDrivesStayQuietAboutUnknownCodes) {
    Result r = Interpret(SataDisk().Model("SanDisk SDSSDA240G").Word(217, 1).Word(168, 12));
    if (r->Trademark != "SanDisk")
        GTEST_SKIP() << "brand detection does not recognise \"SanDisk SDSSDA240G\" yet (brand \"" << r->Trademark
                     << "\"); the quiet SanDisk case cannot be reached";
    EXPECT_EQ(r->DimensionalFormFactor, 0);
    EXPECT_EQ(r.log, "");
}

TEST(AtaIdentifyFeatures, TrimNeedsSsdOrVersionAboveSeven) {
    struct Case {
        uint16_t word217, word80, word169;
        bool trim;
    };
    for (const Case& c : {Case{7200, 0x00FE, 1, false},  // rotating, ATA/ATAPI-7
                          Case{7200, 0x01FE, 1, true},   // rotating, ATA8
                          Case{1, 0x00FE, 1, true},      // SSD, ATA/ATAPI-7
                          Case{1, 0x0000, 1, true},      // SSD, no version
                          Case{7200, 0x07F0, 0, false},  // ACS-3 without TRIM
                          Case{1, 0x07F0, 0xFFFE, false}}) {
        SCOPED_TRACE(testing::Message() << "217=" << c.word217 << " 80=0x" << std::hex << c.word80);
        EXPECT_EQ(Interpret(SataDisk().Word(217, c.word217).Word(80, c.word80).Word(169, c.word169)).drive->TRIM_Support,
                  c.trim);
    }
}

TEST(AtaIdentifyFeatures, PowerAndAcousticManagement) {
    // AAM supported (83.9), enabled (86.9), recommended 0x80, current 0xFE.
    sim::IdentifyPage aam = SataDisk();
    aam.Word(83, 0x4608).Word(86, 0x0208).Word(94, 0x80FE).Word(91, 0x4080);
    Result hdd = Interpret(aam);
    EXPECT_TRUE(hdd->AAM_Support);
    EXPECT_TRUE(hdd->AAM_Enabled);
    EXPECT_EQ(hdd->AAM_Recommended, 0x80);
    EXPECT_EQ(hdd->AAM_Level, 0xFE);
    EXPECT_TRUE(hdd->APM_Support);
    EXPECT_TRUE(hdd->APM_Enabled);
    EXPECT_EQ(hdd->APM_Level, 0x80) << "only the low byte of word 91";

    Result ssd = Interpret(sim::IdentifyPage(aam).Word(217, 1));
    EXPECT_FALSE(ssd->AAM_Support) << "AAM means nothing on an SSD";
    EXPECT_FALSE(ssd->AAM_Enabled);
    EXPECT_EQ(ssd->AAM_Recommended, 0);
    EXPECT_EQ(ssd->AAM_Level, 0);
    EXPECT_EQ(ssd->APM_Level, 0x80) << "APM still counts on an SSD";

    Result idle = Interpret(sim::IdentifyPage(aam).Word(86, 0));
    EXPECT_TRUE(idle->AAM_Support);
    EXPECT_FALSE(idle->AAM_Enabled);
    EXPECT_EQ(idle->AAM_Recommended, 0x80);
    EXPECT_EQ(idle->AAM_Level, 0);
    EXPECT_FALSE(idle->APM_Enabled);
    EXPECT_EQ(idle->APM_Level, 0);

    // An enabled bit without the supported bit does not enable AAM.
    Result orphan = Interpret(sim::IdentifyPage(aam).Word(83, 0x4400));
    EXPECT_FALSE(orphan->AAM_Support);
    EXPECT_FALSE(orphan->AAM_Enabled);
    EXPECT_EQ(orphan->AAM_Level, 0);
}

TEST(AtaIdentifyFeatures, SecuritySanitizeAndSetMax) {
    sim::IdentifyPage secure = SataDisk();
    secure.Word(82, 0x0002).Word(85, 0x0002).Word(89, 0x8070).Word(128, 0x0025);
    Result r = Interpret(secure);
    EXPECT_TRUE(r->SecuritySupport);
    EXPECT_TRUE(r->SecurityEnabled);
    EXPECT_EQ(r->SecurityEraseTime, 224u) << "bit 15 of word 89 is not part of the time";
    EXPECT_TRUE(r->SecurityLocked);
    EXPECT_TRUE(r->EnhancedEraseSupport);
    EXPECT_EQ(Interpret(sim::IdentifyPage(secure).Word(89, 0x7FFF)).drive->SecurityEraseTime, 65534u);

    Result unsupported = Interpret(sim::IdentifyPage(secure).Word(82, 0));
    EXPECT_FALSE(unsupported->SecuritySupport);
    EXPECT_EQ(unsupported->SecurityEraseTime, 0u);
    EXPECT_FALSE(unsupported->SecurityLocked);
    EXPECT_FALSE(unsupported->EnhancedEraseSupport);
    EXPECT_TRUE(unsupported->SecurityEnabled) << "word 85 is read whatever word 82 says";

    Result sanitize = Interpret(SataDisk().Word(59, 0x3000));
    EXPECT_TRUE(sanitize->SanitizeSupport);
    EXPECT_TRUE(sanitize->CryptoEraseSupport);
    Result cryptoOnly = Interpret(SataDisk().Word(59, 0x2000));
    EXPECT_FALSE(cryptoOnly->SanitizeSupport);
    EXPECT_FALSE(cryptoOnly->CryptoEraseSupport);

    // SET MAX security needs a host protected area.
    Result setMax = Interpret(SataDisk().Word(82, 0x0400).Word(83, 0x4500).Word(86, 0x0100));
    EXPECT_TRUE(setMax->HPA_Support);
    EXPECT_TRUE(setMax->SetMaxSecuritySupport);
    EXPECT_TRUE(setMax->SetMaxSecurityEnabled);
    Result noHpa = Interpret(SataDisk().Word(83, 0x4500).Word(86, 0x0100));
    EXPECT_FALSE(noHpa->SetMaxSecuritySupport);
    EXPECT_FALSE(noHpa->SetMaxSecurityEnabled);
}

TEST(AtaIdentifyFeatures, WorldWideNameFreeFallUltraDmaSctAndCache) {
    // OUI: bits 11-0 of word 108 above bits 15-4 of word 109; the NAA nibble is not part of it.
    Result wwn = Interpret(SataDisk().Word(87, 0x4100).Word(108, 0x5ABC).Word(109, 0xDEF1));
    EXPECT_TRUE(wwn->HasWWN);
    EXPECT_EQ(wwn->OUI, 0xABCDEFu);
    Result noName = Interpret(SataDisk().Word(87, 0x4000).Word(108, 0x5ABC).Word(109, 0xDEF1));
    EXPECT_FALSE(noName->HasWWN);
    EXPECT_EQ(noName->OUI, 0u);

    // Free-fall words count only with word 86 bit 15.
    sim::IdentifyPage fall = SataDisk();
    fall.Word(53, 0x9A07).Word(119, 0x4020).Word(120, 0x4020);
    Result off = Interpret(fall);
    EXPECT_FALSE(off->FreeFallSupport);
    EXPECT_FALSE(off->FreeFallEnabled);
    EXPECT_EQ(off->FreeFallSensitivity, 0);
    Result on = Interpret(sim::IdentifyPage(fall).Word(86, 0x8000));
    EXPECT_TRUE(on->FreeFallSupport);
    EXPECT_TRUE(on->FreeFallEnabled);
    EXPECT_EQ(on->FreeFallSensitivity, 0x9A);
    Result supportedOnly = Interpret(sim::IdentifyPage(fall).Word(86, 0x8000).Word(120, 0x4000));
    EXPECT_TRUE(supportedOnly->FreeFallSupport);
    EXPECT_FALSE(supportedOnly->FreeFallEnabled);
    EXPECT_EQ(supportedOnly->FreeFallSensitivity, 0);

    // Ultra DMA: highest supported mode, lowest active one; only with word 53 bit 2.
    Result udma = Interpret(SataDisk().Word(53, 0x0004).Word(88, 0x207F));
    EXPECT_EQ(udma->UltraDMA_ModeSupport, 6);
    EXPECT_EQ(udma->UltraDMA_ModeCurrent, 5);
    Result udma7 = Interpret(SataDisk().Word(53, 0x0004).Word(88, 0x30FF));
    EXPECT_EQ(udma7->UltraDMA_ModeSupport, 7);
    EXPECT_EQ(udma7->UltraDMA_ModeCurrent, 4);
    Result noActive = Interpret(SataDisk().Word(53, 0x0004).Word(88, 0x0001));
    EXPECT_EQ(noActive->UltraDMA_ModeSupport, 0);
    EXPECT_EQ(noActive->UltraDMA_ModeCurrent, 0);
    Result invalid88 = Interpret(SataDisk().Word(53, 0x0003).Word(88, 0x207F));
    EXPECT_EQ(invalid88->UltraDMA_ModeSupport, 0);
    EXPECT_EQ(invalid88->UltraDMA_ModeCurrent, 0);

    Result sct = Interpret(SataDisk().Word(206, 0x0021));
    EXPECT_TRUE(sct->SCT_Support);
    EXPECT_TRUE(sct->SCT_DataTablesSupport);
    Result tablesOnly = Interpret(SataDisk().Word(206, 0x0020));
    EXPECT_FALSE(tablesOnly->SCT_Support);
    EXPECT_FALSE(tablesOnly->SCT_DataTablesSupport);

    EXPECT_EQ(Interpret(SataDisk().Word(21, 0x8000)).drive->HardwareCache, 16u * 1024 * 1024);
    EXPECT_EQ(Interpret(SataDisk().Word(21, 0xFFFF)).drive->HardwareCache, 0xFFFFu * 512);
}

// ------------------------------------------------------------------------------------------------
// Self-test capabilities
// ------------------------------------------------------------------------------------------------

TEST(AtaSelfTest, TimesAreTakenOnlyWhenSelfTestsExist) {
    DriveRecord d;
    sim::SmartCapabilities caps;
    caps.offlineCapability = 0x10;
    caps.shortMinutes = 3;
    caps.extendedMinutes = 255;
    std::vector<uint8_t> page = sim::SmartValuePage({}, caps);
    std::memcpy(d.SmartData, page.data(), 512);
    TakeSelfTestCapabilities(d);
    EXPECT_TRUE(d.SelfTestSupport);
    EXPECT_EQ(d.ShortSelfTestTime, 3);
    EXPECT_EQ(d.ExtendedSelfTestTime, 255);

    DriveRecord none;
    caps.offlineCapability = 0xEF;  // everything but bit 4
    page = sim::SmartValuePage({}, caps);
    std::memcpy(none.SmartData, page.data(), 512);
    TakeSelfTestCapabilities(none);
    EXPECT_FALSE(none.SelfTestSupport);
    EXPECT_EQ(none.ShortSelfTestTime, 0);
    EXPECT_EQ(none.ExtendedSelfTestTime, 0);
}

// ------------------------------------------------------------------------------------------------
// IDENTIFY DEVICE data log, read from a simulated drive
// ------------------------------------------------------------------------------------------------

constexpr uint64_t Valid = 1ULL << 63;

class IdentifyDataLogTest : public ::testing::Test {
protected:
    static constexpr const char* Path = "\\\\?\\ide#diskidentify_data_log#0";

    // One ATA drive holding `logs`; the record's handle reaches it.
    void Install(std::map<uint8_t, std::vector<uint8_t>> logs, std::vector<sim::Fault> faults = {}) {
        sim::Machine machine;
        sim::Drive d;
        d.DevicePath = Path;
        d.Identify = sim::IdentifyPage().Word(82, 0x0001).Word(85, 0x0001).Bytes();
        d.Logs = std::move(logs);
        d.Faults = std::move(faults);
        d.Methods = {AccessMethod::ATA};
        machine.Drives.push_back(std::move(d));
        sim::Install(std::move(machine));
        drive = std::make_unique<DriveRecord>();
        drive->Handle = platform::CreateFile(Path);
        ASSERT_NE(drive->Handle, platform::INVALID_HANDLE_VALUE);
    }
    void InstallLog(uint64_t nominalBufferSize, uint64_t capabilities = 0) {
        Install({{IdentifyDeviceDataLog, sim::IdentifyDataLog(nominalBufferSize, capabilities)}});
    }
    sim::Drive& Simulated() { return sim::Current().Drives.at(0); }
    std::string Log() const { return DriveLogText(*drive); }

    void TearDown() override { sim::ResetWorld(); }

    std::unique_ptr<DriveRecord> drive;
};

TEST_F(IdentifyDataLogTest, ReadsTheDirectoryThenTheWholeLogAndRefinesTheCache) {
    ASSERT_NO_FATAL_FAILURE(InstallLog(Valid | 0x02000000));
    drive->HardwareCache = 8 * 1024 * 1024;
    ReadIdentifyDataLog(*drive);
    EXPECT_EQ(drive->HardwareCache, 0x02000000u);
    EXPECT_EQ(Log(), "");

    const sim::Drive& d = Simulated();
    EXPECT_EQ(d.RequestCount(), 2u);
    ASSERT_EQ(d.History.size(), 2u);
    const AtaTaskFile& dir = d.History[0].taskFile;
    EXPECT_EQ(dir.Command, 0xB0);
    EXPECT_EQ(dir.Features, 0xD5);
    EXPECT_EQ(dir.SectorNumber, 0x00);
    EXPECT_EQ(dir.SectorCount, 1);
    EXPECT_EQ(dir.CylinderLow, 0x4F);
    EXPECT_EQ(dir.CylinderHigh, 0xC2);
    const AtaTaskFile& log = d.History[1].taskFile;
    EXPECT_EQ(log.Features, 0xD5);
    EXPECT_EQ(log.SectorNumber, 0x30);
    EXPECT_EQ(log.SectorCount, 4) << "every page the directory lists";
    EXPECT_EQ(log.CylinderLow, 0x4F);
    EXPECT_EQ(log.CylinderHigh, 0xC2);
}

TEST_F(IdentifyDataLogTest, NominalBufferSizeRules) {
    struct Case {
        const char* what;
        uint64_t q;
        uint32_t cacheBefore, cacheAfter;
        const char* log;
    };
    const Case cases[] = {
        {"not larger than the cache", Valid | 0x02000000, 0x04000000, 0x04000000, ""},
        {"equal to the cache", Valid | 0x02000000, 0x02000000, 0x02000000, ""},
        {"largest that fits", Valid | 0x7FFFFFFF, 0, 0x7FFFFFFF, ""},
        {"overflow", Valid | 0x80000000, 0x00800000, 0x00800000, "DEBUG - HardwareCache Buffer Size overflow"},
        {"overflow, high bits", Valid | 0x0000000100000000ULL, 0, 0, "DEBUG - HardwareCache Buffer Size overflow"},
        {"raw value", 0x02000000, 0x00800000, 0x00800000, "DEBUG - Nominal Buffer Size (RAW) - 33554432"},
        {"raw, large", 0x7000000000000000ULL, 0, 0, "DEBUG - Nominal Buffer Size (RAW) - 8070450532247928832"},
        {"nothing", 0, 0x00800000, 0x00800000, ""},
        {"valid zero", Valid, 0x00800000, 0x00800000, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(InstallLog(c.q));
        drive->HardwareCache = c.cacheBefore;
        ReadIdentifyDataLog(*drive);
        EXPECT_EQ(drive->HardwareCache, c.cacheAfter);
        EXPECT_EQ(Log(), c.log);
    }
}

TEST_F(IdentifyDataLogTest, CapacityPageCountsOnlyWithItsHeaderAndWhenRead) {
    std::vector<uint8_t> log = sim::IdentifyDataLog(Valid | 0x02000000, 0);
    log[1028 + 3] = 0x00;  // the page's valid bit
    ASSERT_NO_FATAL_FAILURE(Install({{IdentifyDeviceDataLog, log}}));
    ReadIdentifyDataLog(*drive);
    EXPECT_EQ(drive->HardwareCache, 0u);
    EXPECT_EQ(Log(), "");

    log = sim::IdentifyDataLog(Valid | 0x02000000, 0);
    log[1024] = 0x03;  // another page number
    ASSERT_NO_FATAL_FAILURE(Install({{IdentifyDeviceDataLog, log}}));
    ReadIdentifyDataLog(*drive);
    EXPECT_EQ(drive->HardwareCache, 0u);

    // A log of two pages ends before the capacity page.
    log = sim::IdentifyDataLog(Valid | 0x02000000, 0);
    log.resize(1024);
    ASSERT_NO_FATAL_FAILURE(Install({{IdentifyDeviceDataLog, log}}));
    ReadIdentifyDataLog(*drive);
    EXPECT_EQ(drive->HardwareCache, 0u);
    ASSERT_EQ(Simulated().History.size(), 2u);
    EXPECT_EQ(Simulated().History[1].taskFile.SectorCount, 2);
}

TEST_F(IdentifyDataLogTest, HalfAGigabyteOnAnUnknownSsdNamesTheControllers) {
    const char* line = "DEBUG - This is Realtek or SMI controller.";
    ASSERT_NO_FATAL_FAILURE(InstallLog(Valid | 0x20000000));
    drive->IsSSD = true;
    ReadIdentifyDataLog(*drive);
    EXPECT_EQ(Log(), line);
    EXPECT_EQ(drive->HardwareCache, 0x20000000u);

    // Even when the cache is already larger the line is written.
    ASSERT_NO_FATAL_FAILURE(InstallLog(Valid | 0x20000000));
    drive->IsSSD = true;
    drive->HardwareCache = 0x40000000;
    ReadIdentifyDataLog(*drive);
    EXPECT_EQ(Log(), line);
    EXPECT_EQ(drive->HardwareCache, 0x40000000u);

    ASSERT_NO_FATAL_FAILURE(InstallLog(Valid | 0x20000000));
    ReadIdentifyDataLog(*drive);
    EXPECT_EQ(Log(), "") << "not an SSD";

    ASSERT_NO_FATAL_FAILURE(InstallLog(Valid | 0x20000000));
    drive->IsSSD = true;
    drive->ControllerID = 17;
    ReadIdentifyDataLog(*drive);
    EXPECT_EQ(Log(), "") << "controller already known";

    ASSERT_NO_FATAL_FAILURE(InstallLog(Valid | 0x10000000));
    drive->IsSSD = true;
    ReadIdentifyDataLog(*drive);
    EXPECT_EQ(Log(), "") << "another size";

    ASSERT_NO_FATAL_FAILURE(InstallLog(0x20000000));
    drive->IsSSD = true;
    ReadIdentifyDataLog(*drive);
    EXPECT_EQ(Log(), "DEBUG - Nominal Buffer Size (RAW) - 536870912") << "a raw value names no controller";
}

TEST_F(IdentifyDataLogTest, SctIsAnnouncedOnlyWhenNothingAnnouncedItBefore) {
    const uint64_t sct = Valid | 1;
    struct Case {
        const char* what;
        uint64_t capabilities;
        std::function<void(DriveRecord&)> prepare;
        bool logged;
    };
    auto word = [](unsigned w, uint16_t v) {
        return [w, v](DriveRecord& d) { Put16(d.IdentifyData, 2 * w, v); };
    };
    const Case cases[] = {
        {"nothing announced before", sct, [](DriveRecord&) {}, true},
        {"word 87 announces error logging", sct, word(87, 0x4001), false},
        {"word 84 announces error logging", sct, word(84, 0x4001), false},
        {"word 87 not valid", sct, word(87, 0xC001), true},
        {"word 84 not valid", sct, word(84, 0x0001), true},
        {"S.M.A.R.T. data announces error logging", sct, [](DriveRecord& d) { d.SmartData[370] = 0x01; }, false},
        {"IDENTIFY announced SCT", sct, [](DriveRecord& d) { d.SCT_Support = true; }, false},
        {"capability without its valid bit", 1, [](DriveRecord&) {}, false},
        {"valid bit without the capability", Valid, [](DriveRecord&) {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(InstallLog(0, c.capabilities));
        c.prepare(*drive);
        ReadIdentifyDataLog(*drive);
        EXPECT_EQ(Log(), c.logged ? "DEBUG - SCT SUPPORTED" : "");
    }

    // The capabilities page needs its own header.
    std::vector<uint8_t> log = sim::IdentifyDataLog(0, sct);
    log[1536] = 0x02;
    ASSERT_NO_FATAL_FAILURE(Install({{IdentifyDeviceDataLog, log}}));
    ReadIdentifyDataLog(*drive);
    EXPECT_EQ(Log(), "");
}

TEST_F(IdentifyDataLogTest, DriveWithoutTheLogStaysSilent) {
    // The directory lists only a host log: no page count at address 0x30.
    ASSERT_NO_FATAL_FAILURE(Install({{0x80, std::vector<uint8_t>(512, 0)}}));
    drive->HardwareCache = 0x00800000;
    ReadIdentifyDataLog(*drive);
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(drive->HardwareCache, 0x00800000u);
    EXPECT_EQ(Simulated().RequestCount(), 1u) << "only the directory is read";
}

TEST_F(IdentifyDataLogTest, FailedLogReadIsNotReported) {
    ASSERT_NO_FATAL_FAILURE(InstallLog(Valid | 0x02000000));
    // The drive answers the directory (address 0x30 has four pages) but refuses the log itself.
    sim::SetReplyHook([](uint32_t, bool result, uint8_t*, uint32_t, uint32_t&) {
        return result && sim::Current().Drives.at(0).History.back().taskFile.SectorNumber != IdentifyDeviceDataLog;
    });
    drive->HardwareCache = 0x00800000;
    ReadIdentifyDataLog(*drive);
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(drive->HardwareCache, 0x00800000u);
    const auto& history = Simulated().History;
    EXPECT_TRUE(std::any_of(history.begin(), history.end(),
                            [](const sim::Request& r) { return r.taskFile.SectorNumber == 0x30; }))
        << "the log itself was asked for";
}

TEST_F(IdentifyDataLogTest, FailedDirectoryReadIsReportedUnlessUsbOrLegacy) {
    const sim::Fault refuseReadLog{AccessMethod::ATA, 0xB0, 0xD5, sim::FaultKind::Refuse};
    sim::SetLocalTime(14, 5, 9);
    ASSERT_NO_FATAL_FAILURE(InstallLog(Valid | 0x02000000));
    Simulated().Faults = {refuseReadLog};
    ReadIdentifyDataLog(*drive);
    EXPECT_EQ(Log(), "DEBUG - IOCTL failed.\r\nCommand - SMART\r\nFeatures - READ LOG SECTOR\r\nSectorNumber - 0"
                     "\r\nTime - " + platform::GetTimeFormat());
    EXPECT_EQ(drive->HardwareCache, 0u);
    // Three ATA attempts, then SCSI, OLD, IDE and SAT once each; the log itself is never asked for.
    const sim::Drive& d = Simulated();
    EXPECT_EQ(d.Requests.at(AccessMethod::ATA), 3u);
    EXPECT_EQ(d.RequestCount(), 7u);
    for (const sim::Request& r : d.History) EXPECT_EQ(r.taskFile.SectorNumber, 0);

    ASSERT_NO_FATAL_FAILURE(InstallLog(Valid | 0x02000000));
    Simulated().Faults = {refuseReadLog};
    drive->IsUSB = true;
    ReadIdentifyDataLog(*drive);
    EXPECT_EQ(Log(), "") << "USB drive";
    EXPECT_EQ(Simulated().RequestCount(), 5u) << "SAT, ATA, SCSI, OLD, IDE";

    ASSERT_NO_FATAL_FAILURE(InstallLog(Valid | 0x02000000));
    Simulated().Faults = {refuseReadLog};
    drive->UsedOLD = true;
    ReadIdentifyDataLog(*drive);
    EXPECT_EQ(Log(), "") << "drive that used the legacy transport";
}

}  // namespace
