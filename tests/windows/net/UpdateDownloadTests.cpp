// The update download on Windows against the loopback vendor site (update-site.py, started by
// run-update-test.sh, which passes its address in KORVANTE_TEST_SITE): the real network and file
// calls, with the message boxes recorded. Only the whole program of the announced version is
// written and started; the started stub leaves a marker beside itself.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "net/Update.h"
#include "platform/FileVersion.h"
#include "platform/sim/SimUserInterface.h"
#include "system/FileUtils.h"

namespace {

bool MarkerAppears(const std::string& path, std::chrono::seconds wait) {
    const auto end = std::chrono::steady_clock::now() + wait;
    while (std::chrono::steady_clock::now() < end) {
        if (platform::DeleteFile(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

TEST(UpdateDownload, OnlyTheWholeProgramOfTheAnnouncedVersionIsStarted) {
    const char* site = std::getenv("KORVANTE_TEST_SITE");
    if (!site) GTEST_SKIP() << "run by run-update-test.sh, which starts the loopback site";
    const std::string program = platform::GetTempPath() + "KORVANTE.exe";
    const std::string marker = program + ".started";
    const struct { const char* name; bool started; } cases[] = {
        {"whole", true}, {"cut", false}, {"stalled", false}, {"large", false}, {"text", false}, {"otherversion", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::ResetMessageBoxes();
        platform::DeleteFile(program);
        platform::DeleteFile(marker);
        const std::string base = std::string(site) + c.name + "/";
        DownloadUpdate(base, base, "KORVANTE.exe");
        const auto boxes = sim::MessageBoxCalls();
        if (c.started) {
            EXPECT_TRUE(boxes.empty()) << boxes.front().Text;
            EXPECT_EQ(GetFileVersion(program).Text, "9.9.9.9");
            EXPECT_TRUE(MarkerAppears(marker, std::chrono::seconds(30)));
        } else {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].Caption, " :: Warning!");  // no drive scanned: diagnostic mode
            EXPECT_FALSE(platform::DeleteFile(program));    // nothing left behind
            EXPECT_FALSE(MarkerAppears(marker, std::chrono::seconds(2)));
        }
    }
    platform::DeleteFile(program);
}

// A version file answered with an error status is not read, however its body reads: the manual check
// says the file cannot be had, as for an address nobody answers, and fetches no program.
TEST(UpdateDownload, AnErrorStatusIsNoVersion) {
    const char* site = std::getenv("KORVANTE_TEST_SITE");
    if (!site) GTEST_SKIP() << "run by run-update-test.sh, which starts the loopback site";
    const std::string program = platform::GetTempPath() + "KORVANTE.exe";
    for (const char* name : {"missing", "failing", "absent"}) {  // 404 and 500 with a version body; 404 page
        SCOPED_TRACE(name);
        sim::ResetMessageBoxes();
        platform::DeleteFile(program);
        const std::string base = std::string(site) + name + "/";
        DownloadUpdate(base, base, "KORVANTE.exe");
        const auto boxes = sim::MessageBoxCalls();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].Caption, " :: The update was interrupted.");
        EXPECT_FALSE(platform::DeleteFile(program));
    }
}

// An address nobody answers: the manual check says the Internet cannot be reached.
TEST(UpdateDownload, ClosedPortMeansNoInternet) {
    sim::ResetMessageBoxes();
    DownloadUpdate("http://127.0.0.1:9/", "http://127.0.0.1:9/", "KORVANTE.exe");
    const auto boxes = sim::MessageBoxCalls();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Caption, " :: The update was interrupted.");
}

}  // namespace
