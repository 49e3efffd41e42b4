#include "ServerHarness.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "net/PublishBlock.h"
#include "protocol/Ata.h"
#include "server/DatabaseServer.h"

namespace servertest {

std::string FormBody(const std::string& version, const std::string& text, const std::string& block, bool withBlock) {
    const std::string open = "--ThisBoundary\r\nContent-Disposition: form-data; name=\"";
    std::string body = open + "ver\"\r\n\r\n" + version + "\r\n" + open + "txt\"\r\n\r\n" + text + "\r\n";
    if (withBlock) body += open + "bin\"\r\n\r\n" + block + "\r\n";
    return body + "--ThisBoundary--";
}

namespace {

void PutAttribute(DriveRecord& d, unsigned slot, uint8_t id, uint8_t value, uint8_t threshold, uint64_t raw) {
    uint8_t* entry = d.SmartData + AttributeOffset(slot);
    entry[0] = id;
    entry[3] = value;
    entry[4] = value;
    for (int b = 0; b < 6; ++b) entry[5 + b] = static_cast<uint8_t>(raw >> (8 * b));
    d.SmartThresholds[AttributeOffset(slot)] = id;
    d.SmartThresholds[AttributeOffset(slot) + 1] = threshold;
}

}  // namespace

DriveRecord SampleDrive(const std::string& model, const std::string& firmware, const std::string& serial,
                        uint8_t temperature, uint32_t remapped, uint32_t hours) {
    DriveRecord d;
    d.Model = model;
    d.FirmwareVersion = firmware;
    d.SerialNumber = serial;
    d.Trademark = "Seagate";
    d.AvailableSize = 1000204886016;
    d.Temperature = temperature;
    d.TopTemperature = static_cast<uint8_t>(temperature + 5);
    d.RemapIndex = 1;  // attribute 5 in slot 0
    d.RemappedSectors = remapped;
    d.PowerTimeIndex = 2;
    d.PowerOnTimerPeriod = 1;
    d.PowerTime = hours;
    d.AverageReadSpeed = 150;
    d.MinReadSpeed = 90;
    d.MaxReadSpeed = 190;
    d.AttributeCount = 3;
    PutAttribute(d, 0, RemappedSectorsId, 100, 36, remapped);
    PutAttribute(d, 1, PowerOnTimeId, 97, 0, hours);
    // raw bytes 0D 0A 2D 2D: a line break and two dashes inside the block, as a delimiter begins
    PutAttribute(d, 2, TemperatureId, 64, 0, 0x2D2D0A0D00ull | temperature);
    return d;
}

std::string BlockOf(const std::vector<DriveRecord>& drives) {
    PublishHeader header;
    header.ProgramVersion = "1.0.0.0";
    header.OperatingSystem = "Windows 10 Pro";
    header.GlobalLog = "global log";
    header.Time = SystemTime{2024, 5, 3, 17, 9, 30, 15, 250};
    std::vector<const DriveRecord*> pointers;
    for (const DriveRecord& d : drives) pointers.push_back(&d);
    return BuildPublishBlock(header, pointers);
}

pid_t StartServerProgram(const std::vector<std::string>& arguments, const std::string& errors) {
    std::vector<char*> argv{const_cast<char*>(KORVANTE_SERVER_PROGRAM)};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child != 0) return child < 0 ? 0 : child;
    const int errorFile = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (errorFile >= 0) ::dup2(errorFile, STDERR_FILENO);
    ::execv(KORVANTE_SERVER_PROGRAM, argv.data());
    ::_exit(127);
}

int RunServerProgram(const std::vector<std::string>& arguments, const std::string& errors) {
    const pid_t child = StartServerProgram(arguments, errors);
    int status = 0;
    if (child == 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace servertest

void DatabaseServerTest::SetUp() {
    char name[] = "/tmp/korvante-server-test-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    std::remove(name);  // the store creates the file
    DatabasePath = name;
    std::string why;
    ASSERT_TRUE(OpenDriveStore(DatabasePath, Store, why)) << why;
    Gate.DatabasePath = DatabasePath;
    SetUploadLimits(Gate, UploadLimits{1e9, 1e9, UploadLimits{}.QuotaBytes});
    InstallRoutes(Server, Store, Gate);
    Port = BindServer(Server, "127.0.0.1", 0);
    ASSERT_GT(Port, 0);
    Listener = std::thread([this] { Server.listen_after_bind(); });
    while (!Server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void DatabaseServerTest::TearDown() {
    Server.stop();
    if (Listener.joinable()) Listener.join();
    CloseDriveStore(Store);
    std::remove(DatabasePath.c_str());
}

int DatabaseServerTest::Post(const std::string& body, const std::string& contentType) {
    httplib::Client client("127.0.0.1", Port);
    client.set_read_timeout(std::chrono::seconds(30));
    client.set_write_timeout(std::chrono::seconds(30));
    const httplib::Result result = client.Post("/korvante-data.php", body, contentType.c_str());
    if (!result) std::fprintf(stderr, "post failed: %s\n", httplib::to_string(result.error()).c_str());
    return result ? result->status : -1;
}

httplib::Result DatabaseServerTest::Get(const std::string& path) {
    httplib::Client client("127.0.0.1", Port);
    return client.Get(path.c_str());
}

namespace {

// Runs `query` on a read-only connection of its own and hands its first row to `read`.
template <typename Read>
void QueryFirstRow(const std::string& path, const std::string& query, Read read) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, query.c_str(), -1, &statement, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW) << query;
    read(statement);
    sqlite3_finalize(statement);
    sqlite3_close(db);
}

}  // namespace

int64_t DatabaseServerTest::Number(const std::string& query) {
    int64_t value = -1;
    QueryFirstRow(DatabasePath, query, [&](sqlite3_stmt* s) { value = sqlite3_column_int64(s, 0); });
    return value;
}

std::string DatabaseServerTest::Text(const std::string& query) {
    std::string value;
    QueryFirstRow(DatabasePath, query, [&](sqlite3_stmt* s) {
        const void* bytes = sqlite3_column_blob(s, 0);
        if (bytes) value.assign(static_cast<const char*>(bytes), static_cast<std::size_t>(sqlite3_column_bytes(s, 0)));
    });
    return value;
}

std::map<std::string, std::string> DatabaseServerTest::Row(const std::string& query) {
    std::map<std::string, std::string> row;
    QueryFirstRow(DatabasePath, query, [&](sqlite3_stmt* s) {
        for (int c = 0; c < sqlite3_column_count(s); ++c) {
            const unsigned char* text = sqlite3_column_text(s, c);
            row[sqlite3_column_name(s, c)] = text ? reinterpret_cast<const char*>(text) : "NULL";
        }
    });
    return row;
}
