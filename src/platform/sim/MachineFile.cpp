// Reads a machine description: one [drive] section per drive, [device] sections for the device
// tree above the drives, [volume] sections for the drive letters, an optional [machine] section;
// "key = value" lines; lines starting with '#' are comments.
// Page files are raw binary, named relative to the description's folder.
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/sim/SimMachine.h"

namespace sim {
namespace {

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return std::string();
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

std::vector<std::string> Words(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

bool ParseMethod(const std::string& name, AccessMethod& method) {
    for (AccessMethod m : AllAccessMethods)
        if (name == AccessMethodName(m)) {
            method = m;
            return true;
        }
    return false;
}

bool ParseHexByte(const std::string& text, int& value) {
    if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    value = static_cast<int>(std::strtol(text.c_str(), nullptr, 16));
    return true;
}

bool ParseFaultKind(const std::string& name, FaultKind& kind) {
    if (name == "refuse") kind = FaultKind::Refuse;
    else if (name == "fail-first") kind = FaultKind::FailFirst;
    else if (name == "no-data") kind = FaultKind::NoData;
    else if (name == "error-status") kind = FaultKind::ErrorStatus;
    else if (name == "zero-bytes") kind = FaultKind::ZeroBytes;
    else return false;
    return true;
}

// "METHOD [CMD[/FEATURES]] KIND [COUNT]", command and features in hexadecimal; the one method
// named in two words ("JMicron NVMe") counts as one.
bool ParseFault(const std::string& value, Fault& fault, std::string& why) {
    std::vector<std::string> w = Words(value);
    const std::string twoWords = w.size() >= 2 ? w[0] + " " + w[1] : std::string();
    if (twoWords == AccessMethodName(AccessMethod::JMicronNVMe)) {
        w.erase(w.begin());
        w[0] = twoWords;
    }
    if (w.size() < 2 || !ParseMethod(w[0], fault.method)) {
        why = "a fault is METHOD [CMD[/FEATURES]] KIND [COUNT]";
        return false;
    }
    size_t k = 1;
    if (w[k].find_first_not_of("0123456789abcdefABCDEF/") == std::string::npos) {
        const size_t slash = w[k].find('/');
        if (!ParseHexByte(w[k].substr(0, slash), fault.command) ||
            (slash != std::string::npos && !ParseHexByte(w[k].substr(slash + 1), fault.features))) {
            why = "bad command in fault: " + w[k];
            return false;
        }
        if (++k >= w.size()) {
            why = "a fault needs a kind";
            return false;
        }
    }
    if (!ParseFaultKind(w[k], fault.kind)) {
        why = "unknown fault kind " + w[k];
        return false;
    }
    if (fault.kind == FaultKind::FailFirst) {
        if (k + 1 >= w.size()) {
            why = "fail-first needs a count";
            return false;
        }
        fault.count = static_cast<unsigned>(std::strtoul(w[k + 1].c_str(), nullptr, 10));
    }
    return true;
}

// No file a key names holds more than 255 sectors of a log; a longer one (a device that never ends,
// as /dev/zero) is refused after that much has been read.
constexpr std::streamsize LargestPageFile = 255 * 512;

bool ReadBinary(const std::string& folder, const std::string& name, std::vector<uint8_t>& bytes,
                std::string& why) {
    std::ifstream in(folder + name, std::ios::binary);
    if (!in) {
        why = "cannot read " + name;
        return false;
    }
    bytes.resize(LargestPageFile + 1);
    in.read(reinterpret_cast<char*>(bytes.data()), LargestPageFile + 1);
    bytes.resize(static_cast<size_t>(in.gcount()));
    if (bytes.size() <= static_cast<size_t>(LargestPageFile)) return true;
    why = name + " is longer than any page (" + std::to_string(LargestPageFile) + " bytes)";
    return false;
}

bool ReadPage(const std::string& folder, const std::string& name, size_t size, std::vector<uint8_t>& page,
              std::string& why) {
    if (!ReadBinary(folder, name, page, why)) return false;
    if (page.size() == size) return true;
    why = name + " must be " + std::to_string(size) + " bytes, not " + std::to_string(page.size());
    return false;
}

bool ReadLogPages(const std::string& folder, const std::string& name, std::vector<uint8_t>& log, std::string& why) {
    if (!ReadBinary(folder, name, log, why)) return false;
    if (!log.empty() && log.size() % 512 == 0 && log.size() <= 255 * 512) return true;
    why = name + " must hold 1 to 255 whole 512-byte sectors";
    return false;
}

bool ParseBool(const std::string& value, bool& out, std::string& why) {
    if (value == "yes") out = true;
    else if (value == "no") out = false;
    else why = "expected yes or no, not " + value;
    return why.empty();
}

bool ParseClasses(const std::string& value, Drive& d, std::string& why) {
    d.InDiskClass = d.InStorage2Class = false;
    for (const std::string& c : Words(value)) {
        if (c == "disk") d.InDiskClass = true;
        else if (c == "storage2") d.InStorage2Class = true;
        else why = "unknown interface class " + c;
    }
    return why.empty();
}

// A bridge's protocol is no driver stack's: the stack passes it on inside SAT's pass-through.
bool ParseMethods(const std::string& value, Drive& d, std::string& why) {
    d.Methods.clear();
    for (const std::string& m : Words(value)) {
        AccessMethod method;
        if (!ParseMethod(m, method)) why = "unknown access method " + m;
        else if (IsBridgeProtocol(method)) why = m + " is a bridge: say bridge = " + m + " and methods = SAT";
        else d.Methods.push_back(method);
    }
    return why.empty();
}

// "bridge = NAME": the chip in front of the drive, SAT or one of the bridges' own protocols.
bool ParseBridge(const std::string& value, AccessMethod& bridge, std::string& why) {
    AccessMethod m;
    if (ParseMethod(value, m) && (m == AccessMethod::SAT || IsBridgeProtocol(m))) {
        bridge = m;
        return true;
    }
    why = "unknown bridge " + value + " (SAT, ASMedia, Realtek, JMicron NVMe, JMicron, Prolific, Sunplus or Cypress)";
    return false;
}

bool ParseLog(const std::string& key, const std::string& value, const std::string& folder, Drive& d,
              std::string& why) {
    int address;
    if (!ParseHexByte(key.substr(4), address) || address == 0) {
        why = "log.XX takes a hexadecimal log address 01..FF";
        return false;
    }
    return ReadLogPages(folder, value, d.Logs[static_cast<uint8_t>(address)], why);
}

// A decimal or 0x-prefixed hexadecimal number up to `highest`.
bool ParseNumber(const std::string& text, uint64_t highest, uint64_t& value, std::string& why) {
    const bool hex = text.compare(0, 2, "0x") == 0;
    const char* digits = text.c_str() + (hex ? 2 : 0);
    char* end = nullptr;
    errno = 0;
    if (std::isxdigit(static_cast<unsigned char>(digits[0]))) value = std::strtoull(digits, &end, hex ? 16 : 10);
    if (end && *end == '\0' && errno == 0 && value <= highest) return true;
    why = "bad number " + text;
    return false;
}

bool ParseAddress(const std::string& text, int& address, std::string& why) {
    uint64_t v = 0;
    if (!ParseNumber(text, 0x7FFFFFFF, v, why)) return false;
    address = static_cast<int>(v);
    return true;
}

bool ParseCount(const std::string& text, unsigned& count, std::string& why) {
    uint64_t v = 0;
    if (!ParseNumber(text, 0xFFFFFFFF, v, why)) return false;
    count = static_cast<unsigned>(v);
    return true;
}

bool ParseDeviceNumber(const std::string& value, Drive& d, std::string& why) {
    d.DeviceNumberRefused = value == "refused";
    return d.DeviceNumberRefused || ParseAddress(value, d.DeviceNumber, why);
}

bool ParseTrim(const std::string& value, TrimState& trim, std::string& why) {
    if (value == "enabled") trim = TrimState::Enabled;
    else if (value == "disabled") trim = TrimState::Disabled;
    else if (value == "refused") trim = TrimState::Refused;
    else why = "trim is enabled, disabled or refused";
    return why.empty();
}

constexpr size_t NvmeIdentifySize = 4096, NvmeHealthLogSize = 512, NvmeSelfTestLogSize = 564;
constexpr size_t NvmeErrorEntrySize = 64, NvmeMostErrorEntries = 256, NvmeMostFeatureData = 4096;
constexpr uint8_t NvmeErrorLogPage = 0x01;
const std::string NvmeNamespaceKey = "nvme-namespace.", NvmeFeatureKey = "nvme-feature.";

// "nvme-namespace.N": N is a namespace identifier; FFFFFFFF, which names every namespace, is none.
bool ParseNvmeNamespace(const std::string& key, const std::string& value, const std::string& folder, Drive& d,
                        std::string& why) {
    uint64_t id = 0;
    if (!ParseNumber(key.substr(NvmeNamespaceKey.size()), 0xFFFFFFFE, id, why) || id == 0) {
        why = "nvme-namespace.N takes a namespace identifier 1..4294967294";
        return false;
    }
    return ReadPage(folder, value, NvmeIdentifySize, d.NvmeNamespaces[static_cast<uint32_t>(id)], why);
}

// Whole 64-byte entries; a controller keeps at most 256 of them.
bool ReadNvmeErrorLog(const std::string& folder, const std::string& name, Drive& d, std::string& why) {
    std::vector<uint8_t>& log = d.NvmeLogs[NvmeErrorLogPage];
    if (!ReadBinary(folder, name, log, why)) return false;
    if (!log.empty() && log.size() % NvmeErrorEntrySize == 0 && log.size() <= NvmeMostErrorEntries * NvmeErrorEntrySize)
        return true;
    why = name + " must hold 1 to 256 whole 64-byte entries";
    return false;
}

// "nvme-feature.XX = VALUE [DATA-FILE]": the completion's dword 0 of Get Features XX, and the data
// the feature returns beside it, if any.
bool ParseNvmeFeature(const std::string& key, const std::string& value, const std::string& folder, Drive& d,
                      std::string& why) {
    int id = 0;
    if (!ParseHexByte(key.substr(NvmeFeatureKey.size()), id) || id == 0) {
        why = "nvme-feature.XX takes a hexadecimal feature identifier 01..FF";
        return false;
    }
    const std::vector<std::string> w = Words(value);
    uint64_t dword = 0;
    if (w.empty() || w.size() > 2) {
        why = "a feature is VALUE [DATA-FILE]";
        return false;
    }
    if (!ParseNumber(w[0], 0xFFFFFFFF, dword, why)) return false;
    const uint8_t feature = static_cast<uint8_t>(id);
    d.NvmeFeatures[feature] = static_cast<uint32_t>(dword);
    if (w.size() == 1) return true;
    std::vector<uint8_t>& data = d.NvmeFeatureData[feature];
    if (!ReadBinary(folder, w[1], data, why)) return false;
    if (!data.empty() && data.size() <= NvmeMostFeatureData) return true;
    why = w[1] + " must hold 1 to 4096 bytes";
    return false;
}

bool ApplyNvmeKey(Drive& d, const std::string& key, const std::string& value, const std::string& folder,
                  std::string& why) {
    if (key == "nvme-identify") return ReadPage(folder, value, NvmeIdentifySize, d.NvmeIdentifyController, why);
    if (key == "nvme-health-log")
        return ReadPage(folder, value, NvmeHealthLogSize, d.NvmeLogs[::NvmeHealthLogPage], why);
    if (key == "nvme-self-test-log")
        return ReadPage(folder, value, NvmeSelfTestLogSize, d.NvmeLogs[::NvmeSelfTestLogPage], why);
    if (key == "nvme-error-log") return ReadNvmeErrorLog(folder, value, d, why);
    if (key.compare(0, NvmeNamespaceKey.size(), NvmeNamespaceKey) == 0)
        return ParseNvmeNamespace(key, value, folder, d, why);
    if (key.compare(0, NvmeFeatureKey.size(), NvmeFeatureKey) == 0)
        return ParseNvmeFeature(key, value, folder, d, why);
    why = "unknown key " + key;
    return false;
}

// "MAXSPEED MAXWIDTH CURRENTSPEED CURRENTWIDTH"
bool ParseLink(const std::string& value, DeviceNode& n, std::string& why) {
    const std::vector<std::string> w = Words(value);
    uint32_t* const fields[] = {&n.MaxLinkSpeed, &n.MaxLinkWidth, &n.CurrentLinkSpeed, &n.CurrentLinkWidth};
    if (w.size() != 4) {
        why = "link is MAXSPEED MAXWIDTH CURRENTSPEED CURRENTWIDTH";
        return false;
    }
    for (size_t i = 0; i < 4; ++i) {
        uint64_t v = 0;
        if (!ParseNumber(w[i], 0xFFFFFFFF, v, why)) return false;
        *fields[i] = static_cast<uint32_t>(v);
    }
    n.PciExpress = true;
    return true;
}

bool ApplyDeviceKey(DeviceNode& n, const std::string& key, const std::string& value, std::string& why) {
    if (key == "instance-id") n.InstanceId = value;
    else if (key == "parent") n.Parent = value;
    else if (key == "enumerator") n.Enumerator = value;
    else if (key == "address") return ParseAddress(value, n.Address, why);
    else if (key == "driver-desc") n.DriverDesc = value;
    else if (key == "hardware-ids") n.HardwareIds = Words(value);
    else if (key == "matching-id") n.MatchingDeviceId = value;
    else if (key == "link") return ParseLink(value, n, why);
    else why = "unknown key " + key;
    return why.empty();
}

// "DISK OFFSET LENGTH", offset and length in bytes.
bool ParseExtent(const std::string& value, Volume& v, std::string& why) {
    const std::vector<std::string> w = Words(value);
    uint64_t disk = 0;
    DiskExtent e;
    if (w.size() != 3) {
        why = "extent is DISK OFFSET LENGTH";
        return false;
    }
    if (!ParseNumber(w[0], 0xFFFFFFFF, disk, why) || !ParseNumber(w[1], UINT64_MAX, e.StartingOffset, why) ||
        !ParseNumber(w[2], UINT64_MAX, e.Length, why))
        return false;
    e.DiskNumber = static_cast<uint32_t>(disk);
    v.Extents.push_back(e);
    return true;
}

bool ApplyVolumeKey(Volume& v, const std::string& key, const std::string& value, std::string& why) {
    if (key == "extent") return ParseExtent(value, v, why);
    if (key == "opens") return ParseBool(value, v.Opens, why);
    if (key != "letter") why = "unknown key " + key;
    else if (value.size() == 1 && std::isalpha(static_cast<unsigned char>(value[0])))
        v.Letter = static_cast<char>(std::toupper(static_cast<unsigned char>(value[0])));
    else why = "a letter is one of A to Z";
    return why.empty();
}

// What a machine event takes after its kind: a drive, a value, or a drive and the kind of self-test.
enum class EventTakes { Nothing, Drive, Value, DriveAndTest };

struct SystemEventName {
    const char* Name;
    SystemEventKind Kind;
    EventTakes Takes;
};
const SystemEventName SystemEventNames[] = {
    {"suspend", SystemEventKind::Suspend, EventTakes::Nothing},
    {"resume", SystemEventKind::Resume, EventTakes::Nothing},
    {"wake-unattended", SystemEventKind::ResumeAutomatic, EventTakes::Nothing},
    {"explorer-restart", SystemEventKind::ExplorerRestart, EventTakes::Nothing},
    {"program-exit", SystemEventKind::ProgramExit, EventTakes::Nothing},
    {"program-start", SystemEventKind::ProgramStart, EventTakes::Nothing},
    {"remove", SystemEventKind::RemoveDrive, EventTakes::Drive},
    {"hold-boxes", SystemEventKind::HoldBoxes, EventTakes::Value},
    {"self-test-start", SystemEventKind::StartSelfTest, EventTakes::DriveAndTest},
};

// "dN": the index of a drive the machine already has.
bool ParseDriveIndex(const std::string& word, const Machine& m, size_t& index, std::string& why) {
    uint64_t n = 0;
    if (word.size() < 2 || word[0] != 'd' || !ParseNumber(word.substr(1), 0xFFFF, n, why) || n >= m.Drives.size()) {
        why = "dN names one of the drives described so far";
        return false;
    }
    index = static_cast<size_t>(n);
    return true;
}

bool ParseDriveEvent(const std::vector<std::string>& words, Drive& d, uint64_t minute, std::string& why);

bool ParseEventArguments(const std::vector<std::string>& w, EventTakes takes, const Machine& m, SystemEvent& e,
                         std::string& why) {
    const size_t count = takes == EventTakes::Nothing ? 0 : takes == EventTakes::DriveAndTest ? 2 : 1;
    uint64_t value = 0;
    if (w.size() != count) why = "the event takes " + std::to_string(count) + " argument(s)";
    else if (takes == EventTakes::Drive) ParseDriveIndex(w[0], m, e.Drive, why);
    else if (takes == EventTakes::Value && ParseNumber(w[0], 0xFFFFFFFF, value, why)) e.Value = static_cast<uint32_t>(value);
    else if (takes == EventTakes::DriveAndTest && ParseDriveIndex(w[0], m, e.Drive, why)) {
        if (w[1] == "short" || w[1] == "extended") e.Value = w[1] == "short" ? 1 : 2;
        else why = "a self-test is short or extended";
    }
    return why.empty();
}

// "MINUTE KIND [ARGUMENTS] [every MINUTES]" for the machine, or "MINUTE dN DRIVE-EVENT" for one of
// its drives.
bool ParseSystemEvent(const std::string& value, Machine& m, std::string& why) {
    std::vector<std::string> w = Words(value);
    uint64_t minute = 0, every = 0;
    size_t drive = 0;
    if (w.size() < 2 || !ParseNumber(w[0], UINT64_MAX / 60000, minute, why)) {
        why = "a machine event is MINUTE KIND [ARGUMENTS] [every MINUTES] or MINUTE dN DRIVE-EVENT";
        return false;
    }
    if (w[1][0] == 'd' && std::isdigit(static_cast<unsigned char>(w[1].back())))
        return ParseDriveIndex(w[1], m, drive, why) &&
               ParseDriveEvent(std::vector<std::string>(w.begin() + 2, w.end()), m.Drives[drive], minute, why);
    if (w.size() >= 4 && w[w.size() - 2] == "every") {
        if (!ParseNumber(w.back(), UINT64_MAX / 60000, every, why) || every == 0) {
            why = "every takes a number of minutes above 0";
            return false;
        }
        w.resize(w.size() - 2);
    }
    for (const SystemEventName& name : SystemEventNames) {
        if (w[1] != name.Name) continue;
        SystemEvent e;
        e.AtMilliseconds = minute * 60000;
        e.Kind = name.Kind;
        e.EveryMilliseconds = every * 60000;
        if (!ParseEventArguments(std::vector<std::string>(w.begin() + 2, w.end()), name.Takes, m, e, why)) return false;
        m.SystemEvents.push_back(e);
        return true;
    }
    why = "unknown machine event " + w[1];
    return false;
}

const char* const AlertKinds[] = {"remap",           "pre-failure",           "non-critical",     "temperature",
                                  "lost",            "self-test-passed",      "self-test-failed",
                                  "self-test-interrupted"};

// "MINUTE dN KIND": the alert the program owes at that minute.
bool ParseExpectedAlert(const std::string& value, Machine& m, std::string& why) {
    const std::vector<std::string> w = Words(value);
    ExpectedAlert alert;
    uint64_t minute = 0;
    if (w.size() != 3 || !ParseNumber(w[0], UINT64_MAX / 60000, minute, why)) {
        why = "an expected alert is MINUTE dN KIND";
        return false;
    }
    if (!ParseDriveIndex(w[1], m, alert.Drive, why)) return false;
    for (const char* kind : AlertKinds)
        if (w[2] == kind) alert.Kind = kind;
    if (alert.Kind.empty()) {
        why = "unknown alert " + w[2];
        return false;
    }
    alert.AtMilliseconds = minute * 60000;
    m.ExpectedAlerts.push_back(alert);
    return true;
}

// "built-in": the machine starts as the built-in one, which the sections and events after it extend.
bool ApplyBase(const std::string& value, Machine& m, std::string& why) {
    if (value != "built-in") why = "the only base is built-in";
    else if (!m.Drives.empty() || !m.Devices.empty() || !m.Volumes.empty()) why = "base comes before every section";
    else m = DefaultMachine();
    return why.empty();
}

bool ApplyMachineKey(Machine& m, const std::string& key, const std::string& value, std::string& why) {
    uint64_t v = 0;
    if (key == "event") return ParseSystemEvent(value, m, why);
    if (key == "expect") return ParseExpectedAlert(value, m, why);
    if (key == "base") return ApplyBase(value, m, why);
    if (key == "dialog-minutes") return ParseCount(value, m.DialogMinutes, why);
    if (key != "page-size") why = "unknown key " + key;
    else if (ParseNumber(value, 0xFFFFFFFF, v, why)) m.PageSize = static_cast<uint32_t>(v);
    return why.empty();
}

// Opens the section a line names; false when it names none.
bool OpenSection(const std::string& line, Machine& m) {
    if (line == "[drive]") m.Drives.emplace_back();
    else if (line == "[device]") m.Devices.emplace_back();
    else if (line == "[volume]") m.Volumes.emplace_back();
    else if (line != "[machine]") return false;
    return true;
}

bool ParsePowerState(const std::string& value, PowerState& state, std::string& why) {
    if (value == "active") state = PowerState::Active;
    else if (value == "idle") state = PowerState::Idle;
    else if (value == "standby") state = PowerState::Standby;
    else why = "power is active, idle or standby";
    return why.empty();
}

struct EventName {
    const char* Name;
    EventKind Kind;
    unsigned Values;
    uint64_t Highest;  // of each value
};
const EventName EventNames[] = {
    {"remap", EventKind::Remap, 1, 0xFFFFFFFF},
    {"sleep", EventKind::Sleep, 0, 0},
    {"idle", EventKind::Idle, 0, 0},
    {"wake", EventKind::Wake, 0, 0},
    {"temperature", EventKind::Temperature, 1, 255},
    {"checksum-error", EventKind::ChecksumError, 0, 0},
    {"stop-answering", EventKind::StopAnswering, 0, 0},
    {"self-test", EventKind::SelfTestResult, 1, 15},
    {"remap-reset", EventKind::RemapReset, 1, 0xFFFFFFFF},
    {"attribute", EventKind::Attribute, 2, 255},
    {"damaged-page", EventKind::DamagedPage, 0, 0},
    {"self-test-hangs", EventKind::SelfTestHangs, 0, 0},
    {"page-reads-fail", EventKind::PageReadsFail, 0, 0},
};

// "KIND [VALUE...]" at `minute`: a value for the kinds that take one (a count of sectors, degrees
// Celsius, a self-test result 0..15), two for an attribute (its identifier and current value).
bool ParseDriveEvent(const std::vector<std::string>& w, Drive& d, uint64_t minute, std::string& why) {
    for (const EventName& e : EventNames) {
        if (w.empty() || w[0] != e.Name) continue;
        if (w.size() != e.Values + 1) {
            static const char* const Counts[] = {"no value", "one value", "two values"};
            why = std::string("event ") + e.Name + " takes " + Counts[e.Values];
            return false;
        }
        uint64_t values[2] = {0, 0};
        for (unsigned i = 0; i < e.Values; ++i)
            if (!ParseNumber(w[1 + i], e.Highest, values[i], why)) return false;
        TimelineEvent event;
        event.AtMilliseconds = minute * 60000;
        event.Kind = e.Kind;
        event.Value = static_cast<uint32_t>(e.Values == 2 ? values[0] << 8 | values[1] : values[0]);
        d.Events.push_back(event);
        return true;
    }
    why = "unknown event " + (w.empty() ? std::string() : w[0]);
    return false;
}

// "MINUTE KIND [VALUE...]": the minute of uptime and the event.
bool ParseEvent(const std::string& value, Drive& d, std::string& why) {
    const std::vector<std::string> w = Words(value);
    uint64_t minute = 0;
    if (w.size() < 2 || !ParseNumber(w[0], UINT64_MAX / 60000, minute, why)) {
        why = "an event is MINUTE KIND [VALUE]";
        return false;
    }
    return ParseDriveEvent(std::vector<std::string>(w.begin() + 1, w.end()), d, minute, why);
}

bool ParseMedia(const std::string& value, Media& media, std::string& why) {
    if (value == "hdd") media = Media::Hdd;
    else if (value == "ssd") media = Media::Ssd;
    else if (value == "nvme") media = Media::Nvme;
    else why = "media is hdd, ssd or nvme";
    return why.empty();
}

bool ParseRate(const std::string& text, uint32_t& rate, std::string& why) {
    uint64_t v = 0;
    if (!ParseNumber(text, 0xFFFFFFFF, v, why)) return false;
    if (v == 0) why = "a rate must be above 0";
    rate = static_cast<uint32_t>(v);
    return why.empty();
}

// "OUTER [INNER]" in MiB/s: the medium's rate at the start and at the end of the disk.
bool ParseReadSpeed(const std::string& value, RawDisk& raw, std::string& why) {
    const std::vector<std::string> w = Words(value);
    if (w.empty() || w.size() > 2) {
        why = "read-speed is OUTER [INNER] in MiB/s";
        return false;
    }
    return ParseRate(w[0], raw.OuterMiBPerSecond, why) && ParseRate(w.back(), raw.InnerMiBPerSecond, why);
}

bool ParseFailureLimit(const std::string& text, int64_t& limit, std::string& why) {
    uint64_t v = 0;
    if (!ParseNumber(text, 0xFFFFFFFF, v, why)) return false;
    limit = static_cast<int64_t>(v);
    return true;
}

// The raw reads' model: media, capacity, timing and scripted failures. False when the key is none
// of these.
bool ApplyRawKey(RawDisk& raw, const std::string& key, const std::string& value, std::string& why) {
    if (key == "media") ParseMedia(value, raw.Kind, why);
    else if (key == "capacity") ParseNumber(value, UINT64_MAX, raw.Capacity, why);
    else if (key == "read-speed") ParseReadSpeed(value, raw, why);
    else if (key == "interface-speed") ParseRate(value, raw.InterfaceMiBPerSecond, why);
    else if (key == "access-time") ParseRate(value, raw.AccessMicroseconds, why);
    else if (key == "rpm") ParseCount(value, raw.Rpm, why);
    else if (key == "reads-fail-after") ParseFailureLimit(value, raw.ReadsBeforeFailure, why);
    else if (key == "seeks-fail-after") ParseFailureLimit(value, raw.SeeksBeforeFailure, why);
    else return false;
    return true;
}

bool ApplyKey(Drive& d, const std::string& key, const std::string& value, const std::string& folder,
              std::string& why) {
    if (key == "path") d.DevicePath = value;
    else if (key == "storage2-path") d.Storage2Path = value;
    else if (key == "parent") d.Parent = value;
    else if (key == "opens") return ParseBool(value, d.Opens, why);
    else if (key == "smart-enabled") return ParseBool(value, d.SmartEnabled, why);
    else if (key == "classes") return ParseClasses(value, d, why);
    else if (key == "methods") return ParseMethods(value, d, why);
    else if (key == "bridge") return ParseBridge(value, d.Bridge, why);
    else if (key == "identify") return ReadPage(folder, value, 512, d.Identify, why);
    else if (key == "smart-data") return ReadPage(folder, value, 512, d.SmartData, why);
    else if (key == "smart-thresholds") return ReadPage(folder, value, 512, d.SmartThresholds, why);
    else if (key.compare(0, 4, "log.") == 0) return ParseLog(key, value, folder, d, why);
    else if (key.compare(0, 5, "nvme-") == 0) return ApplyNvmeKey(d, key, value, folder, why);
    else if (key == "address") return ParseAddress(value, d.Address, why);
    else if (key == "device-number") return ParseDeviceNumber(value, d, why);
    else if (key == "trim") return ParseTrim(value, d.Trim, why);
    else if (key == "power") return ParsePowerState(value, d.Power.State, why);
    else if (key == "power-query-failures") return ParseCount(value, d.Power.QueryFailures, why);
    else if (key == "event") return ParseEvent(value, d, why);
    else if (ApplyRawKey(d.Raw, key, value, why)) return why.empty();
    else if (key == "fault") {
        Fault f;
        if (!ParseFault(value, f, why)) return false;
        d.Faults.push_back(f);
    } else {
        why = "unknown key " + key;
        return false;
    }
    return true;
}

// A key of the section last opened.
void ApplySectionKey(const std::string& section, Machine& m, const std::string& key, const std::string& value,
                     const std::string& folder, std::string& why) {
    if (section == "[drive]") ApplyKey(m.Drives.back(), key, value, folder, why);
    else if (section == "[device]") ApplyDeviceKey(m.Devices.back(), key, value, why);
    else if (section == "[volume]") ApplyVolumeKey(m.Volumes.back(), key, value, why);
    else ApplyMachineKey(m, key, value, why);
}

}  // namespace

bool LoadMachineFile(const std::string& path, Machine& machine, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot open";
        return false;
    }
    const size_t slash = path.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    machine = Machine();
    unsigned lineNumber = 0;
    std::string section;
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;  // device paths hold '#': only whole lines are comments
        std::string why;
        if (OpenSection(line, machine)) {
            section = line;
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) why = "expected [drive] or key = value";
        else if (section.empty()) why = "a key before the first [drive]";
        else ApplySectionKey(section, machine, Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)), folder, why);
        if (!why.empty()) {
            error = path + ":" + std::to_string(lineNumber) + ": " + why;
            return false;
        }
    }
    return true;
}

}  // namespace sim
