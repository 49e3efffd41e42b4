// Publishing on the simulated network: the multipart form byte for byte, the version check, the
// one-hour refusal, the read tests due before a publication, the upload's outcome by error code and
// HTTP status, the prompt, and the diagnostic mode that sends the text alone and then ends.
#include <gtest/gtest.h>

#include "TestMachine.h"
#include "app/ProgramLife.h"
#include "net/NetCalls.h"
#include "net/Publish.h"
#include "platform/FileVersion.h"
#include "platform/Network.h"
#include "platform/Threads.h"
#include "platform/UserInterface.h"
#include "platform/sim/SimNetwork.h"
#include "platform/sim/SimRichEdit.h"
#include "platform/sim/SimSystem.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/SimUserInterface.h"
#include "platform/sim/SimWindowing.h"
#include "system/RegUtils.h"
#include "ui/Main.h"
#include "ui/Report.h"

namespace {

using namespace platform;

const char Version[] = "2.0.0.7710";
const char NoInternet[] =
    "The KORVANTE data not sent. The application couldn\x92t get access to the Internet. Please make sure that your "
    "computer is online and/or add the application to your firewall\x92s list of safe (trusted) applications.";

// The report's plain text as the report box gives it back: lines end in CR LF.
std::string BoxText(const std::string& lines) {
    std::string text;
    for (char c : lines) text += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return text;
}

TEST(UploadBody, MultipartFormByteForByte) {
    const std::string block("\x01\x00" "2\x00\x00\x00", 6);
    EXPECT_EQ(BuildUploadBody("2.0.0.7710", "Model - X\nSerial - 1", block),
              "--ThisBoundary\r\nContent-Disposition: form-data; name=\"ver\"\r\n\r\n2.0.0.7710\r\n"
              "--ThisBoundary\r\nContent-Disposition: form-data; name=\"txt\"\r\n\r\nModel - X\nSerial - 1\r\n"
              "--ThisBoundary\r\nContent-Disposition: form-data; name=\"bin\"\r\n\r\n" + block + "\r\n"
              "--ThisBoundary--");
    EXPECT_EQ(BuildUploadBody("2.0.0.7710", "No drive", ""),
              "--ThisBoundary\r\nContent-Disposition: form-data; name=\"ver\"\r\n\r\n2.0.0.7710\r\n"
              "--ThisBoundary\r\nContent-Disposition: form-data; name=\"txt\"\r\n\r\nNo drive\r\n"
              "--ThisBoundary--");
    EXPECT_EQ(BuildUploadHeaders(BuildUploadBody("2.0.0.7710", "No drive", "")),
              "Content-Type: multipart/form-data; boundary=ThisBoundary\r\nContent-Length: 162\r\n\r\n");  // 74 + 72 + 16
    // A report line or a block that holds the boundary gets a form whose boundary it does not hold.
    const std::string body = BuildUploadBody("2.0.0.7710", "--ThisBoundary--\n--ThisBoundary1", "ThisBoundary2");
    EXPECT_EQ(body.substr(0, 17), "--ThisBoundary3\r\n");
    EXPECT_EQ(body.substr(body.size() - 19), "\r\n--ThisBoundary3--");
    EXPECT_EQ(BuildUploadHeaders(body).substr(0, 59), "Content-Type: multipart/form-data; boundary=ThisBoundary3\r\n");
}

// What the performance window saw of each drive's flag when publishing ran it.
std::vector<bool> PendingAtReadTests;
unsigned ReadTestRuns = 0;

class Publishing : public MachineTest {
protected:
    // A started program with `drives` SATA drives (none: the diagnostic mode) and its main window.
    void Start(unsigned drives) {
        sim::Machine& m = Install({});
        for (unsigned i = 0; i < drives; ++i) m.Drives.push_back(testmachine::SataDrive("P" + std::to_string(i), i + 1));
        sim::SetFileVersion(GetModuleFileName(), {2u << 16, 7710u});
        if (drives) StartResidentProgram();
        for (unsigned i = 0; i < DriveCount(); ++i) DriveForCommands(i).PowerOnTimerPeriod = 3600;  // an hour on
        ASSERT_TRUE(CreateMainWindow());
        ConnectUpCalls();
        NetCalls.RunPerformanceWindow = [] {
            ++ReadTestRuns;
            PendingAtReadTests.clear();
            for (unsigned i = 0; i < DriveCount(); ++i) PendingAtReadTests.push_back(DriveForCommands(i).PerformanceTestPending);
            return true;
        };
        PendingAtReadTests.clear();
        ReadTestRuns = 0;
        ServeVersion(Version);
    }
    static void ServeVersion(const std::string& text) { sim::Serve("https://www.korvante.com/version.txt", {text}); }
    // The button clicked; the upload's worker ends and the message loop takes what was posted.
    static void Publish() {
        sim::ClickButton(GetDlgItem(MainWindow, PublishId));
        sim::WaitForWorkers();
        sim::PumpPostedMessages();
    }
    static std::vector<std::string> BoxTexts() {
        std::vector<std::string> texts;
        for (const auto& box : sim::MessageBoxCalls()) texts.push_back(box.Text);
        return texts;
    }
    static std::vector<std::string> Published() {
        std::vector<std::string> versions;
        for (unsigned i = 0; i < DriveCount(); ++i)
            versions.push_back(RegistryText(DriveForCommands(i).RegKey, "LastReportVersion"));
        return versions;
    }
    static bool PublishEnabled() { return IsWindowEnabled(GetDlgItem(MainWindow, PublishId)); }
};

// Only a greater version text stops the publication; an unreachable version file stops it too.
TEST_F(Publishing, VersionCheckDecidesWhetherAnythingIsSent) {
    const struct { const char* name; const char* remote; bool sent; const char* box; uint32_t flags; } cases[] = {
        {"equal", "2.0.0.7710", true, nullptr, 0},
        {"smaller", "2.0.0.7709", true, nullptr, 0},
        {"shorter prefix", "2.0.0.771", true, nullptr, 0},
        {"greater", "2.0.0.7711", false, "A new version of KORVANTE is available. Update program?", 0x50044},
        {"line break makes it greater", "2.0.0.7710\r\n", false, "A new version of KORVANTE is available. Update program?", 0x50044},
        {"unreachable", nullptr, false, NoInternet, 0x50040},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        Start(1);
        if (c.remote) ServeVersion(c.remote);
        else sim::ResetNetwork();
        sim::QueueMessageBoxAnswer(IDNO);
        Publish();
        EXPECT_EQ(sim::PostRequests().size(), c.sent ? 1u : 0u) << c.name;
        EXPECT_EQ(Published(), std::vector<std::string>{c.sent ? Version : ""}) << c.name;
        const auto boxes = sim::MessageBoxCalls();
        ASSERT_EQ(boxes.size(), c.box ? 1u : 0u) << c.name;
        if (c.box) {
            EXPECT_EQ(boxes[0].Text, c.box) << c.name;
            EXPECT_EQ(boxes[0].Flags, c.flags) << c.name;
            EXPECT_EQ(boxes[0].Caption, "KORVANTE :: Information") << c.name;
        }
        EXPECT_EQ(ReadTestRuns, c.sent ? 1u : 0u) << c.name;
        EXPECT_TRUE(PublishEnabled()) << c.name;
        const auto urls = sim::UrlRequests();
        ASSERT_FALSE(urls.empty());
        EXPECT_EQ(urls[0].Agent + " " + urls[0].Url, "KORVANTE https://www.korvante.com/version.txt");
        EXPECT_EQ(urls[0].Flags, INTERNET_FLAG_RELOAD);
    }
}

// One publication at a time: a second request while the first measures (the prompt's worker, or the
// button again) is refused with a box and sends nothing; a read test already running stops the
// publication, which sends nothing either. The button is live again afterwards.
TEST_F(Publishing, OnePublicationAtATime) {
    const struct { const char* name; bool (*readTest)(); size_t posts; const char* box; } cases[] = {
        {"a second request", [] { PublishData(); return true; }, 1, "The KORVANTE data is already being published."},
        {"a read test already running", [] { return false; }, 0, nullptr},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        Start(1);
        NetCalls.RunPerformanceWindow = c.readTest;
        Publish();
        EXPECT_EQ(sim::PostRequests().size(), c.posts) << c.name;
        const std::vector<std::string> boxes = BoxTexts();
        EXPECT_EQ(std::count(boxes.begin(), boxes.end(), c.box ? c.box : ""), c.box ? 1 : 0) << c.name;
        EXPECT_TRUE(PublishEnabled()) << c.name;
        Publish();  // the claim was given back: the next click publishes (or is stopped) the same way
        EXPECT_EQ(sim::PostRequests().size(), 2 * c.posts) << c.name;
    }
}

// The request and the body the server gets: the report at expert depth and the block of the drives;
// the report is shown again at its previous depth.
TEST_F(Publishing, SendsTheFormToTheVendorsServer) {
    Start(2);
    ASSERT_FALSE(sim::ChildRecord(MainWindow, ExpertModeId).Checked);
    Publish();
    const auto posts = sim::PostRequests();
    ASSERT_EQ(posts.size(), 1u);
    const sim::PostRequest& p = posts[0];
    EXPECT_EQ(p.Agent, "KORVANTE");
    EXPECT_EQ(p.Host, "www.korvante.com");
    EXPECT_EQ(p.Port, 443);
    EXPECT_EQ(p.Service, INTERNET_SERVICE_HTTP);
    EXPECT_EQ(p.Verb, "POST");
    EXPECT_EQ(p.Object, "korvante-data.php");
    EXPECT_EQ(p.Flags, INTERNET_FLAG_SECURE);
    EXPECT_EQ(p.Headers, BuildUploadHeaders(p.Body));
    EXPECT_EQ(sim::OpenInternetHandles(), 0u);

    const std::string expertText = BoxText(ReportPlainText(BuildReportDocument(ReportDepth::Publish)));
    const std::string binHead = "--ThisBoundary\r\nContent-Disposition: form-data; name=\"bin\"\r\n\r\n";
    const size_t binAt = p.Body.find(binHead);
    ASSERT_NE(binAt, std::string::npos);
    const std::string head = BuildUploadBody(Version, expertText, "");
    EXPECT_EQ(p.Body.substr(0, binAt), head.substr(0, head.size() - std::string("--ThisBoundary--").size()));
    const size_t blockAt = binAt + binHead.size();
    const std::string block = p.Body.substr(blockAt, p.Body.size() - blockAt - std::string("\r\n--ThisBoundary--").size());
    PublishHeader header;
    std::vector<DriveRecord> drives;
    std::string why;
    ASSERT_TRUE(DecodePublishBlock(block, header, drives, why)) << why;
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(header.ProgramVersion, Version);
    EXPECT_EQ(drives[1].SerialNumber, DriveForCommands(1).SerialNumber);

    // Shown again as it was: normal depth, the toggle unchecked, the window visible.
    EXPECT_FALSE(sim::ChildRecord(MainWindow, ExpertModeId).Checked);
    EXPECT_EQ(sim::RichText(ReportBox), ReportRtf(BuildReportDocument(ReportDepth::Normal)));
    EXPECT_EQ(sim::WindowRecords().front().Text, "KORVANTE");
    EXPECT_TRUE(IsWindowVisible(MainWindow));
    EXPECT_EQ(Published(), std::vector<std::string>(2, Version));
}

TEST_F(Publishing, DrivesMeasuredAtThisStartAreNotMeasuredAgain) {
    Start(3);
    DriveForCommands(0).MeasuredThisRun = true, DriveForCommands(0).PerformanceTestPending = true;
    DriveForCommands(1).MeasuredThisRun = false, DriveForCommands(1).PerformanceTestPending = false;
    DriveForCommands(2).MeasuredThisRun = true, DriveForCommands(2).PerformanceTestPending = false;
    Publish();
    EXPECT_EQ(ReadTestRuns, 1u);
    EXPECT_EQ(PendingAtReadTests, std::vector<bool>({false, true, false}));
    for (unsigned i = 0; i < 3; ++i) EXPECT_FALSE(DriveForCommands(i).MeasuredThisRun) << i;
    // A second publication measures every drive.
    Publish();
    EXPECT_EQ(PendingAtReadTests, std::vector<bool>({true, true, true}));
}

TEST_F(Publishing, RefusedUntilEveryPowerOnTimerIsCalibrated) {
    Start(2);
    DriveForCommands(1).PowerTimeIndex = 9;
    DriveForCommands(1).PowerOnTimerPeriod = 0;
    Publish();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"One hour of continuous KORVANTE operation is required to calculate "
                                                   "the operating time of your data drives."});
    EXPECT_EQ(sim::MessageBoxCalls()[0].Flags, 0x50040u);
    EXPECT_TRUE(sim::PostRequests().empty());
    EXPECT_EQ(ReadTestRuns, 0u);
    EXPECT_TRUE(PublishEnabled());
    DriveForCommands(1).PowerOnTimerPeriod = 3600;
    Publish();
    EXPECT_EQ(sim::PostRequests().size(), 1u);
}

// Only a 2xx answer marks the drives published; a failed send or any other status is shown.
TEST_F(Publishing, OutcomeByErrorCodeAndHttpStatus) {
    const struct { uint32_t error, status; const char* box; bool marked; } cases[] = {
        {0, 200, nullptr, true},
        {0, 204, nullptr, true},
        {ERROR_INTERNET_NAME_NOT_RESOLVED, 0, NoInternet, false},
        {12029, 0, "The KORVANTE data not sent. Error - 12029", false},
        {12002, 0, "The KORVANTE data not sent. Error - 12002", false},
        {0, 500, "The KORVANTE data not sent. HTTP status 500", false},
        {0, 404, "The KORVANTE data not sent. HTTP status 404", false},
        {0, 302, "The KORVANTE data not sent. HTTP status 302", false},
        {0, 199, "The KORVANTE data not sent. HTTP status 199", false},
    };
    for (const auto& c : cases) {
        const std::string name = std::to_string(c.error) + "/" + std::to_string(c.status);
        TearDown();
        SetUp();
        Start(2);
        sim::SetPostError(c.error);
        sim::SetPostStatus(c.status);
        Publish();
        EXPECT_EQ(sim::PostRequests().size(), 1u) << name;
        EXPECT_EQ(Published(), std::vector<std::string>(2, c.marked ? Version : "")) << name;
        EXPECT_EQ(BoxTexts(), c.box ? std::vector<std::string>{c.box} : std::vector<std::string>{}) << name;
        if (c.box) {
            EXPECT_EQ(sim::MessageBoxCalls()[0].Flags, 0x1040u) << name;
            EXPECT_EQ(sim::MessageBoxCalls()[0].Owner, 0u) << name;
        }
        EXPECT_TRUE(PublishEnabled()) << name;
        EXPECT_EQ(sim::OpenInternetHandles(), 0u) << name;
        EXPECT_EQ(sim::ProcessExits().size(), 0u) << name;
    }
}

// The handler a test installs answers in place of the set status, and sees the request.
TEST_F(Publishing, AHandlerAnswersTheRequest) {
    Start(1);
    static std::string seenObject;
    sim::SetPostHandler([](const sim::PostRequest& r) {
        seenObject = r.Object;
        return 503u;
    });
    Publish();
    EXPECT_EQ(seenObject, "korvante-data.php");
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"The KORVANTE data not sent. HTTP status 503"});
}

TEST_F(Publishing, PromptCancelMarksEveryDriveAndOkPublishes) {
    const struct { int answer; bool sent; } cases[] = {{IDCANCEL, false}, {IDOK, true}};
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        Start(3);
        SetRegistryText(DriveForCommands(1).RegKey, "LastReportVersion", "1.0.0.1");
        sim::HoldMessageBoxes();
        ASSERT_TRUE(CreateThread(PublishPrompt));
        ASSERT_TRUE(sim::WaitForOpenMessageBoxes(1));
        EXPECT_TRUE(PublishPromptShowing());
        const sim::MessageBoxCall box = sim::MessageBoxCalls()[0];
        EXPECT_EQ(box.Text, "The analysis of disk system is completed. Please publish the KORVANTE data to update the "
                            "storage device database.");
        EXPECT_EQ(box.Flags, 0x1041u);
        EXPECT_EQ(box.Owner, 0u);
        sim::StopHoldingMessageBoxes();
        sim::ReleaseMessageBox(c.answer);
        sim::WaitForWorkers();
        EXPECT_FALSE(PublishPromptShowing());
        EXPECT_EQ(sim::PostRequests().size(), c.sent ? 1u : 0u) << c.answer;
        EXPECT_EQ(sim::UrlRequests().size(), c.sent ? 1u : 0u) << c.answer;
        EXPECT_EQ(Published(), std::vector<std::string>(3, Version)) << c.answer;
    }
}

// The hourly prompt publishes on its own worker while the user clicks the expert toggle on the
// user-interface thread: what is sent is the publish report whatever the toggle does meanwhile, and
// the window ends at the depth the user left the toggle at. The thread stage runs it under
// ThreadSanitizer, which reports any state the two threads share unguarded.
TEST_F(Publishing, ThePromptPublishesWhileTheUserTogglesTheReport) {
    Start(2);
    ASSERT_TRUE(CreateThread(PublishPrompt));  // as the hourly step starts it
    bool seen = false, expert = false;
    for (int clicks = 0; clicks < 400 && !(seen && !PublishPromptShowing()); ++clicks) {
        seen = seen || PublishPromptShowing();
        sim::ClickButton(GetDlgItem(MainWindow, ExpertModeId));
        expert = !expert;
    }
    sim::WaitForWorkers();
    sim::PumpPostedMessages();
    const auto posts = sim::PostRequests();
    ASSERT_EQ(posts.size(), 1u);
    const std::string txtHead = "Content-Disposition: form-data; name=\"txt\"\r\n\r\n";
    const size_t txtAt = posts[0].Body.find(txtHead) + txtHead.size();
    const std::string sent = posts[0].Body.substr(txtAt, posts[0].Body.find("\r\n--ThisBoundary", txtAt) - txtAt);
    EXPECT_EQ(sent, BoxText(ReportPlainText(BuildReportDocument(ReportDepth::Publish))));
    EXPECT_EQ(sim::ChildRecord(MainWindow, ExpertModeId).Checked, expert);
    EXPECT_EQ(sim::RichText(ReportBox), ReportRtf(BuildReportDocument(expert ? ReportDepth::Expert : ReportDepth::Normal)));
    EXPECT_TRUE(IsWindowVisible(MainWindow));
    EXPECT_EQ(Published(), std::vector<std::string>(2, Version));
}

// Without drives: the version and the text only, then the program ends, whether sent or not.
TEST_F(Publishing, WithoutDrivesSendsTheTextAloneAndEnds) {
    for (const uint32_t error : {0u, 12029u}) {
        TearDown();
        SetUp();
        Start(0);
        sim::SetPostError(error);
        Publish();
        const auto posts = sim::PostRequests();
        ASSERT_EQ(posts.size(), 1u) << error;
        EXPECT_EQ(posts[0].Body.find("name=\"bin\""), std::string::npos) << error;
        if (error == 0) {  // a failure adds to the global log, which the text carries
            const std::string text = BoxText(ReportPlainText(BuildReportDocument(ReportDepth::Publish)));
            EXPECT_EQ(posts[0].Body, BuildUploadBody(Version, text, ""));
        }
        EXPECT_EQ(ReadTestRuns, 0u) << error;
        EXPECT_EQ(sim::ProcessExits(), std::vector<uint32_t>{0}) << error;
        EXPECT_EQ(BoxTexts().size(), error ? 1u : 0u) << error;
    }
}

}  // namespace
