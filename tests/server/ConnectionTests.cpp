// What the server refuses to hand to one client: its workers to slow connections, more uploads than
// the client's rate, more disk than the quota, and an empty database in place of a mistyped one; and
// what it keeps when it is killed.
#include <arpa/inet.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>

#include "ServerHarness.h"

using namespace servertest;
using Clock = std::chrono::steady_clock;

namespace {

// Its report is large enough to grow the database file: a small upload may fit in free pages.
std::string LargeUpload() {
    const DriveRecord drive = SampleDrive("WDC WD10EZEX-00BN5A0", "01.01A01", "WD-1", 35, 0, 1200);
    return FormBody("1.0", std::string(1 << 20, 'r'), BlockOf({drive}));
}

int64_t FileBytes(const std::string& path) {
    struct stat file {};
    return ::stat(path.c_str(), &file) == 0 ? static_cast<int64_t>(file.st_size) : -1;
}

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

}  // namespace

TEST_F(DatabaseServerTest, EightTricklingConnectionsLeaveUploadsServed) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(Port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<int> slow(8);
    for (int& sock : slow) {
        sock = ::socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_EQ(::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    std::atomic<bool> stop{false};
    std::thread trickle([&] {  // one byte every 3 s on each, behind which the upload is accepted
        const std::string request = "POST /korvante-data.php HTTP/1.1\r\n";
        for (std::size_t at = 0; at < request.size() && !stop; ++at) {
            for (int sock : slow) ::send(sock, &request[at], 1, MSG_NOSIGNAL);
            for (int tenth = 0; tenth < 30 && !stop; ++tenth)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });

    httplib::Client client("127.0.0.1", Port);
    client.set_read_timeout(std::chrono::seconds(5));  // the failure limit; the goal is under a second
    const Clock::time_point start = Clock::now();
    const httplib::Result answer = client.Post("/korvante-data.php", LargeUpload(), FormType);
    std::printf("upload answered in %.3f s beside %zu trickling connections\n", SecondsSince(start), slow.size());
    EXPECT_EQ(answer ? answer->status : -1, 200) << httplib::to_string(answer.error());

    // and the trickling connections are closed, not held for as long as they go on
    const Clock::time_point closing = Clock::now();
    for (int sock : slow) {
        pollfd entry{sock, POLLIN, 0};
        const int left = 10000 - static_cast<int>(SecondsSince(closing) * 1000);
        char byte = 0;
        EXPECT_TRUE(::poll(&entry, 1, std::max(left, 0)) == 1 && ::recv(sock, &byte, 1, 0) <= 0);
    }
    std::printf("the trickling connections were closed %.3f s later\n", SecondsSince(closing));
    stop = true;
    trickle.join();
    for (int sock : slow) ::close(sock);
}

struct LimitCase {
    const char* Name;
    double UploadsPerMinute, Burst;
    int64_t QuotaSlack;  // the quota less the database file and one upload, when the case starts
    bool AtOnce;  // the uploads posted together (their answers compared sorted), or one after the other
    std::vector<int> Statuses;
};

const LimitCase LimitCases[] = {
    {"a burst is taken, the next upload waits", 1, 3, 1 << 30, false, {200, 200, 200, 429}},
    {"a bucket refills at its rate", 1e9, 1, 1 << 30, false, {200, 200, 200}},
    {"the quota reached exactly", 1e9, 1e9, 0, false, {200, 507, 507}},
    {"one byte over the quota", 1e9, 1e9, -1, false, {507}},
    {"a refused upload takes its token too", 1, 1, -1, false, {507, 429}},
    {"uploads at once pass the quota one by one", 1e9, 1e9, 0, true, {200, 507, 507, 507, 507, 507, 507, 507}},
};

TEST_F(DatabaseServerTest, UploadsPastTheRateOrTheQuotaAreRefusedAndStoreNothing) {
    const std::string body = LargeUpload();
    for (const LimitCase& test : LimitCases) {
        SCOPED_TRACE(test.Name);
        const int64_t quota = FileBytes(DatabasePath) + static_cast<int64_t>(body.size()) + test.QuotaSlack;
        SetUploadLimits(Gate, UploadLimits{test.UploadsPerMinute, test.Burst, quota});
        const int64_t storedBefore = Rows("uploads");
        std::vector<int> statuses(test.Statuses.size());
        std::vector<std::thread> clients;
        for (std::size_t i = 0; i < statuses.size(); ++i) {
            auto post = [&, i] {
                httplib::Client client("127.0.0.1", Port);
                const httplib::Result answer = client.Post("/korvante-data.php", body, FormType);
                const int retry = answer ? std::atoi(answer->get_header_value("Retry-After").c_str()) : 0;
                statuses[i] = answer ? answer->status : -1;
                EXPECT_EQ(statuses[i] == 429, retry >= 1 && retry <= 60) << "Retry-After " << retry;
            };
            if (test.AtOnce) clients.emplace_back(post);
            else post();
        }
        for (std::thread& client : clients) client.join();
        if (test.AtOnce) std::sort(statuses.begin(), statuses.end());
        EXPECT_EQ(statuses, test.Statuses);
        EXPECT_EQ(Rows("uploads") - storedBefore, std::count(statuses.begin(), statuses.end(), 200));
    }
}

TEST(ExportTest, AMissingDatabaseIsRefusedAndNotCreated) {
    char folder[] = "/tmp/korvante-export-test-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string base = folder, errors = base + "/errors.txt", out = base + "/block.bin";
    for (const std::string& database : {base + "/drives.sqlite", base + "/no-folder/drives.sqlite"}) {
        EXPECT_NE(RunServerProgram({"--export-block", "1", "--database", database, "--out", out}, errors), 0) << database;
        EXPECT_EQ(FileBytes(database), -1) << "a database file was made at " << database;
        EXPECT_EQ(FileBytes(out), -1) << "a block was written";
        std::ifstream text(errors);
        const std::string message(std::istreambuf_iterator<char>(text), {});
        EXPECT_NE(message.find("cannot open " + database), std::string::npos) << message;
    }
    std::remove(errors.c_str());
    ::rmdir(folder);
}

namespace {

// A loopback port nobody listens on, as the system hands one out.
int FreePort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    const bool bound = ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                       ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0;
    ::close(probe);
    return bound ? ntohs(address.sin_port) : 0;
}

}  // namespace

// Killed while uploads are being stored, the server loses none it acknowledged: after each of three
// kills it starts again on the same file, and at the end the database is whole and holds every
// upload answered "stored N".
TEST(ServerRecovery, AKilledServerKeepsEveryAcknowledgedUpload) {
    char folder[] = "/tmp/korvante-kill-test-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string database = std::string(folder) + "/drives.sqlite";
    const std::string upload = LargeUpload();
    std::vector<int64_t> acknowledged;
    std::mutex acknowledgedLock;
    for (int round = 0; round < 3; ++round) {
        const int port = FreePort();
        const pid_t server = StartServerProgram({"--port", std::to_string(port), "--database", database});
        ASSERT_GT(server, 0);
        httplib::Client probe("127.0.0.1", port);
        for (int tries = 0; tries < 100 && !probe.Get("/database/none/none/"); ++tries) ::usleep(50000);
        std::atomic<int> answered{0};
        std::vector<std::thread> clients;
        for (int c = 0; c < 2; ++c)
            clients.emplace_back([&] {
                httplib::Client client("127.0.0.1", port);
                for (int i = 0; i < 6; ++i) {  // within the burst one address is allowed
                    const auto answer = client.Post("/korvante-data.php", upload, FormType);
                    if (!answer || answer->status != 200) return;
                    std::lock_guard<std::mutex> lock(acknowledgedLock);
                    acknowledged.push_back(std::stoll(answer->body.substr(answer->body.find(' ') + 1)));
                    ++answered;
                }
            });
        const Clock::time_point start = Clock::now();
        while (answered < 3 && SecondsSince(start) < 30) ::usleep(1000);
        EXPECT_GE(answered, 3) << "round " << round << ": the server stored too little to be killed in between";
        ::kill(server, SIGKILL);  // the other client's upload is on its way
        for (std::thread& client : clients) client.join();
        ::waitpid(server, nullptr, 0);
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    std::string verdict;
    sqlite3_exec(db, "PRAGMA integrity_check", [](void* out, int, char** values, char**) {
        *static_cast<std::string*>(out) = values[0] ? values[0] : "";
        return 0;
    }, &verdict, nullptr);
    EXPECT_EQ(verdict, "ok");
    for (const int64_t id : acknowledged) {
        sqlite3_stmt* query = nullptr;
        sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM uploads WHERE id = ?", -1, &query, nullptr);
        sqlite3_bind_int64(query, 1, id);
        EXPECT_TRUE(sqlite3_step(query) == SQLITE_ROW && sqlite3_column_int64(query, 0) == 1) << "upload " << id << " lost";
        sqlite3_finalize(query);
    }
    std::printf("%zu acknowledged uploads over three kills, all kept\n", acknowledged.size());
    sqlite3_close(db);
    std::system(("rm -rf " + std::string(folder)).c_str());
}
