// The drives table against the field table and against a database file made before it: every column
// holds its field, the page reads back the values it names, and an older file keeps its tables and
// takes uploads.
#include <sqlite3.h>

#include <fstream>
#include <iterator>

#include "FieldValues.h"
#include "ServerHarness.h"
#include "knowledge/ModelNormalisation.h"
#include "net/PublishBlock.h"
#include "server/WebText.h"
#include "smart/WorkedHours.h"

using namespace servertest;

namespace {

// A number in decimal, a text as it is: a column's value as SQLite gives it in text.
std::string ColumnText(const DriveField& f, const DriveRecord& d) {
    return std::visit(
        [&](auto member) -> std::string {
            using M = decltype(member);
            if constexpr (IsNumberField<M>) return std::to_string(static_cast<int64_t>(d.*member));
            else if constexpr (std::is_same_v<M, std::string DriveRecord::*>) return d.*member;
            else return "(not a column)";
        },
        f.Member);
}

// The record as the server decodes it from its block.
DriveRecord AsReceived(const DriveRecord& sent) {
    PublishHeader header;
    std::vector<DriveRecord> drives;
    std::string why;
    EXPECT_TRUE(DecodePublishBlock(BlockOf({sent}), header, drives, why)) << why;
    return drives.empty() ? DriveRecord{} : std::move(drives[0]);
}

bool LoadPage(DriveStore& store, const DriveRecord& d, ModelPage& page, std::string& why) {
    return LoadModelPage(store, false, Utf8FromWindows1252(NormaliseForLink(d.Model)),
                         Utf8FromWindows1252(NormaliseForLink(d.FirmwareVersion)), 1, page, why);
}

// Every table and index of a database file with its columns: a table's by name (a file's added
// columns come last), an index's in its order. Declared types differ between files of different ages.
std::string Tables(sqlite3* db) {
    std::string tables;
    sqlite3_stmt* s = nullptr;
    const char query[] =
        "SELECT m.type || ' ' || m.name || ' on ' || m.tbl_name || ':', "
        "(SELECT GROUP_CONCAT(c, ' ') FROM (SELECT name AS c FROM pragma_table_info(m.name) ORDER BY name)), "
        "(SELECT GROUP_CONCAT(name, ' ') FROM pragma_index_info(m.name)) FROM sqlite_master m ORDER BY m.name";
    EXPECT_EQ(sqlite3_prepare_v2(db, query, -1, &s, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    while (sqlite3_step(s) == SQLITE_ROW)
        for (int column = 0; column < 3; ++column) {
            const unsigned char* text = sqlite3_column_text(s, column);
            tables += std::string(text ? reinterpret_cast<const char*>(text) : "") + (column == 2 ? "\n" : " ");
        }
    sqlite3_finalize(s);
    return tables;
}

}  // namespace

TEST_F(DatabaseServerTest, EveryColumnHoldsItsFieldAndThePageReadsTheValuesItShows) {
    const DriveRecord d = AsReceived(RecordOfDistinctValues(false));
    ASSERT_EQ(Post(FormBody("1.0", "report", BlockOf({d}))), 200);
    const auto stored = Row("SELECT * FROM drives");
    std::size_t columns = 0;
    for (const DriveField& f : DriveFields) {
        if (!HasTrait(f, InColumn)) continue;
        ++columns;
        const auto column = stored.find(f.Name);
        ASSERT_NE(column, stored.end()) << f.Name;
        EXPECT_EQ(column->second, ColumnText(f, d)) << f.Name;
    }
    EXPECT_EQ(stored.size(), columns + 8 + 7) << "the drive's fields, its eight key columns and seven figures";

    ModelPage page;
    std::string why;
    ASSERT_TRUE(LoadPage(Store, d, page, why)) << why;
    ASSERT_EQ(page.Drives.size(), 1u);
    const PublishedDrive& p = page.Drives[0];
    uint32_t hours = 0;
    ASSERT_TRUE(WorkedHours(d, hours));
    EXPECT_EQ(p.Model, d.Model);
    EXPECT_EQ(p.Firmware, d.FirmwareVersion);
    EXPECT_TRUE(p.HoursKnown);
    const struct { const char* name; int64_t shown, field; } values[] = {
        {"AvailableSize", p.AvailableSize, d.AvailableSize},
        {"IsNVMe", p.IsNVMe, d.IsNVMe},
        {"Temperature", p.Temperature, d.Temperature},
        {"TopTemperature", p.TopTemperature, d.TopTemperature},
        {"power_on_hours", p.PowerOnHours, hours},
        {"PowerCycleCount", p.PowerCycleCount, d.PowerCycleCount},
        {"RemappedSectors", p.RemappedSectors, d.RemappedSectors},
        {"AverageReadSpeed", p.AverageReadSpeed, d.AverageReadSpeed},
        {"MinReadSpeed", p.MinReadSpeed, d.MinReadSpeed},
        {"MaxReadSpeed", p.MaxReadSpeed, d.MaxReadSpeed},
        {"AverageAccessTime", p.AverageAccessTime, d.AverageAccessTime},
        {"AverageAccessTimeFrac", p.AverageAccessTimeFrac, d.AverageAccessTimeFrac},
        {"PreFailure", p.PreFailure, d.PreFailure},
    };
    for (const auto& v : values) EXPECT_EQ(v.shown, v.field) << v.name;
}

// An access time past one byte: the column holds the whole value from this version's block, and the
// byte alone from an older version's (its group ends after tag 61, without tag 156).
TEST_F(DatabaseServerTest, TheAccessTimeColumnHoldsTheWholeValueWhicheverVersionSentIt) {
    DriveRecord slow = SampleDrive("ST1000DM003-1CH162", "CC47", "Z1", 30, 0, 100);
    slow.AverageAccessTime = 304, slow.AverageAccessTimeFrac = 17;
    const std::string block = BlockOf({slow});
    const std::string older = block.substr(0, block.size() - 6) + std::string(2, '\0');
    const struct { const char* name; std::string block; int64_t ms; } cases[] = {
        {"this version", block, 304}, {"an older version", older, 255}};
    for (const auto& c : cases) {
        ASSERT_EQ(Post(FormBody("1.0", "report", c.block)), 200) << c.name;
        EXPECT_EQ(Number("SELECT AverageAccessTime FROM drives WHERE id = (SELECT MAX(id) FROM drives)"), c.ms) << c.name;
        EXPECT_EQ(Number("SELECT AverageAccessTimeFrac FROM drives WHERE id = (SELECT MAX(id) FROM drives)"), 17) << c.name;
    }
}

// A text as long as its column takes is stored (in UTF-8, e-acute two bytes of the column's 64
// characters); one character more stores nothing.
TEST_F(DatabaseServerTest, ATextIsStoredUpToItsColumnsLengthAndNoFurther) {
    const struct {
        const char* name;
        std::string DriveRecord::*field;
        std::size_t chars;
        StoreOutcome outcome;
    } cases[] = {
        {"model of 64", &DriveRecord::Model, 64, StoreOutcome::Stored},
        {"model of 65", &DriveRecord::Model, 65, StoreOutcome::DoesNotFit},
        {"firmware of 32", &DriveRecord::FirmwareVersion, 32, StoreOutcome::Stored},
        {"firmware of 33", &DriveRecord::FirmwareVersion, 33, StoreOutcome::DoesNotFit},
        {"trademark of 33", &DriveRecord::Trademark, 33, StoreOutcome::DoesNotFit},
        {"log of 100000, a column without a limit", &DriveRecord::Log, 100000, StoreOutcome::Stored},
    };
    int64_t stored = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Upload upload;
        upload.ReceivedAt = "2026-01-05 12:00:00";
        upload.HasBlock = true;
        DriveRecord d = SampleDrive("M", "F", "S", 30, 0, 1);
        d.*c.field = std::string(c.chars, '\xE9');
        upload.Drives = {d};
        int64_t id = 0;
        std::string why;
        EXPECT_EQ(StoreUpload(Store, upload, id, why), c.outcome) << why;
        stored += c.outcome == StoreOutcome::Stored;
        EXPECT_EQ(Rows("uploads"), stored);
        EXPECT_EQ(Rows("drives"), stored);
    }
    EXPECT_EQ(Number("SELECT MAX(LENGTH(Model)) FROM drives"), 64) << "characters, not bytes";
}

// The table's declared lengths are the limits the check applies.
TEST_F(DatabaseServerTest, BoundedColumnsAreDeclaredWithTheirLimits) {
    const std::string drives = Text("SELECT sql FROM sqlite_master WHERE name = 'drives'");
    const std::string uploads = Text("SELECT sql FROM sqlite_master WHERE name = 'uploads'");
    for (const char* declared : {"page_model VARCHAR(64) NOT NULL", "Model VARCHAR(64) NOT NULL",
                                 "SerialNumber VARCHAR(64) NOT NULL", "FirmwareVersion VARCHAR(32) NOT NULL",
                                 "Log TEXT NOT NULL"})
        EXPECT_NE(drives.find(declared), std::string::npos) << declared << "\n" << drives;
    for (const char* declared : {"received_at VARCHAR(19) NOT NULL", "client_time VARCHAR(23)", "report TEXT NOT NULL"})
        EXPECT_NE(uploads.find(declared), std::string::npos) << declared << "\n" << uploads;
}

TEST(DriveStore, AFileMadeBeforeHasTheSameTablesAndTakesUploads) {
    std::ifstream script(std::string(KORVANTE_SOURCE_DIR) + "/tests/fixtures/drive-database-tables.sql");
    const std::string tables(std::istreambuf_iterator<char>(script), {});
    ASSERT_NE(tables.find("CREATE TABLE drives"), std::string::npos);
    const std::string before = "/tmp/korvante-store-before.db", now = "/tmp/korvante-store-now.db";
    std::remove(before.c_str());
    std::remove(now.c_str());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(before.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, tables.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    const std::string made = Tables(db);
    sqlite3_close(db);

    DriveStore old, fresh;
    std::string why;
    ASSERT_TRUE(OpenDriveStore(before, old, why)) << why;
    ASSERT_TRUE(OpenDriveStore(now, fresh, why)) << why;
    EXPECT_EQ(Tables(old.Db), Tables(fresh.Db));
    EXPECT_NE(made.find("table drives on drives: AAM_Enabled"), std::string::npos) << made;

    Upload upload;
    upload.ReceivedAt = "2026-01-05 12:00:00";
    upload.HasBlock = true;
    upload.Block = BlockOf({RecordOfDistinctValues(true)});
    ASSERT_TRUE(DecodePublishBlock(upload.Block, upload.Header, upload.Drives, why)) << why;
    int64_t id = 0;
    EXPECT_EQ(StoreUpload(old, upload, id, why), StoreOutcome::Stored) << why;
    ModelPage page;
    EXPECT_TRUE(LoadPage(old, upload.Drives[0], page, why)) << why;
    EXPECT_EQ(page.Drives.size(), 1u);
    CloseDriveStore(old);
    CloseDriveStore(fresh);
    std::remove(before.c_str());
    std::remove(now.c_str());
}

// A file made before the newest mark, the figure columns and the page sums: opening it marks each
// drive's last stored row, sets its figures and counts the sums from the rows marked, so its pages
// count each drive once from then on.
TEST_F(DatabaseServerTest, AFileWithoutTheNewestMarkGetsItOnOpening) {
    const DriveRecord first = SampleDrive("MODEL", "FW", "S1", 30, 0, 1), again = SampleDrive("MODEL", "FW", "S1", 40, 0, 2);
    for (const DriveRecord& d : {first, again, SampleDrive("MODEL", "FW", "S2", 50, 0, 1)})
        ASSERT_EQ(Post(FormBody("1.0", "r", BlockOf({d}))), 200);
    Server.stop();
    Listener.join();
    CloseDriveStore(Store);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(DatabasePath.c_str(), &db), SQLITE_OK);
    std::string drop;  // the indexes that hold the column, then the column
    sqlite3_stmt* indexes = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE sql LIKE '%newest%' AND type = 'index'", -1,
                                 &indexes, nullptr), SQLITE_OK);
    while (sqlite3_step(indexes) == SQLITE_ROW)
        drop += std::string("DROP INDEX ") + reinterpret_cast<const char*>(sqlite3_column_text(indexes, 0)) + "; ";
    sqlite3_finalize(indexes);
    drop += "ALTER TABLE drives DROP COLUMN newest; ALTER TABLE drives DROP COLUMN figure_temperature; "
            "DROP TABLE page_sums";
    ASSERT_EQ(sqlite3_exec(db, drop.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
    std::string why;
    ASSERT_TRUE(OpenDriveStore(DatabasePath, Store, why)) << why;
    EXPECT_EQ(Text("SELECT GROUP_CONCAT(id) FROM (SELECT id FROM drives WHERE newest = 1 ORDER BY id)"), "2,3");
    ModelPage page;
    ASSERT_TRUE(LoadPage(Store, first, page, why)) << why;
    ASSERT_EQ(page.Drives.size(), 2u);
    EXPECT_EQ(page.Drives[0].Temperature, 40);
    EXPECT_EQ(page.Figures.Drives, 2);
    EXPECT_EQ(page.Figures.Temperature.Average, 45);
}

// A file made before a field had its column: opening it adds the column, and the file takes uploads
// that keep the field instead of refusing every one.
TEST(DriveStore, AFileWithoutANewerColumnGetsItOnOpening) {
    std::ifstream script(std::string(KORVANTE_SOURCE_DIR) + "/tests/fixtures/drive-database-tables.sql");
    std::string tables(std::istreambuf_iterator<char>(script), {});
    const std::string newest = ", LBAStatusInterval BIGINT NOT NULL";
    ASSERT_NE(tables.find(newest), std::string::npos);
    tables.erase(tables.find(newest), newest.size());
    const std::string path = "/tmp/korvante-store-without-column.db";
    std::remove(path.c_str());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, tables.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);

    DriveStore store;
    std::string why;
    Upload upload;
    upload.ReceivedAt = "2026-01-05 12:00:00";
    upload.HasBlock = true;
    upload.Block = BlockOf({RecordOfDistinctValues(false)});
    ASSERT_TRUE(DecodePublishBlock(upload.Block, upload.Header, upload.Drives, why)) << why;
    int64_t id = 0;
    for (int opening = 0; opening < 2; ++opening) {  // the second opening finds the column there
        ASSERT_TRUE(OpenDriveStore(path, store, why)) << why;
        EXPECT_EQ(StoreUpload(store, upload, id, why), StoreOutcome::Stored) << why;
        CloseDriveStore(store);
    }
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT LBAStatusInterval FROM drives ORDER BY id", -1, &s, nullptr), SQLITE_OK);
    std::vector<int64_t> stored;
    while (sqlite3_step(s) == SQLITE_ROW) stored.push_back(sqlite3_column_int64(s, 0));
    sqlite3_finalize(s);
    sqlite3_close(db);
    EXPECT_EQ(stored, (std::vector<int64_t>{upload.Drives[0].LBAStatusInterval, upload.Drives[0].LBAStatusInterval}));
    EXPECT_NE(upload.Drives[0].LBAStatusInterval, 0u);
    std::remove(path.c_str());
}
