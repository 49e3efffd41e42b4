// Every window of the program laid out at 100, 150 and 200 % on the simulated screen, checked as a user
// would look at it: inside the work area, wide enough for its caption, every control inside the client
// area and not over another, every text whole in its control.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "app/ProgramLife.h"
#include "monitor/Monitor.h"
#include "platform/Dialogs.h"
#include "platform/RichEdit.h"
#include "platform/sim/SimDialogs.h"
#include "platform/sim/SimRichEdit.h"
#include "platform/sim/SimWindowing.h"
#include "ui/LicenseDialog.h"
#include "ui/Main.h"
#include "ui/PerformanceWindow.h"
#include "ui/ReportWindow.h"
#include "ui/SelfTestDialog.h"
#include "ui/Settings.h"
#include "ui/TuningDialog.h"

namespace {

using namespace platform;

bool Intersect(const sim::WindowRecord& a, const sim::WindowRecord& b) {
    return a.X < b.X + b.Width && b.X < a.X + a.Width && a.Y < b.Y + b.Height && b.Y < a.Y + a.Height;
}

bool Inside(const sim::WindowRecord& inner, const sim::WindowRecord& outer) {
    return inner.X >= outer.X && inner.Y >= outer.Y && inner.X + inner.Width <= outer.X + outer.Width &&
           inner.Y + inner.Height <= outer.Y + outer.Height;
}

bool IsGroupBox(const sim::WindowRecord& w) { return w.Class == ButtonClass && (w.Style & 0xF) == BS_GROUPBOX; }

// The width a control's text needs: a check mark before a check box's or radio button's caption, a
// border around a button's or group box's; 0 for controls whose text is not a caption.
int NeededWidth(const sim::WindowRecord& w) {
    if (w.Text.empty() || (w.Class != ButtonClass && w.Class != StaticClass)) return 0;
    const int text = GetTextExtent(w.Handle, w.Text).Width;
    if (w.Class == StaticClass) return text + 1;  // disabled, drawn embossed a pixel to the right
    const uint32_t kind = w.Style & 0xF;
    if (kind == BS_AUTOCHECKBOX || kind == BS_AUTORADIOBUTTON) return GetSystemMetrics(SM_CXMENUCHECK) + text;
    return text + GetSystemMetrics(SM_CXMENUCHECK);  // a border's room at each end
}

// The window's controls as they last showed: a drop-down list closed, as high as its text and border.
std::vector<sim::WindowRecord> Children(HWnd window) {
    std::vector<sim::WindowRecord> children;
    for (sim::WindowRecord w : sim::WindowRecords()) {
        if (w.Parent != window || !(w.Style & WS_CHILD)) continue;
        if (w.Class == ComboBoxClass) w.Height = GetTextExtent(w.Handle, "M").Height + 8;
        children.push_back(w);
    }
    return children;
}

std::vector<std::string> LayoutFaults(HWnd window) {
    std::vector<std::string> faults;
    sim::WindowRecord top;
    for (const sim::WindowRecord& w : sim::WindowRecords())
        if (w.Handle == window) top = w;
    Rect area{};
    GetWorkArea(area);
    if (top.X < area.Left || top.Y < area.Top || top.X + top.Width > area.Right || top.Y + top.Height > area.Bottom)
        faults.push_back(top.Text + " outside the work area");
    if (GetCaptionTextExtent(top.Text, true).Width > top.Width) faults.push_back(top.Text + " narrower than its caption");
    sim::WindowRecord client;
    client.Width = top.Width;
    client.Height = top.Height;
    const std::vector<sim::WindowRecord> children = Children(window);
    for (size_t i = 0; i < children.size(); ++i) {
        const sim::WindowRecord& c = children[i];
        const std::string name = top.Text + " / " + c.Class + " " + std::to_string(c.Id) + " \"" + c.Text + "\"";
        if (!Inside(c, client)) faults.push_back(name + " past the client area");
        if (NeededWidth(c) > c.Width) faults.push_back(name + " cut: needs " + std::to_string(NeededWidth(c)));
        if (!c.Text.empty() && c.Class == StaticClass && GetTextExtent(c.Handle, c.Text).Height > c.Height)
            faults.push_back(name + " lower than its text");
        for (size_t j = i + 1; j < children.size(); ++j) {
            const sim::WindowRecord& o = children[j];
            if (!Intersect(c, o)) continue;
            const bool grouped = IsGroupBox(c) ? Inside(o, c) : IsGroupBox(o) && Inside(c, o);
            if (!grouped) faults.push_back(name + " over " + o.Class + " " + std::to_string(o.Id));
        }
    }
    return faults;
}

class WindowLayoutTest : public MachineTest {
protected:
    void Start(std::vector<sim::Drive> drives) {
        Install({}).Drives = std::move(drives);
        StartResidentProgram();
        StopMonitorTimer();
        ASSERT_TRUE(CreateMainWindow());
    }
    // Runs `open` and returns what the modal script found in the window it ran, which it then closes
    // with the button `close` (0: the close button).
    static std::vector<std::string> FaultsOfDialog(const std::function<void()>& open, uint32_t close) {
        std::vector<std::string> faults = {"no dialog"};
        sim::SetModalScript([&](HWnd dialog) {
            faults = LayoutFaults(dialog);
            if (close) sim::ClickButton(GetDlgItem(dialog, close));
        });
        open();
        sim::SetModalScript(nullptr);
        return faults;
    }
};

std::vector<sim::Drive> TunableDrives() {
    return {testmachine::TunableDrive("TUNE1", 200, 128), testmachine::TunableDrive("TUNE2", 200, 128, true, 2)};
}

// Each window opened at 100, 150 and 200 % on a fresh machine with its drives:
// - the dialogs with a drive model longer than any drive list would have it shown;
// - four drives to measure make a window taller than a work area 300 pixels high: it stays inside
//   and scrolls (its last size, the tallest and widest, is checked once it is gone);
// - a host adapter's name longer than the screen is wide: the main window is cut to the work area
//   and the report wraps in it.
TEST_F(WindowLayoutTest, EveryWindowFitsItsContentAtEveryDensity) {
    auto dialog = [](std::function<void()> open, uint32_t close) {
        return [open, close] {
            DriveForCommands(1).Caption = "A MODEL NAME THAT IS LONGER THAN ANY DRIVE LIST WOULD HAVE IT SHOWN 0123456789";
            return FaultsOfDialog(open, close);
        };
    };
    std::vector<sim::Drive> measured;
    for (unsigned i = 0; i < 4; ++i) measured.push_back(testmachine::SataDrive("DISK" + std::to_string(i), i + 1));
    const struct {
        const char* name;
        std::vector<sim::Drive> drives;
        int workAreaHeight;  // 0: the screen's
        std::function<std::vector<std::string>()> faults;
    } windows[] = {
        {"settings", TunableDrives(), 0, dialog([] { RunSettingsDialog(false); }, 0)},
        {"tuning", TunableDrives(), 0, dialog(RunTuningCommand, 0)},
        {"diagnostics", TunableDrives(), 0, dialog(RunSelfTestCommand, 0)},
        {"licence", TunableDrives(), 0, dialog([] { ShowLicenseAgreement(); }, 1)},  // accepted: no exit
        {"performance", measured, 300,
         [] {
             for (unsigned i = 0; i < DriveCount(); ++i) DriveForCommands(i).PerformanceTestPending = true;
             RunPerformanceWindow();
             std::vector<std::string> faults = {"no window"};
             for (const sim::WindowRecord& w : sim::WindowRecords()) {
                 if (w.Text != "KORVANTE :: Performance analysis") continue;
                 faults = LayoutFaults(w.Handle);
                 if (!(Children(w.Handle).at(0).Style & WS_VSCROLL)) faults.push_back("no scroll bar");
             }
             return faults;
         }},
        {"main", {testmachine::SataDrive("DISK1", 1)}, 0,
         [] {
             DriveForCommands(0).HostAdapter = std::string(300, 'H');
             SendMessage(GetDlgItem(MainWindow, ExpertModeId), BM_SETCHECK, BST_CHECKED, 0);
             BuildReport();
             return LayoutFaults(MainWindow);
         }},
    };
    for (const int dpi : {96, 144, 192}) {
        for (const auto& w : windows) {
            TearDown();
            SetUp();
            sim::SetScreenDpi(dpi);
            if (w.workAreaHeight) sim::SetWorkArea({0, 0, 1024, w.workAreaHeight});
            Start(w.drives);
            ASSERT_EQ(DriveCount(), w.drives.size()) << w.name;
            const std::vector<std::string> faults = w.faults();
            EXPECT_TRUE(faults.empty()) << w.name << " at " << dpi << ": " << ::testing::PrintToString(faults);
        }
    }
}

}  // namespace
