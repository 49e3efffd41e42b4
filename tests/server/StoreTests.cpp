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
                         Utf8FromWindows1252(NormaliseForLink(d.FirmwareVersion)), page, why);
}

// Every table and index of a database file with the statement that made it.
std::string Tables(sqlite3* db) {
    std::string tables;
    sqlite3_stmt* s = nullptr;
    const char query[] = "SELECT name, COALESCE(sql, '') FROM sqlite_master ORDER BY name";  // autoindexes: no sql
    EXPECT_EQ(sqlite3_prepare_v2(db, query, -1, &s, nullptr), SQLITE_OK);
    while (sqlite3_step(s) == SQLITE_ROW)
        tables += std::string(reinterpret_cast<const char*>(sqlite3_column_text(s, 0))) + ": " +
                  reinterpret_cast<const char*>(sqlite3_column_text(s, 1)) + "\n";
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
    EXPECT_EQ(stored.size(), columns + 7) << "the drive's fields and its seven key columns";

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
    EXPECT_EQ(Tables(fresh.Db), made);
    EXPECT_EQ(Tables(old.Db), made);

    Upload upload;
    upload.ReceivedAt = "2026-01-05 12:00:00";
    upload.HasBlock = true;
    upload.Block = BlockOf({RecordOfDistinctValues(true)});
    ASSERT_TRUE(DecodePublishBlock(upload.Block, upload.Header, upload.Drives, why)) << why;
    int64_t id = 0;
    EXPECT_TRUE(StoreUpload(old, upload, id, why)) << why;
    ModelPage page;
    EXPECT_TRUE(LoadPage(old, upload.Drives[0], page, why)) << why;
    EXPECT_EQ(page.Drives.size(), 1u);
    CloseDriveStore(old);
    CloseDriveStore(fresh);
    std::remove(before.c_str());
    std::remove(now.c_str());
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
        EXPECT_TRUE(StoreUpload(store, upload, id, why)) << why;
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
