// The ATA command engine of a simulated drive: IDENTIFY DEVICE, S.M.A.R.T. READ DATA, READ
// THRESHOLDS, ENABLE / DISABLE OPERATIONS, RETURN STATUS, READ LOG and WRITE LOG of host logs.
// Everything else is aborted the way a drive aborts a command it does not support.
#include <algorithm>
#include <cstring>

#include "protocol/Bytes.h"
#include "platform/sim/SimInternal.h"

namespace sim {

namespace {

constexpr uint32_t Sector = 512;

bool SmartSupported(const Drive& d) { return d.Identify.size() >= Sector && Bit(Word(d.Identify.data(), 82), 0); }

// Host-specific logs are the ones a host may write.
bool HostLog(uint8_t address) { return address >= 0x80 && address <= 0x9F; }

}  // namespace

AtaOutcome Done(uint32_t delivered) {
    AtaOutcome o;
    o.registers.Command = StatusReady;
    o.delivered = delivered;
    return o;
}

AtaOutcome Aborted() {
    AtaOutcome o;
    o.registers.Command = StatusAborted;
    o.registers.Features = ErrorAbort;
    return o;
}

AtaOutcome Deliver(const std::vector<uint8_t>& page, uint32_t bytes, uint8_t* data, uint32_t capacity) {
    const uint32_t n = std::min({bytes, capacity, static_cast<uint32_t>(page.size())});
    if (n) std::memcpy(data, page.data(), n);
    if (n && ThePageHook) ThePageHook(data, n);
    return Done(n);
}

namespace {

// A damaged page waiting to be read goes out once, in place of the drive's own.
AtaOutcome DeliverValuePage(Drive& d, uint8_t* data, uint32_t capacity) {
    if (d.DamagedPages.empty()) return Deliver(d.SmartData, Sector, data, capacity);
    const std::vector<uint8_t> damaged = std::move(d.DamagedPages.front());
    d.DamagedPages.erase(d.DamagedPages.begin());
    return Deliver(damaged, Sector, data, capacity);
}

// IDENTIFY DEVICE data as the drive reports it now: word 85 bit 0 follows the S.M.A.R.T. state, and
// the integrity word is kept valid when the page has one.
std::vector<uint8_t> CurrentIdentify(const Drive& d) {
    std::vector<uint8_t> page = d.Identify;
    page.resize(Sector, 0);
    uint16_t w85 = Word(page.data(), 85);
    w85 = d.SmartEnabled ? (w85 | 1) : (w85 & ~1);
    Put16(page.data(), 170, w85);
    if (page[510] == 0xA5) {
        uint8_t sum = 0;
        for (uint32_t i = 0; i < 511; ++i) sum = static_cast<uint8_t>(sum + page[i]);
        page[511] = static_cast<uint8_t>(-sum);
    }
    return page;
}

// The log directory lists every log the drive holds, by its page count.
std::vector<uint8_t> LogDirectory(const Drive& d) {
    std::vector<uint8_t> dir(Sector, 0);
    Put16(dir.data(), 0, 1);
    for (const auto& log : d.Logs)
        if (log.first != 0) Put16(dir.data(), 2u * log.first, static_cast<uint16_t>(log.second.size() / Sector));
    if (d.Sct.Present) {
        Put16(dir.data(), 2u * 0xE0, 1);
        Put16(dir.data(), 2u * 0xE1, 1);
    }
    return dir;
}

AtaOutcome ReadLog(const Drive& d, const AtaTaskFile& tf, uint8_t* data, uint32_t capacity) {
    const uint32_t bytes = tf.SectorCount * Sector;
    if (bytes == 0 || d.Logs.empty()) return Aborted();
    if (tf.SectorNumber == 0) return Deliver(LogDirectory(d), bytes, data, capacity);
    const auto log = d.Logs.find(tf.SectorNumber);
    if (log == d.Logs.end() || bytes > log->second.size()) return Aborted();
    return Deliver(log->second, bytes, data, capacity);
}

AtaOutcome WriteLog(Drive& d, const AtaTaskFile& tf, const uint8_t* data, uint32_t capacity) {
    const uint32_t bytes = tf.SectorCount * Sector;
    const auto log = d.Logs.find(tf.SectorNumber);
    if (!HostLog(tf.SectorNumber) || log == d.Logs.end() || bytes == 0 || bytes > capacity ||
        bytes > log->second.size())
        return Aborted();
    std::memcpy(log->second.data(), data, bytes);
    d.Written.emplace_back(data, data + bytes);
    return Done();
}

AtaOutcome Smart(Drive& d, const AtaTaskFile& tf, uint8_t* data, uint32_t capacity) {
    if (!SmartSupported(d) || tf.CylinderLow != 0x4F || tf.CylinderHigh != 0xC2) return Aborted();
    switch (tf.Features) {
        case 0xD8: d.SmartEnabled = true; return Done();
        case 0xD9: d.SmartEnabled = false; return Done();
        default: break;
    }
    if (!d.SmartEnabled) return Aborted();
    switch (tf.Features) {
        case 0xD0: return DeliverValuePage(d, data, capacity);
        case 0xD1: return Deliver(d.SmartThresholds, Sector, data, capacity);
        case 0xD4: return ExecuteOffline(d, tf.SectorNumber);
        case 0xDA: {
            AtaOutcome o = Done();
            o.registers.CylinderLow = 0x4F;
            o.registers.CylinderHigh = 0xC2;
            return o;
        }
        case 0xD5: return AddressesSct(d, tf) ? SctCommand(d, tf, data, capacity) : ReadLog(d, tf, data, capacity);
        case 0xD6: return AddressesSct(d, tf) ? SctCommand(d, tf, data, capacity) : WriteLog(d, tf, data, capacity);
        default: return Aborted();
    }
}

// SET FEATURES for acoustic and power management: the drive's IDENTIFY page shows the new state
// (word 86 bits 9 and 3 enabled, word 94 low byte the acoustic level, word 91 the power level).
// A drive without the feature (word 83 bit 9 or 3 clear) aborts the command.
AtaOutcome SetFeatures(Drive& d, const AtaTaskFile& tf) {
    if (d.Identify.size() < Sector) return Aborted();
    uint8_t* page = d.Identify.data();
    const bool acoustic = tf.Features == 0x42 || tf.Features == 0xC2;
    const bool power = tf.Features == 0x05 || tf.Features == 0x85;
    const unsigned bit = acoustic ? 9 : 3;
    if ((!acoustic && !power) || !(Word(page, 83) & (1u << bit))) return Aborted();
    const bool enable = tf.Features == 0x42 || tf.Features == 0x05;
    if (enable && tf.Features == 0x05 && tf.SectorCount == 0) return Aborted();
    const uint16_t w86 = Word(page, 86);
    Put16(page, 172, static_cast<uint16_t>(enable ? (w86 | (1u << bit)) : (w86 & ~(1u << bit))));
    if (acoustic) page[188] = enable ? tf.SectorCount : 0;
    else Put16(page, 182, enable ? tf.SectorCount : 0);
    return Done();
}

}  // namespace

bool CommandSendsData(const AtaTaskFile& tf) { return tf.Command == 0xB0 && tf.Features == 0xD6; }

bool CommandReturnsData(const AtaTaskFile& tf) {
    if (tf.Command == 0xEC) return true;
    return tf.Command == 0xB0 && (tf.Features == 0xD0 || tf.Features == 0xD1 || tf.Features == 0xD5);
}

AtaOutcome ExecuteAta(Drive& d, const AtaTaskFile& tf, bool hostSends, uint8_t* data, uint32_t capacity) {
    if (hostSends != CommandSendsData(tf)) return Aborted();
    if (CommandReturnsData(tf) && capacity == 0) return Aborted();
    if (tf.Command == 0xEC) {
        if (d.Identify.empty()) return Aborted();
        return Deliver(CurrentIdentify(d), Sector, data, capacity);
    }
    if (tf.Command == 0xB0) return Smart(d, tf, data, capacity);
    if (tf.Command == 0xEF) return SetFeatures(d, tf);
    return Aborted();
}

unsigned Drive::RequestCount() const {
    unsigned n = 0;
    for (const auto& m : Requests) n += m.second;
    return n;
}

bool Drive::Accepts(AccessMethod method) const {
    return std::find(Methods.begin(), Methods.end(), method) != Methods.end();
}

}  // namespace sim
