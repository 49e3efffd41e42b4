// The graph-bitmap facility of the platform interface: a 16 x 16 bitmap compatible with the screen,
// painted pixel by pixel and turned into tray icons (gdi32, user32).
#pragma once

#include <cstdint>

#include "platform/Tray.h"

namespace platform {

using BitmapHandle = std::uintptr_t;

constexpr int GraphBitmapSize = 16;
// Rows from the top, colours as Rgb (COLORREF).
using GraphPixels = uint32_t[GraphBitmapSize][GraphBitmapSize];

// CreateCompatibleBitmap(the screen's context, 16, 16), painted black. 0 on failure.
BitmapHandle CreateGraphBitmap();
// Puts every pixel onto the bitmap.
bool PaintGraphBitmap(BitmapHandle bitmap, const GraphPixels& pixels);
// CreateIconIndirect(an icon, hot spot 0,0, the bitmap as colour image and as mask): every pixel
// opaque. 0 on failure; the caller destroys it.
IconHandle CreateBitmapIcon(BitmapHandle bitmap);
// DeleteObject of the bitmap.
bool DeleteGraphBitmap(BitmapHandle bitmap);

}  // namespace platform
