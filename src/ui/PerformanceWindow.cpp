#include "ui/PerformanceWindow.h"

#include <cstdio>
#include <string>
#include <vector>

#include "device/DiagnosticLog.h"
#include "drivetools/ReadPerformance.h"
#include "monitor/DriveState.h"
#include "monitor/Monitor.h"
#include "platform/Dialogs.h"
#include "platform/Foreground.h"
#include "platform/Menus.h"
#include "platform/Storage.h"
#include "platform/Time.h"
#include "platform/UserInterface.h"
#include "ui/Main.h"
#include "ui/TrayMenu.h"

using namespace platform;

namespace {

constexpr char PerformanceClass[] = "KorvantePerformance";
constexpr char PerformanceCaption[] = "KORVANTE :: Performance analysis";
constexpr uint32_t Style = WS_OVERLAPPEDWINDOW & ~(WS_MAXIMIZEBOX | WS_THICKFRAME);
constexpr uint32_t ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
constexpr uint32_t EditStyle = WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY;
// The text is never measured: the font is chosen so that a character is 7 pixels wide and a line 14
// high, and the window is sized from character and line counts.
constexpr int CharacterWidth = 7, LineHeight = 14, Margin = 8;
constexpr int FontHeight = -12;
constexpr int CreationWidth = 260;
constexpr uint32_t ShowDelayMs = 25;

// One call's window and the length arithmetic of its text. Lengths are counted in 8 bits.
struct Progress {
    HWnd Window = 0, Edit = 0;
    int ClientHeight = 0;
    std::string Text;
    uint8_t Current = 0;  // the line being written
    uint8_t Longest = 0;
};

// "Please wait...", four lines per drive and an empty line between two drives, plus the margin.
int ClientHeightFor(unsigned drives) { return LineHeight * (1 + 4 * drives + (drives - 1)) + Margin; }

// The window (and the edit control filling it) sized to this client width and centred on the screen.
void PlaceCentred(const Progress& p, int clientWidth) {
    Rect frame{0, 0, clientWidth, p.ClientHeight};
    AdjustWindowRectEx(frame, Style, ExStyle);
    const int width = frame.Right - frame.Left, height = frame.Bottom - frame.Top;
    MoveWindow(p.Window, (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2,
               width, height);
    MoveWindow(p.Edit, 0, 0, clientWidth, p.ClientHeight);
}

// The read-only edit control is drawn on the window colour; nobody but the program closes the window.
bool PerformanceProcedure(HWnd, uint32_t message, WParam w, LParam, LParam& result) {
    switch (message) {
        case WM_CTLCOLORSTATIC: result = WindowColourBackground(w); return true;
        case WM_CLOSE: return true;
        default: return false;
    }
}

// The hidden window with its edit control; false (and nothing left behind) when either cannot be made.
bool CreateProgressWindow(Progress& p, unsigned drives) {
    RegisterWindowClass(PerformanceClass, PerformanceProcedure);  // fails harmlessly when already registered
    p.Window = CreateWindowEx(ExStyle, PerformanceClass, PerformanceCaption, Style, 0, 0, 0, 0, MainWindow, 0);
    if (!p.Window) return false;
    p.Edit = CreateWindowEx(0, EditClass, "", EditStyle, 0, 0, 0, 0, p.Window, 0);
    if (!p.Edit) {
        DestroyWindow(p.Window);
        p.Window = 0;
        return false;
    }
    DeleteSystemMenuCommand(p.Window, SC_CLOSE);
    SetWindowFont(p.Edit, "Courier New", FontHeight);
    p.ClientHeight = ClientHeightFor(drives);
    PlaceCentred(p, CreationWidth);
    return true;
}

// Appends a piece to the text; with `replace` it takes the place of the text's last character (the
// "?" written while a measurement runs). A piece that starts a line begins with "\r\n", which does not
// count. A new longest line widens the window and centres it again.
void AppendProgress(Progress& p, const std::string& piece, bool replace) {
    const uint8_t length = static_cast<uint8_t>(piece.size());
    if (replace) {
        if (!p.Text.empty()) p.Text.pop_back();
        p.Current = static_cast<uint8_t>(p.Current + length - 1);
    } else {
        p.Current = length;
    }
    if (!piece.empty() && piece[0] == '\r') p.Current = static_cast<uint8_t>(p.Current - 2);
    if (p.Current > p.Longest) {
        p.Longest = p.Current;
        PlaceCentred(p, CharacterWidth * p.Longest + Margin);
    }
    p.Text += piece;
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

}  // namespace

void RunPerformanceWindow() {
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
