#include "server/DriveStore.h"

#include <sqlite3.h>

#include <cstdio>
#include <iterator>
#include <type_traits>
#include <variant>
#include <vector>

#include "device/DriveFields.h"
#include "knowledge/Controllers.h"
#include "knowledge/Counterfeit.h"
#include "knowledge/ModelNormalisation.h"
#include "knowledge/Trademarks.h"
#include "protocol/Ata.h"
#include "server/WebText.h"
#include "smart/WorkedHours.h"

// Portability: the statements below use only what SQLite and PostgreSQL share; SQLite's own is the
// connection (OpenDriveStore: the file, the busy timeout, foreign keys switched on). Identifiers come
// from the id_counters table (no AUTOINCREMENT, no ROWID, no sequences), rows are inserted and updated
// by plain statements (no INSERT OR REPLACE or upsert; UPDATE ... FROM, which SQLite has since 3.33),
// values are always bound, texts are UTF-8 without zero bytes, and every indexed text is a bounded
// VARCHAR. The raw block's column type is the one word the two spell differently (BLOB here, BYTEA there).

namespace {

// The fields of the drive group stored in columns of their names, in the order the drives table has
// always had them: a database file made before keeps its columns. Every other field of DriveFields
// with a column comes after them, in the table's order.
constexpr const char* DriveColumnOrder[] = {
    "Model", "FirmwareVersion", "SerialNumber", "Trademark", "Controller", "HostAdapter", "HardwareID",
    "LogicalDrives", "Log", "AvailableSize", "SecurityLocked", "DeviceAddress", "ChannelAddress", "ChannelKnown",
    "DownloadMicrocode", "ATA_version", "SATA_version", "SATA_SignalingSpeedSupport", "SATA_SignalingSpeedCurrent",
    "HardwareCache", "UltraDMA_ModeCurrent", "UltraDMA_ModeSupport", "SecuritySupport", "SecurityEnabled",
    "WriteCacheSupport", "WriteCacheEnabled", "LookAheadSupport", "LookAheadEnabled", "PowerManagementSupport",
    "APM_Support", "APM_Enabled", "APM_Level", "AAM_Support", "AAM_Enabled", "AAM_Level", "AAM_Recommended",
    "HPA_Support", "SetMaxSecuritySupport", "SetMaxSecurityEnabled", "TCQ_Support", "TCQ_Usable", "NCQ_Usable",
    "TemperatureIndex", "Temperature", "TopTemperature", "WarningTemperature", "CriticalTemperature",
    "TemperatureChanged", "PreFailure", "Unreliable", "WasPreFailure", "WasUnreliable", "AttributeCount",
    "SelfTestSupport", "ShortSelfTestTime", "ShortSelfTestRunning", "ExtendedSelfTestRunning", "ExtendedSelfTestTime",
    "AverageAccessTime", "AverageAccessTimeFrac", "AverageReadSpeed", "BufferingReadSpeed", "MaxReadSpeed",
    "StabilityReadSpeed", "ReadInstability", "MinReadSpeed", "PowerTimeIndex", "PowerOnTimerPeriod", "PowerTime",
    "PowerCycleIndex", "PowerCycleCount", "Sleeping", "PowerOffDetected", "RemapIndex", "RemappedSectors",
    "SecurityEraseTime", "SmartFailures", "SmartLost", "HasWWN", "OUI", "TrustedComputingSupport", "FreeFallSupport",
    "FreeFallEnabled", "FreeFallSensitivity", "IsUAS", "IsUSB", "SCT_Support", "SCT_DataTablesSupport", "IsSSD",
    "RotationRate", "TRIM_Support", "TRIM_Enabled", "PhysicalSectorSize", "Transport", "DimensionalFormFactor",
    "EnhancedEraseSupport", "SanitizeSupport", "CryptoEraseSupport", "DevSleepSupport", "DevSleepEnabled", "IsNVMe",
    "PCI_VendorID", "PCI_DeviceID", "NVMe_version", "NamespaceCount", "MaxNamespaces", "MaxPhysicalSectorSize",
    "PCI_MaxLinkSpeed", "PCI_MaxLinkWidth", "PCI_CurrentLinkSpeed", "PCI_CurrentLinkWidth", "HMB_Support",
    "HMB_Enabled", "HMB_Size", "PowerStatesCount", "MaxPower", "APST_Support", "APST_Enabled", "HCTM_Support",
    "HCTM_TMT1", "HCTM_TMT2", "Arbitration", "PowerState", "InterruptCoalescing", "InterruptVectorConfig",
    "AsyncEventConfig", "KeepAliveSupport", "KeepAliveTimer", "NOPSPM_Support", "NOPSPM_Enabled",
    "ReadRecoverySupport", "ReadRecoveryLevel", "PLM_Support", "PLM_Enabled", "PLM_Window", "LBAStatusSupport",
    "LBAStatusInterval",
};

template <class Member>
constexpr bool IsColumnValue = IsNumberField<Member> || std::is_same_v<Member, std::string DriveRecord::*>;

// A column holds a number or a text that the block carries (the server has nothing else of a drive),
// and the column order names each column once.
constexpr bool StoredFieldsAgree() {
    for (const DriveField& f : DriveFields) {
        const bool value = std::visit([](auto m) { return IsColumnValue<decltype(m)>; }, f.Member);
        if (HasTrait(f, InColumn) && (!value || f.Tag == 0)) return false;
    }
    for (std::size_t i = 0; i < std::size(DriveColumnOrder); ++i) {
        const std::size_t place = DriveFieldPlaceNamed(DriveColumnOrder[i]);
        if (place == DriveFieldCount || !HasTrait(DriveFields[place], InColumn)) return false;
        for (std::size_t j = i + 1; j < std::size(DriveColumnOrder); ++j)
            if (SameName(DriveColumnOrder[i], DriveColumnOrder[j])) return false;
    }
    return true;
}
static_assert(StoredFieldsAgree(), "the rows of DriveFields with a column and DriveColumnOrder agree");

bool InColumnOrder(const DriveField& field) {
    for (const char* name : DriveColumnOrder)
        if (SameName(name, field.Name)) return true;
    return false;
}

std::vector<const DriveField*> MakeDriveColumns() {
    std::vector<const DriveField*> columns;
    for (const char* name : DriveColumnOrder) columns.push_back(DriveFieldNamed(name));
    for (const DriveField& field : DriveFields)
        if (HasTrait(field, InColumn) && !InColumnOrder(field)) columns.push_back(&field);
    return columns;
}

// The drives table's columns of drive fields, in their order.
const std::vector<const DriveField*> DriveColumns = MakeDriveColumns();

// The longest text each bounded text column takes, in characters (one byte of the client's
// Windows-1252 text is one character): the schema declares these columns VARCHAR of that length, and
// an upload with a longer text is refused before anything is stored, since SQLite would keep it and
// another SQL database refuse it. The indexed texts (the page and the drive's identity) stay far below
// what an index key may hold. A text column without a row here is TEXT, bounded by its form part.
struct TextLimit {
    const char* Table;
    const char* Column;
    std::size_t Chars;
};
const TextLimit TextLimits[] = {
    {"uploads", "received_at", 19},     {"uploads", "version", 64},
    {"uploads", "program_version", 64}, {"uploads", "operating_system", 256},
    {"uploads", "client_time", 23},     {"drives", "page_model", 64},
    {"drives", "page_firmware", 32},    {"drives", "Model", 64},
    {"drives", "FirmwareVersion", 32},  {"drives", "SerialNumber", 64},
    {"drives", "Trademark", 32},        {"drives", "Controller", 64},
    {"drives", "HostAdapter", 256},     {"drives", "HardwareID", 256},
    {"drives", "LogicalDrives", 128},
};

// The limit of a text column, 0 for none.
std::size_t TextLimitOf(const char* table, const char* column) {
    for (const TextLimit& limit : TextLimits)
        if (SameName(limit.Table, table) && SameName(limit.Column, column)) return limit.Chars;
    return 0;
}

// A declared type as the schema writes it: a leading TEXT becomes VARCHAR of the column's limit.
std::string DeclaredType(const char* table, const char* column, const std::string& type) {
    const std::size_t chars = TextLimitOf(table, column);
    if (chars == 0 || type.compare(0, 4, "TEXT") != 0) return type;
    return "VARCHAR(" + std::to_string(chars) + ")" + type.substr(4);
}

// A text column, or the number type wide enough for the field: INTEGER holds 32 bits with a sign.
std::string ColumnTypeOf(const DriveField& field) {
    return std::visit(
        [&](auto member) -> std::string {
            using M = decltype(member);
            if constexpr (IsNumberField<M>) return sizeof(typename FieldValue<M>::Type) <= 2 ? "INTEGER" : "BIGINT";
            else return DeclaredType("drives", field.Name, "TEXT");
        },
        field.Member);
}

// Each figure a model page aggregates: the column of the drives table that holds it for the page
// (figure_...: the value, or NULL for a drive without it, which every aggregate and the figure's index
// leave out), the value it is set to (a temperature of 0 is none read, remapped sectors need their
// attribute, read speeds a read test, power-on hours a known counter unit), and the member it is read
// into.
const struct {
    const char* Column;
    const char* Value;
    FigureRange PageFigures::*Into;
} PageFigureColumns[] = {
    {"figure_temperature", "CASE WHEN Temperature > 0 THEN Temperature END", &PageFigures::Temperature},
    {"figure_top_temperature", "CASE WHEN TopTemperature > 0 THEN TopTemperature END", &PageFigures::TopTemperature},
    {"figure_power_on_hours", "power_on_hours", &PageFigures::PowerOnHours},
    {"figure_remapped_sectors", "CASE WHEN RemapIndex <> 0 THEN RemappedSectors END", &PageFigures::RemappedSectors},
    {"figure_average_read_speed", "CASE WHEN AverageReadSpeed <> 0 THEN AverageReadSpeed END",
     &PageFigures::AverageReadSpeed},
    {"figure_min_read_speed", "CASE WHEN AverageReadSpeed <> 0 THEN MinReadSpeed END", &PageFigures::MinReadSpeed},
    {"figure_max_read_speed", "CASE WHEN AverageReadSpeed <> 0 THEN MaxReadSpeed END", &PageFigures::MaxReadSpeed},
};

// Sets the figure columns of the drive rows `where` selects from their values.
std::string SetFiguresSql(const std::string& where) {
    std::string sql;
    for (const auto& f : PageFigureColumns)
        sql += std::string(sql.empty() ? "UPDATE drives SET " : ", ") + f.Column + " = " + f.Value;
    return sql + " WHERE " + where;
}

// Columns of the drives table that are not fields of the drive, with their types.
const char* const DriveKeyColumns[][2] = {
    {"id", "BIGINT NOT NULL PRIMARY KEY"}, {"upload_id", "BIGINT NOT NULL REFERENCES uploads (id)"},
    {"position", "INTEGER NOT NULL"},      {"page_model", "TEXT NOT NULL"},
    {"page_firmware", "TEXT NOT NULL"},    {"fake", "INTEGER NOT NULL"},
    {"power_on_hours", "BIGINT"},          {"newest", "INTEGER NOT NULL"},
};

const char* const UploadColumns[][2] = {
    {"id", "BIGINT NOT NULL PRIMARY KEY"}, {"received_at", "TEXT NOT NULL"}, {"version", "TEXT NOT NULL"},
    {"report", "TEXT NOT NULL"},           {"block", "BLOB"},                {"program_version", "TEXT"},
    {"operating_system", "TEXT"},          {"global_log", "TEXT"},           {"client_time", "TEXT"},
    {"suspend_seen", "INTEGER"},
};

template <std::size_t N>
std::string ColumnList(const char* table, const char* const (&columns)[N][2]) {
    std::string list;
    for (const auto& c : columns) list += std::string(list.empty() ? "" : ", ") + c[0] + " " + DeclaredType(table, c[0], c[1]);
    return list;
}

std::string DrivesTableSql() {
    std::string columns = ColumnList("drives", DriveKeyColumns);
    for (const DriveField* field : DriveColumns)
        columns += std::string(", ") + field->Name + " " + ColumnTypeOf(*field) + " NOT NULL";
    for (const auto& f : PageFigureColumns) columns += std::string(", ") + f.Column + " BIGINT";
    return "CREATE TABLE IF NOT EXISTS drives (" + columns + ")";
}

std::string InsertDriveSql() {
    std::string names, marks;
    for (const auto& key : DriveKeyColumns) {
        names += std::string(names.empty() ? "" : ", ") + key[0];
        marks += marks.empty() ? "?" : ", ?";
    }
    for (const DriveField* field : DriveColumns) {
        names += std::string(", ") + field->Name;
        marks += ", ?";
    }
    return "INSERT INTO drives (" + names + ") VALUES (" + marks + ")";
}

// The tables, created when absent; the drives table before the attributes that refer to it. Indexes
// come once every column is there (IndexStatements).
std::vector<std::string> SchemaStatements() {
    return {
        "CREATE TABLE IF NOT EXISTS id_counters (name VARCHAR(32) NOT NULL PRIMARY KEY, next_id BIGINT NOT NULL)",
        "INSERT INTO id_counters (name, next_id) SELECT 'uploads', 1 "
        "WHERE NOT EXISTS (SELECT 1 FROM id_counters WHERE name = 'uploads')",
        "INSERT INTO id_counters (name, next_id) SELECT 'drives', 1 "
        "WHERE NOT EXISTS (SELECT 1 FROM id_counters WHERE name = 'drives')",
        "CREATE TABLE IF NOT EXISTS uploads (" + ColumnList("uploads", UploadColumns) + ")",
        DrivesTableSql(),
        // slot: the entry's place in the value page (a drive may list an identifier twice)
        "CREATE TABLE IF NOT EXISTS attributes (drive_id BIGINT NOT NULL REFERENCES drives (id), "
        "slot INTEGER NOT NULL, attribute_id INTEGER NOT NULL, value INTEGER NOT NULL, worst INTEGER NOT NULL, "
        "threshold INTEGER NOT NULL, raw BIGINT NOT NULL, PRIMARY KEY (drive_id, slot))",
    };
}

const char PageKeyColumns[] = "fake, page_model, page_firmware, newest";

// The page's drives in their order; one index per figure in its order, where its lowest and highest
// are found without a scan; a drive's uploads by its identity (model and serial number), the newest
// marked. The page index replaces an older one of the page's key alone.
std::vector<std::string> IndexStatements() {
    std::vector<std::string> statements = {
        "DROP INDEX IF EXISTS drives_page",
        std::string("CREATE INDEX IF NOT EXISTS drives_page_order ON drives (") + PageKeyColumns + ", id)",
        "CREATE INDEX IF NOT EXISTS drives_identity ON drives (Model, SerialNumber, newest)",
    };
    for (const auto& f : PageFigureColumns)
        statements.push_back(std::string("CREATE INDEX IF NOT EXISTS drives_page_") + f.Column + " ON drives (" +
                             PageKeyColumns + ", " + f.Column + ")");
    return statements;
}

// Each page's count of drives and, for each figure, how many of them have it and its sum, kept as
// drives are stored (a drive's newest row counted, a superseded one taken out again): the averages are
// read from one row instead of a pass over the page's drives.
std::string PageSumsTableSql() {
    std::string sql = "CREATE TABLE IF NOT EXISTS page_sums (fake INTEGER NOT NULL, page_model " +
                      DeclaredType("drives", "page_model", "TEXT NOT NULL") + ", page_firmware " +
                      DeclaredType("drives", "page_firmware", "TEXT NOT NULL") + ", drives BIGINT NOT NULL";
    for (const auto& f : PageFigureColumns)
        sql += std::string(", ") + f.Column + "_known BIGINT NOT NULL, " + f.Column + "_sum BIGINT NOT NULL";
    return sql + ", PRIMARY KEY (fake, page_model, page_firmware))";
}

// A drive is counted once however often it is published: its newest upload stands for it on the pages,
// and the earlier ones stay stored.
const char SupersedeDriveSql[] = "UPDATE drives SET newest = 0 WHERE Model = ? AND SerialNumber = ? AND newest = 1";
// For a file made before the column: each identity's last stored row is its newest.
const char MarkNewestSql[] =
    "UPDATE drives SET newest = 1 WHERE id IN (SELECT MAX(id) FROM drives GROUP BY Model, SerialNumber)";

const char InsertUploadSql[] =
    "INSERT INTO uploads (id, received_at, version, report, block, program_version, operating_system, global_log, "
    "client_time, suspend_seen) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
const char InsertAttributeSql[] =
    "INSERT INTO attributes (drive_id, slot, attribute_id, value, worst, threshold, raw) VALUES (?, ?, ?, ?, ?, ?, ?)";
const char TakeIdsSql[] = "UPDATE id_counters SET next_id = next_id + ? WHERE name = ?";
const char NextIdSql[] = "SELECT next_id FROM id_counters WHERE name = ?";
const char UploadBlockSql[] = "SELECT block FROM uploads WHERE id = ?";
#define PAGE_KEY "d.fake = ? AND d.page_model = ? AND d.page_firmware = ? AND d.newest = 1"
const char PageKey[] = PAGE_KEY;
// The page's drives are found in the page index alone, and only they are read.
const char PageDrivesFrom[] =
    " FROM drives d JOIN uploads u ON u.id = d.upload_id WHERE d.id IN (SELECT d.id FROM drives d WHERE " PAGE_KEY
    " ORDER BY d.id LIMIT ? OFFSET ?) ORDER BY d.id";
// The drives of the page lie between its first and its last drive's identifiers, in the page index.
const char PageAttributesFrom[] =
    " FROM attributes a WHERE a.drive_id IN (SELECT d.id FROM drives d WHERE " PAGE_KEY
    " AND d.id BETWEEN ? AND ?) GROUP BY a.attribute_id ORDER BY a.attribute_id";
#undef PAGE_KEY

// The page key, the count and each figure's count and sum of the drive rows `where` selects, each
// multiplied by a sign; the sign is bound into every one of the first 1 + 2 x figures parameters.
std::string SignedSumsSql(const std::string& where) {
    std::string sql = "SELECT d.fake AS fake, d.page_model AS page_model, d.page_firmware AS page_firmware, "
                      "? * COUNT(*) AS drives";
    for (const auto& f : PageFigureColumns) {
        const std::string column = f.Column;
        sql += ", ? * COUNT(d." + column + ") AS " + column + "_known, ? * COALESCE(SUM(d." + column + "), 0) AS " +
               column + "_sum";
    }
    return sql + " FROM drives d WHERE " + where + " GROUP BY d.fake, d.page_model, d.page_firmware";
}
constexpr int SignParameters = 1 + 2 * static_cast<int>(std::size(PageFigureColumns));

// Adds the signed sums of the rows `where` selects to their pages' rows.
std::string AddToPageSumsSql(const std::string& where) {
    std::string sql = "UPDATE page_sums SET drives = page_sums.drives + x.drives";
    for (const auto& f : PageFigureColumns)
        for (const char* part : {"_known", "_sum"}) {
            const std::string column = std::string(f.Column) + part;
            sql += ", " + column + " = page_sums." + column + " + x." + column;
        }
    return sql + " FROM (" + SignedSumsSql(where) +
           ") x WHERE page_sums.fake = x.fake AND page_sums.page_model = x.page_model AND "
           "page_sums.page_firmware = x.page_firmware";
}

// The page row of drive row ? with nothing counted, when the page has none yet.
std::string AddPageSumsRowSql() {
    std::string zeros;
    for (std::size_t i = 0; i < 2 * std::size(PageFigureColumns); ++i) zeros += ", 0";
    return "INSERT INTO page_sums SELECT d.fake, d.page_model, d.page_firmware, 0" + zeros +
           " FROM drives d WHERE d.id = ? AND NOT EXISTS (SELECT 1 FROM page_sums s WHERE s.fake = d.fake AND "
           "s.page_model = d.page_model AND s.page_firmware = d.page_firmware)";
}

std::string PageSumsSql() {
    std::string sql = "SELECT drives";
    for (const auto& f : PageFigureColumns) sql += std::string(", ") + f.Column + "_known, " + f.Column + "_sum";
    return sql + " FROM page_sums WHERE fake = ? AND page_model = ? AND page_firmware = ?";
}

// Each figure's lowest and highest, each found at an end of the figure's index past its NULLs; every
// subquery binds the page's key.
std::string PageExtremesSql() {
    std::string sql;
    for (const auto& f : PageFigureColumns)
        for (const char* aggregate : {"MIN", "MAX"})
            sql += std::string(sql.empty() ? "SELECT " : ", ") + "(SELECT " + aggregate + "(d." + f.Column +
                   ") FROM drives d WHERE " + PageKey + ")";
    return sql;
}

// One value a page's query selects, and the member of the page's record it is read into.
template <class Record>
struct Selected {
    const char* Expression;
    std::variant<std::string Record::*, int64_t Record::*, bool Record::*> Into;
};

using P = PublishedDrive;
const Selected<PublishedDrive> PageDriveValues[] = {
    {"d.id", &P::Id},
    {"u.received_at", &P::ReceivedAt},
    {"d.Model", &P::Model},
    {"d.FirmwareVersion", &P::Firmware},
    {"d.AvailableSize", &P::AvailableSize},
    {"d.IsNVMe", &P::IsNVMe},
    {"d.Temperature", &P::Temperature},
    {"d.TopTemperature", &P::TopTemperature},
    {"d.power_on_hours IS NOT NULL", &P::HoursKnown},  // NULL while the counter's unit is unknown
    {"d.power_on_hours", &P::PowerOnHours},
    {"d.PowerCycleCount", &P::PowerCycleCount},
    {"d.RemapIndex <> 0", &P::RemapsKnown},
    {"d.RemappedSectors", &P::RemappedSectors},
    {"d.AverageReadSpeed", &P::AverageReadSpeed},
    {"d.MinReadSpeed", &P::MinReadSpeed},
    {"d.MaxReadSpeed", &P::MaxReadSpeed},
    {"d.AverageAccessTime", &P::AverageAccessTime},
    {"d.AverageAccessTimeFrac", &P::AverageAccessTimeFrac},
    {"d.PreFailure", &P::PreFailure},
};

using A = AttributeSeen;
const Selected<AttributeSeen> PageAttributeValues[] = {
    {"a.attribute_id", &A::Id},          {"COUNT(*)", &A::Drives},
    {"MIN(a.value)", &A::MinValue},      {"MAX(a.value)", &A::MaxValue},
    {"MIN(a.worst)", &A::MinWorst},      {"MIN(a.threshold)", &A::MinThreshold},
    {"MAX(a.threshold)", &A::MaxThreshold}, {"MIN(a.raw)", &A::MinRaw},
    {"MAX(a.raw)", &A::MaxRaw},
};

template <class Record, std::size_t N>
std::string SelectSql(const Selected<Record> (&values)[N], const char* from) {
    std::string sql = "SELECT ";
    for (std::size_t i = 0; i < N; ++i) sql += std::string(i ? ", " : "") + values[i].Expression;
    return sql + from;
}

// A prepared statement, finalized when it goes out of scope.
struct Statement {
    sqlite3_stmt* Handle = nullptr;
    Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(Handle); }
};

bool Fail(sqlite3* db, const std::string& what, std::string& why) {
    why = what + ": " + sqlite3_errmsg(db);
    return false;
}

bool Execute(sqlite3* db, const std::string& sql, std::string& why) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
    why = sql.substr(0, 40) + "...: " + (message ? message : "failed");
    sqlite3_free(message);
    return false;
}

bool Prepare(sqlite3* db, const std::string& sql, Statement& statement, std::string& why) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement.Handle, nullptr) == SQLITE_OK) return true;
    return Fail(db, "prepare", why);
}

void BindText(Statement& s, int index, const std::string& text) {
    sqlite3_bind_text(s.Handle, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void BindNumber(Statement& s, int index, int64_t value) { sqlite3_bind_int64(s.Handle, index, value); }

void BindField(Statement& s, int index, const DriveField& field, const DriveRecord& d) {
    std::visit(
        [&](auto member) {
            using M = decltype(member);
            if constexpr (IsNumberField<M>) BindNumber(s, index, static_cast<int64_t>(d.*member));
            else if constexpr (IsColumnValue<M>) BindText(s, index, Utf8FromWindows1252(d.*member));
        },
        field.Member);
}

// Runs a statement that returns no rows.
bool Finish(sqlite3* db, Statement& s, const char* what, std::string& why) {
    if (sqlite3_step(s.Handle) == SQLITE_DONE) return true;
    return Fail(db, what, why);
}

std::string ColumnText(Statement& s, int column) {
    const unsigned char* text = sqlite3_column_text(s.Handle, column);
    return text ? std::string(reinterpret_cast<const char*>(text), sqlite3_column_bytes(s.Handle, column)) : "";
}

// The current row of a page's query into a new record, value i from column i.
template <class Record, std::size_t N>
Record ReadSelected(Statement& s, const Selected<Record> (&values)[N]) {
    Record record;
    for (std::size_t i = 0; i < N; ++i) {
        const int column = static_cast<int>(i);
        std::visit(
            [&](auto into) {
                using T = std::remove_reference_t<decltype(record.*into)>;
                if constexpr (std::is_same_v<T, std::string>) record.*into = ColumnText(s, column);
                else if constexpr (std::is_same_v<T, bool>) record.*into = sqlite3_column_int64(s.Handle, column) != 0;
                else record.*into = sqlite3_column_int64(s.Handle, column);
            },
            values[i].Into);
    }
    return record;
}

// `count` new identifiers from the counter `name`; the first into `first`.
bool TakeIds(sqlite3* db, const char* name, int64_t count, int64_t& first, std::string& why) {
    Statement take, next;
    if (!Prepare(db, TakeIdsSql, take, why) || !Prepare(db, NextIdSql, next, why)) return false;
    BindNumber(take, 1, count);
    BindText(take, 2, name);
    if (!Finish(db, take, "take identifiers", why)) return false;
    BindText(next, 1, name);
    if (sqlite3_step(next.Handle) != SQLITE_ROW) return Fail(db, "read identifiers", why);
    first = sqlite3_column_int64(next.Handle, 0) - count;
    return true;
}

std::string TimeText(const SystemTime& t) {
    char text[48];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.Year, t.Month, t.Day, t.Hour, t.Minute,
                  t.Second, t.Milliseconds);
    return text;
}

// The texts of one row as they are stored, by column, against the column's limit.
bool TextFits(const char* table, const char* column, const std::string& text, std::string& why) {
    const std::size_t chars = TextLimitOf(table, column);
    if (chars == 0 || text.size() <= chars) return true;
    why = std::string(table) + "." + column + " takes " + std::to_string(chars) + " characters, not " +
          std::to_string(text.size());
    return false;
}

bool DriveFits(const DriveRecord& d, std::string& why) {
    if (!TextFits("drives", "page_model", NormaliseForLink(d.Model), why) ||
        !TextFits("drives", "page_firmware", NormaliseForLink(d.FirmwareVersion), why))
        return false;
    for (const DriveField* field : DriveColumns) {
        const auto* text = std::get_if<std::string DriveRecord::*>(&field->Member);
        if (text && !TextFits("drives", field->Name, d.**text, why)) return false;
    }
    return true;
}

bool UploadFits(const Upload& upload, std::string& why) {
    if (!TextFits("uploads", "received_at", upload.ReceivedAt, why) ||
        !TextFits("uploads", "version", upload.Version, why))
        return false;
    if (upload.HasBlock && (!TextFits("uploads", "program_version", upload.Header.ProgramVersion, why) ||
                            !TextFits("uploads", "operating_system", upload.Header.OperatingSystem, why) ||
                            !TextFits("uploads", "client_time", TimeText(upload.Header.Time), why)))
        return false;
    for (const DriveRecord& d : upload.Drives)
        if (!DriveFits(d, why)) return false;
    return true;
}

bool InsertUpload(sqlite3* db, const Upload& upload, int64_t id, std::string& why) {
    Statement s;
    if (!Prepare(db, InsertUploadSql, s, why)) return false;
    BindNumber(s, 1, id);
    BindText(s, 2, upload.ReceivedAt);
    BindText(s, 3, Utf8FromWindows1252(upload.Version));
    BindText(s, 4, Utf8FromWindows1252(upload.ReportText));
    if (upload.HasBlock) {
        sqlite3_bind_blob(s.Handle, 5, upload.Block.data(), static_cast<int>(upload.Block.size()), SQLITE_TRANSIENT);
        BindText(s, 6, Utf8FromWindows1252(upload.Header.ProgramVersion));
        BindText(s, 7, Utf8FromWindows1252(upload.Header.OperatingSystem));
        BindText(s, 8, Utf8FromWindows1252(upload.Header.GlobalLog));
        BindText(s, 9, TimeText(upload.Header.Time));
        BindNumber(s, 10, upload.Header.SuspendSeen);
    }  // else every header column stays NULL
    return Finish(db, s, "store the upload", why);
}

bool InsertAttributes(sqlite3* db, const DriveRecord& d, int64_t driveId, std::string& why) {
    if (d.IsNVMe) return true;  // an NVMe drive's health is no attribute table
    const unsigned count = d.AttributeCount < MaxAttributes ? d.AttributeCount : MaxAttributes;
    Statement s;
    if (!Prepare(db, InsertAttributeSql, s, why)) return false;
    for (unsigned i = 0; i < count; ++i) {
        const uint8_t* entry = d.SmartData + AttributeOffset(i);
        if (entry[0] == 0) continue;
        uint64_t raw = 0;
        for (int b = 10; b >= 5; --b) raw = raw << 8 | entry[b];
        sqlite3_reset(s.Handle);
        BindNumber(s, 1, driveId);
        BindNumber(s, 2, i);
        BindNumber(s, 3, entry[0]);
        BindNumber(s, 4, entry[3]);
        BindNumber(s, 5, entry[4]);
        BindNumber(s, 6, d.SmartThresholds[AttributeOffset(i) + 1]);  // paired by position
        BindNumber(s, 7, static_cast<int64_t>(raw));
        if (!Finish(db, s, "store an attribute", why)) return false;
    }
    return true;
}

// Whether the program's own rules find the drive counterfeit, from what its block carries and in the
// scan's order: the brand from the model text, the identity checks, then for an ATA SSD the flash
// controller from its attribute layout. The brand the client sent (its "Fake" mark) is not taken.
bool JudgedCounterfeit(const DriveRecord& sent) {
    DriveRecord d = sent;
    d.Trademark = DetectTrademark(d.Model, d.IsNVMe);
    CheckCounterfeit(d);
    if (d.IsSSD && !d.IsNVMe) {
        DetectController(d);
        CheckCounterfeitByController(d);
    }
    return d.Trademark == "Fake";
}

bool SupersedeDrive(sqlite3* db, const DriveRecord& d, std::string& why) {
    Statement s;
    if (!Prepare(db, SupersedeDriveSql, s, why)) return false;
    BindText(s, 1, Utf8FromWindows1252(d.Model));
    BindText(s, 2, Utf8FromWindows1252(d.SerialNumber));
    return Finish(db, s, "supersede the drive's earlier uploads", why);
}

// The drive's earlier rows out of their pages' sums; its model and serial number are bound after the signs.
bool TakeOutOfPageSums(sqlite3* db, const DriveRecord& d, std::string& why) {
    Statement s;
    if (!Prepare(db, AddToPageSumsSql("d.Model = ? AND d.SerialNumber = ? AND d.newest = 1"), s, why)) return false;
    for (int i = 1; i <= SignParameters; ++i) BindNumber(s, i, -1);
    BindText(s, SignParameters + 1, Utf8FromWindows1252(d.Model));
    BindText(s, SignParameters + 2, Utf8FromWindows1252(d.SerialNumber));
    return Finish(db, s, "take the drive's earlier uploads out of the page's sums", why);
}

bool AddToPageSums(sqlite3* db, int64_t driveId, std::string& why) {
    Statement row, add;
    if (!Prepare(db, AddPageSumsRowSql(), row, why) || !Prepare(db, AddToPageSumsSql("d.id = ?"), add, why))
        return false;
    BindNumber(row, 1, driveId);
    for (int i = 1; i <= SignParameters; ++i) BindNumber(add, i, 1);
    BindNumber(add, SignParameters + 1, driveId);
    return Finish(db, row, "make the page's sums", why) && Finish(db, add, "add the drive to the page's sums", why);
}

bool InsertDrive(sqlite3* db, const DriveRecord& d, int64_t uploadId, int64_t driveId, int position, std::string& why) {
    Statement s;
    if (!TakeOutOfPageSums(db, d, why) || !SupersedeDrive(db, d, why) || !Prepare(db, InsertDriveSql(), s, why))
        return false;
    BindNumber(s, 1, driveId);
    BindNumber(s, 2, uploadId);
    BindNumber(s, 3, position);
    BindText(s, 4, Utf8FromWindows1252(NormaliseForLink(d.Model)));
    BindText(s, 5, Utf8FromWindows1252(NormaliseForLink(d.FirmwareVersion)));
    BindNumber(s, 6, JudgedCounterfeit(d) ? 1 : 0);
    uint32_t hours = 0;
    if (WorkedHours(d, hours)) BindNumber(s, 7, hours);  // NULL while the counter's unit is unknown
    BindNumber(s, 8, 1);
    int index = static_cast<int>(std::size(DriveKeyColumns));
    for (const DriveField* field : DriveColumns) BindField(s, ++index, *field, d);
    Statement figures;
    if (!Finish(db, s, "store a drive", why) || !Prepare(db, SetFiguresSql("id = ?"), figures, why)) return false;
    BindNumber(figures, 1, driveId);
    return Finish(db, figures, "set the drive's figures", why) && AddToPageSums(db, driveId, why) &&
           InsertAttributes(db, d, driveId, why);
}

// `body` in one transaction: all of it or, when it fails, nothing.
template <class Body>
bool InTransaction(sqlite3* db, std::string& why, Body body) {
    if (!Execute(db, "BEGIN", why)) return false;
    if (body() && Execute(db, "COMMIT", why)) return true;
    std::string ignored;
    Execute(db, "ROLLBACK", ignored);
    return false;
}

bool InsertEverything(sqlite3* db, const Upload& upload, int64_t& uploadId, std::string& why) {
    int64_t firstDrive = 0;
    if (!TakeIds(db, "uploads", 1, uploadId, why) ||
        !TakeIds(db, "drives", static_cast<int64_t>(upload.Drives.size()), firstDrive, why) ||
        !InsertUpload(db, upload, uploadId, why))
        return false;
    for (std::size_t i = 0; i < upload.Drives.size(); ++i)
        if (!InsertDrive(db, upload.Drives[i], uploadId, firstDrive + static_cast<int64_t>(i), static_cast<int>(i), why))
            return false;
    return true;
}

// The page's key into parameters `first` to `first` + 2.
void BindPageKey(Statement& s, bool fake, const std::string& model, const std::string& firmware, int first = 1) {
    BindNumber(s, first, fake ? 1 : 0);
    BindText(s, first + 1, model);
    BindText(s, first + 2, firmware);
}

// The page's key, then its length and the drives before it.
void BindPageOfDrives(Statement& s, bool fake, const std::string& model, const std::string& firmware, int64_t number) {
    BindPageKey(s, fake, model, firmware);
    BindNumber(s, 4, DrivesPerPage);
    BindNumber(s, 5, (number - 1) * DrivesPerPage);
}

// A page nobody published for has no sums row: no drives, no figure known.
bool ReadPageFigures(sqlite3* db, Statement& sums, Statement& extremes, PageFigures& figures, std::string& why) {
    const int step = sqlite3_step(sums.Handle);
    if ((step != SQLITE_ROW && step != SQLITE_DONE) || sqlite3_step(extremes.Handle) != SQLITE_ROW)
        return Fail(db, "aggregate the page's figures", why);
    if (step == SQLITE_DONE) return true;
    figures.Drives = sqlite3_column_int64(sums.Handle, 0);
    for (std::size_t i = 0; i < std::size(PageFigureColumns); ++i) {
        FigureRange& range = figures.*PageFigureColumns[i].Into;
        const int column = static_cast<int>(i);
        const int64_t known = sqlite3_column_int64(sums.Handle, 1 + 2 * column);
        range.Known = known > 0;
        range.Average = range.Known ? sqlite3_column_int64(sums.Handle, 2 + 2 * column) / known : 0;
        range.Lowest = sqlite3_column_int64(extremes.Handle, 2 * column);
        range.Highest = sqlite3_column_int64(extremes.Handle, 2 * column + 1);
    }
    return true;
}

template <class Record, std::size_t N>
bool ReadRows(sqlite3* db, Statement& s, const Selected<Record> (&values)[N], std::vector<Record>& rows,
              const char* what, std::string& why) {
    int step;
    while ((step = sqlite3_step(s.Handle)) == SQLITE_ROW) rows.push_back(ReadSelected(s, values));
    return step == SQLITE_DONE || Fail(db, what, why);
}

// The names of the drives table's columns as the file has them (a file made by an older server may
// lack columns of fields added since).
bool DrivesTableColumns(sqlite3* db, std::vector<std::string>& names, std::string& why) {
    Statement s;
    if (!Prepare(db, "SELECT * FROM drives WHERE 1 = 0", s, why)) return false;
    for (int i = 0; i < sqlite3_column_count(s.Handle); ++i) names.push_back(sqlite3_column_name(s.Handle, i));
    return true;
}

bool MakePageSums(sqlite3* db, std::string& why) {
    Statement fill;
    if (!Execute(db, PageSumsTableSql(), why) ||
        !Prepare(db, "INSERT INTO page_sums " + SignedSumsSql("d.newest = 1"), fill, why))
        return false;
    for (int i = 1; i <= SignParameters; ++i) BindNumber(fill, i, 1);
    return Finish(db, fill, "count the pages' sums", why);
}

// The page sums, made for a new file and counted from the drives stored for a file made before them.
bool AddPageSums(sqlite3* db, std::string& why) {
    Statement probe;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM page_sums WHERE 1 = 0", -1, &probe.Handle, nullptr) == SQLITE_OK) return true;
    return MakePageSums(db, why);
}

bool HasColumn(const std::vector<std::string>& names, const char* column) {
    for (const std::string& name : names)
        if (SameName(name.c_str(), column)) return true;
    return false;
}

// A file made before drives had the newest mark gets it, each drive's last stored row marked.
bool AddNewestMark(sqlite3* db, std::string& why) {
    std::vector<std::string> have;
    if (!DrivesTableColumns(db, have, why)) return false;
    if (HasColumn(have, "newest")) return true;
    return Execute(db, "ALTER TABLE drives ADD COLUMN newest INTEGER NOT NULL DEFAULT 0", why) &&
           Execute(db, MarkNewestSql, why);
}

// A file made before the figure columns gets them, set for every row stored.
bool AddFigureColumns(sqlite3* db, std::string& why) {
    std::vector<std::string> have;
    if (!DrivesTableColumns(db, have, why)) return false;
    bool added = false;
    for (const auto& f : PageFigureColumns) {
        if (HasColumn(have, f.Column)) continue;
        if (!Execute(db, std::string("ALTER TABLE drives ADD COLUMN ") + f.Column + " BIGINT", why)) return false;
        added = true;
    }
    return !added || Execute(db, SetFiguresSql("1 = 1"), why);
}

// Each drive column the file's drives table lacks, added with the value its field has in a new record
// (0 or empty) for the rows already stored: without it, every upload into that file would be refused.
bool AddMissingDriveColumns(sqlite3* db, std::string& why) {
    std::vector<std::string> have;
    if (!DrivesTableColumns(db, have, why)) return false;
    for (const DriveField* field : DriveColumns) {
        if (HasColumn(have, field->Name)) continue;
        const std::string type = ColumnTypeOf(*field);
        const std::string sql = std::string("ALTER TABLE drives ADD COLUMN ") + field->Name + " " + type +
                                " NOT NULL DEFAULT " + (type == "TEXT" ? "''" : "0");
        if (!Execute(db, sql, why)) return false;
    }
    return true;
}

}  // namespace

namespace {

bool OpenConnection(const std::string& path, int flags, DriveStore& store, std::string& why) {
    if (sqlite3_open_v2(path.c_str(), &store.Db, flags | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
        why = "cannot open " + path + ": " + (store.Db ? sqlite3_errmsg(store.Db) : "no memory");
        CloseDriveStore(store);
        return false;
    }
    sqlite3_busy_timeout(store.Db, 10000);  // the server and an export may use the file at once
    return true;
}

}  // namespace

bool OpenDriveStoreReadOnly(const std::string& path, DriveStore& store, std::string& why) {
    return OpenConnection(path, SQLITE_OPEN_READONLY, store, why);
}

bool OpenDriveStore(const std::string& path, DriveStore& store, std::string& why) {
    if (!OpenConnection(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, store, why)) return false;
    // the tables made or brought up to date in one transaction: a failure leaves a file as it was
    const bool ok = Execute(store.Db, "PRAGMA foreign_keys = ON", why) && InTransaction(store.Db, why, [&] {
        bool made = true;
        for (const std::string& statement : SchemaStatements()) made = made && Execute(store.Db, statement, why);
        made = made && AddMissingDriveColumns(store.Db, why) && AddNewestMark(store.Db, why) &&
               AddFigureColumns(store.Db, why);
        for (const std::string& statement : IndexStatements()) made = made && Execute(store.Db, statement, why);
        return made && AddPageSums(store.Db, why);
    });
    if (!ok) CloseDriveStore(store);
    return ok;
}

void CloseDriveStore(DriveStore& store) {
    sqlite3_close(store.Db);
    store.Db = nullptr;
}

StoreOutcome StoreUpload(DriveStore& store, const Upload& upload, int64_t& uploadId, std::string& why) {
    if (!UploadFits(upload, why)) return StoreOutcome::DoesNotFit;
    std::lock_guard<std::mutex> hold(store.Lock);
    const bool stored = InTransaction(store.Db, why, [&] { return InsertEverything(store.Db, upload, uploadId, why); });
    return stored ? StoreOutcome::Stored : StoreOutcome::Failed;
}

bool LoadUploadBlock(DriveStore& store, int64_t uploadId, std::string& block, std::string& why) {
    std::lock_guard<std::mutex> hold(store.Lock);
    Statement s;
    if (!Prepare(store.Db, UploadBlockSql, s, why)) return false;
    BindNumber(s, 1, uploadId);
    if (sqlite3_step(s.Handle) != SQLITE_ROW) {
        why = "there is no upload " + std::to_string(uploadId);
        return false;
    }
    if (sqlite3_column_type(s.Handle, 0) == SQLITE_NULL) {
        why = "upload " + std::to_string(uploadId) + " carried no drives";
        return false;
    }
    const void* data = sqlite3_column_blob(s.Handle, 0);
    block.assign(static_cast<const char*>(data), static_cast<std::size_t>(sqlite3_column_bytes(s.Handle, 0)));
    return true;
}

bool LoadModelPage(DriveStore& store, bool fake, const std::string& model, const std::string& firmware,
                   int64_t number, ModelPage& page, std::string& why) {
    std::lock_guard<std::mutex> hold(store.Lock);
    page = ModelPage{};
    page.Number = number;
    Statement sums, extremes, drives, attributes;
    if (!Prepare(store.Db, PageSumsSql(), sums, why) || !Prepare(store.Db, PageExtremesSql(), extremes, why) ||
        !Prepare(store.Db, SelectSql(PageDriveValues, PageDrivesFrom), drives, why) ||
        !Prepare(store.Db, SelectSql(PageAttributeValues, PageAttributesFrom), attributes, why))
        return false;
    BindPageKey(sums, fake, model, firmware);
    for (int i = 0; i < 2 * static_cast<int>(std::size(PageFigureColumns)); ++i)
        BindPageKey(extremes, fake, model, firmware, 1 + 3 * i);
    BindPageOfDrives(drives, fake, model, firmware, number);
    if (!ReadPageFigures(store.Db, sums, extremes, page.Figures, why) ||
        !ReadRows(store.Db, drives, PageDriveValues, page.Drives, "read the page's drives", why))
        return false;
    if (page.Drives.empty()) return true;
    BindPageKey(attributes, fake, model, firmware);
    BindNumber(attributes, 4, page.Drives.front().Id);
    BindNumber(attributes, 5, page.Drives.back().Id);
    return ReadRows(store.Db, attributes, PageAttributeValues, page.Attributes, "read the page's attributes", why);
}
