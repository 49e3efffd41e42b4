// The windowing facility on Windows: the program's window procedures sit in their class's extra
// bytes, and one system procedure hands every message to them.
#include "platform/win32/WindowsApi.h"

#include <map>
#include <mutex>
#include <utility>

namespace platform {
namespace {

LRESULT CALLBACK Dispatch(HWND window, UINT message, WPARAM w, LPARAM l) {
    const auto procedure = reinterpret_cast<WindowProcedure>(::GetClassLongPtrA(window, 0));
    LParam result = 0;
    if (procedure && procedure(reinterpret_cast<HWnd>(window), message, w, l, result)) return result;
    return ::DefWindowProcA(window, message, w, l);
}

HWND Native(HWnd window) { return reinterpret_cast<HWND>(window); }

// The rich-edit control's class is registered by its library, loaded once and kept.
void LoadRichEdit() {
    static const HMODULE library = ::LoadLibraryA("riched20.dll");
    (void)library;
}

// The slider's class is registered by the common controls library, once.
void LoadCommonControls() {
    static const bool loaded = [] {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
        return ::InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)loaded;
}

// A window does not own the font WM_SETFONT gives it, so each (face, height) is made once and kept for
// the process's life: every dialog opening made its fonts anew and never freed them, until the
// process ran out of GDI objects.
HFONT SharedFont(const std::string& face, int height) {
    static std::mutex lock;
    static std::map<std::pair<std::string, int>, HFONT> fonts;
    const std::lock_guard<std::mutex> guard(lock);
    HFONT& font = fonts[{face, height}];
    if (!font)
        font = ::CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
    return font;
}

}  // namespace

bool RegisterWindowClass(const std::string& className, WindowProcedure procedure) {
    WNDCLASSEXA c = {};
    c.cbSize = sizeof c;
    c.lpfnWndProc = Dispatch;
    c.cbClsExtra = sizeof(LONG_PTR);
    c.hInstance = ::GetModuleHandleA(nullptr);
    c.hIcon = ::LoadIconA(c.hInstance, "MAINICON");
    c.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    c.lpszClassName = className.c_str();
    if (!::RegisterClassExA(&c)) return false;
    // The procedure goes into the class once a window of it exists: a message-only helper window.
    const HWND helper = ::CreateWindowExA(0, className.c_str(), "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                          c.hInstance, nullptr);
    if (!helper) return false;
    ::SetClassLongPtrA(helper, 0, reinterpret_cast<LONG_PTR>(procedure));
    ::DestroyWindow(helper);
    return true;
}

HWnd CreateWindowEx(uint32_t exStyle, const std::string& className, const std::string& text, uint32_t style, int x,
                    int y, int width, int height, HWnd parent, uint32_t id) {
    if (className == RichEditClass) LoadRichEdit();
    if (className == TrackbarClass) LoadCommonControls();
    const HMENU menu = (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)) : nullptr;
    return reinterpret_cast<HWnd>(::CreateWindowExA(exStyle, className.c_str(), text.c_str(), style, x, y, width,
                                                    height, Native(parent), menu, ::GetModuleHandleA(nullptr),
                                                    nullptr));
}

bool DestroyWindow(HWnd window) { return ::DestroyWindow(Native(window)) != FALSE; }

bool SetWindowText(HWnd window, const std::string& text) { return ::SetWindowTextA(Native(window), text.c_str()); }

std::string GetWindowText(HWnd window) {
    const int length = ::GetWindowTextLengthA(Native(window));
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(static_cast<size_t>(::GetWindowTextA(Native(window), &text[0], length + 1)));
    return text;
}

bool EnableWindow(HWnd window, bool enable) { return ::EnableWindow(Native(window), enable) != FALSE; }
bool IsWindowEnabled(HWnd window) { return ::IsWindowEnabled(Native(window)) != FALSE; }
bool ShowWindow(HWnd window, int command) { return ::ShowWindow(Native(window), command) != FALSE; }
bool IsWindowVisible(HWnd window) { return ::IsWindowVisible(Native(window)) != FALSE; }

uint32_t GetWindowLong(HWnd window, int index) {
    return static_cast<uint32_t>(::GetWindowLongA(Native(window), index));
}

uint32_t SetWindowLong(HWnd window, int index, uint32_t value) {
    return static_cast<uint32_t>(::SetWindowLongA(Native(window), index, static_cast<LONG>(value)));
}

HWnd GetDlgItem(HWnd parent, uint32_t id) {
    return reinterpret_cast<HWnd>(::GetDlgItem(Native(parent), static_cast<int>(id)));
}

bool MoveWindow(HWnd window, int x, int y, int width, int height) {
    return ::SetWindowPos(Native(window), nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}

bool AdjustWindowRectEx(Rect& rect, uint32_t style, uint32_t exStyle) {
    RECT r = {rect.Left, rect.Top, rect.Right, rect.Bottom};
    if (!::AdjustWindowRectEx(&r, style, FALSE, exStyle)) return false;
    rect = {r.left, r.top, r.right, r.bottom};
    return true;
}

Rect WindowRect(HWnd window) {
    RECT r = {};
    ::GetWindowRect(Native(window), &r);
    const HWND parent = ::GetParent(Native(window));
    if (parent) ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right, r.bottom};
}

LParam SendMessage(HWnd window, uint32_t message, WParam wParam, LParam lParam) {
    return ::SendMessageA(Native(window), message, wParam, lParam);
}

uint32_t RegisterWindowMessage(const std::string& name) { return ::RegisterWindowMessageA(name.c_str()); }

bool ChangeWindowMessageFilterEx(HWnd window, uint32_t message) {
    return ::ChangeWindowMessageFilterEx(Native(window), message, MSGFLT_ALLOW, nullptr) != FALSE;
}

bool PostMessage(HWnd window, uint32_t message, WParam wParam, LParam lParam) {
    return ::PostMessageA(Native(window), message, wParam, lParam) != FALSE;
}

bool SetWindowFont(HWnd window, const std::string& face, int height) {
    const HFONT font = SharedFont(face, height);
    if (!font) return false;
    ::SendMessageA(Native(window), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return true;
}

bool SetRichEditFont(HWnd window, const std::string& face, int twips) {
    CHARFORMATA format = {};
    format.cbSize = sizeof format;
    format.dwMask = CFM_FACE | CFM_SIZE;
    format.yHeight = twips;
    lstrcpynA(format.szFaceName, face.c_str(), LF_FACESIZE);
    // The default format too: rich text put into the box later starts from it.
    return ::SendMessageA(Native(window), EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format)) != 0 &&
           ::SendMessageA(Native(window), EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format)) != 0;
}

// Keys go to the focused control, but Esc is the window's: the main window hides on it wherever the
// focus is, a modal window closes.
bool AimEscapeAtTopLevel(MSG& message) {
    if (message.message != WM_KEYDOWN || message.wParam != VK_ESCAPE || !message.hwnd) return false;
    message.hwnd = ::GetAncestor(message.hwnd, GA_ROOT);
    return true;
}

int RunMessageLoop() {
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        AimEscapeAtTopLevel(message);
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

void PostQuitMessage(int exitCode) { ::PostQuitMessage(exitCode); }

}  // namespace platform
