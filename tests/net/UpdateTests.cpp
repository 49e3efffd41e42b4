// The update check and download on the simulated network: the byte-wise version comparisons of the
// manual and the hourly check, and which downloads are started (only a whole executable of the
// announced version).
#include <gtest/gtest.h>

#include <functional>

#include "TestMachine.h"
#include "discovery/Scan.h"
#include "net/NetCalls.h"
#include "net/Update.h"
#include "platform/FileVersion.h"
#include "platform/UserInterface.h"
#include "platform/sim/SimNetwork.h"
#include "platform/sim/SimShell.h"
#include "platform/sim/SimSystem.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/SimTrust.h"
#include "platform/sim/SimUserInterface.h"
#include "ui/Main.h"
#include "ui/TrayIcons.h"
#include "ui/TrayMenu.h"

namespace {

const std::string Site = "https://www.korvante.com/";
const std::string Downloaded = "C:\\Users\\User\\AppData\\Local\\Temp\\KORVANTE.exe";
const char Latest[] = "You already have the latest version of the program installed.";
const char Damaged[] = "The update was interrupted.\r\nThe downloaded file is incomplete or is not the announced version.";
const char Unsigned[] = "The update was interrupted.\r\nThe downloaded file is not signed by the program's vendor.";
const char UnsignedCopy[] =
    "This copy of the program is not signed, so it cannot tell a genuine update from another program. "
    "Please download the new version from the vendor's site.";
const char Prompt[] = "A new version of KORVANTE is available. Update program?";

const platform::Signer Vendor{"CN=KORVANTE Software, O=KORVANTE, C=DE", "vendor key"};

platform::FixedFileVersion Fixed(unsigned a, unsigned b, unsigned c, unsigned d) { return {a << 16 | b, c << 16 | d}; }

// A minimal image: DOS header pointing at the PE signature and file header, padded to `size`.
std::string Image(uint16_t machine = UpdateMachineType, uint16_t characteristics = 0x0102, size_t size = 4096) {
    std::string image(size, '\0');
    image[0] = 'M', image[1] = 'Z', image[0x3C] = 0x40;
    image.replace(0x40, 4, std::string("PE\0\0", 4));
    image[0x44] = char(machine & 0xFF), image[0x45] = char(machine >> 8);
    image[0x56] = char(characteristics & 0xFF), image[0x57] = char(characteristics >> 8);
    return image;
}

class Update : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        sim::Machine& machine = Install({});
        if (WithDrive) machine.Drives.push_back(testmachine::SataDrive("S0", 1));
        ScanDrives();
        SetOwn(Fixed(2, 0, 0, 7710));
        sim::SetFileSigner(platform::GetModuleFileName(), Vendor);
    }
    bool WithDrive = true;  // none: diagnostic mode
    static void SetOwn(platform::FixedFileVersion v) { sim::SetFileVersion(platform::GetModuleFileName(), v); }
    static void Offer(const std::string& version, sim::ServedFile program, platform::FixedFileVersion fileVersion) {
        sim::Serve(Site + "version.txt", {version});
        sim::Serve(Site + "KORVANTE.exe", program);
        sim::SetFileVersion(Downloaded, fileVersion);
        sim::SignContent(program.Body, Vendor);
    }
    static std::string LastBoxText() {
        const auto boxes = sim::MessageBoxCalls();
        return boxes.empty() ? "" : boxes.back().Text;
    }
    static bool PromptShown() {
        for (const auto& box : sim::MessageBoxCalls())
            if (box.Text == Prompt && box.Flags == 0x1044 && box.Owner == 0) return true;
        return false;
    }
};

// The manual check compares whole texts, the hourly one the texts before their last ".".
TEST_F(Update, VersionsCompareAsByteStrings) {
    const struct { platform::FixedFileVersion own; std::string remote; platform::FixedFileVersion file; bool manual, hourly; } cases[] = {
        {Fixed(2, 0, 0, 7710), "2.0.0.8000", Fixed(2, 0, 0, 8000), true, false},
        {Fixed(2, 0, 0, 7710), "2.0.1.0", Fixed(2, 0, 1, 0), true, true},
        {Fixed(9, 0, 0, 0), "10.0.0.0", Fixed(10, 0, 0, 0), false, false},
        {Fixed(2, 0, 0, 7710), "2.0.0.7710\r\n", Fixed(2, 0, 0, 7710), true, false},  // the line break counts
        {Fixed(2, 0, 0, 7710), "2.0.0.7710", Fixed(2, 0, 0, 7710), false, false},
        {Fixed(2, 0, 0, 7710), "2.0.0.10000", Fixed(2, 0, 0, 10000), false, false},
        {Fixed(2, 0, 0, 7710), std::string("3.0.0.0\0garbage", 15), Fixed(3, 0, 0, 0), true, true},  // up to the zero byte
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.remote);
        TearDown();
        SetUp();
        SetOwn(c.own);
        Offer(c.remote, {Image()}, c.file);
        DownloadUpdate(Site, Site, "KORVANTE.exe");
        EXPECT_EQ(sim::ShellRequests().size(), c.manual ? 1u : 0u);
        if (!c.manual) {
            EXPECT_EQ(LastBoxText(), Latest);
        }
        sim::QueueMessageBoxAnswer(platform::IDNO);
        HourlyUpdateCheck();
        sim::WaitForWorkers();
        EXPECT_EQ(PromptShown(), c.hourly);
        EXPECT_EQ(sim::OpenInternetHandles(), 0u);
    }
    EXPECT_EQ(StripLastComponent("2.0.0.7710"), "2.0.0");
    EXPECT_EQ(StripLastComponent("2"), "");
}

// Only a whole file that is an executable for this machine with the announced version is started;
// anything else is not left in the temporary folder and the update is reported interrupted.
TEST_F(Update, OnlyTheWholeMatchingProgramIsStarted) {
    using sim::Transfer;
    const std::string image = Image();
    const std::string full = Image(UpdateMachineType, 0x0102, UpdateBufferSize);
    const std::string over = Image(UpdateMachineType, 0x0102, UpdateBufferSize + 1);
    const struct { const char* name; sim::ServedFile file; platform::FixedFileVersion version; bool started; } cases[] = {
        {"whole", {image}, Fixed(2, 0, 1, 0), true},
        {"no length announced", {image, Transfer::Unannounced}, Fixed(2, 0, 1, 0), true},
        {"exactly the buffer", {full, Transfer::Unannounced}, Fixed(2, 0, 1, 0), true},
        {"cut", {image, Transfer::Cut, 1000}, Fixed(2, 0, 1, 0), false},
        {"stalled", {image, Transfer::Stalled, 1000}, Fixed(2, 0, 1, 0), false},
        {"over the buffer, announced", {over}, Fixed(2, 0, 1, 0), false},
        {"over the buffer, not announced", {over, Transfer::Unannounced}, Fixed(2, 0, 1, 0), false},
        {"not an executable", {std::string(5000, 'x')}, Fixed(2, 0, 1, 0), false},
        {"a library", {Image(UpdateMachineType, 0x2102)}, Fixed(2, 0, 1, 0), false},
        {"another machine", {Image(0x01C4)}, Fixed(2, 0, 1, 0), false},
        {"another version", {image}, Fixed(2, 0, 1, 1), false},
        {"header past the end", {image.substr(0, 0x50)}, Fixed(2, 0, 1, 0), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        Offer("2.0.1.0", c.file, c.version);
        DownloadUpdate(Site, Site, "KORVANTE.exe");
        const auto started = sim::ShellRequests();
        ASSERT_EQ(started.size(), c.started ? 1u : 0u);
        EXPECT_EQ(sim::OpenInternetHandles(), 0u);
        if (c.started) {
            EXPECT_EQ(started[0].File, Downloaded);
            EXPECT_EQ(started[0].Verb, "");
            EXPECT_EQ(started[0].ShowCommand, 1);
            EXPECT_TRUE(sim::WrittenFile(Downloaded) == c.file.Body);
            EXPECT_TRUE(sim::MessageBoxCalls().empty());
        } else {
            EXPECT_FALSE(sim::FileExists(Downloaded));
            ASSERT_EQ(sim::MessageBoxCalls().size(), 1u);
            EXPECT_EQ(LastBoxText(), Damaged);
            EXPECT_EQ(sim::MessageBoxCalls()[0].Caption, "KORVANTE :: Warning!");
        }
    }
}

// Only a file whose signature Windows trusts, made by the running program's own signer, is started, and
// it is started as it was checked: the download is held against change from its writing to its start.
// A copy that is not signed itself downloads nothing.
TEST_F(Update, OnlyAFileSignedByTheProgramsSignerIsStarted) {
    const std::string image = Image();
    std::string tampered = image;
    tampered[0x300] ^= 1;
    const platform::Signer stranger{"CN=Someone Else, O=Elsewhere", "other key"}, sameName{Vendor.Subject, "other key"};
    const struct {
        const char* name;
        std::function<void()> arrange;
        const char* box;  // the warning, or none when the file is started
    } cases[] = {
        {"signed by the vendor", [] {}, nullptr},
        {"unsigned", [] { sim::ResetTrust(); sim::SetFileSigner(platform::GetModuleFileName(), Vendor); }, Unsigned},
        {"signed by another", [&] { sim::SignContent(image, stranger); }, Unsigned},
        {"the vendor's name with another key", [&] { sim::SignContent(image, sameName); }, Unsigned},
        {"signed, then a byte changed", [&] { sim::Serve(Site + "KORVANTE.exe", {tampered}); }, Unsigned},
        {"its root not trusted", [] { sim::SetSignaturesUntrusted(true); }, Unsigned},
        {"swapped after the check",
         [&] { sim::SetBeforeStart([&](const std::string& file) {
             EXPECT_FALSE(platform::WriteNewFile(file, reinterpret_cast<const uint8_t*>(tampered.data()), tampered.size())); }); },
         nullptr},
        {"this copy unsigned", [] { sim::ResetTrust(); }, UnsignedCopy},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        Offer("2.0.1.0", {image}, Fixed(2, 0, 1, 0));
        c.arrange();
        DownloadUpdate(Site, Site, "KORVANTE.exe");
        const auto started = sim::ShellRequests();
        ASSERT_EQ(started.size(), c.box ? 0u : 1u);
        if (c.box) {
            EXPECT_EQ(LastBoxText(), c.box);
            EXPECT_FALSE(sim::FileExists(Downloaded));
        } else {
            EXPECT_TRUE(started[0].Bytes == image);
        }
        EXPECT_FALSE(sim::FileHeld(Downloaded));
    }
}

// The requests: the version file reloaded, then the program with decoding on and gzip accepted.
TEST_F(Update, RequestsTheVersionFileThenTheProgram) {
    Offer("2.0.1.0", {Image()}, Fixed(2, 0, 1, 0));
    DownloadUpdate(Site, "https://files.example/", "KORVANTE.exe");
    const auto requests = sim::UrlRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Url, Site + "version.txt");
    EXPECT_EQ(requests[0].Agent, "KORVANTE");
    EXPECT_EQ(requests[0].Flags, 0x80000000u);
    EXPECT_EQ(requests[1].Url, "https://files.example/KORVANTE.exe");
    EXPECT_EQ(requests[1].Headers, "Accept-Encoding: gzip");
    const std::vector<std::pair<uint32_t, uint32_t>> options{{148, 2}, {65, 1}};
    EXPECT_EQ(sim::InternetOptions(), options);
    EXPECT_TRUE(sim::ShellRequests().empty());  // nothing served there
}

// Without the network the manual check says so (captions without a name in diagnostic mode); the
// hourly check stays silent.
TEST_F(Update, UnreachableVersionFile) {
    const char offlineText[] =
        "The application couldn\x92t get access to the Internet. Please make sure that your computer is online "
        "and/or add the application to your firewall\x92s list of safe (trusted) applications.";
    for (const bool drives : {true, false}) {
        TearDown();
        WithDrive = drives;
        SetUp();
        sim::SetOffline(true);
        HourlyUpdateCheck();
        sim::WaitForWorkers();
        EXPECT_TRUE(sim::MessageBoxCalls().empty());
        NetCalls.MainWindowHandle = [] { return std::uintptr_t{77}; };
        DownloadUpdate(Site, Site, "KORVANTE.exe");
        ASSERT_EQ(sim::MessageBoxCalls().size(), 1u);
        const sim::MessageBoxCall box = sim::MessageBoxCalls()[0];
        EXPECT_EQ(box.Text, offlineText);
        EXPECT_EQ(box.Caption, drives ? "KORVANTE :: The update was interrupted." : " :: The update was interrupted.");
        EXPECT_EQ(box.Flags, 0x50010u);
        EXPECT_EQ(box.Owner, 77u);
    }
}

// Only a success reply carries the version: an error page in its place is handled as an unreachable
// file (the manual check says so, the hourly check stays silent), never compared as a version.
TEST_F(Update, OnlyASuccessReplyIsReadAsTheVersion) {
    const char offlineCaption[] = "KORVANTE :: The update was interrupted.";
    const struct { uint32_t status; bool read; } cases[] = {
        {200, true}, {203, true}, {299, true}, {199, false}, {300, false}, {304, false}, {404, false}, {500, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        TearDown();
        SetUp();
        Offer("2.0.1.0", {Image()}, Fixed(2, 0, 1, 0));
        sim::Serve(Site + "version.txt", {"2.0.1.0", sim::Transfer::Whole, 0, c.status});
        sim::QueueMessageBoxAnswer(platform::IDNO);
        HourlyUpdateCheck();
        sim::WaitForWorkers();
        EXPECT_EQ(PromptShown(), c.read);
        const size_t before = sim::MessageBoxCalls().size();
        DownloadUpdate(Site, Site, "KORVANTE.exe");
        EXPECT_EQ(sim::ShellRequests().size(), c.read ? 1u : 0u);
        ASSERT_EQ(sim::MessageBoxCalls().size(), before + (c.read ? 0u : 1u));
        if (!c.read) {
            EXPECT_EQ(sim::MessageBoxCalls().back().Caption, offlineCaption);
        }
        EXPECT_EQ(sim::UrlRequests().size(), c.read ? 3u : 2u);  // no program requested after an error page
        EXPECT_EQ(sim::OpenInternetHandles(), 0u);
    }
}

// The hourly question: its flag is set while it shows, and Yes downloads from the vendor's site.
TEST_F(Update, HourlyQuestionAcceptedDownloads) {
    Offer("2.0.1.0", {Image()}, Fixed(2, 0, 1, 0));
    sim::HoldMessageBoxes();
    HourlyUpdateCheck();
    ASSERT_TRUE(sim::WaitForOpenMessageBoxes(1));
    EXPECT_TRUE(UpdatePromptShowing());
    EXPECT_EQ(sim::MessageBoxCalls()[0].Caption, "KORVANTE :: Information");
    sim::StopHoldingMessageBoxes();
    sim::ReleaseMessageBox(platform::IDYES);
    sim::WaitForWorkers();
    EXPECT_FALSE(UpdatePromptShowing());
    EXPECT_EQ(sim::ShellRequests().size(), 1u);
}

// The tray's "Update" runs the manual check against the vendor's site, its boxes owned by the main window.
TEST_F(Update, TrayCommandChecksTheVendorSite) {
    sim::Serve(Site + "version.txt", {"2.0.0.7710"});
    RunProgram("", ProgramKind::Simulated);
    sim::WaitForWorkers();
    const size_t before = sim::MessageBoxCalls().size();
    ASSERT_TRUE(OnTrayMenuCommand(TrayUpdateId));
    ASSERT_EQ(sim::MessageBoxCalls().size(), before + 1);
    EXPECT_EQ(sim::MessageBoxCalls().back().Text, Latest);
    EXPECT_EQ(sim::MessageBoxCalls().back().Owner, MainWindow);
}

}  // namespace
