// The upload through WinInet to the loopback vendor site (update-site.py keeps the body of the last
// POST in the file KORVANTE_TEST_POSTED names): the server gets exactly the form BuildUploadBody
// makes, and only a 2xx answer passes without a box.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "net/Publish.h"
#include "platform/sim/SimUserInterface.h"
#include "system/FileUtils.h"

namespace {

std::string ReadPosted(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;  // Wine's drive Z: is the root of the host
    for (char& c : path) if (c == '/') c = '\\';
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(PublishUpload, TheServerGetsTheFormByteForByte) {
    const char* site = std::getenv("KORVANTE_TEST_SITE");
    const char* posted = std::getenv("KORVANTE_TEST_POSTED");
    if (!site || !posted) GTEST_SKIP() << "run by run-update-test.sh, which starts the loopback site";
    const std::string address(site);  // http://127.0.0.1:PORT/
    const size_t colon = address.rfind(':');
    PublishTarget = {"127.0.0.1", static_cast<uint16_t>(std::stoi(address.substr(colon + 1))), false};

    DriveRecord drive;
    drive.Model = "TESTDISK 1000";
    drive.SmartData[0] = 0x10;
    PublishHeader header;
    header.ProgramVersion = "9.9.9.9";
    const std::string block = BuildPublishBlock(header, {&drive});
    const struct { const char* text; std::string block; const char* box; } cases[] = {
        {"Model - TESTDISK 1000\r\n", block, nullptr},
        {"No drive\r\n", "", nullptr},
        {"answer 204", block, nullptr},
        {"answer 500", block, "The KORVANTE data not sent. HTTP status 500"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        sim::ResetMessageBoxes();
        UploadData(c.text, c.block);
        const std::string body = ReadPosted(posted);
        EXPECT_EQ(body, BuildUploadBody(ProgramVersion(), c.text, c.block));
        EXPECT_EQ(body.find(std::string("\0\0", 2) + "\r\n--ThisBoundary--") != std::string::npos, !c.block.empty());
        const auto boxes = sim::MessageBoxCalls();
        ASSERT_EQ(boxes.size(), c.box ? 1u : 0u);
        if (c.box) EXPECT_EQ(boxes[0].Text, c.box);
    }
    ResetPublishing();
}

// Nobody listens on the port: the send fails with WinInet's error code in the box.
TEST(PublishUpload, ClosedPortShowsTheErrorCode) {
    PublishTarget = {"127.0.0.1", 9, false};
    sim::ResetMessageBoxes();
    UploadData("text", std::string("\x01\x00", 2));
    const auto boxes = sim::MessageBoxCalls();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text.rfind("The KORVANTE data not sent. Error - 120", 0), 0u) << boxes[0].Text;
    ResetPublishing();
}

}  // namespace
