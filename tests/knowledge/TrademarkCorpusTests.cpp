// Brand detection over the model strings of real drives (the shared knowledge fixture): the share of
// models with a listed maker that yield that maker, on the part the rules are written from and on
// the part they are only measured on. Mismatches of the writing part go to a file so they can be
// judged; the measured part gives only its figure, so rules are never fitted to it. A second file
// weighs every rule by the models it decides, so a rule written for one model text stands out.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "knowledge/KnowledgeFacts.h"
#include "knowledge/TrademarkTables.h"
#include "knowledge/Trademarks.h"

namespace {

using namespace knowledgefacts;

// The lowest share the table reaches on the measured part, and the widest gap allowed between the
// two parts: a wider gap means rules follow single models rather than naming schemes.
constexpr double MeasuredFloor = 0.976;
constexpr double LargestGap = 0.01;

struct RuleSupport {
    unsigned decided = 0;    // writing-part models the rule decides
    unsigned withMaker = 0;  // of them, models whose maker is a listed brand
    unsigned agreeing = 0;   // of those, models whose maker is the rule's brand
};

// The two steps that read a listed name from the model: the models no rule or earlier name step
// decides whose brand it gives (the fallback texts may give the same), and how it fares on every
// writing-part model it names a brand for, those the table decides included.
struct NameStep {
    const char* what;
    const char* (*name)(const std::string& model);
    RuleSupport decides;
    RuleSupport names;
};

// The rules' support, then that of the name steps.
void WriteSupport(const std::map<const TrademarkRule*, RuleSupport>& support, const NameStep (&steps)[2],
                  const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "group\tplace\trule\tdecided\twith_maker\tagreeing\n";
    for (size_t g = 0; g < TrademarkGroupCount; ++g) {
        const TrademarkGroup& group = TrademarkGroups[g];
        for (size_t r = 0; r < group.Count; ++r) {
            const auto found = support.find(&group.Rules[r]);
            const RuleSupport s = found == support.end() ? RuleSupport() : found->second;
            out << group.First << '\t' << r + 1 << '\t' << Describe(group.Rules[r]) << '\t' << s.decided << '\t'
                << s.withMaker << '\t' << s.agreeing << '\n';
        }
    }
    for (const NameStep& step : steps) {
        out << "-\t-\t" << step.what << ", where no rule decides\t" << step.decides.decided << '\t'
            << step.decides.withMaker << '\t' << step.decides.agreeing << '\n';
        out << "-\t-\t" << step.what << ", on every model\t" << step.names.decided << '\t'
            << step.names.withMaker << '\t' << step.names.agreeing << '\n';
    }
}

// Why models missed their maker: another brand named, "Fake" or "Unknown" given, or nothing found.
struct Misses {
    unsigned otherBrand = 0, fakeOrUnknown = 0, none = 0;
    void Add(const std::string& detected) {
        if (detected.empty())
            ++none;
        else if (detected == "Fake" || detected == "Unknown")
            ++fakeOrUnknown;
        else
            ++otherBrand;
    }
};

void PrintMisses(const Misses (&misses)[2]) {
    for (Part p : {Writing, Measured})
        std::printf("missed on the %s part: %u named another brand, %u \"Fake\" or \"Unknown\", %u no brand\n",
                    PartName(p), misses[p].otherBrand, misses[p].fakeOrUnknown, misses[p].none);
}

void Count(RuleSupport& s, const std::string& maker, const std::string& brand) {
    ++s.decided;
    s.withMaker += !maker.empty();
    s.agreeing += maker == brand;
}

TEST(TrademarkCorpus, RealModelsYieldTheirMakerOnBothParts) {
    const std::vector<Row> rows = ReadTable("knowledge/model-names.tsv");
    if (rows.empty()) GTEST_SKIP() << "knowledge/model-names.tsv is not there";
    ASSERT_GE(rows[0].size(), 3u);
    ASSERT_EQ(rows[0][0], "model");
    ASSERT_EQ(rows[0][1], "interface");
    ASSERT_EQ(rows[0][2], "maker");

    const std::string mismatchFile = BuildTreeFile("trademark-mismatches.tsv");
    std::ofstream mismatches(mismatchFile, std::ios::binary | std::ios::trunc);
    mismatches << "model\tinterface\tmaker\tdetected\n";
    Share parts[2];
    Misses misses[2];
    std::map<const TrademarkRule*, RuleSupport> support;
    NameStep steps[2] = {{"brand name leading the model", LeadingBrandWord, {}, {}},
                         {"brand name after the first word", BrandNamedInModel, {}, {}}};
    for (size_t i = 1; i < rows.size(); ++i) {
        const Row& f = rows[i];
        if (f.size() < 3) continue;
        const bool isNVMe = f[1] == "NVMe";
        const Part part = PartOf(f[0]);
        const TrademarkRule* rule = DecidingRule(f[0], isNVMe);
        const std::string detected = DetectTrademark(f[0], isNVMe);
        if (rule && part == Writing) Count(support[rule], f[2], rule->Brand);
        bool earlierStepDecided = rule != nullptr;
        for (NameStep& step : steps) {
            const char* named = part == Writing ? step.name(f[0]) : nullptr;
            if (!named) continue;
            Count(step.names, f[2], named);
            if (!earlierStepDecided && detected == named) Count(step.decides, f[2], named);
            earlierStepDecided = earlierStepDecided || detected == named;
        }
        if (f[2].empty()) continue;
        ++parts[part].of;
        if (detected == f[2]) {
            ++parts[part].right;
            continue;
        }
        misses[part].Add(detected);
        if (part == Writing)
            mismatches << f[0] << '\t' << f[1] << '\t' << f[2] << '\t' << detected << '\n';
    }
    const std::string supportFile = BuildTreeFile("trademark-rule-support.tsv");
    WriteSupport(support, steps, supportFile);

    ASSERT_GT(parts[Writing].of + parts[Measured].of, 3000u) << "the fixture is shorter than expected";
    // The split is near four to one; a far other ratio means the hash or the reading changed.
    EXPECT_NEAR(static_cast<double>(parts[Measured].of) / (parts[Writing].of + parts[Measured].of), 0.2, 0.03);
    PrintShares("brand detection", parts);
    PrintMisses(misses);
    // Each name step reads a naming scheme: wherever it names a listed maker, that maker is nearly
    // always the model's, also where a rule decides first.
    for (const NameStep& step : steps) {
        EXPECT_GT(step.names.withMaker, 50u) << step.what;
        EXPECT_GE(step.names.agreeing, step.names.withMaker * 0.95) << step.what;
    }
    std::printf("writing-part mismatches in %s; rule support in %s\n", mismatchFile.c_str(), supportFile.c_str());
    RecordProperty("writing_share", std::to_string(parts[Writing].Fraction()));
    RecordProperty("measured_share", std::to_string(parts[Measured].Fraction()));
    EXPECT_GE(parts[Measured].Fraction(), MeasuredFloor);
    EXPECT_LT(parts[Writing].Fraction() - parts[Measured].Fraction(), LargestGap);
}

}  // namespace
