// The graph-bitmap facility of the simulated machine: bitmaps are numbered handles holding their
// pixels, and every icon made from one is recorded with the pixels it was made from. Its icons are
// icons of the simulated tray, so the tray takes them and counts them as live until destroyed.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/GraphBitmap.h"

namespace sim {

using GraphImage = std::array<std::array<uint32_t, platform::GraphBitmapSize>, platform::GraphBitmapSize>;

struct GraphIcon {
    platform::IconHandle Icon;
    GraphImage Pixels;
};

// Every icon made from a bitmap, in order.
std::vector<GraphIcon> GraphIcons();
// Waits (in real time, ten seconds at most) until at least `count` icons were made from bitmaps, for
// a worker that draws them; false when they did not come.
bool WaitForGraphIcons(size_t count);
// Bitmaps made and not yet deleted.
unsigned LiveGraphBitmaps();

// No bitmap and no recorded icon.
void ResetGraphBitmaps();

}  // namespace sim
