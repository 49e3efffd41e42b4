// The database server started in-process on a free loopback port with a fresh database file, the
// form bodies the program sends, drives to put in them, and an independent look into the database.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "device/DriveRecord.h"
#include "server/DatabaseServer.h"
#include "server/DriveStore.h"

namespace servertest {

// The upload body as the program writes it: ver, txt and (when `withBlock`) bin, closed without a
// final line break.
std::string FormBody(const std::string& version, const std::string& text, const std::string& block, bool withBlock = true);
constexpr const char FormType[] = "multipart/form-data; boundary=ThisBoundary";

// An ATA drive with the given identity and health, and attributes 5, 9 and 194 (raw values as given).
DriveRecord SampleDrive(const std::string& model, const std::string& firmware, const std::string& serial,
                        uint8_t temperature, uint32_t remapped, uint32_t hours);

// The block of these drives with a fixed header (version "1.0.0.0").
std::string BlockOf(const std::vector<DriveRecord>& drives);

// The server program with these arguments in a process of its own, its error output to `errors`;
// 0 when it cannot be started.
pid_t StartServerProgram(const std::vector<std::string>& arguments, const std::string& errors = "/dev/null");
// The same, run to its end: its exit status, or -1 when it did not exit of itself.
int RunServerProgram(const std::vector<std::string>& arguments, const std::string& errors = "/dev/null");

}  // namespace servertest

class DatabaseServerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    int Post(const std::string& body, const std::string& contentType = servertest::FormType);
    httplib::Result Get(const std::string& path);
    // Rows of a table, or the single number a query gives, read through a connection of its own.
    int64_t Rows(const std::string& table) { return Number("SELECT COUNT(*) FROM " + table); }
    int64_t Number(const std::string& query);
    std::string Text(const std::string& query);
    // The first row of `query`, column name to value as text (NULL as "NULL").
    std::map<std::string, std::string> Row(const std::string& query);

    std::string DatabasePath;
    DriveStore Store;
    UploadGate Gate;  // no rate limit here: the tests post many uploads from one address
    httplib::Server Server;
    std::thread Listener;
    int Port = 0;
};
