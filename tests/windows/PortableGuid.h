// A Windows GUID as the platform layer's portable Guid, for comparing the layer's constants and
// results with the SDK's. Include after the Windows headers.
#pragma once

#include <cstring>

#include "platform/Types.h"

inline platform::Guid Portable(const GUID& g) {
    platform::Guid p;
    p.Data1 = g.Data1;
    p.Data2 = g.Data2;
    p.Data3 = g.Data3;
    std::memcpy(p.Data4, g.Data4, sizeof p.Data4);
    return p;
}
