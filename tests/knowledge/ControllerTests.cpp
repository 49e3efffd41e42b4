// Controller detection: the signature table as data, the shared signatures and how the firmware
// and the brand tell them apart, and layouts of real drives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "knowledge/KnowledgeFacts.h"
#include "knowledge/Trademarks.h"
#include "knowledge/Controllers.h"
#include "knowledge/Signatures.h"
#include "smart/SmartData.h"

namespace {

// A record whose attribute slots hold these identifiers in order (0 for an empty slot).
DriveRecord WithSlots(const std::vector<uint8_t>& ids, const std::string& brand = "",
                      const std::string& firmware = "") {
    DriveRecord d;
    for (size_t slot = 0; slot < ids.size() && slot < MaxAttributes; ++slot)
        d.SmartData[AttributeOffset(slot)] = ids[slot];
    d.Trademark = brand;
    d.FirmwareVersion = firmware;
    d.IsSSD = true;
    return d;
}

uint8_t Detected(const std::vector<uint8_t>& ids, const std::string& brand = "", const std::string& firmware = "") {
    DriveRecord d = WithSlots(ids, brand, firmware);
    DetectController(d);
    EXPECT_EQ(d.Controller, ControllerName(d.ControllerID));
    return d.ControllerID;
}

const std::vector<uint8_t> Row1 = {5, 9, 12, 177, 179, 181, 182, 183, 187, 190, 195, 199, 235, 241};

// The signatures several controllers share, as the resolution rules list them: Shared[n] is Sn.
const std::vector<uint8_t> Shared[] = {
    {},
    {1,   5,   9,   12,  160, 161, 163, 164, 165, 166, 167, 168, 169, 175, 176,
     177, 178, 181, 182, 192, 194, 195, 196, 197, 198, 199, 232, 241, 242, 245},
    {1, 9, 12, 148, 149, 167, 168, 169, 170, 172, 173, 181, 182, 187, 192, 194, 196, 199, 218, 231, 233, 241, 242, 244,
     245, 246},
    {5, 9, 12, 165, 166, 167, 168, 169, 170, 171, 172, 173, 174, 184, 187, 188, 194, 199, 230, 232, 233, 234, 241, 242,
     244},
    {1, 5, 9, 12, 171, 172, 174, 177, 181, 182, 187, 194, 195, 196, 201, 204, 230, 231, 233, 234, 241, 242},
    {1,   5,   9,   12,  100, 101, 170, 171, 172, 174, 175, 176, 177, 178, 180,
     183, 187, 194, 195, 196, 197, 199, 201, 204, 231, 233, 234, 241, 242, 250},
    {1,   5,   9,   12,  160, 161, 163, 164, 165, 166, 167, 148, 149, 150, 151,
     159, 168, 169, 177, 181, 182, 192, 194, 195, 196, 199, 232, 241, 242, 245},
    {9, 12, 163, 164, 166, 167, 168, 171, 172, 175, 192, 194, 231, 241},
    {5, 9, 12, 170, 171, 172, 173, 174, 178, 180, 184, 187, 194, 199, 233, 241, 242, 249},
    {5, 12, 175, 176, 177, 178, 179, 180, 181, 182, 187, 195, 241, 242},
    {1, 5, 9, 12, 171, 172, 173, 174, 176, 181, 183, 184, 187, 188, 194, 198, 199, 201, 241, 242, 243},
    {1, 5, 9, 12, 171, 172, 173, 174, 176, 181, 183, 184, 187, 188, 194, 198, 199, 241, 242, 243},
    {5, 9, 12, 170, 171, 172, 173, 174, 178, 180, 184, 187, 194, 199, 233, 234, 241, 242, 249},
    {5, 9, 12, 175, 176, 177, 178, 179, 180, 181, 182, 187, 195, 241, 242},
    {5, 9, 12, 175, 176, 177, 178, 179, 180, 181, 182, 187, 194, 195, 199, 238, 241, 242},
    {5, 9, 12, 170, 171, 172, 173, 174, 178, 180, 184, 187, 194, 199, 233, 241, 242},
};

TEST(ControllerName, NamesEveryCodeUpToTwenty) {
    const char* const names[] = {"Unknown",   "SK hynix", "JMicron60x",          "JMicron61x", "Indilinx Barefoot",
                                 "Intel",     "Samsung",  "SandForce",           "Micron",     "Indilinx Barefoot 2",
                                 "Yeestor",   "SanDisk",  "Indilinx Barefoot 3", "Toshiba",    "Phison",
                                 "Marvell",   "LAMD",     "Silicon Motion",      "Maxiotek",   "Realtek",
                                 "JMicron66x"};
    for (unsigned code = 0; code <= 20; ++code) EXPECT_EQ(ControllerName(code), names[code]) << code;
    EXPECT_EQ(ControllerName(21), "");
    EXPECT_EQ(ControllerName(255), "");
}

TEST(SignatureTable, RowsAreDistinctUsableAndNeverShared) {
    ASSERT_GT(SignatureTableSize, 0u);
    static_assert(sizeof(SignatureRow::Ids) == 30, "30 attribute slots per row");
    for (size_t i = 0; i < SignatureTableSize; ++i) {
        const SignatureRow& row = SignatureTable[i];
        EXPECT_GE(row.Controller, 1) << "row " << i;
        EXPECT_LE(row.Controller, 20) << "row " << i;
        // No signature or rule yields Micron or Toshiba.
        EXPECT_NE(row.Controller, 8) << "row " << i;
        EXPECT_NE(row.Controller, 13) << "row " << i;
        // A drive with an empty first slot has no attributes and is never kept.
        EXPECT_NE(row.Ids[0], 0) << "row " << i;
        for (size_t j = i + 1; j < SignatureTableSize; ++j)
            EXPECT_NE(std::memcmp(row.Ids, SignatureTable[j].Ids, 30), 0) << "rows " << i << " and " << j;
        for (size_t s = 1; s <= 15; ++s) {
            uint8_t special[30] = {};
            std::copy(Shared[s].begin(), Shared[s].end(), special);
            EXPECT_NE(std::memcmp(row.Ids, special, 30), 0) << "row " << i << " equals S" << s;
        }
    }
}

// The reference rows, which stay in the table whatever the layouts of real drives show.
struct Reference {
    uint8_t code;
    std::vector<uint8_t> ids;
};
const Reference References[] = {
    {6, Row1},
    {14, {1, 9, 12, 168, 170, 173, 192, 194, 218, 231, 241}},
    {17,
     {1, 5, 9, 12, 171, 172, 173, 174, 180, 183, 184, 187, 194, 196, 197, 198, 199, 202, 206, 210, 246, 247, 248}},
    {7, {1, 5, 9, 12, 171, 172, 174, 177, 181, 182, 187, 189, 194, 195, 196, 201, 204, 230, 231, 233, 234, 241,
         242}},
    {18, {5, 9, 12, 164, 165, 166, 167, 194, 199, 241, 242}},
    {17, {1,   5,   9,   12,  160, 161, 163, 164, 165, 166, 167, 168, 169, 175, 176,
          177, 178, 181, 182, 192, 194, 195, 196, 197, 198, 0,   232, 241, 242, 245}},
    {2, {12, 9, 194, 229, 232, 233, 234, 235}},
    {4, {1, 9, 12, 184, 195, 196, 197, 198, 199, 200, 201, 202, 203, 204, 205, 206, 207, 208, 209, 211, 212, 213}},
};

TEST(SignatureTable, HoldsTheReferenceRows) {
    for (const Reference& r : References) {
        EXPECT_EQ(Detected(r.ids), r.code) << "row starting " << int(r.ids[0]) << ", " << int(r.ids[1]) << ", "
                                           << int(r.ids[2]) << ", " << int(r.ids[3]) << ", " << int(r.ids[4]);
    }
}

TEST(DetectController, MatchesTheTableByteForByteWhateverTheBrandAndFirmware) {
    DriveRecord d = WithSlots(Row1, "Lite-On", "AP123");
    DetectController(d);
    EXPECT_EQ(d.ControllerID, 6);
    EXPECT_EQ(d.Controller, "Samsung");

    // The same identifiers in another order, with an empty slot between them, or with one more.
    std::vector<uint8_t> swapped = Row1;
    std::swap(swapped[1], swapped[2]);
    EXPECT_EQ(Detected(swapped), 0);
    std::vector<uint8_t> gap = Row1;
    gap.insert(gap.begin() + 5, 0);
    EXPECT_EQ(Detected(gap), 0);
    std::vector<uint8_t> longer = Row1;
    longer.push_back(254);
    EXPECT_EQ(Detected(longer), 0);

    // Nothing matches: code 0, named "Unknown".
    DriveRecord none = WithSlots({1, 2, 3});
    DetectController(none);
    EXPECT_EQ(none.ControllerID, 0);
    EXPECT_EQ(none.Controller, "Unknown");
}

// Every shared signature against firmware and brand clues, expected codes as the resolution rules
// give them (0: undetermined).
TEST(DetectController, ResolvesTheSharedSignaturesByFirmwareAndBrand) {
    struct Case {
        unsigned special;
        const char* brand;
        const char* firmware;
        uint8_t code;
    };
    const Case cases[] = {
        {1, "", "HC1234", 10},     {1, "", "HP1", 10},         {1, "", "HT", 10},          {1, "", "FW01", 10},
        {1, "", "RY01", 10},       {1, "", "SAFM", 17},        {1, "", "", 17},            {1, "", "hc1234", 17},
        {2, "", "R0A", 17},        {2, "", "S1", 17},          {2, "", "S3", 17},          {2, "", "SAFM", 17},
        {2, "", "02", 17},         {2, "", "SE", 17},          {2, "", "SBFM", 14},        {2, "", "SHFM", 14},
        {2, "", "03", 15},         {2, "", "S2", 0},           {2, "Samsung", "", 0},      {2, "", "SB", 0},
        {3, "", "U21010", 11},     {3, "", "420", 11},         {3, "", "52012", 11},       {3, "", "X41", 15},
        {3, "", "", 15},           {3, "", "42", 15},          {4, "", "CS1", 17},         {4, "", "C", 7},
        {4, "", "", 7},            {5, "", "603ABBF0", 7},     {5, "", "603ABBF1", 15},    {5, "", "603ABBF", 15},
        {6, "", "Q0", 17},         {6, "", "Q1", 19},          {6, "", "", 19},            {7, "", "AP01", 14},
        {7, "", "A", 20},          {7, "", "", 20},            {8, "Samsung", "AP", 6},    {8, "Lite-On", "", 17},
        {8, "SanDisk", "ZM", 0},   {8, "samsung", "", 0},      {9, "Samsung", "ZM", 6},    {9, "", "ZM1", 17},
        {9, "", "", 15},           {9, "Lite-On", "", 15},     {10, "Samsung", "", 6},     {10, "Lite-On", "", 17},
        {10, "SSSTC", "", 17},     {10, "SK hynix", "", 1},    {10, "Kingston", "", 0},    {11, "Samsung", "", 6},
        {11, "Lite-On", "", 17},   {11, "SSSTC", "", 0},       {11, "SK hynix", "", 0},    {12, "Samsung", "", 6},
        {12, "SanDisk", "", 15},   {12, "Lite-On", "", 0},     {13, "Samsung", "", 6},     {13, "Lite-On", "", 17},
        {13, "", "ZM", 0},         {14, "Samsung", "SFD", 6},  {14, "Lite-On", "SFD", 17}, {14, "", "SFD1", 20},
        {14, "", "SF", 0},         {15, "Samsung", "", 6},     {15, "Lite-On", "", 15},    {15, "SanDisk", "", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Detected(Shared[c.special], c.brand, c.firmware), c.code)
            << "S" << c.special << " brand \"" << c.brand << "\" firmware \"" << c.firmware << "\"";

    // A shared signature with one slot more is not shared any more.
    std::vector<uint8_t> longer = Shared[8];
    longer.push_back(250);
    EXPECT_EQ(Detected(longer, "Samsung"), 0);
}

// Layouts reported by real drives (knowledge fixtures), with the controller their model family names.
TEST(DetectController, RecognisesRealDrives) {
    std::ifstream in(testmachine::FixturesRoot() + "/knowledge/ssd-attribute-layouts.tsv");
    if (!in) GTEST_SKIP() << "knowledge fixtures not present";
    struct Drive {
        const char* model;
        const char* firmware;
        uint8_t code;
    };
    const Drive drives[] = {
        {"Samsung SSD 850 EVO 120GB", "EMT01B6Q", 6},           // Samsung based SSDs
        {"SAMSUNG MZ7LN128HAHQ-00000", "MVT0300Q", 6},          // Samsung based SSDs
        {"KINGSTON SV300S37A120G", "505ABBF0", 7},              // SandForce Driven SSDs
        {"OCZ-VERTEX PLUS R2", "1.2", 9},                       // Indilinx Barefoot 2/Everest/Martini
        {"OCZ-VECTOR", "2.0", 12},                              // Indilinx Barefoot 3 based SSDs
        {"Patriot Blast", "SAFM12.0", 14},                      // Phison Driven SSDs
        {"SanDisk SDSSDHII240G", "X31200RL", 15},               // Marvell based SanDisk SSDs
        {"SanDisk SD8SB8U128G1122", "X4140000", 15},            // the same, on a shared signature
        {"ADATA SU650", "V4.12", 17},                           // Silicon Motion based SSDs
        {"FORESEE 128GB SSD", "V1.2.7", 18},                    // Maxio based SSDs
        // Filed as SandForce Driven by their model names; their Phison firmware lines decide.
        {"KINGSTON SNS4151S316GD", "S9FM01.6", 14},
        {"Corsair Force LS SSD", "S8FM07.0", 14},
        {"Corsair Force LS SSD", "SBFM01.0", 14},
        // The same layout with firmware that another drive documents as Silicon Motion.
        {"KINGSTON SV300S37A60G", "Q0707A", 17},
        {"KingDian S200 60GB", "P0628B", 17},
    };
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::stringstream s(line);
        for (std::string field; std::getline(s, field, '\t');) fields.push_back(field);
        rows.push_back(fields);
    }
    for (const Drive& drive : drives) {
        bool found = false;
        for (const auto& row : rows) {
            if (row.size() < 3 || row[0] != drive.model || row[1] != drive.firmware) continue;
            found = true;
            std::vector<uint8_t> ids;
            std::stringstream s(row[2]);
            for (std::string id; std::getline(s, id, ',');) ids.push_back(static_cast<uint8_t>(std::stoi(id)));
            EXPECT_EQ(Detected(ids, "", drive.firmware), drive.code) << drive.model << " " << row[2];
        }
        EXPECT_TRUE(found) << drive.model << " " << drive.firmware;
    }
}

// The controller codes a family hint of the layout facts stands for; empty for a hint not known here.
std::vector<uint8_t> CodesOfFamily(const std::string& hint) {
    static const std::map<std::string, std::vector<uint8_t>> families = {
        {"Samsung", {6}},
        {"Phison", {14}},
        {"PHISON", {14}},
        {"Silicon Motion", {17}},
        {"SandForce", {7}},
        {"Marvell", {15}},
        {"SanDisk", {11}},
        {"Maxio", {18}},
        {"JMicron", {2, 3, 20}},
        {"JMicron/Maxiotek", {2, 3, 20, 18}},
        {"Indilinx Barefoot", {4}},
        {"Indilinx Barefoot 2/Everest/Martini", {9}},
        {"Indilinx Barefoot 3", {12}},
    };
    const auto found = families.find(hint);
    return found == families.end() ? std::vector<uint8_t>() : found->second;
}

// The codes a layout fact stands for. The joint JMicron/Maxiotek hint is narrowed to one maker
// when the drive's other family line (report or current database) names that maker alone.
std::vector<uint8_t> CodesOfLayout(const knowledgefacts::Row& f) {
    const std::string& hint = f[4];
    if (hint != "JMicron/Maxiotek" || f.size() < 8) return CodesOfFamily(hint);
    for (const std::string& family : {f[6], f[7]}) {
        if (family.rfind("Maxio based", 0) == 0) return CodesOfFamily("Maxio");
        if (family.rfind("JMicron based", 0) == 0) return CodesOfFamily("JMicron");
    }
    return CodesOfFamily(hint);
}

std::vector<uint8_t> ParseIds(const std::string& list) {
    std::vector<uint8_t> ids;
    std::stringstream s(list);
    for (std::string id; std::getline(s, id, ',');) ids.push_back(static_cast<uint8_t>(std::stoi(id)));
    return ids;
}

// The signature-table row a layout matches; SignatureTableSize when none does.
size_t RowOf(const std::vector<uint8_t>& ids) {
    uint8_t signature[SignatureLength] = {};
    std::copy_n(ids.begin(), std::min<size_t>(ids.size(), SignatureLength), signature);
    for (size_t i = 0; i < SignatureTableSize; ++i)
        if (std::memcmp(SignatureTable[i].Ids, signature, SignatureLength) == 0) return i;
    return SignatureTableSize;
}

struct RowSupport {
    std::set<std::string> models;  // writing-part model texts whose layout the row decides
    unsigned hinted = 0;           // of the layouts it decides, those whose family is named
    unsigned agreeing = 0;         // of those, the ones whose family the row's code belongs to
};

// One line per signature row and one for the shared signatures (last), writing part only.
void WriteRowSupport(const std::vector<RowSupport>& support, const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "row\tcode\tfirst_ids\tmodels\thinted\tagreeing\n";
    for (size_t i = 0; i <= SignatureTableSize; ++i) {
        const RowSupport& s = support[i];
        if (i == SignatureTableSize) {
            out << "shared\t-\t-";
        } else {
            out << i + 1 << '\t' << int(SignatureTable[i].Controller) << '\t';
            for (size_t k = 0; k < 6; ++k) out << (k ? "," : "") << int(SignatureTable[i].Ids[k]);
        }
        out << '\t' << s.models.size() << '\t' << s.hinted << '\t' << s.agreeing << '\n';
    }
}

// Every row outside the references is seen on at least one drive of the part the rows are written
// from: a row seen only on the measured part would make that part's figure measure itself.
TEST(SignatureTable, EveryRowIsSeenOnTheWritingPart) {
    using namespace knowledgefacts;
    const std::vector<Row> rows = ReadTable("knowledge/ssd-attribute-layouts.tsv");
    if (rows.empty()) GTEST_SKIP() << "knowledge/ssd-attribute-layouts.tsv is not there";
    std::vector<unsigned> writingDrives(SignatureTableSize + 1);
    for (size_t i = 1; i < rows.size(); ++i)
        if (rows[i].size() >= 3 && PartOf(rows[i][0]) == Writing) ++writingDrives[RowOf(ParseIds(rows[i][2]))];
    for (size_t i = 0; i < SignatureTableSize; ++i) {
        const SignatureRow& row = SignatureTable[i];
        const bool reference = std::any_of(std::begin(References), std::end(References), [&](const Reference& r) {
            uint8_t ids[SignatureLength] = {};
            std::copy(r.ids.begin(), r.ids.end(), ids);
            return r.code == row.Controller && std::memcmp(ids, row.Ids, SignatureLength) == 0;
        });
        if (reference) continue;
        EXPECT_GT(writingDrives[i], 0u) << "row " << i + 1 << " (code " << int(row.Controller) << ")";
    }
}

// The lowest agreement with the facts' controller family on the measured part, and the lowest
// share of named layouts that get a code at all there (so agreement is not bought by dropping rows).
// Both are the shares reached with rows written from the writing part alone.
constexpr double AgreementFloor = 0.945;
constexpr double CoverageFloor = 0.89;

// Every layout of real SATA SSDs whose facts name a controller family: the share that gets a code,
// and the share of those codes that belong to the named family, on both parts of the facts.
TEST(DetectController, AgreesWithTheControllerFamiliesOfRealLayouts) {
    using namespace knowledgefacts;
    const std::vector<Row> rows = ReadTable("knowledge/ssd-attribute-layouts.tsv");
    if (rows.empty()) GTEST_SKIP() << "knowledge/ssd-attribute-layouts.tsv is not there";
    ASSERT_GE(rows[0].size(), 5u);
    ASSERT_EQ(rows[0][2], "attribute_ids");
    ASSERT_EQ(rows[0][4], "controller_hint");

    const std::string mismatchFile = BuildTreeFile("controller-mismatches.tsv");
    std::ofstream mismatches(mismatchFile, std::ios::binary | std::ios::trunc);
    mismatches << "model\tfirmware\tfamily\tdetected\tattribute_ids\n";
    Share coverage[2], agreement[2];
    std::vector<RowSupport> support(SignatureTableSize + 1);
    for (size_t i = 1; i < rows.size(); ++i) {
        const Row& f = rows[i];
        if (f.size() < 5) continue;
        const Part part = PartOf(f[0]);
        const std::vector<uint8_t> ids = ParseIds(f[2]);
        const uint8_t code = Detected(ids, DetectTrademark(f[0], false), f[1]);
        const std::vector<uint8_t> family = CodesOfLayout(f);
        const bool hinted = !f[4].empty();
        EXPECT_TRUE(!hinted || !family.empty()) << "a family hint not known here: " << f[4];
        const bool agrees = std::find(family.begin(), family.end(), code) != family.end();
        if (code && part == Writing) {
            RowSupport& s = support[RowOf(ids)];
            s.models.insert(f[0]);
            s.hinted += hinted;
            s.agreeing += agrees;
        }
        if (!hinted) continue;
        ++coverage[part].of;
        if (!code) continue;
        ++coverage[part].right;
        ++agreement[part].of;
        agreement[part].right += agrees;
        if (!agrees && part == Writing)
            mismatches << f[0] << '\t' << f[1] << '\t' << f[4] << '\t' << ControllerName(code) << '\t' << f[2] << '\n';
    }
    const std::string supportFile = BuildTreeFile("signature-row-support.tsv");
    WriteRowSupport(support, supportFile);

    ASSERT_GT(coverage[Writing].of + coverage[Measured].of, 1000u) << "the fixture is shorter than expected";
    PrintShares("layouts with a named family that get a code", coverage);
    PrintShares("codes that agree with the named family", agreement);
    std::printf("writing-part disagreements in %s; row support in %s\n", mismatchFile.c_str(), supportFile.c_str());
    RecordProperty("measured_agreement", std::to_string(agreement[Measured].Fraction()));
    EXPECT_GE(agreement[Measured].Fraction(), AgreementFloor);
    EXPECT_GE(coverage[Measured].Fraction(), CoverageFloor);
}

}  // namespace
