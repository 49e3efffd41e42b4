// The built-in simulated machine published through the real WinInet to the drive database server on
// loopback (run-roundtrip-test.sh starts it and names it in KORVANTE_TEST_SERVER): the server takes
// the upload, the drives are marked published, and the database page of a drive shows its values.
// The block sent and every record's dump are left in the files KORVANTE_TEST_SENT and
// KORVANTE_TEST_DUMP name, for the script to hold against what the server stored.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/RecordDump.h"
#include "discovery/Scan.h"
#include "knowledge/ModelNormalisation.h"
#include "knowledge/VendorSite.h"
#include "monitor/DriveState.h"
#include "net/Publish.h"
#include "net/Update.h"
#include "platform/Network.h"
#include "platform/Registry.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimUserInterface.h"
#include "system/FileUtils.h"
#include "system/RegUtils.h"
#include "system/Settings.h"
#include "ui/ProcessState.h"

namespace {

// A host path as Wine's drive Z: (the root of the host) reaches it.
std::string HostPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path) if (c == '/') c = '\\';
    return path;
}

bool WriteHostFile(const std::string& unixPath, const std::string& bytes) {
    std::ofstream out(HostPath(unixPath), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : bytes) hex += {digits[c >> 4], digits[c & 15]};
    return hex;
}

// Each record's dump after a "drive N" line, its diagnostic log (which the dump only counts) in hex.
std::string DumpOfRecords(const std::vector<DriveRecord>& drives) {
    std::ostringstream out;
    for (std::size_t i = 0; i < drives.size(); ++i) {
        out << "drive " << i << "\n";
        DumpDriveRecord(out, drives[i]);
        out << "LogHex = " << Hex(drives[i].Log) << "\n";
    }
    return out.str();
}

// The body of `url` read through WinInet, with the server's status.
std::string GetPage(const std::string& url, uint32_t& status) {
    status = 0;
    std::string body;
    const platform::HInternet internet = OpenInternet(UploadAgent);
    if (!internet) return body;
    const platform::HInternet file = platform::InternetOpenUrl(internet, url, "", platform::INTERNET_FLAG_RELOAD);
    if (file) {
        platform::HttpQueryStatusCode(file, status);
        uint8_t buffer[4096];
        uint32_t read = 0;
        while (platform::InternetReadFile(file, buffer, sizeof buffer, read) && read > 0)
            body.append(reinterpret_cast<const char*>(buffer), read);
        platform::InternetCloseHandle(file);
    }
    platform::InternetCloseHandle(internet);
    return body;
}

std::string PublishedVersion(const DriveRecord& d) { return RegistryText(d.RegKey, "LastReportVersion"); }

TEST(PublishRoundTrip, TheServerStoresTheBuiltInMachineAndShowsItsPage) {
    const char* server = std::getenv("KORVANTE_TEST_SERVER");
    const char* sentFile = std::getenv("KORVANTE_TEST_SENT");
    const char* dumpFile = std::getenv("KORVANTE_TEST_DUMP");
    if (!server || !sentFile || !dumpFile) GTEST_SKIP() << "run by run-roundtrip-test.sh, which starts the server";
    const std::string origin(server);  // http://127.0.0.1:PORT

    // The drive table as the program starts with it: the scan, then each drive's stored state.
    ResetProcessState();
    PublishTarget = {"127.0.0.1", static_cast<uint16_t>(std::stoi(origin.substr(origin.rfind(':') + 1))), false};
    sim::Install(sim::DefaultMachine());
    ASSERT_TRUE(OpenSettingsKey());
    ScanDrives();
    ASSERT_GT(DriveCount(), 1u);
    std::vector<const DriveRecord*> table;
    for (unsigned i = 0; i < DriveCount(); ++i) {
        DriveWriter writer(i);
        DriveRecord& d = *writer;
        LoadDriveState(d);
        ASSERT_NE(d.RegKey, 0u) << d.Model;
        platform::RegDeleteValue(d.RegKey, "LastReportVersion");  // a run before this one marked it
        table.push_back(&d);
    }
    std::vector<DriveRecord> drives;
    for (unsigned i = 0; i < DriveCount(); ++i) drives.push_back(SnapshotDrive(i));
    const std::string block = BuildPublishBlock(CurrentPublishHeader(), table);
    ASSERT_FALSE(ProgramVersion().empty());

    // A block cut short is refused and stores nothing, so the whole one becomes the first upload.
    const struct { const char* what; std::string block; const char* box; bool published; } cases[] = {
        {"a block cut short", block.substr(0, block.size() - 3), "The KORVANTE data not sent. HTTP status 400", false},
        {"the whole block", block, nullptr, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim::ResetMessageBoxes();
        UploadData("Model - the report\r\n", c.block);
        const auto boxes = sim::MessageBoxCalls();
        ASSERT_EQ(boxes.size(), c.box ? 1u : 0u) << (boxes.empty() ? "" : boxes[0].Text);
        if (c.box) {
            EXPECT_EQ(boxes[0].Text, c.box);
        }
        for (const DriveRecord* d : table)
            EXPECT_EQ(PublishedVersion(*d), c.published ? ProgramVersion() : std::string()) << d->Model;
    }
    ASSERT_TRUE(WriteHostFile(sentFile, block));
    ASSERT_TRUE(WriteHostFile(dumpFile, DumpOfRecords(drives)));

    // The page the program links the first drive to, on the loopback server.
    const DriveRecord& first = drives[0];
    const std::string vendor = std::string("https://") + VendorHost;
    const std::string address = DatabaseAddress(first);
    ASSERT_EQ(address.rfind(vendor, 0), 0u) << address;
    uint32_t status = 0;
    const std::string page = GetPage(origin + address.substr(vendor.size()), status);
    ASSERT_EQ(status, 200u) << address << "\n" << page;
    unsigned sameModel = 0;
    for (const DriveRecord& d : drives)
        sameModel += DatabaseAddress(d) == address;
    for (const std::string& shown :
         {"<p>Drives published: " + std::to_string(sameModel) + "</p>",
          "<td>" + first.Model + "</td><td>" + first.FirmwareVersion + "</td>",
          "<td>Temperature (&deg;C)</td><td>" + std::to_string(first.Temperature) + "</td>",
          "<td>Highest temperature (&deg;C)</td><td>" + std::to_string(first.TopTemperature) + "</td>"})
        EXPECT_NE(page.find(shown), std::string::npos) << shown << "\n" << page;
    ResetProcessState();
}

}  // namespace
