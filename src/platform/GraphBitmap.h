// The graph-bitmap facility of the platform interface: a 16 x 16 graph painted pixel by pixel onto a
// bitmap compatible with the screen, at the tray's icon size, and turned into tray icons (gdi32,
// user32).
#pragma once

#include <cstdint>

#include "platform/Tray.h"

namespace platform {

using BitmapHandle = std::uintptr_t;

constexpr int GraphBitmapSize = 16;
// Rows from the top, colours as Rgb (COLORREF).
using GraphPixels = uint32_t[GraphBitmapSize][GraphBitmapSize];

// CreateCompatibleBitmap(the screen's context, edge, edge), painted black. 0 on failure.
BitmapHandle CreateGraphBitmap(int edge);
// Puts every pixel onto the bitmap, each as a block of the bitmap's edge / 16 (the nearest pixel of
// the graph for each pixel of the bitmap).
bool PaintGraphBitmap(BitmapHandle bitmap, const GraphPixels& pixels);
// CreateIconIndirect(an icon, hot spot 0,0, the bitmap as colour image and as mask): every pixel
// opaque. 0 on failure; the caller destroys it.
IconHandle CreateBitmapIcon(BitmapHandle bitmap);
// DeleteObject of the bitmap.
bool DeleteGraphBitmap(BitmapHandle bitmap);

}  // namespace platform
