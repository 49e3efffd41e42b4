// The drive database page of a model with 100,000 drives, built as the server answers it: the page's
// figures summed by the database, one page of drives with their attributes, and the HTML. The drives
// are stored once, before the first measurement; the first and the last page are measured (the last
// one skips 99,900 drives).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "protocol/Ata.h"
#include "server/DatabasePage.h"
#include "server/DriveStore.h"

namespace {

constexpr int ModelDrives = 100000;
const char Model[] = "BENCH-MODEL";
const char Firmware[] = "FW1";
const char DatabaseFile[] = "/tmp/korvante-page-benchmark.db";

// Drive n of the model: its own serial number and figures, attributes 5 and 194; every other drive
// without a read test or the remapped-sector attribute, figures the page leaves out for it.
DriveRecord ModelDrive(int n) {
    DriveRecord d;
    d.Model = Model;
    d.FirmwareVersion = Firmware;
    d.SerialNumber = "B" + std::to_string(n);
    d.Temperature = static_cast<uint8_t>(20 + n % 40);
    d.TopTemperature = static_cast<uint8_t>(d.Temperature + 5);
    const bool measured = n % 2 == 0;
    d.RemapIndex = measured ? 1 : 0;
    d.RemappedSectors = static_cast<uint32_t>(n % 7);
    if (measured) d.AverageReadSpeed = 150, d.MinReadSpeed = static_cast<uint32_t>(90 + n % 11), d.MaxReadSpeed = 190;
    d.AttributeCount = 2;
    const uint8_t ids[] = {RemappedSectorsId, TemperatureId};
    for (unsigned slot = 0; slot < 2; ++slot) {
        uint8_t* entry = d.SmartData + AttributeOffset(slot);
        entry[0] = ids[slot], entry[3] = 100, entry[4] = 100, entry[5] = static_cast<uint8_t>(n);
    }
    return d;
}

bool FillStore(DriveStore& store, std::string& why) {
    std::remove(DatabaseFile);
    std::atexit([] { std::remove(DatabaseFile); });  // some 60 MB, of no use after the run
    if (!OpenDriveStore(DatabaseFile, store, why)) return false;
    sqlite3_exec(store.Db, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);  // the set-up only
    Upload upload;
    upload.ReceivedAt = "2026-01-05 12:00:00";
    for (int n = 0; n < ModelDrives; n += MaxPhysicalDisks) {
        upload.Drives.clear();
        for (int i = n; i < n + static_cast<int>(MaxPhysicalDisks) && i < ModelDrives; ++i)
            upload.Drives.push_back(ModelDrive(i));
        int64_t id = 0;
        if (StoreUpload(store, upload, id, why) != StoreOutcome::Stored) return false;
    }
    return true;
}

DriveStore* FilledStore(std::string& why) {
    static DriveStore store;
    static std::string failure;
    static const bool filled = FillStore(store, failure);
    why = failure;
    return filled ? &store : nullptr;
}

void BM_ModelPageOf100000Drives(benchmark::State& state) {
    std::string why;
    DriveStore* store = FilledStore(why);
    if (!store) {
        state.SkipWithError(why.c_str());
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        ModelPage page;
        if (!LoadModelPage(*store, false, Model, Firmware, state.range(0), page, why)) {
            state.SkipWithError(why.c_str());
            return;
        }
        const std::string html = RenderModelPage(false, Model, Firmware, page);
        bytes = html.size();
        benchmark::DoNotOptimize(html.data());
    }
    state.counters["page_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ModelPageOf100000Drives)->Arg(1)->Arg(ModelDrives / DrivesPerPage)->Unit(benchmark::kMillisecond);

}  // namespace
