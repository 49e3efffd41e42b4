// Reads a machine description: one [drive] section per drive, "key = value" lines; lines starting
// with '#' are comments.
// Page files are raw binary, named relative to the description's folder.
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
    static const AccessMethod All[] = {AccessMethod::NVMe, AccessMethod::ATA, AccessMethod::SCSI,
                                       AccessMethod::OLD,  AccessMethod::IDE, AccessMethod::SAT};
    for (AccessMethod m : All)
        if (name == AccessMethodName(m)) {
            method = m;
            return true;
        }
    return false;
}

bool ParseHexByte(const std::string& text, int& value) {
    if (text.empty() || text.size() > 2) return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 16);
    if (*end != '\0') return false;
    value = static_cast<int>(v);
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

// "METHOD [CMD[/FEATURES]] KIND [COUNT]", command and features in hexadecimal.
bool ParseFault(const std::string& value, Fault& fault, std::string& why) {
    std::vector<std::string> w = Words(value);
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

bool ReadBinary(const std::string& folder, const std::string& name, std::vector<uint8_t>& bytes,
                std::string& why) {
    std::ifstream in(folder + name, std::ios::binary);
    if (!in) {
        why = "cannot read " + name;
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool ReadSector(const std::string& folder, const std::string& name, std::vector<uint8_t>& page, std::string& why) {
    if (!ReadBinary(folder, name, page, why)) return false;
    if (page.size() == 512) return true;
    why = name + " must be 512 bytes, not " + std::to_string(page.size());
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

bool ParseMethods(const std::string& value, Drive& d, std::string& why) {
    d.Methods.clear();
    for (const std::string& m : Words(value)) {
        AccessMethod method;
        if (ParseMethod(m, method)) d.Methods.push_back(method);
        else why = "unknown access method " + m;
    }
    return why.empty();
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

bool ApplyKey(Drive& d, const std::string& key, const std::string& value, const std::string& folder,
              std::string& why) {
    if (key == "path") d.DevicePath = value;
    else if (key == "storage2-path") d.Storage2Path = value;
    else if (key == "parent") d.Parent = value;
    else if (key == "opens") return ParseBool(value, d.Opens, why);
    else if (key == "smart-enabled") return ParseBool(value, d.SmartEnabled, why);
    else if (key == "classes") return ParseClasses(value, d, why);
    else if (key == "methods") return ParseMethods(value, d, why);
    else if (key == "identify") return ReadSector(folder, value, d.Identify, why);
    else if (key == "smart-data") return ReadSector(folder, value, d.SmartData, why);
    else if (key == "smart-thresholds") return ReadSector(folder, value, d.SmartThresholds, why);
    else if (key.compare(0, 4, "log.") == 0) return ParseLog(key, value, folder, d, why);
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
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;  // device paths hold '#': only whole lines are comments
        std::string why;
        if (line == "[drive]") {
            machine.Drives.emplace_back();
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) why = "expected [drive] or key = value";
        else if (machine.Drives.empty()) why = "a key before the first [drive]";
        else ApplyKey(machine.Drives.back(), Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)), folder, why);
        if (!why.empty()) {
            error = path + ":" + std::to_string(lineNumber) + ": " + why;
            return false;
        }
    }
    return true;
}

}  // namespace sim
