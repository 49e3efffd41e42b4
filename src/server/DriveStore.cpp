#include "server/DriveStore.h"

#include <sqlite3.h>

#include <cstdio>
#include <vector>

#include "knowledge/ModelNormalisation.h"
#include "protocol/Ata.h"
#include "server/WebText.h"
#include "smart/PowerOnTime.h"

// Portability: the statements below use only what SQLite and PostgreSQL share; SQLite's own is the
// connection (OpenDriveStore: the file, the busy timeout, foreign keys switched on). Identifiers come
// from the id_counters table (no AUTOINCREMENT, no ROWID, no sequences), rows are only inserted (no
// INSERT OR REPLACE), values are always bound, and texts are UTF-8 without zero bytes. The raw
// block's column type is the one word the two spell differently (BLOB here, BYTEA there).

namespace {

enum class ColumnType { Integer, BigInt, Text };

// A field of the drive group stored in a column of its own name.
struct DriveColumn {
    const char* Name;
    ColumnType Type;
    int64_t (*Number)(const DriveRecord&);
    std::string (*Text)(const DriveRecord&);
};

#define SMALL(field) {#field, ColumnType::Integer, [](const DriveRecord& d) { return static_cast<int64_t>(d.field); }, nullptr}
#define LARGE(field) {#field, ColumnType::BigInt, [](const DriveRecord& d) { return static_cast<int64_t>(d.field); }, nullptr}
#define TEXT_FIELD(field) {#field, ColumnType::Text, nullptr, [](const DriveRecord& d) { return Utf8FromWindows1252(d.field); }}

// Every value of the drive group but the raw pages, which stay in the upload's block.
const DriveColumn DriveColumns[] = {
    TEXT_FIELD(Model), TEXT_FIELD(FirmwareVersion), TEXT_FIELD(SerialNumber), TEXT_FIELD(Trademark), TEXT_FIELD(Controller),
    TEXT_FIELD(HostAdapter), TEXT_FIELD(HardwareID), TEXT_FIELD(LogicalDrives), TEXT_FIELD(Log),
    LARGE(AvailableSize), SMALL(SecurityLocked), SMALL(DeviceAddress), SMALL(ChannelAddress), SMALL(ChannelKnown),
    SMALL(DownloadMicrocode), SMALL(ATA_version), SMALL(SATA_version), SMALL(SATA_SignalingSpeedSupport),
    SMALL(SATA_SignalingSpeedCurrent), LARGE(HardwareCache), SMALL(UltraDMA_ModeCurrent), SMALL(UltraDMA_ModeSupport),
    SMALL(SecuritySupport), SMALL(SecurityEnabled), SMALL(WriteCacheSupport), SMALL(WriteCacheEnabled),
    SMALL(LookAheadSupport), SMALL(LookAheadEnabled), SMALL(PowerManagementSupport), SMALL(APM_Support),
    SMALL(APM_Enabled), SMALL(APM_Level), SMALL(AAM_Support), SMALL(AAM_Enabled), SMALL(AAM_Level),
    SMALL(AAM_Recommended), SMALL(HPA_Support), SMALL(SetMaxSecuritySupport), SMALL(SetMaxSecurityEnabled),
    SMALL(TCQ_Support), SMALL(TCQ_Usable), SMALL(NCQ_Usable), SMALL(TemperatureIndex), SMALL(Temperature),
    SMALL(TopTemperature), SMALL(WarningTemperature), SMALL(CriticalTemperature), SMALL(TemperatureChanged),
    SMALL(PreFailure), SMALL(Unreliable), SMALL(WasPreFailure), SMALL(WasUnreliable), SMALL(AttributeCount),
    SMALL(SelfTestSupport), SMALL(ShortSelfTestTime), SMALL(ShortSelfTestRunning), SMALL(ExtendedSelfTestRunning),
    SMALL(ExtendedSelfTestTime), SMALL(AverageAccessTime), SMALL(AverageAccessTimeFrac), SMALL(AverageReadSpeed),
    SMALL(BufferingReadSpeed), SMALL(MaxReadSpeed), SMALL(StabilityReadSpeed), SMALL(ReadInstability),
    SMALL(MinReadSpeed), SMALL(PowerTimeIndex), LARGE(PowerOnTimerPeriod), LARGE(PowerTime), SMALL(PowerCycleIndex),
    LARGE(PowerCycleCount), LARGE(Sleeping), SMALL(PowerOffDetected), SMALL(RemapIndex), LARGE(RemappedSectors),
    LARGE(SecurityEraseTime), LARGE(SmartFailures), SMALL(SmartLost), SMALL(HasWWN), LARGE(OUI),
    SMALL(TrustedComputingSupport), SMALL(FreeFallSupport), SMALL(FreeFallEnabled), SMALL(FreeFallSensitivity),
    SMALL(IsUAS), SMALL(IsUSB), SMALL(SCT_Support), SMALL(SCT_DataTablesSupport), SMALL(IsSSD), SMALL(RotationRate),
    SMALL(TRIM_Support), SMALL(TRIM_Enabled), LARGE(PhysicalSectorSize), SMALL(Transport), SMALL(DimensionalFormFactor),
    SMALL(EnhancedEraseSupport), SMALL(SanitizeSupport), SMALL(CryptoEraseSupport), SMALL(DevSleepSupport),
    SMALL(DevSleepEnabled), SMALL(IsNVMe), SMALL(PCI_VendorID), SMALL(PCI_DeviceID), LARGE(NVMe_version),
    LARGE(NamespaceCount), LARGE(MaxNamespaces), LARGE(MaxPhysicalSectorSize), SMALL(PCI_MaxLinkSpeed),
    SMALL(PCI_MaxLinkWidth), SMALL(PCI_CurrentLinkSpeed), SMALL(PCI_CurrentLinkWidth), SMALL(HMB_Support),
    SMALL(HMB_Enabled), LARGE(HMB_Size), SMALL(PowerStatesCount), SMALL(MaxPower), SMALL(APST_Support),
    SMALL(APST_Enabled), SMALL(HCTM_Support), SMALL(HCTM_TMT1), SMALL(HCTM_TMT2), LARGE(Arbitration),
    SMALL(PowerState), SMALL(InterruptCoalescing), LARGE(InterruptVectorConfig), LARGE(AsyncEventConfig),
    SMALL(KeepAliveSupport), LARGE(KeepAliveTimer), SMALL(NOPSPM_Support), SMALL(NOPSPM_Enabled),
    SMALL(ReadRecoverySupport), SMALL(ReadRecoveryLevel), SMALL(PLM_Support), SMALL(PLM_Enabled), SMALL(PLM_Window),
    SMALL(LBAStatusSupport), LARGE(LBAStatusInterval),
};

#undef SMALL
#undef LARGE
#undef TEXT_FIELD

// Columns of the drives table that are not fields of the drive.
const char DriveKeyColumns[] =
    "id BIGINT NOT NULL PRIMARY KEY, upload_id BIGINT NOT NULL REFERENCES uploads (id), position INTEGER NOT NULL, "
    "page_model TEXT NOT NULL, page_firmware TEXT NOT NULL, fake INTEGER NOT NULL, power_on_hours BIGINT";
constexpr int DriveKeyColumnCount = 7;

const char* TypeName(ColumnType type) {
    switch (type) {
        case ColumnType::Integer: return "INTEGER";
        case ColumnType::BigInt: return "BIGINT";
        case ColumnType::Text: return "TEXT";
    }
    return "TEXT";
}

std::string DrivesTableSql() {
    std::string sql = std::string("CREATE TABLE IF NOT EXISTS drives (") + DriveKeyColumns;
    for (const DriveColumn& c : DriveColumns) sql += std::string(", ") + c.Name + " " + TypeName(c.Type) + " NOT NULL";
    return sql + ")";
}

std::string InsertDriveSql() {
    std::string names = "id, upload_id, position, page_model, page_firmware, fake, power_on_hours";
    std::string marks = "?, ?, ?, ?, ?, ?, ?";
    for (const DriveColumn& c : DriveColumns) {
        names += std::string(", ") + c.Name;
        marks += ", ?";
    }
    return "INSERT INTO drives (" + names + ") VALUES (" + marks + ")";
}

// The tables, created when absent; the drives table before the attributes that refer to it.
std::vector<std::string> SchemaStatements() {
    return {
        "CREATE TABLE IF NOT EXISTS id_counters (name VARCHAR(32) NOT NULL PRIMARY KEY, next_id BIGINT NOT NULL)",
        "INSERT INTO id_counters (name, next_id) SELECT 'uploads', 1 "
        "WHERE NOT EXISTS (SELECT 1 FROM id_counters WHERE name = 'uploads')",
        "INSERT INTO id_counters (name, next_id) SELECT 'drives', 1 "
        "WHERE NOT EXISTS (SELECT 1 FROM id_counters WHERE name = 'drives')",
        "CREATE TABLE IF NOT EXISTS uploads (id BIGINT NOT NULL PRIMARY KEY, received_at VARCHAR(19) NOT NULL, "
        "version TEXT NOT NULL, report TEXT NOT NULL, block BLOB, program_version TEXT, operating_system TEXT, "
        "global_log TEXT, client_time VARCHAR(23), suspend_seen INTEGER)",
        DrivesTableSql(),
        "CREATE INDEX IF NOT EXISTS drives_page ON drives (fake, page_model, page_firmware)",
        // slot: the entry's place in the value page (a drive may list an identifier twice)
        "CREATE TABLE IF NOT EXISTS attributes (drive_id BIGINT NOT NULL REFERENCES drives (id), "
        "slot INTEGER NOT NULL, attribute_id INTEGER NOT NULL, value INTEGER NOT NULL, worst INTEGER NOT NULL, "
        "threshold INTEGER NOT NULL, raw BIGINT NOT NULL, PRIMARY KEY (drive_id, slot))",
    };
}

const char InsertUploadSql[] =
    "INSERT INTO uploads (id, received_at, version, report, block, program_version, operating_system, global_log, "
    "client_time, suspend_seen) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
const char InsertAttributeSql[] =
    "INSERT INTO attributes (drive_id, slot, attribute_id, value, worst, threshold, raw) VALUES (?, ?, ?, ?, ?, ?, ?)";
const char TakeIdsSql[] = "UPDATE id_counters SET next_id = next_id + ? WHERE name = ?";
const char NextIdSql[] = "SELECT next_id FROM id_counters WHERE name = ?";
const char UploadBlockSql[] = "SELECT block FROM uploads WHERE id = ?";
const char PageDrivesSql[] =
    "SELECT u.received_at, d.Model, d.FirmwareVersion, d.AvailableSize, d.IsNVMe, d.Temperature, d.TopTemperature, "
    "d.power_on_hours, d.PowerCycleCount, d.RemappedSectors, d.AverageReadSpeed, d.MinReadSpeed, d.MaxReadSpeed, "
    "d.AverageAccessTime, d.AverageAccessTimeFrac, d.PreFailure "
    "FROM drives d JOIN uploads u ON u.id = d.upload_id "
    "WHERE d.fake = ? AND d.page_model = ? AND d.page_firmware = ? ORDER BY d.id";
const char PageAttributesSql[] =
    "SELECT a.attribute_id, COUNT(*), MIN(a.value), MAX(a.value), MIN(a.worst), MIN(a.threshold), MAX(a.threshold), "
    "MIN(a.raw), MAX(a.raw) FROM attributes a JOIN drives d ON d.id = a.drive_id "
    "WHERE d.fake = ? AND d.page_model = ? AND d.page_firmware = ? GROUP BY a.attribute_id ORDER BY a.attribute_id";

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

// Runs a statement that returns no rows.
bool Finish(sqlite3* db, Statement& s, const char* what, std::string& why) {
    if (sqlite3_step(s.Handle) == SQLITE_DONE) return true;
    return Fail(db, what, why);
}

std::string ColumnText(Statement& s, int column) {
    const unsigned char* text = sqlite3_column_text(s.Handle, column);
    return text ? std::string(reinterpret_cast<const char*>(text), sqlite3_column_bytes(s.Handle, column)) : "";
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

bool InsertDrive(sqlite3* db, const DriveRecord& d, int64_t uploadId, int64_t driveId, int position, std::string& why) {
    Statement s;
    if (!Prepare(db, InsertDriveSql(), s, why)) return false;
    BindNumber(s, 1, driveId);
    BindNumber(s, 2, uploadId);
    BindNumber(s, 3, position);
    BindText(s, 4, Utf8FromWindows1252(NormaliseForLink(d.Model)));
    BindText(s, 5, Utf8FromWindows1252(NormaliseForLink(d.FirmwareVersion)));
    BindNumber(s, 6, d.Trademark == "Fake" ? 1 : 0);
    uint32_t hours = 0;
    if (WorkedHours(d, hours)) BindNumber(s, 7, hours);  // NULL while the counter's unit is unknown
    int index = DriveKeyColumnCount + 1;
    for (const DriveColumn& c : DriveColumns) {
        if (c.Type == ColumnType::Text) BindText(s, index, c.Text(d));
        else BindNumber(s, index, c.Number(d));
        ++index;
    }
    return Finish(db, s, "store a drive", why) && InsertAttributes(db, d, driveId, why);
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

void BindPageKey(Statement& s, bool fake, const std::string& model, const std::string& firmware) {
    BindNumber(s, 1, fake ? 1 : 0);
    BindText(s, 2, model);
    BindText(s, 3, firmware);
}

}  // namespace

bool OpenDriveStore(const std::string& path, DriveStore& store, std::string& why) {
    if (sqlite3_open_v2(path.c_str(), &store.Db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        why = "cannot open " + path + ": " + (store.Db ? sqlite3_errmsg(store.Db) : "no memory");
        CloseDriveStore(store);
        return false;
    }
    sqlite3_busy_timeout(store.Db, 10000);  // another process (an export) may be reading
    bool ok = Execute(store.Db, "PRAGMA foreign_keys = ON", why);
    for (const std::string& statement : SchemaStatements()) ok = ok && Execute(store.Db, statement, why);
    if (!ok) CloseDriveStore(store);
    return ok;
}

void CloseDriveStore(DriveStore& store) {
    sqlite3_close(store.Db);
    store.Db = nullptr;
}

bool StoreUpload(DriveStore& store, const Upload& upload, int64_t& uploadId, std::string& why) {
    std::lock_guard<std::mutex> hold(store.Lock);
    if (!Execute(store.Db, "BEGIN", why)) return false;
    if (InsertEverything(store.Db, upload, uploadId, why) && Execute(store.Db, "COMMIT", why)) return true;
    std::string ignored;
    Execute(store.Db, "ROLLBACK", ignored);
    return false;
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
                   ModelPage& page, std::string& why) {
    std::lock_guard<std::mutex> hold(store.Lock);
    page = ModelPage{};
    Statement drives, attributes;
    if (!Prepare(store.Db, PageDrivesSql, drives, why) || !Prepare(store.Db, PageAttributesSql, attributes, why))
        return false;
    BindPageKey(drives, fake, model, firmware);
    int step;
    while ((step = sqlite3_step(drives.Handle)) == SQLITE_ROW) {
        PublishedDrive d;
        sqlite3_stmt* h = drives.Handle;
        d.ReceivedAt = ColumnText(drives, 0);
        d.Model = ColumnText(drives, 1);
        d.Firmware = ColumnText(drives, 2);
        d.AvailableSize = sqlite3_column_int64(h, 3);
        d.IsNVMe = sqlite3_column_int64(h, 4) != 0;
        d.Temperature = sqlite3_column_int64(h, 5);
        d.TopTemperature = sqlite3_column_int64(h, 6);
        d.HoursKnown = sqlite3_column_type(h, 7) != SQLITE_NULL;
        d.PowerOnHours = sqlite3_column_int64(h, 7);
        d.PowerCycleCount = sqlite3_column_int64(h, 8);
        d.RemappedSectors = sqlite3_column_int64(h, 9);
        d.AverageReadSpeed = sqlite3_column_int64(h, 10);
        d.MinReadSpeed = sqlite3_column_int64(h, 11);
        d.MaxReadSpeed = sqlite3_column_int64(h, 12);
        d.AverageAccessTime = sqlite3_column_int64(h, 13);
        d.AverageAccessTimeFrac = sqlite3_column_int64(h, 14);
        d.PreFailure = sqlite3_column_int64(h, 15) != 0;
        page.Drives.push_back(d);
    }
    if (step != SQLITE_DONE) return Fail(store.Db, "read the page's drives", why);
    BindPageKey(attributes, fake, model, firmware);
    while ((step = sqlite3_step(attributes.Handle)) == SQLITE_ROW) {
        sqlite3_stmt* h = attributes.Handle;
        AttributeSeen a;
        a.Id = sqlite3_column_int64(h, 0);
        a.Drives = sqlite3_column_int64(h, 1);
        a.MinValue = sqlite3_column_int64(h, 2);
        a.MaxValue = sqlite3_column_int64(h, 3);
        a.MinWorst = sqlite3_column_int64(h, 4);
        a.MinThreshold = sqlite3_column_int64(h, 5);
        a.MaxThreshold = sqlite3_column_int64(h, 6);
        a.MinRaw = sqlite3_column_int64(h, 7);
        a.MaxRaw = sqlite3_column_int64(h, 8);
        page.Attributes.push_back(a);
    }
    if (step != SQLITE_DONE) return Fail(store.Db, "read the page's attributes", why);
    return true;
}
