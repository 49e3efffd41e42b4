// The dialog facility on Windows.
#include "platform/win32/WindowsApi.h"

namespace platform {
namespace {

HWND Native(HWnd window) { return reinterpret_cast<HWND>(window); }

// Esc closes the modal window wherever its focus is, as its close button does (a Windows dialog's
// Cancel); a control that asks for the key keeps it, so an open drop-down list folds up first.
// Left to IsDialogMessageA, Esc became an IDCANCEL command, which only a window with a button of
// that identifier answers.
bool ClosesOnEscape(HWND dialog, const MSG& message) {
    MSG aimed = message;
    if (!AimEscapeAtTopLevel(aimed) || aimed.hwnd != dialog) return false;
    MSG asked = message;
    const LRESULT wants = ::SendMessageA(message.hwnd, WM_GETDLGCODE, message.wParam, reinterpret_cast<LPARAM>(&asked));
    return (wants & DLGC_WANTMESSAGE) == 0;
}

}  // namespace

int GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

int GetDeviceCaps(int index) {
    const HDC screen = ::GetDC(nullptr);
    if (!screen) return 0;
    const int value = ::GetDeviceCaps(screen, index);
    ::ReleaseDC(nullptr, screen);
    return value;
}

namespace {

// The text's size on the screen in a font this call made, which it deletes; zero when either is missing.
TextSize MeasureInOwnFont(HFONT font, const std::string& text) {
    const HDC screen = ::GetDC(nullptr);
    SIZE size = {};
    bool measured = false;
    if (font && screen) {
        const HGDIOBJ previous = ::SelectObject(screen, font);
        measured = ::GetTextExtentPoint32A(screen, text.c_str(), static_cast<int>(text.size()), &size) != FALSE;
        ::SelectObject(screen, previous);
    }
    if (screen) ::ReleaseDC(nullptr, screen);
    if (font) ::DeleteObject(font);
    return measured ? TextSize{size.cx, size.cy} : TextSize{};
}

}  // namespace

TextSize GetFontTextExtent(const std::string& face, int height, const std::string& text) {
    return MeasureInOwnFont(::CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str()),
                            text);
}

TextSize GetCaptionTextExtent(const std::string& text, bool toolWindow) {
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof metrics;
    if (!::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return {};
    return MeasureInOwnFont(::CreateFontIndirectA(toolWindow ? &metrics.lfSmCaptionFont : &metrics.lfCaptionFont), text);
}

TextSize GetTextExtent(HWnd window, const std::string& text) {
    const HDC dc = ::GetDC(Native(window));
    if (!dc) return {};
    const auto font = reinterpret_cast<HFONT>(::SendMessageA(Native(window), WM_GETFONT, 0, 0));
    const HGDIOBJ previous = font ? ::SelectObject(dc, font) : nullptr;
    SIZE size = {};
    const bool measured = ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size) != FALSE;
    if (previous) ::SelectObject(dc, previous);
    ::ReleaseDC(Native(window), dc);
    return measured ? TextSize{size.cx, size.cy} : TextSize{};
}

bool IsWindow(HWnd window) { return ::IsWindow(Native(window)) != FALSE; }

// A class icon would still show in the caption, so the class loses it too.
bool RemoveWindowIcon(HWnd window) {
    if (!IsWindow(window)) return false;
    ::SendMessageA(Native(window), WM_SETICON, ICON_BIG, 0);
    ::SendMessageA(Native(window), WM_SETICON, ICON_SMALL, 0);
    ::SetClassLongPtrA(Native(window), GCLP_HICON, 0);
    ::SetClassLongPtrA(Native(window), GCLP_HICONSM, 0);
    return true;
}

bool RunModalLoop(HWnd window) {
    const HWND dialog = Native(window);
    if (!::IsWindow(dialog)) return false;
    const HWND owner = ::GetWindow(dialog, GW_OWNER);
    if (owner) ::EnableWindow(owner, FALSE);
    MSG message;
    while (::IsWindow(dialog)) {
        const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got < 0) break;
        if (ClosesOnEscape(dialog, message)) {
            ::SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            continue;
        }
        if (::IsDialogMessageA(dialog, &message)) continue;  // Tab between the controls, Space ticks
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    if (owner) ::EnableWindow(owner, TRUE);
    return true;
}

}  // namespace platform
