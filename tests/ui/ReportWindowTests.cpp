// The report in the main window on the simulated windowing: the rich-text reader behind the simulated
// box, the layout arithmetic against hand-worked figures, the build's caption, enabling and showing,
// link clicks opened from a worker, and the list of disks the drive table does not hold.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestMachine.h"
#include "app/ProgramLife.h"
#include "discovery/Scan.h"
#include "monitor/Monitor.h"
#include "platform/Menus.h"
#include "platform/RichEdit.h"
#include "platform/RtfText.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimRichEdit.h"
#include "platform/sim/SimShell.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/SimWindowing.h"
#include "ui/Main.h"
#include "ui/Report.h"
#include "ui/ReportLayout.h"
#include "ui/ReportWindow.h"
#include "ui/UnrecognisedDisks.h"

namespace {

using namespace platform;

TEST(RtfPlainText, KeepsTextAndFieldResultsAndDropsControlWordsAndInstructions) {
    const struct { const char* name; const char* rtf; const char* text; } cases[] = {
        {"plain", "{\\rtf3 abc\\par}", "abc"},
        {"line breaks, the last paragraph mark shows none", "{\\rtf3 a\\line b\\par c\\par}", "a\r\nb\r\nc"},
        {"empty lines", "{\\rtf3 \\line \\line x\\par}", "\r\n\r\nx"},
        {"escaped characters", "{\\rtf3 a\\\\b\\{c\\}d\\par}", "a\\b{c}d"},
        {"hexadecimal bytes", "{\\rtf3 \\'e9\\'FF\\'41\\par}", "\xe9\xff" "A"},
        {"a broken hexadecimal byte loses its backslash and quote", "{\\rtf3 a\\'4gb\\'}", "a4gb"},
        {"words with parameters and their delimiting space", "{\\rtf3\\li80\\sb40\\sa80\\tx280\\fcharset0 x\\cf1 y\\cf-2z}", "xyz"},
        {"a link: the instruction and the colour table dropped, the result kept",
         "{\\rtf3 a {\\colortbl;\\red0\\green0\\blue255;}{\\field{\\fldinst{HYPERLINK https://x.invalid/a.htm }}"
         "{\\fldrslt{\\cf1 Label\\cf0}}} - v\\par}",
         "a Label - v"},
        {"optional destinations", "{\\rtf1{\\*\\generator me;}t}", "t"},
        {"tab", "{\\rtf3 a\\tab b}", "a\tb"},
        {"source line feeds are not text", "{\\rtf3 a\r\nb}", "ab"},
        {"unbalanced closing braces", "{\\rtf3 a}}b", "ab"},
        {"cut off after a backslash", "{\\rtf3 a\\", "a"},
    };
    for (const auto& c : cases) EXPECT_EQ(RtfPlainText(c.rtf), c.text) << c.name;
}

// For a box that drops field results: the fields give way to their results, all else stays.
TEST(RtfWithFieldResults, KeepsTheLabelsTextAndColourAndDropsOnlyTheField) {
    const struct { const char* rtf; const char* shown; } cases[] = {
        {"{\\rtf3 a {\\colortbl;\\red0\\green0\\blue255;}{\\field{\\fldinst{HYPERLINK https://x.invalid/a.htm }}"
         "{\\fldrslt{\\cf1 L\\}a\\\\bel\\cf0}}} - v\\par}",
         "{\\rtf3 a {\\colortbl;\\red0\\green0\\blue255;}{{\\cf1 L\\}a\\\\bel\\cf0}} - v\\par}"},
        {"{\\rtf3 text \\{\\\\field not a field\\par}", "{\\rtf3 text \\{\\\\field not a field\\par}"},
        {"{\\rtf3 {\\field{\\fldinst{HYPERLINK x }}} rest}", "{\\rtf3  rest}"},  // no result: nothing shows
        {"{\\rtf3 {\\field{\\fldinst{HYPERLINK x }}{\\fldrslt{cut", "{\\rtf3 {\\field{\\fldinst{HYPERLINK x }}{\\fldrslt{cut"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RtfWithFieldResults(c.rtf), c.shown) << c.rtf;
        if (std::string(c.rtf).find("fldrslt{\\cf1") != std::string::npos) {
            EXPECT_EQ(RtfPlainText(RtfWithFieldResults(c.rtf)), RtfPlainText(c.rtf));
        }
    }
}

TEST(ReportLayout, MeasuresLinesWhateverTheirBreaks) {
    const struct { const char* text; unsigned longest, lines; } cases[] = {
        {"", 38, 1},
        {"short", 38, 1},
        {"a\r\nb", 38, 2},
        {"a\rb\nc\vd", 38, 4},
        {"a\r\n", 38, 2},
        {"0123456789012345678901234567890123456789x\r\n\r\n", 41, 3},
    };
    for (const auto& c : cases) {
        const ReportTextSize size = MeasureReportText(c.text);
        EXPECT_EQ(size.LongestLine, c.longest) << c.text;
        EXPECT_EQ(size.Lines, c.lines) << c.text;
    }
}

// Figures worked by hand from the layout rules.
TEST(ReportLayout, SizesPlacesAndCentresTheWindow) {
    const struct {
        const char* name;
        ReportTextSize text;
        int frameWidth, frameHeight, workBottom, dpi;
        bool scrollBar;
        int clientWidth, clientHeight, boxHeight, w, lefts[3], tops[2], buttonHeight;
        Rect window;
    } cases[] = {
        {"one short line, no scroll bar", {38, 1}, 0, 0, 728, 96, false, 320, 124, 29, 96, {8, 112, 216}, {44, 82}, 27, {352, 302, 672, 426}},
        {"three lines of 50 with a frame and a scroll bar", {50, 3}, 16, 39, 728, 96, true, 433, 156, 61, 133, {8, 149, 290}, {76, 114}, 27, {287, 266, 736, 461}},
        {"taller than the work area", {38, 60}, 16, 39, 728, 96, true, 337, 580, 485, 101, {8, 117, 226}, {500, 538}, 27, {335, 54, 688, 673}},
        {"exactly as tall as the work area", {38, 40}, 0, 0, 748, 96, true, 337, 748, 653, 101, {8, 117, 226}, {668, 706}, 27, {343, 0, 680, 748}},
        {"one pixel taller", {38, 40}, 0, 0, 747, 96, true, 337, 593, 498, 101, {8, 117, 226}, {513, 551}, 27, {343, 77, 680, 670}},
        // Cut to the work area, the box keeps the scroll bar's room and wraps its lines.
        {"a line wider than the work area", {200, 1}, 16, 39, 728, 96, false, 1008, 124, 29, 325, {8, 341, 674}, {44, 82}, 27, {0, 282, 1024, 445}},
        {"at 150 %", {38, 1}, 0, 0, 728, 144, false, 480, 187, 44, 144, {12, 168, 324}, {67, 124}, 41, {272, 270, 752, 457}},
    };
    for (const auto& c : cases) {
        const Rect workArea{0, 0, 1024, c.workBottom};
        const ReportSize size = SizeReportWindow(c.text, 17, c.frameWidth, c.frameHeight, workArea, c.dpi);
        EXPECT_EQ(size.BoxHeight, c.boxHeight) << c.name;
        const ReportPlaces p = PlaceReportWindow(size, c.scrollBar, 17, c.frameWidth, c.frameHeight, workArea, c.dpi);
        EXPECT_EQ(p.ClientWidth, c.clientWidth) << c.name;
        EXPECT_EQ(p.ClientHeight, c.clientHeight) << c.name;
        EXPECT_EQ(p.Box, (Rect{0, 0, c.clientWidth, c.boxHeight})) << c.name;
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(p.Buttons[i], (Rect{c.lefts[i % 3], c.tops[i / 3], c.lefts[i % 3] + c.w, c.tops[i / 3] + c.buttonHeight}))
                << c.name << " button " << i;
        EXPECT_EQ(p.Window, c.window) << c.name;
    }
}

TEST(ReportLinks, TargetsComeFromFieldInstructionsOrTheText) {
    const struct { const char* text; const char* target; } cases[] = {
        {"HYPERLINK https://x.invalid/a.htm ", "https://x.invalid/a.htm"},
        {"HYPERLINK \"https://x.invalid/b c.htm\" ", "https://x.invalid/b c.htm"},
        {" HYPERLINK   https://x.invalid/c", "https://x.invalid/c"},
        {"https://x.invalid/plain", "https://x.invalid/plain"},
        {"HYPERLINK ", ""},
        {"HYPERLINK calc.exe ", ""},  // the shell would start it
        {"C:\\Windows\\notepad.exe", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(LinkTarget(c.text), c.target) << c.text;
}

class ReportWindowTest : public MachineTest {
protected:
    void Start(unsigned drives) {
        sim::Machine& m = Install({});
        for (unsigned i = 0; i < drives; ++i) m.Drives.push_back(testmachine::SataDrive("R" + std::to_string(i), i + 1));
        if (drives) StartResidentProgram();
        ASSERT_TRUE(CreateMainWindow());
    }
    static sim::WindowRecord Control(uint32_t id) { return sim::ChildRecord(MainWindow, id); }
    static sim::WindowRecord Main() { return sim::WindowRecords().front(); }
};

// The box shows what the document says, the window is laid out around the box's text and centred in
// the work area, the buttons keep their distance to the bottom edge.
TEST_F(ReportWindowTest, TheReportFillsTheBoxAndTheWindowIsLaidOutAroundIt) {
    Start(1);  // one drive's normal report fits the work area
    BuildReport();  // the toggle is off
    const std::string text = GetWindowText(ReportBox);
    std::string expected = ReportPlainText(BuildReportDocument(ReportDepth::Normal));
    for (size_t at = 0; (at = expected.find('\n', at)) != std::string::npos; at += 2)
        if (at == 0 || expected[at - 1] != '\r') expected.insert(at, "\r");
    EXPECT_EQ(text, expected);
    EXPECT_EQ(sim::RichText(ReportBox), ReportRtf(BuildReportDocument(ReportDepth::Normal)));
    const sim::WindowRecord main = Main(), box = Control(ReportBoxId);
    EXPECT_EQ(main.Text, "KORVANTE");
    EXPECT_TRUE(main.Visible);
    unsigned lines = 1;
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
    ASSERT_LE(lines * 16 + 13 + 95, 728u);  // fits: no scroll bar, and the box is as high as its lines
    EXPECT_EQ(box.Height, static_cast<int>(lines * 16 + 13));
    EXPECT_EQ(main.Height, box.Height + 95);
    EXPECT_EQ(box.Width, main.Width);
    EXPECT_EQ(main.X, (1024 - main.Width) / 2);
    EXPECT_EQ(main.Y, (728 - main.Height) / 2);
    const sim::WindowRecord tuning = Control(TuningId);  // the last button: lower row, third column
    EXPECT_EQ(std::vector<int>({tuning.X, tuning.Y, tuning.Width, tuning.Height}),
              std::vector<int>({2 * ((main.Width - 32) / 3) + 24, main.Height - 42, (main.Width - 32) / 3, 27}));
}

// Each click of the toggle shows the report again at the depth it stands for, under its caption.
TEST_F(ReportWindowTest, TheToggleSetsTheDepthAndTheCaption) {
    Start(1);
    const struct { ReportDepth depth; const char* caption; } clicks[] = {
        {ReportDepth::Expert, "KORVANTE :: Expert mode"}, {ReportDepth::Normal, "KORVANTE"}, {ReportDepth::Expert, "KORVANTE :: Expert mode"}};
    for (const auto& click : clicks) {
        ShowWindow(MainWindow, SW_HIDE);
        sim::ClickButton(GetDlgItem(MainWindow, ExpertModeId));
        EXPECT_EQ(sim::RichText(ReportBox), ReportRtf(BuildReportDocument(click.depth))) << click.caption;
        EXPECT_EQ(Main().Text, click.caption);
        EXPECT_EQ(MainWindowCaption(), std::string(click.caption));
        EXPECT_TRUE(Main().Visible) << click.caption;
    }
}

TEST_F(ReportWindowTest, WithoutDrivesOnlyPublishStaysLiveAndTheTimerStops) {
    Start(0);
    StartMonitorTimer();
    ASSERT_EQ(sim::TimerCount(), 1u);
    BuildReport();
    EXPECT_EQ(GetWindowText(ReportBox), "S.M.A.R.T. is not available! Please publish the KORVANTE data.");
    EXPECT_EQ(Main().Text, "KORVANTE");
    EXPECT_EQ(sim::TimerCount(), 0u);
    for (uint32_t id = ExpertModeId; id <= TuningId; ++id) EXPECT_EQ(Control(id).Enabled, id == PublishId) << id;
    EXPECT_TRUE(Main().Visible);
}

// A box whose report does not fit the work area scrolls, and the window keeps the scroll bar's width.
TEST_F(ReportWindowTest, AReportTallerThanTheWorkAreaScrolls) {
    Start(2);
    BuildReport();
    const ReportTextSize text = MeasureReportText(GetWindowText(ReportBox));
    const int fullBox = 16 * static_cast<int>(text.Lines) + 13;
    sim::SetWorkArea({0, 0, 800, fullBox});  // the box alone would fit, not with the buttons
    BuildReport();
    const sim::WindowRecord main = Main(), box = Control(ReportBoxId);
    EXPECT_EQ(box.Height, fullBox * 2 / 3);
    EXPECT_EQ(main.Height, fullBox * 2 / 3 + 95);
    EXPECT_TRUE(HasVerticalScrollBar(ReportBox));
    EXPECT_EQ(main.Width, 17 + 8 * static_cast<int>(text.LongestLine) + 16);
    EXPECT_EQ(main.X, (800 - main.Width) / 2);
    EXPECT_EQ(main.Y, (fullBox - main.Height) / 2);
}

TEST_F(ReportWindowTest, AReleasedClickOnALinkOpensItMaximizedFromAWorker) {
    Start(1);
    ASSERT_TRUE(SetRichText(ReportBox, "{\\rtf3 {\\field{\\fldinst{HYPERLINK https://x.invalid/one.htm }}{\\fldrslt One}}"
                                       "\\line {\\field{\\fldinst{HYPERLINK \"https://x.invalid/two.htm\" }}{\\fldrslt Two}}\\par}"));
    const unsigned workersBefore = sim::WorkersStarted();
    ASSERT_TRUE(sim::ClickLink(ReportBox, 1, WM_LBUTTONDOWN));
    sim::WaitForWorkers();
    EXPECT_TRUE(sim::ShellRequests().empty());  // pressing the button is not a click yet
    ASSERT_TRUE(sim::ClickLink(ReportBox, 1));
    ASSERT_TRUE(sim::ClickLink(ReportBox, 0));
    EXPECT_FALSE(sim::ClickLink(ReportBox, 2));
    sim::WaitForWorkers();
    std::vector<std::string> opened;
    for (const sim::ShellRequest& r : sim::ShellRequests()) {
        EXPECT_EQ(r.Verb, "open");
        EXPECT_EQ(r.ShowCommand, SW_SHOWMAXIMIZED);
        opened.push_back(r.File);
    }
    EXPECT_EQ(sim::WorkersStarted(), workersBefore + 2);
    std::sort(opened.begin(), opened.end());  // two workers: either may come first
    EXPECT_EQ(opened, (std::vector<std::string>{"https://x.invalid/one.htm", "https://x.invalid/two.htm"}));
}

class UnrecognisedDisksTest : public MachineTest {};

// A disk of the table, a card reader of a known kind and an unknown disk behind a PCI controller.
TEST_F(UnrecognisedDisksTest, OnlyUnknownDisksAreListedWithTheirController) {
    sim::Machine m;
    m.Drives.push_back(testmachine::SataDrive("KEPT", 1));
    sim::Drive reader;
    reader.DevicePath = "\\\\?\\usbstor#disk&ven_generic&prod_sd_mmc&rev_1.00#0001#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
    reader.Parent = "USB\\VID_0BDA&PID_0158\\0001";
    reader.Opens = false;
    m.Drives.push_back(reader);
    sim::Drive unknown;
    unknown.DevicePath = "\\\\?\\scsi#disk&ven_odd&prod_array#5&1&0&000000#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
    unknown.Parent = "SCSI\\ARRAY\\5&1";
    unknown.Opens = false;
    m.Drives.push_back(unknown);
    sim::DeviceNode array, controller, root;
    array.InstanceId = "SCSI\\ARRAY\\5&1";
    array.Parent = "PCI\\VEN_1000&DEV_0097\\4&2";
    array.Enumerator = "SCSI";
    controller.InstanceId = "PCI\\VEN_1000&DEV_0097\\4&2";
    controller.Parent = "ACPI\\PNP0A08\\0";
    controller.Enumerator = "PCI";
    controller.DriverDesc = "Odd RAID Controller";
    m.Devices = {array, controller};
    Install(m);
    ScanDrives();
    ASSERT_EQ(DriveCount(), 1u);
    EXPECT_EQ(UnrecognisedDiskLines(), (std::vector<std::string>{"", unknown.DevicePath, "Odd RAID Controller"}));
}

// The prefixes are compared byte for byte; a tree without a PCI device gives the path alone.
TEST_F(UnrecognisedDisksTest, PrefixesMatchExactlyAndAControllerlessDiskStandsAlone) {
    const struct { const char* path; bool listed; } cases[] = {
        {"\\\\?\\sd#disk&ven_x#1", false},
        {"\\\\?\\SD#disk&ven_x#1", true},
        {"\\\\?\\usbstor#disk&ven_general&prod_usb_disk&rev_1#2", false},
        {"\\\\?\\usbstor#disk&ven_genera#3", true},
        {"\\\\?\\acronisvbus#virtualdisk#4", false},
        {"\\\\?\\mpio#disk&ven_baumx", false},
    };
    sim::Machine m;
    for (const auto& c : cases) {
        sim::Drive d;
        d.DevicePath = c.path;
        d.Opens = false;
        m.Drives.push_back(d);
    }
    Install(m);
    std::vector<std::string> expected{""};
    for (const auto& c : cases)
        if (c.listed) expected.push_back(c.path);
    EXPECT_EQ(UnrecognisedDiskLines(), expected);
    Install({});
    EXPECT_TRUE(UnrecognisedDiskLines().empty());
}

}  // namespace
