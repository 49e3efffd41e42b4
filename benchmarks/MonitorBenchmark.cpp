// One monitoring cycle over 32 awake SATA disks whose persisted state is loaded and whose power-on
// timers are already calibrated, so that no drive gets a raw read: the steady cost of watching a
// full table. The time per drive is the "per_drive" counter; "queries_per_drive" and
// "commands_per_drive" count what reached each drive per cycle (the sim's counters).
#include <benchmark/benchmark.h>

#include <string>

#include "BenchmarkMachines.h"
#include "app/ProgramLife.h"
#include "device/DriveRecord.h"
#include "monitor/Monitor.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimWorld.h"
#include "ui/ProcessState.h"

namespace {

constexpr unsigned DriveCount = 32;

struct Totals {
    unsigned Queries = 0, Commands = 0, Reads = 0;
};

Totals DriveTotals() {
    Totals t;
    for (const sim::Drive& d : sim::Current().Drives) {
        t.Queries += d.Power.Queries;
        t.Commands += d.RequestCount();
        t.Reads += d.Power.Reads;
    }
    return t;
}

void BM_MonitorCycle(benchmark::State& state) {
    sim::ResetWorld();
    ResetProcessState();
    ResetMonitorState();
    sim::Machine machine;
    for (unsigned n = 0; n < DriveCount; ++n) {
        machine.Drives.push_back(benchmachine::SataDrive(n));
        machine.Drives.back().DeviceNumber = static_cast<int>(n);
    }
    sim::Install(std::move(machine));
    StartResidentProgram();
    StopMonitorTimer();  // the benchmark runs the cycles itself
    if (::DriveCount() != DriveCount) {
        state.SkipWithError(("the scan kept " + std::to_string(::DriveCount()) + " drives, not 32").c_str());
        return;
    }
    for (unsigned i = 0; i < DriveCount; ++i) DriveWriter(i)->PowerOnTimerPeriod = 60;  // an hour behind them
    const Totals before = DriveTotals();
    for (auto _ : state) RunMonitorCycle();
    const Totals after = DriveTotals();
    KillResidentProgram();
    sim::ResetWorld();
    if (after.Reads != before.Reads) {
        state.SkipWithError("a cycle read a block from a calibrated, awake drive");
        return;
    }
    const double cycles = static_cast<double>(state.iterations()) * DriveCount;
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * DriveCount));
    state.counters["per_drive"] =
        benchmark::Counter(DriveCount, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["queries_per_drive"] = (after.Queries - before.Queries) / cycles;
    state.counters["commands_per_drive"] = (after.Commands - before.Commands) / cycles;
}
BENCHMARK(BM_MonitorCycle)->Unit(benchmark::kMicrosecond);

}  // namespace
