// The built-in simulated machine's drives published by the program's upload to the running server
// (the simulated network hands the request on): what the server stored is what the program's records
// hold, and the database page the program links to shows it.
#include <sstream>

#include "ServerHarness.h"
#include "app/RecordDump.h"
#include "discovery/Scan.h"
#include "knowledge/ModelNormalisation.h"
#include "knowledge/VendorSite.h"
#include "net/Publish.h"
#include "net/PublishBlock.h"
#include "platform/Entry.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimNetwork.h"
#include "platform/sim/SimSystem.h"
#include "platform/sim/SimUserInterface.h"
#include "platform/sim/SimWorld.h"
#include "server/Multipart.h"
#include "system/FileUtils.h"
#include "ui/ProcessState.h"

using namespace servertest;

namespace {

// "Name = value" lines of the record dump; a bool as the database keeps it (1 or 0).
std::map<std::string, std::string> DumpedFields(const DriveRecord& d) {
    std::ostringstream out;
    DumpDriveRecord(out, d);
    std::map<std::string, std::string> fields;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) {
        const std::size_t eq = line.find(" = ");
        if (eq == std::string::npos) continue;
        std::string value = line.substr(eq + 3);
        if (value == "true") value = "1";
        if (value == "false") value = "0";
        fields.emplace(line.substr(0, eq), value);
    }
    return fields;
}

// The value of header `name` in "Name: value\r\n" lines.
std::string HeaderValue(const std::string& headers, const std::string& name) {
    const std::size_t at = headers.find(name + ": ");
    if (at == std::string::npos) return "";
    const std::size_t start = at + name.size() + 2;
    return headers.substr(start, headers.find("\r\n", start) - start);
}

// What the program sent and what the server answered.
sim::PostRequest Sent;
int Answer = 0;

class RoundTripTest : public DatabaseServerTest {
protected:
    void SetUp() override {
        DatabaseServerTest::SetUp();
        sim::ResetWorld();
        ResetProcessState();
        sim::Install(sim::DefaultMachine());
        sim::SetFileVersion(platform::GetModuleFileName(), {2u << 16, 7710u});
        ScanDrives();
        const int port = Port;
        sim::SetPostHandler([port](const sim::PostRequest& request) -> uint32_t {
            Sent = request;
            httplib::Client client("127.0.0.1", port);
            const httplib::Result result = client.Post(("/" + request.Object).c_str(), request.Body,
                                                       HeaderValue(request.Headers, "Content-Type").c_str());
            Answer = result ? result->status : -1;
            return result ? static_cast<uint32_t>(result->status) : 500u;
        });
    }
    void TearDown() override {
        sim::ResetWorld();  // first: it waits for the upload's worker
        ResetProcessState();
        DatabaseServerTest::TearDown();
    }
};

}  // namespace

TEST_F(RoundTripTest, TheServerStoresEveryDriveAsTheProgramHoldsIt) {
    ASSERT_GT(DriveCount(), 1u);
    std::vector<DriveRecord> drives;
    std::vector<const DriveRecord*> table;
    for (unsigned i = 0; i < DriveCount(); ++i) {
        drives.push_back(SnapshotDrive(i));
        table.push_back(&DriveForCommands(i));
    }
    UploadData("Model - the report", BuildPublishBlock(CurrentPublishHeader(), table));
    ASSERT_EQ(Answer, 200);
    EXPECT_TRUE(sim::MessageBoxCalls().empty()) << "the program took the upload as sent";
    ASSERT_EQ(Rows("uploads"), 1);
    ASSERT_EQ(Rows("drives"), static_cast<int64_t>(drives.size()));
    EXPECT_EQ(Text("SELECT version FROM uploads"), ProgramVersion());
    EXPECT_EQ(Text("SELECT program_version FROM uploads"), "2.0.0.7710");
    EXPECT_EQ(Text("SELECT report FROM uploads"), "Model - the report");
    std::vector<FormPart> parts;
    std::string why;
    ASSERT_TRUE(SplitFormBody(Sent.Body, "ThisBoundary", parts, why)) << why;
    ASSERT_NE(FindPart(parts, "bin"), nullptr);
    EXPECT_EQ(Text("SELECT block FROM uploads"), *FindPart(parts, "bin"));

    for (std::size_t i = 0; i < drives.size(); ++i) {
        const DriveRecord& d = drives[i];
        SCOPED_TRACE(d.Model);
        const auto stored = Row("SELECT * FROM drives WHERE upload_id = 1 AND position = " + std::to_string(i));
        unsigned compared = 0;
        for (const auto& [name, value] : DumpedFields(d)) {
            const auto column = stored.find(name);
            if (column == stored.end() || name == "Log") continue;
            EXPECT_EQ(column->second, value) << name;
            ++compared;
        }
        EXPECT_GE(compared, 120u) << "the dump and the columns share most fields";
        EXPECT_EQ(stored.at("Log"), d.Log);
        EXPECT_EQ(stored.at("page_model"), NormaliseForLink(d.Model));
        EXPECT_EQ(stored.at("page_firmware"), NormaliseForLink(d.FirmwareVersion));
        EXPECT_EQ(stored.at("fake"), d.Trademark == "Fake" ? "1" : "0");
        unsigned attributes = 0;
        for (unsigned a = 0; !d.IsNVMe && a < d.AttributeCount && a < 30; ++a) attributes += d.SmartData[2 + 12 * a] != 0;
        EXPECT_EQ(Number("SELECT COUNT(*) FROM attributes a JOIN drives d ON d.id = a.drive_id "
                         "WHERE d.upload_id = 1 AND d.position = " + std::to_string(i)),
                  attributes);
    }

    const DriveRecord& first = drives[0];
    const std::string path = DatabaseAddress(first).substr(std::string("https://").size() + std::string(VendorHost).size());
    const httplib::Result page = Get(path);
    ASSERT_TRUE(page);
    ASSERT_EQ(page->status, 200) << path;
    EXPECT_NE(page->body.find("Drives published: 1"), std::string::npos) << page->body;
    EXPECT_NE(page->body.find("<td>Temperature (&deg;C)</td><td>" + std::to_string(first.Temperature) + "</td>"),
              std::string::npos)
        << page->body;
}
