// The simulated drives the benchmarks build their machines from. Drive n's pages differ from every
// other drive's, so that the scan keeps them all.
#pragma once

#include <string>

#include "platform/sim/SimMachine.h"

namespace benchmachine {

// The disk interface class, as it ends a drive's device path.
constexpr const char* DiskClass = "#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";

// A 1 TB ATA hard disk with six attributes (the power-on counter, attribute 9, among them), an empty
// log directory and the IDENTIFY DEVICE data log; no path, parent or access methods yet.
sim::Drive AtaDrive(unsigned n, const std::string& serial);

// AtaDrive n on an AHCI controller, reached through ATA (its first method), OLD and SAT.
sim::Drive SataDrive(unsigned n);

}  // namespace benchmachine
