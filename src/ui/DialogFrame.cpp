#include "ui/DialogFrame.h"

#include <algorithm>

#include "platform/Dialogs.h"
#include "platform/RichEdit.h"
#include "ui/Main.h"

using namespace platform;

namespace {

constexpr uint32_t DialogStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr uint32_t DialogExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_TOPMOST;
constexpr int StandardDpi = 96;
constexpr int DropDownHeight = 200;  // the list's height while it is dropped down
constexpr int Margin = 8;            // beyond the controls' farthest edges
constexpr int CheckMarkGap = 6;      // between a check mark and its caption
constexpr int CaptionPadding = 16;   // the caption's text from the frame and from its buttons
constexpr int EmbossRoom = 4;        // a disabled label's text is drawn embossed, wider than its text

Rect WorkArea() {
    Rect area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    GetWorkArea(area);
    return area;
}

// The client width the caption's text and buttons need: a tool window has only a small close button,
// another window a close button and, with a minimise box, the minimise and maximise buttons.
int CaptionClientWidth(HWnd window) {
    const uint32_t style = GetWindowLong(window, GWL_STYLE), exStyle = GetWindowLong(window, GWL_EXSTYLE);
    const bool tool = (exStyle & WS_EX_TOOLWINDOW) != 0;
    const int buttons = tool ? GetSystemMetrics(SM_CXSMSIZE)
                             : GetSystemMetrics(SM_CXSIZE) * ((style & WS_MINIMIZEBOX) ? 3 : 1);
    return GetCaptionTextExtent(GetWindowText(window), tool).Width + buttons + ScaledForScreen(CaptionPadding);
}

void Extend(Dialog& dialog, HWnd control) {
    const Rect r = WindowRect(control);
    dialog.Right = std::max(dialog.Right, static_cast<int>(r.Right));
    dialog.Bottom = std::max(dialog.Bottom, static_cast<int>(r.Bottom));
}

}  // namespace

int ScreenDpi() {
    const int dpi = GetDeviceCaps(LOGPIXELSY);
    return dpi > 0 ? dpi : StandardDpi;
}

int ScaledForScreen(int standardPixels) { return (standardPixels * ScreenDpi() + StandardDpi / 2) / StandardDpi; }

int DialogFontHeight() { return -ScaledForScreen(11); }

Dialog CreateFixedDialog(const char* className, const char* caption, WindowProcedure procedure) {
    RegisterWindowClass(className, procedure);  // fails harmlessly when already registered
    Dialog dialog;
    dialog.Window = CreateWindowEx(DialogExStyle, className, caption, DialogStyle, 0, 0, 0, 0, MainWindow, 0);
    if (!dialog.Window) return dialog;
    RemoveWindowIcon(dialog.Window);
    SetWindowFont(dialog.Window, "MS Sans Serif", DialogFontHeight());
    return dialog;
}

HWnd AddDialogControl(Dialog& dialog, const char* className, const char* text, uint32_t style, int x, int y, int width,
                      int height, uint32_t id) {
    const HWnd control =
        CreateWindowEx(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, dialog.Window, id);
    if (!control) return 0;
    SetWindowFont(control, "MS Sans Serif", DialogFontHeight());
    Extend(dialog, control);
    return control;
}

HWnd AddDriveList(Dialog& dialog, int x, int y, int width, uint32_t id, const std::vector<std::string>& items) {
    const HWnd list = CreateWindowEx(0, ComboBoxClass, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                                     x, y, width, ScaledForScreen(DropDownHeight), dialog.Window, id);
    if (!list) return 0;
    SetWindowFont(list, "Courier New", DialogFontHeight());
    int needed = width;
    for (const std::string& item : items) {
        SendMessage(list, CB_ADDSTRING, 0, reinterpret_cast<LParam>(item.c_str()));
        needed = std::max(needed, GetTextExtent(list, item).Width + GetSystemMetrics(SM_CXVSCROLL) + ScaledForScreen(Margin));
    }
    // An item wider than the work area allows is cut in the closed list; the dropped list scrolls.
    const int shownWidth = std::min(needed, WidestClient(dialog.Window) - x - ScaledForScreen(Margin));
    const int shownHeight = GetTextExtent(list, "M").Height + ScaledForScreen(Margin);  // the closed list's
    MoveWindow(list, x, y, shownWidth, ScaledForScreen(DropDownHeight));
    SendMessage(list, CB_SETCURSEL, 0, 0);
    dialog.Right = std::max(dialog.Right, x + shownWidth);
    dialog.Bottom = std::max(dialog.Bottom, y + shownHeight);
    return list;
}

TextSize DialogTextSize(const std::string& text) { return GetFontTextExtent("MS Sans Serif", DialogFontHeight(), text); }

int CheckBoxWidth(const std::string& text) {
    return GetSystemMetrics(SM_CXMENUCHECK) + ScaledForScreen(CheckMarkGap) + DialogTextSize(text).Width;
}

int LabelWidth(const std::string& text) { return DialogTextSize(text).Width + ScaledForScreen(EmbossRoom); }

int WidestClient(HWnd window) {
    Rect frame{0, 0, 0, 0};
    AdjustWindowRectEx(frame, GetWindowLong(window, GWL_STYLE), GetWindowLong(window, GWL_EXSTYLE));
    const Rect area = WorkArea();
    return (area.Right - area.Left) - (frame.Right - frame.Left);
}

Rect FitInWorkArea(int width, int height, const Rect& workArea) {
    const int areaWidth = workArea.Right - workArea.Left, areaHeight = workArea.Bottom - workArea.Top;
    width = std::min(width, areaWidth);
    height = std::min(height, areaHeight);
    const int left = workArea.Left + (areaWidth - width) / 2, top = workArea.Top + (areaHeight - height) / 2;
    return {left, top, left + width, top + height};
}

Rect CentreInWorkArea(HWnd window, int clientWidth, int clientHeight) {
    Rect frame{0, 0, std::max(clientWidth, CaptionClientWidth(window)), clientHeight};
    AdjustWindowRectEx(frame, GetWindowLong(window, GWL_STYLE), GetWindowLong(window, GWL_EXSTYLE));
    const Rect r = FitInWorkArea(frame.Right - frame.Left, frame.Bottom - frame.Top, WorkArea());
    MoveWindow(window, r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
    return r;
}

void PlaceDialog(const Dialog& dialog, int standardMargin) {
    const int margin = ScaledForScreen(standardMargin);
    CentreInWorkArea(dialog.Window, dialog.Right + margin, dialog.Bottom + margin);
}

void RunDialog(HWnd dialog) {
    ShowWindow(dialog, SW_SHOW);
    RunModalLoop(dialog);
    DestroyWindow(dialog);
}
