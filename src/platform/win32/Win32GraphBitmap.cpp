// The graph-bitmap facility of the platform interface on Windows.
#include "platform/win32/WindowsApi.h"

#include <vector>

namespace platform {
namespace {

// The pixels as a top-down 32-bit picture: blue, green, red, unused.
struct GraphPicture {
    BITMAPINFO Info{};
    int Edge;
    std::vector<uint32_t> Bits;

    explicit GraphPicture(int edge) : Edge(edge), Bits(static_cast<size_t>(edge) * edge) {
        Info.bmiHeader.biSize = sizeof Info.bmiHeader;
        Info.bmiHeader.biWidth = edge;
        Info.bmiHeader.biHeight = -edge;
        Info.bmiHeader.biPlanes = 1;
        Info.bmiHeader.biBitCount = 32;
        Info.bmiHeader.biCompression = BI_RGB;
    }
};

bool PutPicture(BitmapHandle bitmap, const GraphPicture& picture) {
    const HDC screen = ::GetDC(nullptr);
    if (!screen) return false;
    const int rows = ::SetDIBits(screen, reinterpret_cast<HBITMAP>(bitmap), 0, static_cast<UINT>(picture.Edge),
                                 picture.Bits.data(), &picture.Info, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    return rows == picture.Edge;
}

int EdgeOf(BitmapHandle bitmap) {
    BITMAP b = {};
    if (!::GetObjectA(reinterpret_cast<HBITMAP>(bitmap), sizeof b, &b)) return 0;
    return b.bmWidth;
}

}  // namespace

BitmapHandle CreateGraphBitmap(int edge) {
    const HDC screen = ::GetDC(nullptr);
    if (!screen || edge <= 0) return 0;
    const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, edge, edge);
    ::ReleaseDC(nullptr, screen);
    const BitmapHandle handle = reinterpret_cast<BitmapHandle>(bitmap);
    if (bitmap && !PutPicture(handle, GraphPicture(edge))) {  // a new bitmap's pixels are undefined
        ::DeleteObject(bitmap);
        return 0;
    }
    return handle;
}

bool PaintGraphBitmap(BitmapHandle bitmap, const GraphPixels& pixels) {
    const int edge = EdgeOf(bitmap);
    if (edge <= 0) return false;
    GraphPicture picture(edge);
    for (int y = 0; y < edge; ++y)
        for (int x = 0; x < edge; ++x) {
            const uint32_t c = pixels[y * GraphBitmapSize / edge][x * GraphBitmapSize / edge];  // red in the low byte
            picture.Bits[static_cast<size_t>(y) * edge + x] = (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
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
