// Starts a program under test and checks what it puts on screen, as a user would find it: the main
// window by its class, its controls by their identifiers, the tray entries in Wine's system tray
// window. When the windows are up it prints "SHOOT" and waits for a line on its input, while the
// script that runs it takes a screenshot; then it ends the program it started.
//
//   korvante_guicheck PROGRAM [--window] [--tray N] [--tip TEXT]... [--exits] [-- ARGUMENTS...]
//     --window   the main window is shown with its report box and buttons at their design places
//     --tray N   at least N entries are in the tray
//     --tip TEXT one of the tray entries has this tooltip (repeatable)
//     --memory S prints the program's working set and private bytes S seconds after its start
//     --exits    the program ends by itself, with exit code 0
//     --diagnostic  the window is the one without drives, laid out around its report: only "Publish" is
//                enabled, and it can be resized
//     --report   a left click on the tray icon opens the report: the window shown with caption "KORVANTE",
//                a report that names a drive's model, laid out around its text and centred in the work area
//     --settings the settings dialog comes up at start-up (its "CheckUpdate" value is deleted first):
//                its four boxes are checked, "Use Fahrenheit temperature scale" is ticked, the
//                screenshot taken, the dialog closed and the four stored values read back
//     --performance N  the performance window comes up at start-up for N drives (every drive's stored
//                state is deleted first): its frame, size and place are checked and the screenshot taken
//                while the last drive's access time is measured; then it must go, with the results stored
//     --dialog tuning|diagnostics  the main window's command opens that dialog: its caption, client
//                area, drive list and group captions are checked, the screenshot taken, the dialog
//                closed, and the report then shown
//     --explorer-restart  Explorer's loss of the tray entries (the checker deletes them) and its
//                "TaskbarCreated" broadcast bring them all back; after a suspend and a timer wake
//                (PBT_APMRESUMEAUTOMATIC) the monitoring timer runs again: an entry deleted once more
//                comes back with the next minute's refresh. Screenshots before and after
//     --dpi N    the screen's density for the program (the user's "LogPixels", deleted again at the end);
//                every window checked is also checked as a user would see it: inside the work area, as
//                wide as its caption, every control inside its client area, none over another, every
//                caption whole in its control
//     --license accept|cancel|close  the licence agreement comes up: its caption, client area, the whole
//                text of the program's LICENSE resource in its text box and its two buttons are checked,
//                the screenshot taken, then the button clicked (or the window closed); accepted, the
//                program ends with exit code 1, otherwise the agreement ends it with 0
//   Without --settings the four settings are stored first (0, 0, 0, 1), so that no dialog waits; the
//   installation counts as done, so that no test restarts Explorer. Without --performance the built-in
//   machine's seven drives get stored read results, so that no start-up waits for their read tests.
#include "platform/win32/WindowsApi.h"

#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

namespace {

using platform::SM_CXVSCROLL;
using platform::WM_LBUTTONDOWN;
using platform::WM_USER;  // in the rich-edit messages' definitions

constexpr DWORD WaitMs = 30000;
constexpr DWORD PollMs = 100;
constexpr DWORD SettleMs = 1000;

struct Options {
    std::string Program;
    std::string Arguments;
    bool Window = false;
    int TrayEntries = 0;
    std::vector<std::string> Tips;
    int MemorySeconds = 0;
    bool Exits = false;
    bool Settings = false;
    bool Diagnostic = false;
    bool Report = false;
    int PerformanceDrives = 0;
    std::string Dialog;
    std::string License;
    bool ExplorerRestart = false;
    bool Escape = false;
    int Dpi = 0;
};

struct Expected {
    int Id;
    const char* Class;
    const char* Text;
    RECT Place;  // in the main window's client area
};

// The main window's design: the report box above, two rows of three buttons below.
const Expected Controls[] = {
    {100, "RichEdit20A", "", {0, 0, 400, 179}},
    {101, "Button", "Expert mode", {18, 204, 133, 231}},
    {102, "Button", "Database", {143, 204, 258, 231}},
    {103, "Button", "Publish", {268, 204, 383, 231}},
    {104, "Button", "Defragmentation", {18, 242, 133, 269}},
    {105, "Button", "Diagnostics", {143, 242, 258, 269}},
    {106, "Button", "Tuning", {268, 242, 383, 269}},
};
constexpr int ClientWidth = 400, ClientHeight = 284;

int Failures = 0;

void Fail(const char* what, const std::string& detail) {
    std::printf("FAIL %s: %s\n", what, detail.c_str());
    ++Failures;
}

std::string RectText(const RECT& r) {
    char text[64];
    std::snprintf(text, sizeof text, "(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
    return text;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    if (argc < 2) return false;
    options.Program = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--window") options.Window = true;
        else if (a == "--exits") options.Exits = true;
        else if (a == "--settings") options.Settings = true;
        else if (a == "--diagnostic") options.Diagnostic = options.Window = true;
        else if (a == "--report") options.Report = true;
        else if (a == "--explorer-restart") options.ExplorerRestart = true;
        else if (a == "--escape") options.Escape = true;
        else if (a == "--dialog" && i + 1 < argc) options.Dialog = argv[++i];
        else if (a == "--license" && i + 1 < argc) options.License = argv[++i];
        else if (a == "--tray" && i + 1 < argc) options.TrayEntries = std::atoi(argv[++i]);
        else if (a == "--tip" && i + 1 < argc) options.Tips.push_back(argv[++i]);
        else if (a == "--memory" && i + 1 < argc) options.MemorySeconds = std::atoi(argv[++i]);
        else if (a == "--performance" && i + 1 < argc) options.PerformanceDrives = std::atoi(argv[++i]);
        else if (a == "--dpi" && i + 1 < argc) options.Dpi = std::atoi(argv[++i]);
        else if (a == "--") {
            for (++i; i < argc; ++i) options.Arguments += std::string(" ") + argv[i];
        } else return false;
    }
    return true;
}

// Waits until `find` returns a window, polling; null after WaitMs.
template <typename Find>
HWND WaitForWindow(Find find) {
    for (DWORD waited = 0; waited < WaitMs; waited += PollMs) {
        if (HWND window = find()) return window;
        ::Sleep(PollMs);
    }
    return nullptr;
}

HWND FindMainWindow(DWORD processId) {
    for (HWND w = ::FindWindowExA(nullptr, nullptr, "KorvanteMainWindow", nullptr); w;
         w = ::FindWindowExA(nullptr, w, "KorvanteMainWindow", nullptr)) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(w, &owner);
        if (owner == processId && ::IsWindowVisible(w)) return w;
    }
    return nullptr;
}

// A control's place in its parent's client area.
RECT PlaceInParent(HWND control, HWND parent) {
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// ---- what a user sees of a window's layout ----

int ScreenDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, platform::LOGPIXELSY) : 96;
    if (screen) ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// A length of the standard screen (96 pixels per inch) on this one.
int Scaled(int pixels) { return ::MulDiv(pixels, ScreenDpi(), 96); }

SIZE MeasureText(const std::string& text, HFONT font) {
    SIZE size{};
    HDC screen = ::GetDC(nullptr);
    const HGDIOBJ previous = ::SelectObject(screen, font);
    ::GetTextExtentPoint32A(screen, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(screen, previous);
    ::ReleaseDC(nullptr, screen);
    return size;
}

// In the program's dialog font, 8-point "MS Sans Serif", made here on its own.
SIZE DialogTextSize(const std::string& text) {
    const HFONT font = ::CreateFontA(-Scaled(11), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
    const SIZE size = MeasureText(text, font);
    ::DeleteObject(font);
    return size;
}

LONG CaptionTextWidth(const std::string& text, bool toolWindow) {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    ::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    const HFONT font = ::CreateFontIndirectA(toolWindow ? &metrics.lfSmCaptionFont : &metrics.lfCaptionFont);
    const LONG width = MeasureText(text, font).cx;
    ::DeleteObject(font);
    return width;
}

struct ChildSearch {
    HWND Parent;
    std::vector<HWND> Children;
};

BOOL CALLBACK CollectChild(HWND child, LPARAM search) {
    auto* s = reinterpret_cast<ChildSearch*>(search);
    if (::GetParent(child) == s->Parent) s->Children.push_back(child);
    return TRUE;
}

struct Control {
    std::string Name, Class, Text;
    DWORD Kind;  // a button's kind (the style's low four bits)
    RECT Place;
};

bool IsGroupBox(const Control& c) { return _stricmp(c.Class.c_str(), "Button") == 0 && c.Kind == platform::BS_GROUPBOX; }

bool Contains(const RECT& outer, const RECT& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right && inner.bottom <= outer.bottom;
}

// The width a caption needs in its control: a check mark before a check box's or radio button's, a
// border's room at both ends of a button's or group box's, and for a label's the room a disabled one
// takes, drawn embossed; 0 for text that is not a caption.
LONG NeededWidth(const Control& c) {
    const bool button = _stricmp(c.Class.c_str(), "Button") == 0, label = _stricmp(c.Class.c_str(), "Static") == 0;
    if (c.Text.empty() || (!button && !label)) return 0;
    const LONG text = DialogTextSize(c.Text).cx;
    if (label) return text + 3;  // disabled, drawn embossed: Wine's is cut 2 pixels from the end
    if (c.Kind == platform::BS_AUTOCHECKBOX || c.Kind == platform::BS_AUTORADIOBUTTON) return ::GetSystemMetrics(platform::SM_CXMENUCHECK) + text;
    return text + ::GetSystemMetrics(platform::SM_CXMENUCHECK);
}

std::vector<Control> ControlsOf(HWND window) {
    ChildSearch search{window, {}};
    ::EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&search));
    std::vector<Control> controls;
    for (HWND child : search.Children) {
        char className[64] = {}, text[256] = {};
        ::GetClassNameA(child, className, sizeof className);
        ::GetWindowTextA(child, text, sizeof text);
        const int id = ::GetDlgCtrlID(child);
        controls.push_back({std::string(className) + " " + std::to_string(id) + " \"" + text + "\"", className, text,
                            static_cast<DWORD>(::GetWindowLongA(child, platform::GWL_STYLE)) & 0xF, PlaceInParent(child, window)});
    }
    return controls;
}

void CheckControls(const std::string& name, const RECT& client, const std::vector<Control>& controls) {
    for (size_t i = 0; i < controls.size(); ++i) {
        const Control& c = controls[i];
        if (!Contains(client, c.Place)) Fail("control past the client area", name + " / " + c.Name + " at " + RectText(c.Place));
        const LONG needed = NeededWidth(c);
        if (needed > c.Place.right - c.Place.left)
            Fail("caption cut", name + " / " + c.Name + ": needs " + std::to_string(needed) + " at " + RectText(c.Place));
        for (size_t j = i + 1; j < controls.size(); ++j) {
            const Control& o = controls[j];
            RECT both{};
            if (!::IntersectRect(&both, &c.Place, &o.Place)) continue;
            const bool grouped = IsGroupBox(c) ? Contains(c.Place, o.Place) : IsGroupBox(o) && Contains(o.Place, c.Place);
            if (!grouped) Fail("controls over each other", name + " / " + c.Name + " and " + o.Name);
        }
    }
}

// The window inside the work area and as wide as its caption's text with its buttons, its controls
// inside its client area, whole and apart.
void CheckLayout(HWND window) {
    char caption[128] = {};
    ::GetWindowTextA(window, caption, sizeof caption);
    RECT work{}, outer{}, client{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    ::GetWindowRect(window, &outer);
    ::GetClientRect(window, &client);
    if (!Contains(work, outer)) Fail("window outside the work area", std::string(caption) + " at " + RectText(outer) + " in " + RectText(work));
    const DWORD style = ::GetWindowLongA(window, platform::GWL_STYLE), exStyle = ::GetWindowLongA(window, platform::GWL_EXSTYLE);
    const bool tool = (exStyle & platform::WS_EX_TOOLWINDOW) != 0;
    const LONG buttons = tool ? ::GetSystemMetrics(platform::SM_CXSMSIZE) : ::GetSystemMetrics(platform::SM_CXSIZE) * ((style & platform::WS_MINIMIZEBOX) ? 3 : 1);
    const LONG needed = CaptionTextWidth(caption, tool) + buttons;
    if (needed > client.right) Fail("caption cut", std::string(caption) + ": needs " + std::to_string(needed) + ", client " + RectText(client));
    const std::vector<Control> controls = ControlsOf(window);
    CheckControls(caption, client, controls);
    std::printf("layout of \"%s\" at %d pixels per inch: window %s in %s, %zu controls\n", caption, ScreenDpi(),
                RectText(outer).c_str(), RectText(work).c_str(), controls.size());
}

// Without drives only "Publish" (id 103) is live, and the window keeps its sizing border.
void CheckDiagnosticWindow(HWND main) {
    for (const Expected& e : Controls)
        if (e.Id != 100 && (::IsWindowEnabled(::GetDlgItem(main, e.Id)) != FALSE) != (e.Id == 103))
            Fail("enabled state", std::to_string(e.Id) + " " + e.Text);
    if ((::GetWindowLongA(main, platform::GWL_STYLE) & platform::WS_THICKFRAME) == 0) Fail("diagnostic window", "cannot be resized");
    std::printf("diagnostic window: only Publish enabled, resizable\n");
}

void CheckMainWindow(HWND main) {
    RECT client{};
    ::GetClientRect(main, &client);
    if (client.right != ClientWidth || client.bottom != ClientHeight) Fail("main window client area", RectText(client));
    for (const Expected& e : Controls) {
        HWND control = ::GetDlgItem(main, e.Id);
        const std::string name = std::to_string(e.Id) + " " + e.Text;
        if (!control) {
            Fail("control missing", name);
            continue;
        }
        char text[128] = {}, className[64] = {};
        ::GetWindowTextA(control, text, sizeof text);
        ::GetClassNameA(control, className, sizeof className);
        if (_stricmp(className, e.Class) != 0) Fail("control class", name + ": " + className);
        if (std::strcmp(text, e.Text) != 0) Fail("control text", name + ": " + text);
        if (!::IsWindowVisible(control)) Fail("control hidden", name);
        const RECT place = PlaceInParent(control, main);
        if (!::EqualRect(&place, &e.Place)) Fail("control place", name + ": " + RectText(place) + " instead of " + RectText(e.Place));
    }
    std::printf("main window: %zu controls checked\n", sizeof Controls / sizeof Controls[0]);
}

// The box's lines, from its rows while it does not wrap (its window text gives a soft line break as a
// blank under Wine); the window text is all that crosses the process boundary.
std::vector<std::string> ReportLines(HWND box) {
    // GetWindowText does not ask another process's control for its text; the message does.
    std::string text(static_cast<size_t>(::SendMessageA(box, WM_GETTEXTLENGTH, 0, 0)) + 1, '\0');
    text.resize(static_cast<size_t>(::SendMessageA(box, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]))));
    ::SendMessageA(box, EM_SETTARGETDEVICE, 0, 1);
    const LRESULT rows = ::SendMessageA(box, EM_GETLINECOUNT, 0, 0);
    std::vector<std::string> lines;
    LRESULT start = 0;
    for (LRESULT row = 1; row <= rows; ++row) {
        const LRESULT next = row < rows ? ::SendMessageA(box, EM_LINEINDEX, static_cast<WPARAM>(row), 0) : static_cast<LRESULT>(text.size()) + 1;
        lines.push_back(text.substr(std::min<size_t>(start, text.size()), next > start ? next - start - 1 : 0));
        start = next;
    }
    ::SendMessageA(box, EM_SETTARGETDEVICE, 0, 0);
    return lines;
}

// The window laid out around its report: the box across the top of the client area as high as its
// lines (16 N + 13 at 96 pixels per inch, two thirds of the work area when the window would not fit),
// 95 below it for the buttons, the window centred in the work area, and all of it as a user sees it.
void CheckLaidOutWindow(HWND main) {
    HWND box = ::GetDlgItem(main, 100);
    const int lines = static_cast<int>(std::max<size_t>(ReportLines(box).size(), 1));
    RECT work{}, outer{}, client{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    ::GetWindowRect(main, &outer);
    ::GetClientRect(main, &client);
    const LONG areaWidth = work.right - work.left, areaHeight = work.bottom - work.top;
    const int frameHeight = (outer.bottom - outer.top) - client.bottom;
    int boxHeight = Scaled(16) * lines + Scaled(13);
    if (boxHeight + Scaled(95) + frameHeight > areaHeight) boxHeight = areaHeight * 2 / 3;
    std::printf("report: %d lines; client %ldx%ld\n", lines, client.right, client.bottom);
    const RECT boxPlace = PlaceInParent(box, main), wantedBox = {0, 0, client.right, boxHeight};
    if (!::EqualRect(&boxPlace, &wantedBox)) Fail("report box place", RectText(boxPlace) + " instead of " + RectText(wantedBox));
    if (client.bottom != boxHeight + Scaled(95)) Fail("client area", RectText(client));
    const LONG outerWidth = outer.right - outer.left, outerHeight = outer.bottom - outer.top;
    if (outer.left != work.left + (areaWidth - outerWidth) / 2 || outer.top != work.top + (areaHeight - outerHeight) / 2)
        Fail("window not centred", RectText(outer) + " in " + RectText(work));
    char caption[64] = {};
    ::GetWindowTextA(main, caption, sizeof caption);
    if (std::strcmp(caption, "KORVANTE") != 0) Fail("caption", caption);
    CheckLayout(main);
}

// The program's main window, shown or hidden; null after WaitMs.
HWND WaitForAnyMainWindow(DWORD processId) {
    return WaitForWindow([processId]() -> HWND {
        for (HWND w = ::FindWindowExA(nullptr, nullptr, "KorvanteMainWindow", nullptr); w;
             w = ::FindWindowExA(nullptr, w, "KorvanteMainWindow", nullptr)) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(w, &owner);
            if (owner == processId) return w;
        }
        return nullptr;
    });
}

// The hidden window gets the tray icon's left click; the report opens. Null when it does not.
HWND OpenReport(DWORD processId) {
    HWND hidden = WaitForAnyMainWindow(processId);
    if (!hidden) return Fail("main window", "not created within 30 s"), nullptr;
    ::PostMessageA(hidden, 0x8001, 0, WM_LBUTTONDOWN);  // the tray icons' callback message
    HWND main = WaitForWindow([processId] { return FindMainWindow(processId); });
    if (!main) Fail("report", "not shown within 30 s of the click");
    return main;
}

void CheckReport(DWORD processId) {
    HWND main = OpenReport(processId);
    if (!main) return;
    std::string text;
    for (const std::string& line : ReportLines(::GetDlgItem(main, 100))) text += line + "\n";
    std::printf("report text: %zu characters\n", text.size());
    if (text.find("\nModel - ") == std::string::npos && text.compare(0, 8, "Model - ") != 0)
        Fail("report text", "no \"Model - \" line in [" + text + "]");
    CheckLaidOutWindow(main);
}

// Esc hides the report wherever the focus is: the key goes to the report box, then to a button, as
// it would to the focused control, the report opened from the tray before each.
void CheckEscape(DWORD processId) {
    for (const int id : {100, 106}) {
        HWND main = OpenReport(processId);
        if (!main) return;
        ::PostMessageA(::GetDlgItem(main, id), platform::WM_KEYDOWN, platform::VK_ESCAPE, 1);
        for (DWORD waited = 0; waited < WaitMs && ::IsWindowVisible(main); waited += PollMs) ::Sleep(PollMs);
        if (::IsWindowVisible(main)) Fail("escape", "the report stays open with the key at control " + std::to_string(id));
        else std::printf("escape at control %d: the report hidden\n", id);
    }
}

// Wine shows the tray entries in a window of its own when no desktop tray holds them; each entry is
// a child window of it.
BOOL CALLBACK CountWindow(HWND, LPARAM counter) {
    ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

int TrayEntryCount(HWND tray) {
    int count = 0;
    ::EnumChildWindows(tray, CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

void CheckTray(int wanted) {
    HWND tray = WaitForWindow([] { return ::FindWindowA(nullptr, "Wine System Tray"); });
    if (!tray) return Fail("tray", "no \"Wine System Tray\" window");
    int count = 0;
    // Wine shows its tray window a moment after the entries arrive.
    for (DWORD waited = 0; waited < WaitMs && ((count = TrayEntryCount(tray)) < wanted || !::IsWindowVisible(tray));
         waited += PollMs)
        ::Sleep(PollMs);
    RECT r{};
    ::GetWindowRect(tray, &r);
    std::printf("tray: %d entries in %s\n", count, RectText(r).c_str());
    if (count < wanted) Fail("tray entries", std::to_string(count) + " of " + std::to_string(wanted));
    if (!::IsWindowVisible(tray)) Fail("tray", "its window is hidden");
}

// Wine's tray gives each entry a tooltip control owned by the tray window, in Explorer's process. The
// control copies a tool's text only into memory of its own process: the text is fetched through a
// block lent there.
struct TipSearch {
    HWND Tray;
    std::vector<HWND> Controls;
};

BOOL CALLBACK CollectTipControl(HWND window, LPARAM search) {
    auto* s = reinterpret_cast<TipSearch*>(search);
    char className[64] = {};
    ::GetClassNameA(window, className, sizeof className);
    if (_stricmp(className, TOOLTIPS_CLASSA) == 0 && ::GetWindow(window, GW_OWNER) == s->Tray) s->Controls.push_back(window);
    return TRUE;
}

constexpr UINT EnumToolsW = platform::WM_USER + 58;  // TTM_ENUMTOOLSW, which names the undefined WM_USER

struct RemoteTool {
    TTTOOLINFOW Info;
    wchar_t Text[512];
};

std::string ToolTextIn(HANDLE explorer, HWND control) {
    auto* remote = static_cast<RemoteTool*>(::VirtualAllocEx(explorer, nullptr, sizeof(RemoteTool), MEM_COMMIT, PAGE_READWRITE));
    if (!remote) return {};
    RemoteTool local{};
    local.Info.cbSize = sizeof local.Info;
    local.Info.lpszText = remote->Text;
    std::string text;
    SIZE_T moved = 0;
    if (::WriteProcessMemory(explorer, remote, &local, sizeof local, &moved) &&
        ::SendMessageW(control, EnumToolsW, 0, reinterpret_cast<LPARAM>(remote)) &&
        ::ReadProcessMemory(explorer, remote, &local, sizeof local, &moved)) {
        local.Text[511] = 0;
        char narrow[1024] = {};
        ::WideCharToMultiByte(CP_ACP, 0, local.Text, -1, narrow, sizeof narrow, nullptr, nullptr);
        text = narrow;
    }
    ::VirtualFreeEx(explorer, remote, 0, MEM_RELEASE);
    return text;
}

std::vector<std::string> TrayTips() {
    TipSearch search{::FindWindowA(nullptr, "Wine System Tray"), {}};
    DWORD explorerId = 0;
    ::GetWindowThreadProcessId(search.Tray, &explorerId);
    HANDLE explorer = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, explorerId);
    if (!explorer) return {};
    ::EnumWindows(CollectTipControl, reinterpret_cast<LPARAM>(&search));
    std::vector<std::string> tips;
    for (HWND control : search.Controls) tips.push_back(ToolTextIn(explorer, control));
    ::CloseHandle(explorer);
    return tips;
}

void CheckTrayTips(const std::vector<std::string>& wanted) {
    const std::vector<std::string> tips = TrayTips();
    for (const std::string& tip : tips) std::printf("tray tip: \"%s\"\n", tip.c_str());
    for (const std::string& w : wanted) {
        bool found = false;
        for (const std::string& tip : tips) found = found || tip == w;
        if (!found) Fail("tray tip missing", w);
    }
}

void PrintMemory(HANDLE process, int seconds) {
    ::Sleep(static_cast<DWORD>(seconds) * 1000);
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!::K32GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
        return Fail("memory", "cannot be read");
    std::printf("memory after %d s: working set %zu KiB, private %zu KiB\n", seconds,
                static_cast<size_t>(counters.WorkingSetSize / 1024), static_cast<size_t>(counters.PrivateUsage / 1024));
}

// Prints SHOOT (with the name the screenshot is told apart by, when there is more than one) once the
// program has painted, and waits for the screenshot to be taken (a line, or the end of the input).
void LetTheScreenshotBeTaken(HANDLE process, const char* name = "") {
    ::WaitForInputIdle(process, WaitMs);
    ::Sleep(SettleMs);  // the controls paint after the window is found
    std::printf(*name ? "SHOOT %s\n" : "SHOOT\n", name);
    std::fflush(stdout);
    char line[16];
    if (!std::fgets(line, sizeof line, stdin)) std::printf("(no answer on input)\n");
}

const char SettingsKeyPath[] = "Software\\KORVANTE";
const char* const SettingNames[] = {"Fahrenheit", "ShowHottestDiskOnly", "ShowCPU_usage", "CheckUpdate"};
const char* const SettingBoxes[] = {"Use Fahrenheit temperature scale", "Show the icon of the hottest disk only",
                                    "Show CPU usage", "Check for updates"};

HKEY Machine() { return reinterpret_cast<HKEY>(platform::HKEY_LOCAL_MACHINE); }

void SetWineUserValue(const char* path, const char* name, const char* value) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(reinterpret_cast<HKEY>(platform::HKEY_CURRENT_USER), path, 0, nullptr, 0, platform::KEY_ALL_ACCESS,
                          nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    ::RegSetValueExA(key, name, 0, platform::REG_SZ, reinterpret_cast<const BYTE*>(value), static_cast<DWORD>(std::strlen(value) + 1));
    ::RegCloseKey(key);
}

// Without a window manager (Xvfb) nobody draws the frame of a window the manager would decorate: Wine
// is asked to draw every frame itself, so that the screenshots show captions as Windows would. Wine
// has no Courier New of its own: the report gets a font of its widths.
void PrepareWineForScreenshots() {
    SetWineUserValue("Software\\Wine\\X11 Driver", "Decorated", "N");
    SetWineUserValue("Software\\Wine\\Fonts\\Replacements", "Courier New", "Liberation Mono");
}

const char DesktopPath[] = "Control Panel\\Desktop";

// The user's screen density, read by each Wine process as it starts; 0 deletes it (96).
void SetScreenDensity(int dpi) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(reinterpret_cast<HKEY>(platform::HKEY_CURRENT_USER), DesktopPath, 0, nullptr, 0,
                          platform::KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return Fail("screen density", "the desktop key cannot be opened");
    const DWORD value = static_cast<DWORD>(dpi);
    if (dpi) ::RegSetValueExA(key, "LogPixels", 0, platform::REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    else ::RegDeleteValueA(key, "LogPixels");
    ::RegCloseKey(key);
}

void PrepareSettings(bool showDialog) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(Machine(), SettingsKeyPath, 0, nullptr, 0, platform::KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return Fail("settings key", "cannot be created");
    for (int i = 0; i < 4; ++i) {
        const DWORD value = i == 3;
        ::RegSetValueExA(key, SettingNames[i], 0, platform::REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    if (showDialog) ::RegDeleteValueA(key, "CheckUpdate");
    // Not a first start after installation: that one restarts Explorer, which holds Wine's tray.
    const DWORD installed = 1;
    ::RegSetValueExA(key, "InstallationSuccess", 0, platform::REG_DWORD, reinterpret_cast<const BYTE*>(&installed),
                     sizeof installed);
    ::RegCloseKey(key);
}

DWORD StoredSetting(const char* name) {
    DWORD value = 0xFFFFFFFF, size = sizeof value;
    ::RegGetValueA(Machine(), SettingsKeyPath, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

struct BoxSearch {
    const char* Text;
    HWND Found;
};

BOOL CALLBACK FindBox(HWND child, LPARAM search) {
    auto* s = reinterpret_cast<BoxSearch*>(search);
    char text[128] = {};
    ::GetWindowTextA(child, text, sizeof text);
    if (std::strcmp(text, s->Text) != 0) return TRUE;
    s->Found = child;
    return FALSE;
}

// The first-run settings dialog: its boxes, one tick, the screenshot, closing, and what it stored.
void CheckSettingsDialog(HANDLE process) {
    HWND dialog = WaitForWindow([] { return ::FindWindowA(nullptr, "KORVANTE :: Settings"); });
    if (!dialog) return Fail("settings dialog", "not shown within 30 s");
    for (const char* caption : SettingBoxes) {
        BoxSearch search{caption, nullptr};
        // The dialog's window is found before its boxes are made.
        for (DWORD waited = 0; waited < WaitMs && !search.Found; waited += PollMs) {
            ::EnumChildWindows(dialog, FindBox, reinterpret_cast<LPARAM>(&search));
            if (!search.Found) ::Sleep(PollMs);
        }
        if (!search.Found) Fail("settings box missing", caption);
        else if (caption == SettingBoxes[0]) ::SendMessageA(search.Found, BM_CLICK, 0, 0);
    }
    CheckLayout(dialog);
    LetTheScreenshotBeTaken(process);
    ::PostMessageA(dialog, platform::WM_CLOSE, 0, 0);
    for (DWORD waited = 0; waited < WaitMs && ::IsWindow(dialog); waited += PollMs) ::Sleep(PollMs);
    const DWORD expected[] = {1, 0, 0, 1};
    for (int i = 0; i < 4; ++i)
        if (StoredSetting(SettingNames[i]) != expected[i])
            Fail("stored setting", std::string(SettingNames[i]) + " = " + std::to_string(StoredSetting(SettingNames[i])));
    std::printf("settings dialog: four boxes, stored 1 0 0 1\n");
}

// The built-in machine's drives as their keys name them (model, then serial).
const char* const BuiltInDriveKeys[] = {
    "WDC WD10EZEX-08WN4A0\\WD-WCC6Y7KZ1462", "Samsung SSD 860 EVO 500GB\\S3Z2NB0K812345A",
    "Maxtor 6Y080L0\\Y2B6W1KE",              "ST3160815AS\\9RA3F8XK",
    "Samsung SSD 970 EVO Plus 1TB\\S4EWNX0R123456K", "WDC WD20SPZX-22UA7T0\\WD-WX21A98K7T4C",
    "WD Blue SA510 2.5 1000GB\\22471T800123",
};
const char* const ReadResultNames[] = {"AverageAccessTime", "AverageAccessTimeFrac", "AverageReadSpeed", "BufferingReadSpeed",
                                       "MaxReadSpeed",      "StabilityReadSpeed",    "MinReadSpeed"};

void StoreBuiltInReadResults() {
    for (const char* drive : BuiltInDriveKeys) {
        HKEY key = nullptr;
        const std::string path = std::string(SettingsKeyPath) + "\\" + drive;
        if (::RegCreateKeyExA(Machine(), path.c_str(), 0, nullptr, 0, platform::KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
            return Fail("drive key", "cannot be created");
        const DWORD value = 1;
        for (const char* name : ReadResultNames)
            ::RegSetValueExA(key, name, 0, platform::REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
        ::RegCloseKey(key);
    }
}

// The names of a key's subkeys.
std::vector<std::string> Subkeys(HKEY key) {
    std::vector<std::string> names;
    char name[256];
    DWORD size = sizeof name;
    for (DWORD i = 0; ::RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS; size = sizeof name, ++i)
        names.push_back(name);
    return names;
}

// Drive keys (model, then serial, under the settings key) that hold all seven read results.
int DrivesWithReadResults() {
    HKEY settings = nullptr;
    if (::RegOpenKeyExA(Machine(), SettingsKeyPath, 0, platform::KEY_READ, &settings) != ERROR_SUCCESS) return 0;
    int found = 0;
    for (const std::string& model : Subkeys(settings)) {
        HKEY modelKey = nullptr;
        if (::RegOpenKeyExA(settings, model.c_str(), 0, platform::KEY_READ, &modelKey) != ERROR_SUCCESS) continue;
        for (const std::string& serial : Subkeys(modelKey)) {
            bool all = true;
            for (const char* name : ReadResultNames)
                all = all && ::RegGetValueA(modelKey, serial.c_str(), name, RRF_RT_REG_DWORD, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
            found += all;
        }
        ::RegCloseKey(modelKey);
    }
    ::RegCloseKey(settings);
    return found;
}

std::string TextOf(HWND control) {
    std::string text(static_cast<size_t>(::SendMessageA(control, WM_GETTEXTLENGTH, 0, 0)) + 1, '\0');
    text.resize(static_cast<size_t>(::SendMessageA(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]))));
    return text;
}

size_t LongestLine(const std::string& text) {
    size_t longest = 0, start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) longest = std::max(longest, end - start);
    return std::max(longest, text.size() - start);
}

// The window the program shows while it measures the drives' read performance: owned by the main
// window, a tool window on top without maximise box or sizing border, one edit control filling the
// client area, wide enough for the longest line in its 12-pixel "Courier New" (made here on its own)
// and, when the lines do not fit in its height, with a scroll bar; laid out as a user would see it.
// It is looked at while the last drive's access time is measured.
void CheckPerformanceWindow(int drives) {
    // The window exists a moment before its edit control does, and is hidden until it is placed.
    HWND window = WaitForWindow([] {
        HWND found = ::FindWindowA(nullptr, "KORVANTE :: Performance analysis");
        return found && ::IsWindowVisible(found) && ::FindWindowExA(found, nullptr, "Edit", nullptr) ? found : nullptr;
    });
    if (!window) return Fail("performance window", "not shown with its edit control within 30 s");
    HWND edit = ::FindWindowExA(window, nullptr, "Edit", nullptr);
    const std::string lastLine = "Average access time - ?";
    std::string text;
    for (DWORD waited = 0; waited < WaitMs; waited += PollMs / 10) {
        text = TextOf(edit);
        size_t models = 0;
        for (size_t at = 0; (at = text.find("Model - ", at)) != std::string::npos; ++at) ++models;
        if (static_cast<int>(models) == drives && text.size() >= lastLine.size() &&
            text.compare(text.size() - lastLine.size(), lastLine.size(), lastLine) == 0)
            break;
        ::Sleep(PollMs / 10);
    }
    std::printf("performance window text: [%s]\n", text.c_str());
    char ownerClass[64] = {};
    ::GetClassNameA(::GetWindow(window, GW_OWNER), ownerClass, sizeof ownerClass);
    if (std::strcmp(ownerClass, "KorvanteMainWindow") != 0) Fail("performance window owner", ownerClass);
    const DWORD style = ::GetWindowLongA(window, platform::GWL_STYLE), exStyle = ::GetWindowLongA(window, platform::GWL_EXSTYLE);
    if (style & (platform::WS_MAXIMIZEBOX | platform::WS_THICKFRAME)) Fail("performance window", "maximise box or sizing border");
    if ((exStyle & (platform::WS_EX_TOOLWINDOW | platform::WS_EX_TOPMOST)) != (platform::WS_EX_TOOLWINDOW | platform::WS_EX_TOPMOST))
        Fail("performance window", "not a tool window on top");
    RECT client{}, outer{};
    ::GetClientRect(window, &client);
    ::GetWindowRect(window, &outer);
    const HFONT font = ::CreateFontA(-Scaled(12), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Courier New");
    const SIZE longest = MeasureText(std::string(LongestLine(text), 'M'), font);
    ::DeleteObject(font);
    const bool scrolls = (::GetWindowLongA(edit, platform::GWL_STYLE) & platform::WS_VSCROLL) != 0;
    const LONG lines = 5 * drives;  // "Please wait...", four per drive and one between two
    if (client.right < longest.cx + (scrolls ? ::GetSystemMetrics(SM_CXVSCROLL) : 0))
        Fail("performance window", "narrower than its longest line: " + RectText(client));
    if (!scrolls && client.bottom < longest.cy * lines) Fail("performance window", "lower than its text, without a scroll bar");
    const RECT editPlace = PlaceInParent(edit, window);
    if (!::EqualRect(&editPlace, &client)) Fail("edit control place", RectText(editPlace));
    CheckLayout(window);
    std::printf("performance window: client %ldx%ld, window %s\n", client.right, client.bottom, RectText(outer).c_str());
    std::printf("SHOOT\n");
    std::fflush(stdout);
    char line[16];
    if (!std::fgets(line, sizeof line, stdin)) std::printf("(no answer on input)\n");
    for (DWORD waited = 0; waited < 2 * WaitMs && ::IsWindow(window); waited += PollMs) ::Sleep(PollMs);
    if (::IsWindow(window)) return Fail("performance window", "still there after 60 s");
    if (DrivesWithReadResults() != drives) Fail("stored read results", std::to_string(DrivesWithReadResults()) + " drives");
}

// What each dialog is opened by and shows: the main window's button, the caption, the client area,
// and the captions of its group boxes (by control identifier).
struct DialogDesign {
    const char* Name;
    int Command;
    const char* Caption;
    std::vector<std::pair<int, std::string>> Groups;
};

const DialogDesign Dialogs[] = {
    {"tuning", 106, "KORVANTE :: Tuning",
     {{401, "Automatic acoustic management"}, {407, "Advanced power management"}}},
    {"diagnostics", 105, "KORVANTE :: Diagnostics", {{501, ""}}},
};

std::string ControlText(HWND control) {
    char text[128] = {};
    ::GetWindowTextA(control, text, sizeof text);
    return text;
}

// The button's command sent to the (hidden) main window opens the dialog; closing it shows the report.
void CheckDialog(HANDLE process, DWORD processId, const std::string& name) {
    const DialogDesign* design = nullptr;
    for (const DialogDesign& d : Dialogs) design = name == d.Name ? &d : design;
    if (!design) return Fail("dialog", "unknown: " + name);
    HWND main = WaitForAnyMainWindow(processId);
    if (!main) return Fail("main window", "not created within 30 s");
    ::PostMessageA(main, platform::WM_COMMAND, MAKEWPARAM(design->Command, platform::BN_CLICKED), 0);
    HWND dialog = WaitForWindow([design] { return ::FindWindowA(nullptr, design->Caption); });
    if (!dialog) return Fail("dialog", std::string(design->Caption) + " not shown within 30 s");
    HWND list = WaitForWindow([dialog, design] { return ::GetDlgItem(dialog, design->Groups[0].first - 1); });
    // The groups are made after the list.
    WaitForWindow([dialog, design] { return ::GetDlgItem(dialog, design->Groups.back().first + 5); });
    CheckLayout(dialog);
    const LRESULT drives = list ? ::SendMessageA(list, platform::CB_GETCOUNT, 0, 0) : 0;
    // Wine hands another process's list entry over in UTF-16 only.
    wchar_t wide[256] = {};
    if (list) ::SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(::SendMessageW(list, platform::CB_GETCURSEL, 0, 0)),
                             reinterpret_cast<LPARAM>(wide));
    char selected[256] = {};
    ::WideCharToMultiByte(CP_ACP, 0, wide, -1, selected, sizeof selected, nullptr, nullptr);
    std::printf("%s: %ld drives listed, \"%s\" selected\n", design->Caption, static_cast<long>(drives), selected);
    if (drives < 1 || std::strncmp(selected, "Model - ", 8) != 0) Fail("drive list", selected);
    for (const auto& [id, caption] : design->Groups) {
        const std::string text = ControlText(::GetDlgItem(dialog, id));
        std::printf("group %d: \"%s\"\n", id, text.c_str());
        if (text.compare(0, caption.size(), caption) != 0) Fail("group caption", text);
    }
    LetTheScreenshotBeTaken(process);
    ::PostMessageA(dialog, platform::WM_CLOSE, 0, 0);
    if (!WaitForWindow([processId] { return FindMainWindow(processId); })) Fail("report", "not shown after the dialog closed");
    else std::printf("dialog closed, report shown\n");
}

// The program's own LICENSE resource, read from its file.
std::string LicenseResource(const std::string& program) {
    const HMODULE module = ::LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return std::string();
    std::string text;
    if (HRSRC found = ::FindResourceA(module, "LICENSE", MAKEINTRESOURCEA(10))) {  // RT_RCDATA
        const HGLOBAL loaded = ::LoadResource(module, found);
        const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
        if (bytes) text.assign(static_cast<const char*>(bytes), ::SizeofResource(module, found));
    }
    ::FreeLibrary(module);
    return text;
}

// The licence agreement: caption, client area, the resource's text, the buttons at their places; the
// screenshot; then the user's choice and the exit code it leads to.
void CheckLicense(HANDLE process, const Options& options) {
    const struct { const char* Choice; int Button; DWORD ExitCode; } choices[] = {
        {"accept", 1, 1}, {"cancel", 2, 0}, {"close", 0, 0},
    };
    const auto* choice = std::find_if(std::begin(choices), std::end(choices),
                                      [&options](const auto& c) { return options.License == c.Choice; });
    if (choice == std::end(choices)) return Fail("license", "unknown choice " + options.License);
    HWND dialog = WaitForWindow([] { return ::FindWindowA(nullptr, "KORVANTE :: License Agreement"); });
    if (!dialog) return Fail("license", "not shown within 30 s");
    // Accept is made last.
    HWND box = WaitForWindow([dialog] { return ::GetDlgItem(dialog, 1); }) ? ::GetDlgItem(dialog, 3) : nullptr;
    CheckLayout(dialog);
    const std::string expected = LicenseResource(options.Program);
    std::string shown(expected.size() + 16, '\0');  // asked of the box itself: it holds the text
    shown.resize(box ? static_cast<size_t>(::SendMessageA(box, WM_GETTEXT, shown.size(),
                                                          reinterpret_cast<LPARAM>(&shown[0])))
                     : 0);
    std::printf("license text: %zu of %zu resource bytes shown\n", shown.size(), expected.size());
    if (expected.size() < 100 || shown != expected) Fail("license text", "not the program's LICENSE resource, whole");
    if (!box || !::IsWindowVisible(box) || !(::GetWindowLongA(box, platform::GWL_STYLE) & platform::ES_READONLY))
        Fail("license text box", "missing, hidden or editable");
    // Below the text box's right end, Accept left of Cancel.
    const RECT text = box ? PlaceInParent(box, dialog) : RECT{};
    const RECT accept = PlaceInParent(::GetDlgItem(dialog, 1), dialog), cancel = PlaceInParent(::GetDlgItem(dialog, 2), dialog);
    std::printf("text box at %s, Accept at %s, Cancel at %s\n", RectText(text).c_str(), RectText(accept).c_str(),
                RectText(cancel).c_str());
    if (ControlText(::GetDlgItem(dialog, 1)) != "Accept" || ControlText(::GetDlgItem(dialog, 2)) != "Cancel")
        Fail("license buttons", "not Accept and Cancel");
    if (cancel.right != text.right || accept.right > cancel.left || accept.top < text.bottom || cancel.top != accept.top)
        Fail("license buttons", "not below the text box's right end, Accept first");
    LetTheScreenshotBeTaken(process);
    if (choice->Button) ::PostMessageA(::GetDlgItem(dialog, choice->Button), BM_CLICK, 0, 0);
    else ::PostMessageA(dialog, platform::WM_CLOSE, 0, 0);
    DWORD code = STILL_ACTIVE;
    if (::WaitForSingleObject(process, WaitMs) != platform::WAIT_OBJECT_0) return Fail("license", "still running after the choice");
    ::GetExitCodeProcess(process, &code);
    std::printf("license %s: exit code %lu\n", choice->Choice, code);
    if (code != choice->ExitCode) Fail("license exit code", std::to_string(code));
}

// The entries of the "Wine System Tray" window (0 without it), once `done` holds for the count or
// after `waitMs`.
template <typename Done>
int WaitForTrayEntries(Done done, DWORD waitMs = WaitMs) {
    int count = 0;
    for (DWORD waited = 0;; waited += PollMs) {
        HWND tray = ::FindWindowA(nullptr, "Wine System Tray");
        count = tray ? TrayEntryCount(tray) : 0;
        if (done(count) || waited >= waitMs) return count;
        ::Sleep(PollMs);
    }
}

// What Explorer's end does to the program's entries: they are gone, the program not told. The program
// numbers its entries from 1; the number deleted.
int DeleteTrayEntries(HWND window, UINT firstId, UINT lastId) {
    int deleted = 0;
    for (UINT id = firstId; id <= lastId; ++id) {
        NOTIFYICONDATAA entry{};
        entry.cbSize = sizeof entry;
        entry.hWnd = window;
        entry.uID = id;
        if (::Shell_NotifyIconA(platform::NIM_DELETE, &entry)) ++deleted;
    }
    return deleted;
}

void CheckExplorerRestart(HANDLE process, DWORD processId, int entries) {
    HWND main = WaitForAnyMainWindow(processId);
    if (!main) return Fail("main window", "not created within 30 s");
    LetTheScreenshotBeTaken(process, "before");
    const int deleted = DeleteTrayEntries(main, 1, static_cast<UINT>(entries));
    const int left = WaitForTrayEntries([](int n) { return n == 0; });
    std::printf("Explorer's loss: %d entries deleted, %d left\n", deleted, left);
    if (deleted != entries || left != 0) Fail("deleting the entries", std::to_string(deleted) + " deleted, " + std::to_string(left) + " left");
    DWORD_PTR answer = 0;
    ::SendMessageTimeoutA(HWND_BROADCAST, ::RegisterWindowMessageA("TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, WaitMs, &answer);
    const int back = WaitForTrayEntries([entries](int n) { return n >= entries; });
    std::printf("after TaskbarCreated: %d entries\n", back);
    if (back < entries) Fail("entries after TaskbarCreated", std::to_string(back) + " of " + std::to_string(entries));

    ::SendMessageA(main, platform::WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    ::SendMessageA(main, platform::WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);  // returns after the resume's cycle
    // Only a cycle of the timer refreshes the icons now: the refused update adds the entry again.
    const int lost = DeleteTrayEntries(main, 1, 1);
    const int afterLoss = WaitForTrayEntries([entries](int n) { return n < entries; });
    const DWORD start = ::GetTickCount();
    const int refreshed = WaitForTrayEntries([entries](int n) { return n >= entries; }, 75000);
    std::printf("after the timer wake: %d entry deleted (%d left), %d entries after %lu ms\n", lost, afterLoss,
                refreshed, ::GetTickCount() - start);
    if (lost != 1 || refreshed < entries) Fail("monitoring timer", "no refresh brought the deleted entry back within 75 s");
    LetTheScreenshotBeTaken(process, "after");
}

}  // namespace

// A Wine process reads the density once, as it starts: the checker sets it, then runs itself again
// with the same options, so that it measures at the density the program lays itself out for, and
// deletes it once that run has ended; the run's exit code.
constexpr char AgainVariable[] = "KORVANTE_GUICHECK_RUN_AGAIN";

int RunAtDensity(int dpi) {
    SetScreenDensity(dpi);
    ::SetEnvironmentVariableA(AgainVariable, "1");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    std::string commandLine = ::GetCommandLineA();
    DWORD code = 1;
    if (::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child)) {
        ::WaitForSingleObject(child.hProcess, INFINITE);
        ::GetExitCodeProcess(child.hProcess, &code);
        ::CloseHandle(child.hThread);
        ::CloseHandle(child.hProcess);
    } else {
        std::printf("FAIL cannot run again at %d pixels per inch: error %lu\n", dpi, ::GetLastError());
    }
    SetScreenDensity(0);
    return static_cast<int>(code);
}

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::printf("usage: korvante_guicheck PROGRAM [--window] [--tray N] [--tip TEXT]... [--memory S] [--exits] [--settings] [--diagnostic] [--report] [--performance N] [--dialog NAME] [--license CHOICE] [--explorer-restart] [--escape] [--dpi N] [-- ARGUMENTS...]\n");
        return 2;
    }
    ::SetProcessDPIAware();  // sees the program's windows in the screen's pixels, as it lays them out
    if (options.Dpi && ScreenDpi() != options.Dpi) {
        if (::GetEnvironmentVariableA(AgainVariable, nullptr, 0)) {
            std::printf("FAIL the screen has %d pixels per inch, not %d\n", ScreenDpi(), options.Dpi);
            return 1;
        }
        std::fflush(stdout);
        return RunAtDensity(options.Dpi);
    }
    if (options.PerformanceDrives) ::RegDeleteTreeA(Machine(), SettingsKeyPath);
    else StoreBuiltInReadResults();
    PrepareSettings(options.Settings);
    PrepareWineForScreenshots();
    std::string commandLine = "\"" + options.Program + "\"" + options.Arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::printf("FAIL cannot start %s: error %lu\n", options.Program.c_str(), ::GetLastError());
        return 1;
    }
    if (options.PerformanceDrives) CheckPerformanceWindow(options.PerformanceDrives);
    if (options.Settings) CheckSettingsDialog(process.hProcess);
    if (options.Window) {
        const DWORD id = process.dwProcessId;
        if (HWND main = WaitForWindow([id] { return FindMainWindow(id); })) {
            if (options.Diagnostic) {
                CheckLaidOutWindow(main);
                CheckDiagnosticWindow(main);
            } else {
                CheckMainWindow(main);
            }
        }
        else Fail("main window", "not shown within 30 s");
    }
    if (options.TrayEntries > 0) CheckTray(options.TrayEntries);
    if (!options.Tips.empty()) CheckTrayTips(options.Tips);
    if (options.MemorySeconds > 0) PrintMemory(process.hProcess, options.MemorySeconds);
    if (options.Report) CheckReport(process.dwProcessId);
    if (!options.Dialog.empty()) CheckDialog(process.hProcess, process.dwProcessId, options.Dialog);
    if (!options.License.empty()) CheckLicense(process.hProcess, options);
    if (options.ExplorerRestart) CheckExplorerRestart(process.hProcess, process.dwProcessId, options.TrayEntries);
    if (!options.Settings && !options.PerformanceDrives && options.Dialog.empty() && !options.ExplorerRestart &&
        (options.Window || options.Report || options.TrayEntries > 0))
        LetTheScreenshotBeTaken(process.hProcess);
    if (options.Escape) CheckEscape(process.dwProcessId);
    if (options.Exits) {
        DWORD code = STILL_ACTIVE;
        if (::WaitForSingleObject(process.hProcess, WaitMs) != platform::WAIT_OBJECT_0) Fail("exit", "still running after 30 s");
        else if (::GetExitCodeProcess(process.hProcess, &code) && code != 0) Fail("exit code", std::to_string(code));
        else std::printf("exited with 0\n");
    }
    ::TerminateProcess(process.hProcess, 0);  // what it started, if still running
    ::WaitForSingleObject(process.hProcess, WaitMs);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    std::printf("%s\n", Failures ? "FAILED" : "PASSED");
    return Failures ? 1 : 0;
}
