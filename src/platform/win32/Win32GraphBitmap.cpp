// The graph-bitmap facility of the platform interface on Windows.
#include "platform/win32/WindowsApi.h"

namespace platform {
namespace {

// The pixels as a top-down 32-bit picture: blue, green, red, unused.
struct GraphPicture {
    BITMAPINFO Info{};
    uint32_t Bits[GraphBitmapSize * GraphBitmapSize]{};

    GraphPicture() {
        Info.bmiHeader.biSize = sizeof Info.bmiHeader;
        Info.bmiHeader.biWidth = GraphBitmapSize;
        Info.bmiHeader.biHeight = -GraphBitmapSize;
        Info.bmiHeader.biPlanes = 1;
        Info.bmiHeader.biBitCount = 32;
        Info.bmiHeader.biCompression = BI_RGB;
    }
};

bool PutPicture(BitmapHandle bitmap, const GraphPicture& picture) {
    const HDC screen = ::GetDC(nullptr);
    if (!screen) return false;
    const int rows = ::SetDIBits(screen, reinterpret_cast<HBITMAP>(bitmap), 0, GraphBitmapSize, picture.Bits,
                                 &picture.Info, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    return rows == GraphBitmapSize;
}

}  // namespace

BitmapHandle CreateGraphBitmap() {
    const HDC screen = ::GetDC(nullptr);
    if (!screen) return 0;
    const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, GraphBitmapSize, GraphBitmapSize);
    ::ReleaseDC(nullptr, screen);
    const BitmapHandle handle = reinterpret_cast<BitmapHandle>(bitmap);
    if (bitmap && !PutPicture(handle, GraphPicture{})) {  // a new bitmap's pixels are undefined
        ::DeleteObject(bitmap);
        return 0;
    }
    return handle;
}

bool PaintGraphBitmap(BitmapHandle bitmap, const GraphPixels& pixels) {
    GraphPicture picture;
    for (int y = 0; y < GraphBitmapSize; ++y)
        for (int x = 0; x < GraphBitmapSize; ++x) {
            const uint32_t c = pixels[y][x];  // COLORREF: red in the low byte
            picture.Bits[y * GraphBitmapSize + x] = (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
        }
    return PutPicture(bitmap, picture);
}

IconHandle CreateBitmapIcon(BitmapHandle bitmap) {
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = reinterpret_cast<HBITMAP>(bitmap);
    info.hbmMask = reinterpret_cast<HBITMAP>(bitmap);  // every pixel counts as opaque
    return reinterpret_cast<IconHandle>(::CreateIconIndirect(&info));
}

bool DeleteGraphBitmap(BitmapHandle bitmap) { return ::DeleteObject(reinterpret_cast<HBITMAP>(bitmap)) != FALSE; }

}  // namespace platform
