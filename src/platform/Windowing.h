// The windowing facility of the platform interface: the program's windows and their controls, the
// messages between them, and the message loop (user32).
#pragma once

#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace platform {

using HWnd = std::uintptr_t;
using WParam = std::uintptr_t;
using LParam = std::intptr_t;

// Messages the program handles or sends.
constexpr uint32_t WM_NULL = 0x0000;
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_SETTEXT = 0x000C;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_SETFONT = 0x0030;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_COMMAND = 0x0111;
constexpr uint32_t WM_SYSCOMMAND = 0x0112;
constexpr uint32_t WM_CTLCOLORSTATIC = 0x0138;  // also asked by a read-only edit control
constexpr uint32_t WM_POWERBROADCAST = 0x0218;
constexpr uint32_t WM_DEVICECHANGE = 0x0219;
constexpr uint32_t WM_USER = 0x0400;
constexpr uint32_t BM_GETCHECK = 0x00F0;
constexpr uint32_t BM_SETCHECK = 0x00F1;
constexpr uint32_t EM_SETREADONLY = 0x00CF;
constexpr uint32_t EM_EXLIMITTEXT = WM_USER + 53;
constexpr uint32_t EM_GETLIMITTEXT = 0x00D5;

constexpr WParam SC_CLOSE = 0xF060;
constexpr WParam VK_ESCAPE = 0x1B;
constexpr WParam BST_UNCHECKED = 0, BST_CHECKED = 1;
constexpr uint32_t BN_CLICKED = 0;

// Window styles.
constexpr uint32_t WS_OVERLAPPED = 0x00000000;
constexpr uint32_t WS_TABSTOP = 0x00010000;
constexpr uint32_t WS_MAXIMIZEBOX = 0x00010000;
constexpr uint32_t WS_GROUP = 0x00020000;
constexpr uint32_t WS_MINIMIZEBOX = 0x00020000;
constexpr uint32_t WS_THICKFRAME = 0x00040000;
constexpr uint32_t WS_SYSMENU = 0x00080000;
constexpr uint32_t WS_VSCROLL = 0x00200000;
constexpr uint32_t WS_CAPTION = 0x00C00000;
constexpr uint32_t WS_VISIBLE = 0x10000000;
constexpr uint32_t WS_CHILD = 0x40000000;
constexpr uint32_t WS_OVERLAPPEDWINDOW = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr uint32_t WS_EX_DLGMODALFRAME = 0x00000001;
constexpr uint32_t WS_EX_TOPMOST = 0x00000008;
constexpr uint32_t WS_EX_TOOLWINDOW = 0x00000080;
constexpr uint32_t WS_EX_WINDOWEDGE = 0x00000100;
constexpr uint32_t BS_PUSHBUTTON = 0x0000;
constexpr uint32_t BS_AUTOCHECKBOX = 0x0003;
constexpr uint32_t BS_PUSHLIKE = 0x1000;
constexpr uint32_t ES_MULTILINE = 0x0004;
constexpr uint32_t ES_AUTOVSCROLL = 0x0040;
constexpr uint32_t ES_READONLY = 0x0800;

// The classes of the controls the program uses.
constexpr const char ButtonClass[] = "BUTTON";
constexpr const char RichEditClass[] = "RichEdit20A";
constexpr const char EditClass[] = "EDIT";
constexpr const char ComboBoxClass[] = "COMBOBOX";
constexpr const char StaticClass[] = "STATIC";
constexpr const char TrackbarClass[] = "msctls_trackbar32";

// The dialogs' controls: group boxes and radio buttons, drop-down lists, right-aligned labels and
// horizontal sliders (trackbars), with the messages that fill and read them and the notifications
// they send their parent (a list's CBN_SELCHANGE in WM_COMMAND; a slider's TB_ENDTRACK in WM_HSCROLL,
// lParam the slider, once a drag or a key move ends).
constexpr uint32_t BS_GROUPBOX = 0x0007;
constexpr uint32_t BS_AUTORADIOBUTTON = 0x0009;
constexpr uint32_t CBS_DROPDOWNLIST = 0x0003;
constexpr uint32_t SS_RIGHT = 0x0002;
constexpr uint32_t WM_HSCROLL = 0x0114;
constexpr uint32_t CB_ADDSTRING = 0x0143;
constexpr uint32_t CB_GETCOUNT = 0x0146;
constexpr uint32_t CB_GETCURSEL = 0x0147;
constexpr uint32_t CB_SETCURSEL = 0x014E;
constexpr uint32_t CBN_SELCHANGE = 1;
constexpr uint32_t TBM_GETPOS = WM_USER;
constexpr uint32_t TBM_SETPOS = WM_USER + 5;
constexpr uint32_t TBM_SETRANGEMIN = WM_USER + 7;
constexpr uint32_t TBM_SETRANGEMAX = WM_USER + 8;
constexpr WParam TB_ENDTRACK = 8;

// ShowWindow commands and GetWindowLong indexes.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_SHOW = 5;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWL_STYLE = -16;

// A window procedure of the program: true when it handled the message (and set `result`); otherwise
// the system's default processing runs.
using WindowProcedure = bool (*)(HWnd window, uint32_t message, WParam wParam, LParam lParam, LParam& result);

// RegisterClassExA of a window class whose messages go to `procedure`, with the application's icon
// and the button-face background. False when the class cannot be registered.
bool RegisterWindowClass(const std::string& className, WindowProcedure procedure);

// CreateWindowExA; a child window's id is its control identifier (HMENU). 0 on failure.
HWnd CreateWindowEx(uint32_t exStyle, const std::string& className, const std::string& text, uint32_t style, int x,
                    int y, int width, int height, HWnd parent, uint32_t id);
bool DestroyWindow(HWnd window);

bool SetWindowText(HWnd window, const std::string& text);
std::string GetWindowText(HWnd window);
bool EnableWindow(HWnd window, bool enable);
bool IsWindowEnabled(HWnd window);
bool ShowWindow(HWnd window, int command);
bool IsWindowVisible(HWnd window);
uint32_t GetWindowLong(HWnd window, int index);
uint32_t SetWindowLong(HWnd window, int index, uint32_t value);
HWnd GetDlgItem(HWnd parent, uint32_t id);

// SetWindowPos(window, no z-order change, x, y, width, height, no activation) and GetWindowRect
// relative to the parent's client area (the screen for a top-level window).
bool MoveWindow(HWnd window, int x, int y, int width, int height);
// AdjustWindowRectEx(rect, style, no menu, exStyle): the window rectangle around this client area.
bool AdjustWindowRectEx(Rect& rect, uint32_t style, uint32_t exStyle);
Rect WindowRect(HWnd window);

LParam SendMessage(HWnd window, uint32_t message, WParam wParam, LParam lParam);

// RegisterWindowMessageA: the message number every program of the session uses for this name (from
// 0xC000 on); 0 on failure.
uint32_t RegisterWindowMessage(const std::string& name);
// ChangeWindowMessageFilterEx(window, message, MSGFLT_ALLOW, none): the window of a program running
// as administrator takes this message from programs with fewer rights too (Explorer, for one).
bool ChangeWindowMessageFilterEx(HWnd window, uint32_t message);
bool PostMessage(HWnd window, uint32_t message, WParam wParam, LParam lParam);

// CreateFontA(height, face, default weight and quality) and WM_SETFONT; a rich-edit control's default
// character format gets the face and size in twips (EM_SETCHARFORMAT, SCF_ALL). Each face and height
// is made once, shared by every window given it, and lives as long as the process.
bool SetWindowFont(HWnd window, const std::string& face, int height);
bool SetRichEditFont(HWnd window, const std::string& face, int twips);

// GetMessageA, TranslateMessage and DispatchMessageA until WM_QUIT; returns its exit code. A key-down
// of Esc aimed at a child goes to its top-level window (GetAncestor, GA_ROOT): Esc is the window's key
// wherever its focus is.
int RunMessageLoop();
void PostQuitMessage(int exitCode);

}  // namespace platform
