#include "ui/DialogFrame.h"

#include "platform/Dialogs.h"
#include "ui/Main.h"

using namespace platform;

namespace {

constexpr uint32_t DialogStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr uint32_t DialogExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_TOPMOST;
constexpr int DropDownHeight = 200;  // the list's height while it is dropped down

}  // namespace

HWnd CreateFixedDialog(const char* className, const char* caption, WindowProcedure procedure, int clientWidth,
                       int clientHeight) {
    RegisterWindowClass(className, procedure);  // fails harmlessly when already registered
    const HWnd dialog = CreateWindowEx(DialogExStyle, className, caption, DialogStyle, 0, 0, 0, 0, MainWindow, 0);
    if (!dialog) return 0;
    RemoveWindowIcon(dialog);
    SetWindowFont(dialog, "MS Sans Serif", -11);
    Rect frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(frame, DialogStyle, DialogExStyle);
    const int width = frame.Right - frame.Left, height = frame.Bottom - frame.Top;
    MoveWindow(dialog, (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width,
               height);
    return dialog;
}

HWnd AddDialogControl(HWnd dialog, const char* className, const char* text, uint32_t style, int x, int y, int width,
                      int height, uint32_t id) {
    const HWnd control = CreateWindowEx(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, dialog, id);
    if (control) SetWindowFont(control, "MS Sans Serif", -11);
    return control;
}

HWnd AddDriveList(HWnd dialog, int x, int y, int width, uint32_t id, const std::vector<std::string>& items) {
    const HWnd list = AddDialogControl(dialog, ComboBoxClass, "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, x, y,
                                       width, DropDownHeight, id);
    if (!list) return 0;
    SetWindowFont(list, "Courier New", -11);
    for (const std::string& item : items) SendMessage(list, CB_ADDSTRING, 0, reinterpret_cast<LParam>(item.c_str()));
    SendMessage(list, CB_SETCURSEL, 0, 0);
    return list;
}

void RunDialog(HWnd dialog) {
    ShowWindow(dialog, SW_SHOW);
    RunModalLoop(dialog);
    DestroyWindow(dialog);
}
