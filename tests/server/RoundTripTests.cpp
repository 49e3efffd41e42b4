// The built-in simulated machine's drives published to the running server: what the server stored
// is what the program's records hold, and the database page the program links to shows it.
#include <sstream>

#include "ServerHarness.h"
#include "app/RecordDump.h"
#include "discovery/Scan.h"
#include "knowledge/ModelNormalisation.h"
#include "knowledge/VendorSite.h"
#include "net/PublishBlock.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimWorld.h"

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

class RoundTripTest : public DatabaseServerTest {
protected:
    void SetUp() override {
        DatabaseServerTest::SetUp();
        sim::ResetWorld();
        ResetProcessState();
        sim::Install(sim::DefaultMachine());
        ScanDrives();
    }
    void TearDown() override {
        ResetProcessState();
        sim::ResetWorld();
        DatabaseServerTest::TearDown();
    }
};

}  // namespace

TEST_F(RoundTripTest, TheServerStoresEveryDriveAsTheProgramHoldsIt) {
    ASSERT_GT(DriveTable.Count, 1u);
    std::vector<DriveRecord> drives;
    for (unsigned i = 0; i < DriveTable.Count; ++i) drives.push_back(SnapshotDrive(i));
    ASSERT_EQ(Post(FormBody("1.0.0.0", "the report", BlockOf(drives))), 200);
    ASSERT_EQ(Rows("drives"), static_cast<int64_t>(drives.size()));

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
