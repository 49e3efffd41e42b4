// Arbitrary bytes as the body of an upload to the drive database server, taken the whole way: the
// form parser, the block decoder, storing in a database held in memory, and the pages of every drive
// stored. A refused upload must say why, and the database must not fail.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "knowledge/ModelNormalisation.h"
#include "server/DatabasePage.h"
#include "server/DriveStore.h"
#include "server/UploadRequest.h"

namespace {

// A database in memory, made anew after every thousand uploads stored so that it stays small.
DriveStore& Store(bool afterAnUpload = false) {
    static DriveStore store;
    static unsigned stored = 0;
    if (afterAnUpload && ++stored % 1000 == 0) CloseDriveStore(store);
    std::string why;
    if (!store.Db && !OpenDriveStore(":memory:", store, why)) std::abort();
    return store;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    Upload upload;
    std::string why;
    if (!ParseUpload("multipart/form-data; boundary=ThisBoundary", body, upload, why)) {
        if (why.empty()) std::abort();
        return 0;
    }
    upload.ReceivedAt = "2026-12-11 12:00:00";
    int64_t id = 0;
    const StoreOutcome stored = StoreUpload(Store(), upload, id, why);
    if (stored == StoreOutcome::Failed) std::abort();  // a database in memory has no reason to fail
    if (stored != StoreOutcome::Stored) return 0;
    for (const DriveRecord& drive : upload.Drives) {
        for (const bool fake : {false, true}) {
            ModelPage page;
            const std::string model = NormaliseForLink(drive.Model), firmware = NormaliseForLink(drive.FirmwareVersion);
            if (!LoadModelPage(Store(), fake, model, firmware, 1, page, why)) std::abort();
            if (!page.Drives.empty()) RenderModelPage(fake, model, firmware, page);
        }
    }
    Store(true);
    return 0;
}
