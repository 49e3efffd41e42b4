// The database page of a model and firmware, found at the address the program opens, and the export
// of a stored block.
#include <fstream>
#include <iterator>

#include "ServerHarness.h"
#include "knowledge/ModelNormalisation.h"
#include "knowledge/VendorSite.h"
#include "server/DatabasePage.h"

using namespace servertest;

namespace {

// The path of the address the program's "Database" button opens for this drive.
std::string PagePath(const DriveRecord& drive) {
    return DatabaseAddress(drive).substr(std::string("https://").size() + std::string(VendorHost).size());
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST_F(DatabaseServerTest, ThePageShowsWhatWasPublishedForItsModelAndFirmware) {
    DriveRecord cool = SampleDrive("Samsung SSD 870 EVO 1TB", "SVT01B6Q", "S1", 30, 3, 1000);
    DriveRecord warm = SampleDrive("Samsung SSD 870 EVO 1TB", "SVT01B6Q", "S2", 40, 7, 3000);
    DriveRecord otherFirmware = SampleDrive("Samsung SSD 870 EVO 1TB", "SVT02B6Q", "S3", 50, 0, 10);
    DriveRecord fake = SampleDrive("Samsung SSD 870 EVO 1TB", "SVT01B6Q", "S4", 60, 0, 10);
    fake.Trademark = "Fake";
    fake.HasWWN = true, fake.OUI = 0x00E04C;  // a world wide name no genuine Samsung drive has
    warm.PowerOnTimerPeriod = 0;  // hours not known yet: left out of the summary
    ASSERT_EQ(Post(FormBody("1.0", "a", BlockOf({cool, otherFirmware}))), 200);
    ASSERT_EQ(Post(FormBody("1.0", "b", BlockOf({warm, fake}))), 200);

    const httplib::Result page = Get(PagePath(cool));
    ASSERT_TRUE(page);
    ASSERT_EQ(page->status, 200);
    EXPECT_EQ(PagePath(cool), "/database/Samsung-SSD-870-EVO--1TB/SVT01B6Q/");
    const std::string& html = page->body;
    EXPECT_TRUE(Contains(html, "Drives published: 2")) << html;
    EXPECT_TRUE(Contains(html, "<td>Temperature (&deg;C)</td><td>30</td><td>40</td><td>35</td>")) << html;
    EXPECT_TRUE(Contains(html, "<td>Power-on hours</td><td>1000</td><td>1000</td><td>1000</td>")) << html;
    EXPECT_TRUE(Contains(html, "<td>Remapped sectors</td><td>3</td><td>7</td><td>5</td>")) << html;
    EXPECT_TRUE(Contains(html, "<td>calculated...</td>")) << html;
    EXPECT_TRUE(Contains(html, "<td>150 / 90 / 190</td>")) << html;
    // attribute 5 seen on both drives with raw 3 and 7, threshold 36
    EXPECT_TRUE(Contains(html, "<tr><td>5</td><td>2</td><td>100</td><td>100</td><td>36</td><td>3</td><td>7</td></tr>"))
        << html;
    EXPECT_FALSE(Contains(html, "S1")) << "serial numbers stay off the page";

    const httplib::Result fakePage = Get(PagePath(fake));
    ASSERT_TRUE(fakePage);
    EXPECT_EQ(PagePath(fake).rfind("/database/Fake/", 0), 0u);
    EXPECT_TRUE(Contains(fakePage->body, "Drives published: 1")) << fakePage->body;
    EXPECT_TRUE(Contains(fakePage->body, "<td>60</td>")) << fakePage->body;
}

// Uploads one after the other, each followed by a look at the page where its drive now shows:
// - the figures as the page writes them: the access time with its hundredths, speeds in MiB/s, and a
//   drive without a figure left out of that figure's lowest, highest and average;
// - a drive is its model and serial number: published again it is counted once, with its newest
//   figures, and every upload stays stored;
// - the server marks a drive counterfeit by the program's rules, whatever brand the client sent.
TEST_F(DatabaseServerTest, EachUploadShowsOnItsPageAsTheServerJudgesIt) {
    DriveRecord read = SampleDrive("M", "F", "S1", 30, 4, 500);
    read.AverageAccessTime = 12, read.AverageAccessTimeFrac = 5;
    DriveRecord bare = SampleDrive("M", "F", "S2", 0, 0, 0);  // no temperature, remap attribute or read test
    bare.TopTemperature = 0, bare.RemapIndex = 0, bare.PowerOnTimerPeriod = 0, bare.AverageReadSpeed = 0;
    bare.AverageAccessTime = 304, bare.AverageAccessTimeFrac = 17;
    auto branded = [](const char* model, const char* firmware, const char* brand) {
        DriveRecord d = SampleDrive(model, firmware, "S", 30, 0, 1);
        d.Trademark = brand;
        return d;
    };
    DriveRecord samsungWwn = branded("Samsung SSD 870 EVO 1TB", "SVT01B6Q", "Samsung");
    samsungWwn.HasWWN = true, samsungWwn.OUI = 0x00E04C;
    DriveRecord wdSsdWithoutWwn = branded("WDC WDS500G2B0A-00SM50", "401000WD", "Western digital");
    wdSsdWithoutWwn.IsSSD = true;
    DriveRecord wdSsd = wdSsdWithoutWwn;
    wdSsd.HasWWN = true, wdSsd.OUI = 0x001B44;
    const std::string temperature = "<td>Temperature (&deg;C)</td>";
    const struct {
        const char* name;
        DriveRecord drive;
        const char* page;  // where the drive shows now
        std::vector<std::string> rows;
    } posts[] = {
        {"a drive without figures alone", bare, "/database/M/F/",
         {"<td>304.17</td>", temperature + "<td colspan=\"3\">none known</td>",
          "<td>Remapped sectors</td><td colspan=\"3\">none known</td>",
          "<td>Average read speed (MiB/s)</td><td colspan=\"3\">none known</td>"}},
        {"beside a drive with every figure", read, "/database/M/F/",
         {"<td>12.05</td>", temperature + "<td>30</td><td>30</td><td>30</td>",
          "<td>Highest temperature (&deg;C)</td><td>35</td><td>35</td><td>35</td>",
          "<td>Power-on hours</td><td>500</td><td>500</td><td>500</td>",
          "<td>Remapped sectors</td><td>4</td><td>4</td><td>4</td>",
          "<td>Minimum read speed (MiB/s)</td><td>90</td><td>90</td><td>90</td>",
          "<th>read speed average / min / max (MiB/s)</th>"}},
        {"first upload", SampleDrive("MODEL", "FW", "S1", 30, 0, 1), "/database/MODEL/FW/",
         {"Drives published: 1</p>", temperature + "<td>30</td><td>30</td><td>30</td>"}},
        {"the same drive again, warmer", SampleDrive("MODEL", "FW", "S1", 44, 0, 2), "/database/MODEL/FW/",
         {"Drives published: 1</p>", temperature + "<td>44</td><td>44</td><td>44</td>"}},
        {"another serial number", SampleDrive("MODEL", "FW", "S2", 40, 0, 2), "/database/MODEL/FW/",
         {"Drives published: 2</p>", temperature + "<td>40</td><td>44</td><td>42</td>"}},
        {"the first serial on another model", SampleDrive("MODEL2", "FW", "S1", 50, 0, 2), "/database/MODEL2/FW/",
         {"Drives published: 1</p>", temperature + "<td>50</td><td>50</td><td>50</td>"}},
        {"the first drive after a firmware update", SampleDrive("MODEL", "FW2", "S1", 35, 0, 3), "/database/MODEL/FW2/",
         {"Drives published: 1</p>", temperature + "<td>35</td><td>35</td><td>35</td>"}},
        {"left behind on the old firmware's page", SampleDrive("MODEL", "FW", "S2", 40, 0, 2), "/database/MODEL/FW/",
         {"Drives published: 1</p>", temperature + "<td>40</td><td>40</td><td>40</td>"}},
        {"a genuine drive the client marks counterfeit", branded("ST1000DM003-1CH162", "CC47", "Fake"),
         "/database/ST1000DM003-1CH162/CC47/", {"Drives published: 1</p>"}},
        {"counterfeit firmware the client calls genuine", branded("ST1000DM003-1CH162", "0964", "Seagate"),
         "/database/Fake/ST1000DM003-1CH162/0964/", {"Drives published: 1</p>"}},
        {"a Samsung with a foreign world wide name", samsungWwn, "/database/Fake/Samsung-SSD-870-EVO--1TB/SVT01B6Q/",
         {"Drives published: 1</p>"}},
        {"a Western Digital SSD without a world wide name", wdSsdWithoutWwn,
         "/database/Fake/WDC-WDS500G2B0A-00SM50/401000WD/", {"Drives published: 1</p>"}},
        {"a Western Digital SSD with its own", wdSsd, "/database/WDC-WDS500G2B0A-00SM50/401000WD/",
         {"Drives published: 1</p>"}},
    };
    int64_t uploads = 0;
    for (const auto& p : posts) {
        SCOPED_TRACE(p.name);
        ASSERT_EQ(Post(FormBody("1.0", "r", BlockOf({p.drive}))), 200);
        EXPECT_EQ(Rows("drives"), ++uploads) << "every upload is kept";
        const httplib::Result page = Get(p.page);
        ASSERT_TRUE(page);
        ASSERT_EQ(page->status, 200) << p.page;
        for (const std::string& row : p.rows) EXPECT_TRUE(Contains(page->body, row)) << row << "\n" << page->body;
        EXPECT_FALSE(Contains(page->body, "MB/s")) << page->body;
    }
    EXPECT_EQ(Number("SELECT COUNT(*) FROM drives WHERE newest = 1"), 8);
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// 250 drives: pages of 100 linked to each other, each page with the figures of all 250.
TEST_F(DatabaseServerTest, AModelsDrivesComeInPagesOfAHundred) {
    std::vector<DriveRecord> drives;
    for (int i = 0; i < 250; ++i) {
        drives.push_back(SampleDrive("M", "F", "P" + std::to_string(i), static_cast<uint8_t>(10 + i % 40), 0, 1));
        if (drives.size() == MaxPhysicalDisks || i == 249) {
            ASSERT_EQ(Post(FormBody("1.0", "r", BlockOf(drives))), 200);
            drives.clear();
        }
    }
    const struct {
        const char* query;
        int status;
        std::size_t rows;
        const char* shown;
        bool previous, next;
    } pages[] = {
        {"", 200, 100, "Drives 1 to 100, page 1 of 3", false, true},
        {"?page=1", 200, 100, "Drives 1 to 100, page 1 of 3", false, true},
        {"?page=2", 200, 100, "Drives 101 to 200, page 2 of 3", true, true},
        {"?page=3", 200, 50, "Drives 201 to 250, page 3 of 3", true, false},
        {"?page=4", 404}, {"?page=0", 404}, {"?page=-1", 404}, {"?page=x", 404}, {"?page=", 404},
        {"?page=1000000000", 404},
    };
    for (const auto& p : pages) {
        SCOPED_TRACE(p.query);
        const httplib::Result page = Get(std::string("/database/M/F/") + p.query);
        ASSERT_TRUE(page);
        ASSERT_EQ(page->status, p.status);
        if (p.query == std::string("?page=4")) EXPECT_EQ(page->body, "There is no such page of this model and firmware.\n");
        if (p.status != 200) continue;
        const std::string& html = page->body;
        EXPECT_TRUE(Contains(html, "Drives published: 250")) << html;
        EXPECT_TRUE(Contains(html, "<td>Temperature (&deg;C)</td><td>10</td><td>49</td><td>28</td>")) << html;
        EXPECT_TRUE(Contains(html, p.shown)) << html;
        EXPECT_EQ(Occurrences(html, "<td>1000204886016</td>"), p.rows);
        EXPECT_TRUE(Contains(html, "<tr><td>5</td><td>" + std::to_string(p.rows) + "</td>")) << "this page's attributes";
        EXPECT_EQ(Contains(html, ">previous page</a>"), p.previous) << html;
        EXPECT_EQ(Contains(html, ">next page</a>"), p.next) << html;
    }
}

TEST_F(DatabaseServerTest, PagesOfNothingPublishedOrOtherPathsAreNotFound) {
    ASSERT_EQ(Post(FormBody("1.0", "a", BlockOf({SampleDrive("MODEL", "FW", "S", 30, 0, 1)}))), 200);
    for (const char* path : {"/database/MODEL/FW2/", "/database/Fake/MODEL/FW/", "/database/MODEL/FW",
                             "/database/MODEL/", "/database/", "/database/x/MODEL/FW/", "/database/MODEL/FW/x/"}) {
        SCOPED_TRACE(path);
        const httplib::Result page = Get(path);
        ASSERT_TRUE(page);
        EXPECT_EQ(page->status, 404);
    }
    const httplib::Result page = Get("/database/MODEL/FW/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
}

TEST_F(DatabaseServerTest, EveryTextOnThePageIsEscaped) {
    // Windows-1252: 0xE9 is e-acute, 0x99 the trade mark sign
    DriveRecord hostile = SampleDrive("<script>alert(1)</script> \xE9\x99", "&'\"<", "S", 30, 0, 1);
    ASSERT_EQ(Post(FormBody("1.0", "a", BlockOf({hostile}))), 200);
    const httplib::Result page = Get(PagePath(hostile));
    ASSERT_TRUE(page);
    ASSERT_EQ(page->status, 200) << PagePath(hostile);
    EXPECT_FALSE(Contains(page->body, "<script>"));
    EXPECT_TRUE(Contains(page->body, "&lt;script&gt;alert(1)&lt;-script&gt;-\xC3\xA9\xE2\x84\xA2")) << page->body;
    EXPECT_TRUE(Contains(page->body, "<td>&lt;script&gt;alert(1)&lt;/script&gt; \xC3\xA9\xE2\x84\xA2</td>")) << page->body;
    EXPECT_TRUE(Contains(page->body, "&amp;&#39;&lt;")) << page->body;
}

TEST_F(DatabaseServerTest, TheExportWritesAnUploadsBlockAsItArrived) {
    const std::string block = BlockOf({SampleDrive("M", "F", "S", 30, 0, 1)});
    ASSERT_EQ(Post(FormBody("1.0", "no drives", "", false)), 200);
    ASSERT_EQ(Post(FormBody("1.0", "a", block)), 200);
    const std::string out = DatabasePath + ".block";
    auto exportUpload = [&](const char* id) {
        return RunServerProgram({"--database", DatabasePath, "--out", out, "--export-block", id});
    };
    EXPECT_EQ(exportUpload("2"), 0);
    std::ifstream file(out, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), block);
    std::remove(out.c_str());
    EXPECT_NE(exportUpload("1"), 0) << "an upload without drives";
    EXPECT_NE(exportUpload("3"), 0) << "no such upload";
}
