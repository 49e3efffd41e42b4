// Uploads through the running server: hostile ones store nothing and leave it serving, well-formed
// ones are stored whole, and many at once are each stored once.
#include <thread>

#include "ServerHarness.h"
#include "server/DatabaseServer.h"
#include "server/UploadRequest.h"

using namespace servertest;

namespace {

std::string GoodBlock() { return BlockOf({SampleDrive("WDC WD10EZEX-00BN5A0", "01.01A01", "WD-1", 35, 0, 1200)}); }

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// A block of one drive whose text `field` is `text`, or whose header gives this client time.
std::string BlockWithText(std::string DriveRecord::*field, const std::string& text) {
    DriveRecord d = SampleDrive("WDC WD10EZEX-00BN5A0", "01.01A01", "WD-1", 35, 0, 1200);
    d.*field = text;
    return BlockOf({d});
}

std::string BlockAtTime(const SystemTime& time) {
    const DriveRecord d = SampleDrive("WDC WD10EZEX-00BN5A0", "01.01A01", "WD-1", 35, 0, 1200);
    PublishHeader header;
    header.ProgramVersion = "1.0.0.0";
    header.Time = time;
    return BuildPublishBlock(header, {&d});
}

struct HostileUpload {
    const char* Name;
    std::string ContentType;
    std::string Body;
    int Status;
};

std::vector<HostileUpload> HostileUploads() {
    const std::string block = GoodBlock();
    const std::string open = "--ThisBoundary\r\nContent-Disposition: form-data; name=\"";
    std::vector<DriveRecord> tooMany(MaxPhysicalDisks + 1, SampleDrive("M", "F", "S", 30, 0, 1));
    return {
        {"no boundary", "multipart/form-data", FormBody("1.0", "report", block), 400},
        {"empty boundary", "multipart/form-data; boundary=", FormBody("1.0", "report", block), 400},
        {"not a form", "text/plain", FormBody("1.0", "report", block), 400},
        {"no content type", "", FormBody("1.0", "report", block), 400},
        {"another boundary", "multipart/form-data; boundary=OtherBoundary", FormBody("1.0", "report", block), 400},
        {"empty body", FormType, "", 400},
        {"no closing delimiter", FormType, FormBody("1.0", "report", block).substr(0, 80), 400},
        {"headers never end", FormType, open + "ver\"\r\n" + std::string(4000, 'x'), 400},
        {"part without a name", FormType, Replace(FormBody("1.0", "report", block), "name=\"txt\"", "filename=\"txt\""), 400},
        {"part not form-data", FormType, Replace(FormBody("1.0", "report", block), "form-data; name=\"txt\"", "inline; name=\"txt\""), 400},
        {"delimiter without line break", FormType, Replace(FormBody("1.0", "report", block), "--ThisBoundary\r\nContent", "--ThisBoundaryContent"), 400},
        {"missing ver", FormType, Replace(FormBody("1.0", "report", block), "name=\"ver\"", "name=\"other\""), 400},
        {"missing txt", FormType, Replace(FormBody("1.0", "report", block), "name=\"txt\"", "name=\"other\""), 400},
        {"two ver parts", FormType, Replace(FormBody("1.0", "report", block), "name=\"txt\"", "name=\"ver\""), 400},
        {"version too long", FormType, FormBody(std::string(MaxVersionBytes + 1, '9'), "report", block), 400},
        {"report with a zero byte", FormType, FormBody("1.0", std::string("rep\0ort", 7), block), 400},
        {"block cut by one byte", FormType, FormBody("1.0", "report", block.substr(0, block.size() - 1)), 400},
        {"block cut in half", FormType, FormBody("1.0", "report", block.substr(0, block.size() / 2)), 400},
        {"empty block", FormType, FormBody("1.0", "report", ""), 400},
        {"unknown tag in the header", FormType, FormBody("1.0", "report", "\xFF\x7F" + block.substr(2)), 400},
        {"text without its zero", FormType, FormBody("1.0", "report", std::string("\x01\x00" "1.0.0.0", 9)), 400},
        {"bytes after the last group", FormType, FormBody("1.0", "report", block + "\x14"), 400},
        {"more drives than a machine has", FormType, FormBody("1.0", "report", BlockOf(tooMany)), 400},
        {"block over its limit", FormType, FormBody("1.0", "report", std::string(MaxBlockBytes + 1, '\0')), 400},
        // texts longer than their columns: SQLite would keep them, another SQL database refuse them
        {"client time of 41 characters", FormType,
         FormBody("1.0", "report", BlockAtTime({65535, 65535, 0, 65535, 65535, 65535, 65535, 65535})), 400},
        {"model over its column", FormType, FormBody("1.0", "report", BlockWithText(&DriveRecord::Model, std::string(65, 'M'))), 400},
        {"model far over an index key", FormType,
         FormBody("1.0", "report", BlockWithText(&DriveRecord::Model, std::string(4000, '\xE9'))), 400},
        {"serial over its column", FormType,
         FormBody("1.0", "report", BlockWithText(&DriveRecord::SerialNumber, std::string(65, 'S'))), 400},
        {"firmware over its column", FormType,
         FormBody("1.0", "report", BlockWithText(&DriveRecord::FirmwareVersion, std::string(33, 'F'))), 400},
        {"host adapter over its column", FormType,
         FormBody("1.0", "report", BlockWithText(&DriveRecord::HostAdapter, std::string(257, 'H'))), 400},
        {"body over the limit", FormType, FormBody("1.0", std::string(MaxUploadBytes, 'r'), block), 413},
    };
}

}  // namespace

TEST_F(DatabaseServerTest, HostileUploadsStoreNothingAndTheServerGoesOn) {
    for (const HostileUpload& upload : HostileUploads()) {
        SCOPED_TRACE(upload.Name);
        EXPECT_EQ(Post(upload.Body, upload.ContentType), upload.Status);
        EXPECT_EQ(Rows("uploads"), 0);
        EXPECT_EQ(Rows("drives"), 0);
        EXPECT_EQ(Rows("attributes"), 0);
    }
    EXPECT_EQ(Post(FormBody("1.0", "report", GoodBlock())), 200);
    EXPECT_EQ(Rows("uploads"), 1);
}

struct GoodUpload {
    const char* Name;
    std::string ContentType;
    std::string Body;
    int64_t Drives, Attributes;
    bool HasBlock;
};

TEST_F(DatabaseServerTest, WellFormedUploadsAreStoredWhole) {
    const std::string two = BlockOf({SampleDrive("ST1000DM003-1CH162", "CC47", "Z1", 30, 0, 100),
                                     SampleDrive("ST1000DM003-1CH162", "CC47", "Z2", 40, 8, 200)});
    const std::vector<GoodUpload> uploads = {
        {"without drives", FormType, FormBody("1.0", "diagnostic report", "", false), 0, 0, false},
        {"two drives", FormType, FormBody("1.0", "report", two), 2, 6, true},
        {"type and boundary in other spellings", "Multipart/Form-Data; charset=x; BOUNDARY=\"ThisBoundary\"",
         FormBody("1.0", "report", two), 2, 6, true},
        {"an epilogue after the closing delimiter", FormType, FormBody("1.0", "report", two) + "\r\nignored", 2, 6, true},
    };
    int64_t uploadsBefore = 0, drivesBefore = 0, attributesBefore = 0;
    for (const GoodUpload& upload : uploads) {
        SCOPED_TRACE(upload.Name);
        ASSERT_EQ(Post(upload.Body, upload.ContentType), 200);
        EXPECT_EQ(Rows("uploads"), uploadsBefore + 1);
        EXPECT_EQ(Rows("drives") - drivesBefore, upload.Drives);
        EXPECT_EQ(Rows("attributes") - attributesBefore, upload.Attributes);
        const std::string last = "(SELECT MAX(id) FROM uploads)";
        EXPECT_EQ(Number("SELECT block IS NOT NULL FROM uploads WHERE id = " + last), upload.HasBlock ? 1 : 0);
        if (upload.HasBlock) {
            EXPECT_EQ(Text("SELECT block FROM uploads WHERE id = " + last), two);
        }
        uploadsBefore = Rows("uploads");
        drivesBefore = Rows("drives");
        attributesBefore = Rows("attributes");
    }
    EXPECT_EQ(Text("SELECT report FROM uploads WHERE id = 1"), "diagnostic report");
    EXPECT_EQ(Text("SELECT operating_system FROM uploads WHERE id = 2"), "Windows 10 Pro");
    EXPECT_EQ(Text("SELECT client_time FROM uploads WHERE id = 2"), "2024-05-17 09:30:15.250");
    EXPECT_EQ(Number("SELECT raw FROM attributes a JOIN drives d ON d.id = a.drive_id "
                     "WHERE d.SerialNumber = 'Z2' AND a.attribute_id = 5 AND d.upload_id = 2"), 8);
    EXPECT_EQ(Number("SELECT raw FROM attributes a JOIN drives d ON d.id = a.drive_id "
                     "WHERE d.SerialNumber = 'Z2' AND a.attribute_id = 194 AND d.upload_id = 2"), 0x2D2D0A0D28);
    EXPECT_EQ(Number("SELECT power_on_hours FROM drives WHERE SerialNumber = 'Z1' AND upload_id = 2"), 100);
}

TEST_F(DatabaseServerTest, AHundredParallelUploadsAreEachStoredOnce) {
    constexpr int Uploads = 100;
    std::vector<std::thread> senders;
    std::vector<int> statuses(Uploads);
    for (int i = 0; i < Uploads; ++i) {
        senders.emplace_back([this, i, &statuses] {
            const std::string serial = "P" + std::to_string(i);
            statuses[i] = Post(FormBody("1.0", "report " + serial, BlockOf({SampleDrive("M", "F", serial, 30, 0, 1)})));
        });
    }
    for (std::thread& sender : senders) sender.join();
    for (int i = 0; i < Uploads; ++i) EXPECT_EQ(statuses[i], 200) << "upload " << i;
    EXPECT_EQ(Rows("uploads"), Uploads);
    EXPECT_EQ(Rows("drives"), Uploads);
    EXPECT_EQ(Number("SELECT COUNT(DISTINCT SerialNumber) FROM drives"), Uploads);
    EXPECT_EQ(Number("SELECT COUNT(*) FROM uploads u JOIN drives d ON d.upload_id = u.id "
                     "WHERE u.report = 'report ' || d.SerialNumber"), Uploads);
    EXPECT_EQ(Rows("attributes"), 3 * Uploads);
}
