// The tray facility of the platform interface on Windows.
#include "platform/win32/WindowsApi.h"

#include <cstring>

namespace platform {
namespace {

// Copies as much of `text` as fits, always terminated.
template <size_t N>
void CopyText(char (&field)[N], const std::string& text) {
    const size_t n = text.size() < N - 1 ? text.size() : N - 1;
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

// A 24-bit picture, all black, selected into a memory device context.
struct Canvas {
    HDC Dc = nullptr;
    HBITMAP Bitmap = nullptr;
    HGDIOBJ Previous = nullptr;
};

bool OpenCanvas(Canvas& canvas, int edge) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = edge;
    info.bmiHeader.biHeight = edge;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    canvas.Dc = ::CreateCompatibleDC(nullptr);
    if (!canvas.Dc) return false;
    void* bits = nullptr;
    canvas.Bitmap = ::CreateDIBSection(canvas.Dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!canvas.Bitmap || !bits) return false;
    const int rowBytes = (edge * 3 + 3) / 4 * 4;  // rows padded to four bytes
    std::memset(bits, 0, static_cast<size_t>(rowBytes) * edge);
    canvas.Previous = ::SelectObject(canvas.Dc, canvas.Bitmap);
    return true;
}

void DrawIconText(HDC dc, const TextIconDrawing& d) {
    const HFONT font = ::CreateFontA(d.FontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                                     DEFAULT_PITCH | FF_DONTCARE, d.FontFace.c_str());
    const HGDIOBJ previous = font ? ::SelectObject(dc, font) : nullptr;
    ::SetTextAlign(dc, TA_LEFT | TA_TOP);
    ::SetTextColor(dc, d.Colour);
    ::SetBkColor(dc, 0);  // black
    ::SetBkMode(dc, OPAQUE);
    const RECT clip = {d.Clip.Left, d.Clip.Top, d.Clip.Right, d.Clip.Bottom};
    ::ExtTextOutA(dc, d.X, d.Y, ETO_CLIPPED | ETO_OPAQUE, &clip, d.Text.c_str(), static_cast<UINT>(d.Text.size()), nullptr);
    if (previous) ::SelectObject(dc, previous);
    if (font) ::DeleteObject(font);
}

}  // namespace

bool Shell_NotifyIcon(uint32_t message, const NotifyIconData& data) {
    NOTIFYICONDATAA n{};
    n.cbSize = NOTIFYICONDATAA_V3_SIZE;
    n.hWnd = reinterpret_cast<HWND>(data.Window);
    n.uID = data.Id;
    n.uFlags = data.Flags;
    n.uCallbackMessage = data.CallbackMessage;
    n.hIcon = reinterpret_cast<HICON>(data.Icon);
    CopyText(n.szTip, data.Tip);
    CopyText(n.szInfo, data.Info);
    CopyText(n.szInfoTitle, data.InfoTitle);
    n.dwInfoFlags = data.InfoFlags;
    return ::Shell_NotifyIconA(message, &n) != FALSE;
}

bool DestroyIcon(IconHandle icon) { return ::DestroyIcon(reinterpret_cast<HICON>(icon)) != FALSE; }

IconHandle LoadProgramIcon() {
    return reinterpret_cast<IconHandle>(
        ::LoadImageA(::GetModuleHandleA(nullptr), "MAINICON", IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                     ::GetSystemMetrics(SM_CXSMICON), LR_SHARED));
}

IconHandle CreateTextIcon(const TextIconDrawing& drawing) {
    Canvas canvas;
    HICON icon = nullptr;
    if (OpenCanvas(canvas, drawing.Edge)) {
        DrawIconText(canvas.Dc, drawing);
        ::GdiFlush();
        ::SelectObject(canvas.Dc, canvas.Previous);  // an icon is made only from a bitmap no context holds
        canvas.Previous = nullptr;
        ICONINFO info{};
        info.fIcon = TRUE;
        info.hbmColor = canvas.Bitmap;
        info.hbmMask = canvas.Bitmap;  // every pixel counts as opaque
        icon = ::CreateIconIndirect(&info);
    }
    if (canvas.Previous) ::SelectObject(canvas.Dc, canvas.Previous);
    if (canvas.Bitmap) ::DeleteObject(canvas.Bitmap);
    if (canvas.Dc) ::DeleteDC(canvas.Dc);
    return reinterpret_cast<IconHandle>(icon);
}

}  // namespace platform
