// The scan names every drive's brand right after identification and checks it for a counterfeit
// once the health data is in; a drive without a brand is noted in its log.
#include <gtest/gtest.h>

#include <string>

#include "TestMachine.h"
#include "discovery/Scan.h"
#include "device/TIOCTL.h"
#include "platform/sim/PageBuilders.h"
#include "device/DiagnosticLog.h"

using testmachine::SataDrive;
using testmachine::SataIdentify;

namespace {

class BrandScan : public MachineTest {
protected:
    // A SATA disk with the given model and firmware; `oui` gives it a world wide name.
    static sim::Drive Disk(const std::string& serial, unsigned seed, const std::string& model,
                           const std::string& firmware, uint32_t oui = 0xFFFFFFFF) {
        sim::Drive d = SataDrive(serial, seed);
        sim::IdentifyPage id = SataIdentify(serial);
        id.Model(model).Firmware(firmware);
        if (oui != 0xFFFFFFFF)
            id.Word(87, 0x4100).Word(108, 0x5000 | (oui >> 12)).Word(109, (oui & 0xFFF) << 4).Word(110, 0x1234);
        d.Identify = id.Bytes();
        return d;
    }
    const DriveRecord& Scanned(size_t index) { return DriveForCommands(index); }
};

TEST_F(BrandScan, BrandsAndCounterfeitsOfAtaDrives) {
    sim::Machine m;
    m.Drives = {Disk("A", 1, "WDC WD10EZEX-08WN4A0", "01.01A01"),
                Disk("B", 2, "ST3250318AS-X", "0964"),
                Disk("C", 3, "ST320LM010-1KJ15C \r\r\r80", "0001SDM1"),
                Disk("D", 4, "ST1000DM003-1CH162", "CC47", 0x0014EE),
                Disk("E", 5, "ST1000DM003-1CH162", "CC47", 0x000C50),
                Disk("F", 6, "TESTDISK 1000", "0967")};
    Install(std::move(m));
    ScanDrives();
    ASSERT_EQ(DriveCount(), 6);

    EXPECT_EQ(Scanned(0).Trademark, "Western digital");
    EXPECT_EQ(DriveLogText(Scanned(0)).find("Trademark not detected."), std::string::npos);
    EXPECT_EQ(Scanned(1).Trademark, "Fake");
    EXPECT_NE(DriveLogText(Scanned(1)).find("DEBUG - Fake?"), std::string::npos);
    EXPECT_EQ(Scanned(2).Trademark, "Fake");
    EXPECT_EQ(Scanned(2).Model, "ST320LM010-1KJ15C");
    EXPECT_EQ(Scanned(2).Caption, "Model - ST320LM010-1KJ15C ( C )");  // the mended text is what is shown
    EXPECT_TRUE(Scanned(3).HasWWN);
    EXPECT_EQ(Scanned(3).OUI, 0x0014EEu);
    EXPECT_EQ(Scanned(3).Trademark, "Fake");
    EXPECT_EQ(Scanned(4).Trademark, "Seagate");
    // No brand is noted at identification; the counterfeit firmware is found after the health read.
    EXPECT_EQ(Scanned(5).Trademark, "Fake");
    EXPECT_EQ(DriveLogText(Scanned(5)),
              "DEBUG - Trademark not detected.\r\n\r\nDEBUG - OUI - 000000\r\n\r\nDEBUG - Fake?");
}

TEST_F(BrandScan, BrandsAndCounterfeitsOfNvmeDrives) {
    sim::Machine m = sim::DefaultMachine();
    std::vector<sim::Drive> nvme;
    for (const sim::Drive& d : m.Drives)
        if (d.DevicePath.find("ven_nvme") != std::string::npos) nvme.push_back(d);
    ASSERT_EQ(nvme.size(), 1u) << "the built-in machine has one NVMe drive";
    sim::Drive fake = nvme[0];
    fake.DevicePath += "2";
    fake.NvmeIdentifyController[73] = fake.NvmeIdentifyController[74] = fake.NvmeIdentifyController[75] = 0;
    fake.NvmeIdentifyController[4] ^= 1;  // another serial number
    fake.NvmeLogs[0x02][200] ^= 1;        // and other health data
    m.Drives = {nvme[0], fake};
    Install(std::move(m));
    ScanDrives();
    ASSERT_EQ(DriveCount(), 2);
    EXPECT_EQ(Scanned(0).Model, "Samsung SSD 970 EVO Plus 1TB");
    EXPECT_EQ(Scanned(0).Trademark, "Samsung");
    EXPECT_EQ(Scanned(1).OUI, 0u);
    EXPECT_EQ(Scanned(1).Trademark, "Fake");
}

}  // namespace
