#include "ui/PerformanceWindow.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "device/DiagnosticLog.h"
#include "drivetools/ReadPerformance.h"
#include "monitor/Alerts.h"
#include "monitor/DriveState.h"
#include "monitor/Monitor.h"
#include "platform/Dialogs.h"
#include "platform/Foreground.h"
#include "platform/Menus.h"
#include "platform/RichEdit.h"
#include "platform/Storage.h"
#include "platform/Time.h"
#include "platform/UserInterface.h"
#include "ui/DialogFrame.h"
#include "ui/Main.h"
#include "ui/TrayMenu.h"

using namespace platform;

namespace {

constexpr char PerformanceClass[] = "KorvantePerformance";
constexpr char PerformanceCaption[] = "KORVANTE :: Performance analysis";
constexpr uint32_t Style = WS_OVERLAPPEDWINDOW & ~(WS_MAXIMIZEBOX | WS_THICKFRAME);
constexpr uint32_t ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
constexpr uint32_t EditStyle = WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY;
// On the standard screen: the font's height, the margin around the text and the width while the
// window has no text yet; the text is measured in the font.
constexpr int FontHeight = 12, Margin = 8, CreationWidth = 260;
constexpr uint32_t ShowDelayMs = 25;
constexpr char AlreadyMeasuringText[] = "A read test is already running.";

std::atomic<bool> ReadTestUnderWay{false};

// One call's window, its text and the client area it was given.
struct Progress {
    HWnd Window = 0, Edit = 0;
    int ClientWidth = 0, ClientHeight = 0;
    int TextWidth = 0;  // the widest the text has been, with the margin
    std::string Text;
};

// In the edit control's font, measured in the font itself (the window keeps none).
TextSize LineSize(const std::string& line) { return GetFontTextExtent("Courier New", -ScaledForScreen(FontHeight), line); }

// "Please wait...", four lines per drive and an empty line between two drives, plus the margin.
int ClientHeightFor(unsigned drives) {
    return LineSize("Ag").Height * static_cast<int>(1 + 4 * drives + (drives - 1)) + ScaledForScreen(Margin);
}

// The widest line of the text in the edit control's font, plus the margin (and the scroll bar).
int ClientWidthFor(HWnd edit, const std::string& text) {
    int widest = 0;
    for (size_t start = 0; start <= text.size();) {
        const size_t end = std::min(text.find("\r\n", start), text.size());
        widest = std::max(widest, LineSize(text.substr(start, end - start)).Width);
        start = end + 2;
    }
    const bool scrolls = (GetWindowLong(edit, GWL_STYLE) & WS_VSCROLL) != 0;
    return widest + ScaledForScreen(Margin) + (scrolls ? GetSystemMetrics(SM_CXVSCROLL) : 0);
}

// The window (and the edit control filling it) centred in the work area, no larger than it: a text
// taller than the work area scrolls.
void PlaceCentred(Progress& p, int clientWidth) {
    const Rect r = CentreInWorkArea(p.Window, clientWidth, p.ClientHeight);
    Rect frame{0, 0, 0, 0};
    AdjustWindowRectEx(frame, Style, ExStyle);
    p.ClientWidth = (r.Right - r.Left) - (frame.Right - frame.Left);
    MoveWindow(p.Edit, 0, 0, p.ClientWidth, std::min(p.ClientHeight, (r.Bottom - r.Top) - (frame.Bottom - frame.Top)));
}

// The read-only edit control is drawn on the window colour; nobody but the program closes the window.
bool PerformanceProcedure(HWnd, uint32_t message, WParam w, LParam, LParam& result) {
    switch (message) {
        case WM_CTLCOLORSTATIC: result = WindowColourBackground(w); return true;
        case WM_CLOSE: return true;
        default: return false;
    }
}

// Whether a client area this high leaves the window inside the work area.
bool FitsInWorkArea(int clientHeight) {
    Rect frame{0, 0, 0, 0};
    AdjustWindowRectEx(frame, Style, ExStyle);
    Rect area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    GetWorkArea(area);
    return clientHeight + (frame.Bottom - frame.Top) <= area.Bottom - area.Top;
}

// The hidden window with its edit control, which has a scroll bar when the text will not fit in the
// work area; false (and nothing left behind) when either cannot be made.
bool CreateProgressWindow(Progress& p, unsigned drives) {
    RegisterWindowClass(PerformanceClass, PerformanceProcedure);  // fails harmlessly when already registered
    p.Window = CreateWindowEx(ExStyle, PerformanceClass, PerformanceCaption, Style, 0, 0, 0, 0, MainWindow, 0);
    if (!p.Window) return false;
    p.ClientHeight = ClientHeightFor(drives);
    const uint32_t scroll = FitsInWorkArea(p.ClientHeight) ? 0 : WS_VSCROLL;
    p.Edit = CreateWindowEx(0, EditClass, "", EditStyle | scroll, 0, 0, 0, 0, p.Window, 0);
    if (!p.Edit) {
        DestroyWindow(p.Window);
        p.Window = 0;
        return false;
    }
    DeleteSystemMenuCommand(p.Window, SC_CLOSE);
    SetWindowFont(p.Edit, "Courier New", -ScaledForScreen(FontHeight));
    PlaceCentred(p, ScaledForScreen(CreationWidth) + (scroll ? GetSystemMetrics(SM_CXVSCROLL) : 0));
    return true;
}

// Appends a piece to the text; with `replace` it takes the place of the text's last character (the
// "?" written while a measurement runs). A wider text widens the window and centres it again.
void AppendProgress(Progress& p, const std::string& piece, bool replace) {
    if (replace && !p.Text.empty()) p.Text.pop_back();
    p.Text += piece;
    const int width = ClientWidthFor(p.Edit, p.Text);
    if (width > p.TextWidth) {
        p.TextWidth = width;
        PlaceCentred(p, width);
    }
    SetWindowText(p.Edit, p.Text);
    PumpMessages(p.Window);  // repaint before the next blocking measurement
}

std::string Speed(uint16_t mibPerSecond) { return std::to_string(mibPerSecond) + " MiB/s"; }

std::string AccessTimeText(const DriveRecord& d) {
    char hundredths[8];
    std::snprintf(hundredths, sizeof hundredths, "%02u", static_cast<unsigned>(d.AverageAccessTimeFrac));
    return std::to_string(d.AverageAccessTime) + "." + hundredths + " msec";
}

struct Measurement {
    const char* Line;  // its line with the placeholder
    bool (*Run)(DriveRecord&);
    std::string (*Figure)(const DriveRecord&);
};

const Measurement Measurements[] = {
    {"\r\nBuffered read speed - ?", [](DriveRecord& d) { return MeasureReadSpeed(d, true); },
     [](const DriveRecord& d) { return Speed(d.BufferingReadSpeed); }},
    {"\r\nAverage read speed - ?", [](DriveRecord& d) { return MeasureReadSpeed(d, false); },
     [](const DriveRecord& d) { return Speed(d.AverageReadSpeed); }},
    {"\r\nAverage access time - ?", MeasureAccessTime, AccessTimeText},
};

// The drive's block of lines; true when all three measurements succeeded.
bool MeasureDrive(Progress& p, DriveRecord& d) {
    std::string model;
    {
        DriveReader reader(d);
        model = d.Model;
    }
    AppendProgress(p, "\r\nModel - " + model, false);
    bool measured = true;
    for (const Measurement& m : Measurements) {
        AppendProgress(p, m.Line, false);
        const bool ok = m.Run(d);
        std::string figure = "failed";
        if (ok) {
            DriveReader reader(d);
            figure = m.Figure(d);
        }
        AppendProgress(p, figure, true);
        measured = measured && ok;
    }
    return measured;
}

bool IsCandidate(const DriveRecord& d) { return d.PerformanceTestPending && !d.SecurityLocked && !d.SmartLost; }

// The candidates in table order, each woken by one read and a flush.
std::vector<DriveRecord*> WakeCandidates() {
    std::vector<DriveRecord*> candidates;
    for (unsigned i = 0; i < DriveCount(); ++i) {
        DriveWriter writer(i);
        DriveRecord& d = *writer;
        if (!IsCandidate(d)) continue;
        candidates.push_back(&d);
        RandomBlockRead(d);
        FlushFileBuffers(d.Handle);
    }
    return candidates;
}

// Write failures are ignored: the flag is cleared all the same. A failed drive is not pending either:
// start-up tries it again after a week, tuning and publishing when the user asks.
void StoreResults(DriveRecord& d, bool measured) {
    DriveWriter writer(d);
    if (measured)
        RecordReadTestSuccess(d);
    else
        RecordReadTestFailure(d);
    d.PerformanceTestPending = false;
}

void ShowReadTestRunning() { MessageBox(0, AlreadyMeasuringText, InfoCaption, MB_ICONINFORMATION | OwnedBoxFlags); }

// The window over the candidates' measurements, then their results stored.
void MeasureCandidates() {
    const std::vector<DriveRecord*> candidates = WakeCandidates();
    if (candidates.empty()) return;
    EnableTrayExit(false);
    Progress p;
    // Without a window the drives are measured and stored all the same, unseen.
    if (!CreateProgressWindow(p, static_cast<unsigned>(candidates.size())))
        WriteLog("The performance window cannot be created.");
    Sleep(ShowDelayMs);
    ShowWindow(p.Window, SW_SHOW);
    SetForegroundWindow(p.Window);
    LockSetForegroundWindow(LSFW_LOCK);
    AppendProgress(p, "Please wait...", false);
    std::vector<bool> measured;
    for (DriveRecord* d : candidates) {
        measured.push_back(MeasureDrive(p, *d));
        if (d != candidates.back()) AppendProgress(p, "\r\n", false);
    }
    LockSetForegroundWindow(LSFW_UNLOCK);
    for (size_t i = 0; i < candidates.size(); ++i) StoreResults(*candidates[i], measured[i]);
    DestroyWindow(p.Window);
    EnableTrayExit(true);
}

}  // namespace

bool RefusedForReadTest() {
    if (ReadTestUnderWay) ShowReadTestRunning();
    return ReadTestUnderWay;
}

bool RunPerformanceWindow() {
    if (ReadTestUnderWay.exchange(true)) {
        ShowReadTestRunning();
        return false;
    }
    MeasureCandidates();
    ReadTestUnderWay = false;
    return true;
}