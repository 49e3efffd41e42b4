// Arbitrary bytes as an uploaded data block. The decoder must refuse or accept without reading
// outside the input; what it accepts must build back into a block that decodes to the same block again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/PublishBlock.h"

namespace {

std::vector<const DriveRecord*> Pointers(const std::vector<DriveRecord>& drives) {
    std::vector<const DriveRecord*> pointers;
    for (const DriveRecord& d : drives) pointers.push_back(&d);
    return pointers;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string block(reinterpret_cast<const char*>(data), size);
    PublishHeader header;
    std::vector<DriveRecord> drives;
    std::string why;
    if (!DecodePublishBlock(block, header, drives, why)) {
        if (why.empty()) std::abort();
        return 0;
    }
    const std::string rebuilt = BuildPublishBlock(header, Pointers(drives));
    PublishHeader header2;
    std::vector<DriveRecord> drives2;
    if (!DecodePublishBlock(rebuilt, header2, drives2, why)) std::abort();
    if (BuildPublishBlock(header2, Pointers(drives2)) != rebuilt) std::abort();
    return 0;
}
