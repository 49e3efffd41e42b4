#include "ui/ReportWindow.h"

#include "device/DriveRecord.h"
#include "monitor/Monitor.h"
#include "platform/Dialogs.h"
#include "platform/RichEdit.h"
#include "platform/RtfText.h"
#include "platform/Shell.h"
#include "platform/Threads.h"
#include "ui/DialogFrame.h"
#include "ui/Main.h"
#include "ui/Report.h"
#include "ui/ReportLayout.h"
#include "ui/UnrecognisedDisks.h"

using namespace platform;

namespace {

constexpr MainControl LaidOutButtons[6] = {ExpertModeId, DatabaseId, PublishId, DefragmentationId, DiagnosticsId, TuningId};

// Without drives only publishing is left to do.
void DisableDriveCommands() {
    for (const MainControl id : {ExpertModeId, DefragmentationId, DatabaseId, DiagnosticsId, TuningId})
        EnableWindow(GetDlgItem(MainWindow, id), false);
}

void MoveTo(HWnd window, const Rect& r) { MoveWindow(window, r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top); }

// The window's frame around its client area: outer minus client width and height.
void FrameSize(int& width, int& height) {
    Rect frame{0, 0, 0, 0};
    AdjustWindowRectEx(frame, GetWindowLong(MainWindow, GWL_STYLE), GetWindowLong(MainWindow, GWL_EXSTYLE));
    width = frame.Right - frame.Left;
    height = frame.Bottom - frame.Top;
}

// The box is sized first, so that it can tell whether its text needs the scroll bar; then everything
// takes its place.
void LayOutReportWindow() {
    const int scrollBar = GetSystemMetrics(SM_CXVSCROLL);
    Rect workArea{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    GetWorkArea(workArea);
    int frameWidth = 0, frameHeight = 0;
    FrameSize(frameWidth, frameHeight);
    const ReportSize size = SizeReportWindow(MeasureReportText(GetRichEditText(ReportBox)), scrollBar, frameWidth,
                                             frameHeight, workArea, ScreenDpi());
    MoveWindow(MainWindow, 0, 0, size.ClientWidth + frameWidth, size.ClientHeight + frameHeight);
    MoveWindow(ReportBox, 0, 0, size.ClientWidth, size.BoxHeight);
    const ReportPlaces places =
        PlaceReportWindow(size, HasVerticalScrollBar(ReportBox), scrollBar, frameWidth, frameHeight, workArea, ScreenDpi());
    MoveTo(MainWindow, places.Window);
    MoveTo(ReportBox, places.Box);
    for (int i = 0; i < 6; ++i) MoveTo(GetDlgItem(MainWindow, LaidOutButtons[i]), places.Buttons[i]);
}

}  // namespace

void BuildReport() {
    const bool expert = SendMessage(GetDlgItem(MainWindow, ExpertModeId), BM_GETCHECK, 0, 0) == BST_CHECKED;
    SetMainWindowCaption(expert ? "KORVANTE :: Expert mode" : "KORVANTE");
    ReportDepth depth = expert ? ReportDepth::Expert : ReportDepth::Normal;
    if (DriveCount() == 0) {
        DisableDriveCommands();
        StopMonitorTimer();
        depth = ReportDepth::Expert;  // the diagnostic report
    }
    const ReportDocument document = BuildReportDocument(depth);
    SetRichText(ReportBox, ReportRtf(document));
    LayOutReportWindow();
    ShowWindow(MainWindow, SW_SHOW);
}

void RebuildReport() {
    ShowWindow(MainWindow, SW_HIDE);
    BuildReport();
}

// The box's plain text of a document is what the portable reader gives of its rich text (the
// Windows tests hold a real rich-edit box to that).
std::string BuildPublishText() {
    const ReportDocument document = BuildReportDocument(ReportDepth::Publish, UnrecognisedDiskLines());
    PostMessage(MainWindow, ShowReportAgainMessage, 0, 0);
    return RtfPlainText(ReportRtf(document));
}

namespace {

// What the link names: the instruction's target, or the text itself.
std::string NamedTarget(const std::string& linkText) {
    const std::string keyword = "HYPERLINK";
    const size_t at = linkText.find(keyword);
    if (at == std::string::npos) return linkText;
    size_t start = linkText.find_first_not_of(' ', at + keyword.size());
    if (start == std::string::npos) return std::string();
    const bool quoted = linkText[start] == '"';
    if (quoted) ++start;
    const size_t end = linkText.find(quoted ? '"' : ' ', start);
    return linkText.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool StartsWith(const std::string& text, const char* prefix) { return text.compare(0, std::string(prefix).size(), prefix) == 0; }

}  // namespace

// Only web addresses are opened: the shell would start a program named by any other text.
std::string LinkTarget(const std::string& linkText) {
    const std::string target = NamedTarget(linkText);
    return StartsWith(target, "https://") || StartsWith(target, "http://") ? target : std::string();
}

bool OnReportNotification(LParam lParam) {
    LinkNotification link;
    if (!ReadLinkNotification(lParam, link) || link.Box != ReportBox || link.MouseMessage != WM_LBUTTONUP) return false;
    const std::string target = LinkTarget(link.Text);
    if (target.empty()) return false;
    CreateThread([target] { ShellExecute(MainWindow, "open", target, "", "", SW_SHOWMAXIMIZED); });
    return true;
}
