// USB bridges known by the id of the USB device above the disk: which of their own command blocks
// reaches the drive behind them. The table is data: a new bridge is a new row.
#pragma once

#include <cstdint>
#include <string>

#include "protocol/Ata.h"

struct UsbDeviceId {
    uint16_t Vendor = 0, Product = 0, Release = 0;
};

// One bridge (or family of releases of one id). `Method` is SAT for a bridge that speaks the
// standard; `OrSata`: an NVMe tunnel whose enclosures may hold a SATA drive instead, reached by SAT.
struct UsbBridgeRow {
    uint16_t Vendor, Product;
    uint16_t FirstRelease, LastRelease;
    AccessMethod Method;
    bool OrSata;
    const char* Name;  // maker and chip, as the report shows it
};

// The row of the bridge with this id, or null for a bridge not in the table. Rows naming a release
// range go before the row of the whole id, so the first that matches is the most precise.
const UsbBridgeRow* FindUsbBridge(const UsbDeviceId& id);

// A hardware identifier "USB\VID_vvvv&PID_pppp&REV_rrrr" (any case; the release may be missing)
// into its numbers; false for anything else.
bool ParseUsbHardwareId(const std::string& hardwareId, UsbDeviceId& id);

// "USB\VID_174C&PID_2362&REV_0100": the id as Windows writes it.
std::string UsbHardwareId(const UsbDeviceId& id);

// "174C:2362, release 0100": the id as the report and the log write it.
std::string UsbIdText(const UsbDeviceId& id);
