// The SCT command transport of a simulated ATA drive. READ LOG 0xE0 returns the status page; a key
// page written with WRITE LOG 0xE0 starts a command (only the data-table read of the temperature
// history table is known); READ LOG 0xE1 then returns that table. What the drive does not know it
// aborts, leaving the reason in the status page's extended status code.
#include <algorithm>

#include "protocol/Bytes.h"
#include "platform/sim/SimInternal.h"

namespace sim {
namespace {

constexpr uint32_t Sector = 512;
constexpr uint8_t SctStatusLog = 0xE0;  // also where commands are written
constexpr uint8_t SctDataLog = 0xE1;

constexpr uint16_t DataTableAction = 5;
constexpr uint16_t ReadTableFunction = 1;
constexpr uint16_t TemperatureHistoryTable = 2;

// Extended status codes.
constexpr uint16_t CompletedWithoutError = 0x0000;
constexpr uint16_t InvalidFunctionCode = 0x0001;
constexpr uint16_t TransferWithoutCommand = 0x000B;
constexpr uint16_t InvalidActionCode = 0x0010;
constexpr uint16_t TableNotSupported = 0x0011;
constexpr uint16_t CommandExecuting = 0xFFFF;

uint8_t SignedByte(int celsius) { return static_cast<uint8_t>(static_cast<int8_t>(celsius)); }

std::vector<uint8_t> StatusPage(SctEngine& s) {
    std::vector<uint8_t> page(Sector, 0);
    Put16(page.data(), 0, s.FormatVersion);
    Put16(page.data(), 2, 1);  // vendor's SCT version
    Put16(page.data(), 4, 1);  // the SCT revision the drive follows
    const bool busy = s.BusyStatusReads > 0;
    if (busy) --s.BusyStatusReads;
    Put16(page.data(), 14, busy ? CommandExecuting : s.ExtendedStatus);
    Put16(page.data(), 16, s.ActionCode);
    Put16(page.data(), 18, s.FunctionCode);
    page[200] = SignedByte(s.Temperature);
    page[201] = SignedByte(s.Temperature);  // minimum and maximum of this power cycle
    page[202] = SignedByte(s.Temperature);
    page[203] = SignedByte(s.LifetimeMin);
    page[204] = SignedByte(s.LifetimeMax);
    return page;
}

// Sampled once a minute; the circular buffer holds the current temperature and no older samples.
std::vector<uint8_t> TemperatureHistory(const SctEngine& s) {
    std::vector<uint8_t> table(Sector, 0x80);  // 0x80: no sample
    Put16(table.data(), 0, 2);                  // format version
    Put16(table.data(), 2, 1);                  // sampling period, minutes
    Put16(table.data(), 4, 1);                  // interval, minutes
    table[6] = SignedByte(s.MaxOperatingLimit);
    table[7] = SignedByte(s.OverLimit);
    std::fill(table.begin() + 8, table.begin() + 30, 0);  // lower limits 0 °C, reserved bytes
    Put16(table.data(), 30, 478);  // circular buffer size
    Put16(table.data(), 32, 0);    // index of the newest sample
    table[34] = SignedByte(s.Temperature);
    return table;
}

AtaOutcome Refuse(SctEngine& s, uint16_t reason) {
    s.ExtendedStatus = reason;
    return Aborted();
}

AtaOutcome StartCommand(SctEngine& s, const uint8_t* key) {
    s.ActionCode = Get16(key, 0);
    s.FunctionCode = Get16(key, 2);
    s.TablePending = false;
    if (s.ActionCode != DataTableAction) return Refuse(s, InvalidActionCode);
    if (s.FunctionCode != ReadTableFunction) return Refuse(s, InvalidFunctionCode);
    if (Get16(key, 4) != TemperatureHistoryTable) return Refuse(s, TableNotSupported);
    s.ExtendedStatus = CompletedWithoutError;
    s.TablePending = true;
    s.BusyStatusReads += s.BusyAfterCommand;
    return Done();
}

}  // namespace

bool AddressesSct(const Drive& d, const AtaTaskFile& tf) {
    return d.Sct.Present && (tf.SectorNumber == SctStatusLog || tf.SectorNumber == SctDataLog);
}

AtaOutcome SctCommand(Drive& d, const AtaTaskFile& tf, uint8_t* data, uint32_t capacity) {
    SctEngine& s = d.Sct;
    if (tf.SectorCount != 1) return Aborted();
    const bool write = tf.Features == 0xD6;
    if (tf.SectorNumber == SctStatusLog) {
        if (!write) return Deliver(StatusPage(s), Sector, data, capacity);
        if (capacity < Sector) return Aborted();
        const AtaOutcome o = StartCommand(s, data);
        if (!o.aborted()) d.Written.emplace_back(data, data + Sector);
        return o;
    }
    if (write || !s.TablePending) return Refuse(s, TransferWithoutCommand);
    s.TablePending = false;
    return Deliver(TemperatureHistory(s), Sector, data, capacity);
}

}  // namespace sim
