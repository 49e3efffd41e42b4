// The "Database" command opens one page per drive through the shell.
#include <gtest/gtest.h>

#include <memory>

#include "device/DriveTableFill.h"
#include "device/DriveRecord.h"
#include "knowledge/VendorSite.h"
#include "platform/sim/SimShell.h"
#include "ui/DatabasePages.h"

namespace {

class DatabasePages : public ::testing::Test {
protected:
    void SetUp() override {
        ClearDriveTable();
        sim::ClearShellRequests();
        sim::SetShellFails(false);
    }
    void TearDown() override {
        ClearDriveTable();
        sim::SetShellFails(false);
    }
    static void AddDrive(const std::string& brand, const std::string& model, const std::string& firmware) {
        auto d = std::make_unique<DriveRecord>();
        d->Trademark = brand;
        d->Model = model;
        d->FirmwareVersion = firmware;
        ::AddDrive(std::move(d), {});
    }
};

TEST_F(DatabasePages, OnePagePerDriveInTableOrderEvenWhenTheShellFails) {
    AddDrive("Samsung", "Samsung SSD 870 EVO 1TB", "SVT02B6Q");
    AddDrive("Fake", "KINGSTON SA400S37/240G", "SBFK71E0");
    sim::SetShellFails(true);
    OpenDatabasePages();
    const std::vector<sim::ShellRequest> requests = sim::ShellRequests();
    ASSERT_EQ(requests.size(), 2u);
    const std::string base = VendorAddress("/database/");
    EXPECT_EQ(requests[0].File, base + "Samsung-SSD-870-EVO--1TB/SVT02B6Q/");
    EXPECT_EQ(requests[1].File, base + "Fake/KINGSTON-SA400S37--240G/SBFK71E0/");
    for (const sim::ShellRequest& r : requests) {
        EXPECT_EQ(r.Window, 0u);
        EXPECT_EQ(r.Verb, "");
        EXPECT_EQ(r.Parameters, "");
        EXPECT_EQ(r.Directory, "");
        EXPECT_EQ(r.ShowCommand, 5);  // SW_SHOW
    }
}

}  // namespace
