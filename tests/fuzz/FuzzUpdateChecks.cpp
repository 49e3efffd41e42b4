// Arbitrary bytes as a downloaded program and as the version file beside it: the image check must not
// read outside the bytes, and the version comparison must order any two texts one way only.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/Update.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    IsUpdateImage(data, size);
    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t half = size / 2;
    const std::string left = text.substr(0, half), right = text.substr(half);
    if (VersionGreater(left, right) && VersionGreater(right, left)) std::abort();
    if (VersionGreater(left, left)) std::abort();
    const std::string stripped = StripLastComponent(text);
    if (stripped.size() >= size && size > 0) std::abort();
    return 0;
}
