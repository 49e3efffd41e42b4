// The drive database's storage: every upload with its report text and raw block, every drive it
// carried and each drive's attribute table. All of the server's SQL lives in DriveStore.cpp, written
// in portable SQL (explicit types, identifiers allocated by the server, bound parameters), so that the
// same schema and statements can move to another SQL database.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "device/DriveRecord.h"
#include "net/PublishBlock.h"

struct sqlite3;

// One connection, used by one request at a time.
struct DriveStore {
    sqlite3* Db = nullptr;
    std::mutex Lock;
};

// A decoded upload as it is stored. Texts are the client's bytes (Windows-1252); the store keeps them
// as UTF-8.
struct Upload {
    std::string ReceivedAt;  // UTC, "YYYY-MM-DD hh:mm:ss"
    std::string Version;     // the ver part
    std::string ReportText;  // the txt part
    bool HasBlock = false;   // an upload without drives has no bin part
    std::string Block;       // the bin part, byte for byte
    PublishHeader Header;
    std::vector<DriveRecord> Drives;
};

// Opens (creating when absent) the database file and its tables. False, with the reason, when the file
// cannot be opened or the tables cannot be made.
bool OpenDriveStore(const std::string& path, DriveStore& store, std::string& why);
// Opens an existing database file for reading only: never creates one, changes nothing in it.
bool OpenDriveStoreReadOnly(const std::string& path, DriveStore& store, std::string& why);
void CloseDriveStore(DriveStore& store);

// Stores the upload, its drives and their attributes in one transaction: all of it or, on any
// failure, nothing. `uploadId` is the new upload's identifier. DoesNotFit, with nothing stored, when
// a text is longer than its column takes (the schema's VARCHAR lengths); Failed when the database fails.
enum class StoreOutcome { Stored, DoesNotFit, Failed };
StoreOutcome StoreUpload(DriveStore& store, const Upload& upload, int64_t& uploadId, std::string& why);

// The raw block of upload `uploadId` as it arrived; false when there is no such upload or it carried
// no block.
bool LoadUploadBlock(DriveStore& store, int64_t uploadId, std::string& block, std::string& why);

// What the database page of one model and firmware shows.
struct PublishedDrive {
    int64_t Id = 0;  // the row's, in the order drives arrive
    std::string ReceivedAt;
    std::string Model;  // as the drive gives it, UTF-8
    std::string Firmware;
    int64_t AvailableSize = 0;
    bool IsNVMe = false;
    int64_t Temperature = 0;
    int64_t TopTemperature = 0;
    bool HoursKnown = false;
    int64_t PowerOnHours = 0;
    int64_t PowerCycleCount = 0;
    bool RemapsKnown = false;  // the drive has the remapped-sector attribute
    int64_t RemappedSectors = 0;
    int64_t AverageReadSpeed = 0;
    int64_t MinReadSpeed = 0;
    int64_t MaxReadSpeed = 0;
    int64_t AverageAccessTime = 0;
    int64_t AverageAccessTimeFrac = 0;
    bool PreFailure = false;
};

// One attribute identifier over every drive of the page that reported it.
struct AttributeSeen {
    int64_t Id = 0;
    int64_t Drives = 0;
    int64_t MinValue = 0, MaxValue = 0;
    int64_t MinWorst = 0;
    int64_t MinThreshold = 0, MaxThreshold = 0;
    int64_t MinRaw = 0, MaxRaw = 0;
};

// Lowest, highest and average (whole, rounded down) of one figure over the drives that have it.
struct FigureRange {
    bool Known = false;  // some drive has the figure
    int64_t Lowest = 0, Highest = 0, Average = 0;
};

// The figures of every drive of a model and firmware, aggregated by the database. A drive without a figure
// is left out of it: a temperature of 0 is none read, remapped sectors need their attribute, read
// speeds a read test, and the power-on hours a known counter unit.
struct PageFigures {
    int64_t Drives = 0;
    FigureRange Temperature, TopTemperature, PowerOnHours, RemappedSectors;
    FigureRange AverageReadSpeed, MinReadSpeed, MaxReadSpeed;
};

constexpr int64_t DrivesPerPage = 100;

struct ModelPage {
    int64_t Number = 1;  // of this page, from 1
    PageFigures Figures;  // over every drive of the model and firmware
    std::vector<PublishedDrive> Drives;  // this page's, at most DrivesPerPage, in the order they arrived
    std::vector<AttributeSeen> Attributes;  // over this page's drives, by identifier
};

// Page `number` (from 1) of the normalised model and firmware (UTF-8), in the counterfeit branch when
// `fake`. False only on a database failure; a page without drives means nothing was published for it
// or the page lies past the last.
bool LoadModelPage(DriveStore& store, bool fake, const std::string& model, const std::string& firmware,
                   int64_t number, ModelPage& page, std::string& why);
