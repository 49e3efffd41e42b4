// Brand detection over the model strings of real drives (the shared knowledge fixture): the share of
// models with a listed maker that yield that maker. Every mismatch is written to a file so it can be
// judged: a wrong or missing rule is mended in the table; one that the table's order, the generic
// names or the counterfeit lists cause stays.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "knowledge/Trademarks.h"

namespace {

#ifdef KORVANTE_MISMATCH_FILE
const std::string MismatchFile = KORVANTE_MISMATCH_FILE;
#else
const std::string MismatchFile = ::testing::TempDir() + "trademark-mismatches.tsv";
#endif

// The lowest share the table is known to reach on the fixture.
constexpr double ShareFloor = 0.965;

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream s(line);
    for (std::string f; std::getline(s, f, '\t');) fields.push_back(f);
    return fields;
}

TEST(TrademarkCorpus, RealModelsYieldTheirMaker) {
    const std::string text = testmachine::ReadFixtureFile("knowledge/model-names.tsv");
    if (text.empty()) GTEST_SKIP() << "knowledge/model-names.tsv is not there";
    std::istringstream in(text);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    const std::vector<std::string> header = Fields(line);
    ASSERT_GE(header.size(), 3u);
    ASSERT_EQ(header[0], "model");
    ASSERT_EQ(header[1], "interface");
    ASSERT_EQ(header[2], "maker");

    std::ofstream mismatches(MismatchFile, std::ios::binary | std::ios::trunc);
    mismatches << "model\tinterface\tmaker\tdetected\n";
    unsigned rows = 0, withMaker = 0, matched = 0;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = Fields(line);
        if (f.size() < 3) continue;
        ++rows;
        if (f[2].empty()) continue;
        ++withMaker;
        const std::string detected = DetectTrademark(f[0], f[1] == "NVMe");
        if (detected == f[2])
            ++matched;
        else
            mismatches << f[0] << '\t' << f[1] << '\t' << f[2] << '\t' << detected << '\n';
    }
    ASSERT_GT(withMaker, 3000u) << "the fixture is shorter than expected (" << rows << " rows)";
    const double share = static_cast<double>(matched) / withMaker;
    RecordProperty("share", std::to_string(share));
    std::printf("brand detection: %u of %u models with a listed maker (%.2f %%); mismatches in %s\n", matched,
                withMaker, share * 100, MismatchFile.c_str());
    EXPECT_GE(share, ShareFloor);
}

}  // namespace
