// The real-drive facts of the knowledge fixture (model names with their brand, attribute layouts
// with their controller family), read in place, and the split that keeps their measure honest: a
// fixed hash of the model text puts every model either in the part the tables are written from
// (about four fifths) or in the part they are only measured on. A model lands in the same part in
// both tables, so a rule written from one layout of a model never meets that model as a measure.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "knowledge/TrademarkTables.h"

namespace knowledgefacts {

using Row = std::vector<std::string>;

inline Row Fields(const std::string& line) {
    Row fields;
    std::stringstream s(line);
    for (std::string f; std::getline(s, f, '\t');) fields.push_back(f);
    return fields;
}

// The rows of a fixture table (header first); empty when the fixture is not there.
inline std::vector<Row> ReadTable(const std::string& relative) {
    std::istringstream in(testmachine::ReadFixtureFile(relative));
    std::vector<Row> rows;
    for (std::string line; std::getline(in, line);) rows.push_back(Fields(line));
    return rows;
}

// 32-bit FNV-1a: fixed, so the split never moves between runs, compilers or machines.
inline uint32_t ModelHash(const std::string& model) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : model) hash = (hash ^ c) * 16777619u;
    return hash;
}

enum Part { Writing = 0, Measured = 1 };

inline Part PartOf(const std::string& model) { return ModelHash(model) % 5 == 0 ? Measured : Writing; }

inline const char* PartName(Part part) { return part == Measured ? "measured" : "writing"; }

struct Share {
    unsigned right = 0;
    unsigned of = 0;
    double Fraction() const { return of ? static_cast<double>(right) / of : 0; }
};

inline void PrintShares(const char* what, const Share (&parts)[2]) {
    for (Part p : {Writing, Measured})
        std::printf("%s, %s part: %u of %u (%.2f %%)\n", what, PartName(p), parts[p].right, parts[p].of,
                    parts[p].Fraction() * 100);
}

inline std::string BuildTreeFile(const std::string& name) {
#ifdef KORVANTE_BUILD_DIR
    return std::string(KORVANTE_BUILD_DIR) + "/" + name;
#else
    return ::testing::TempDir() + name;
#endif
}

// A brand rule as text: its alternatives joined by " or ", each with its condition.
inline std::string Describe(const TrademarkRule& rule) {
    std::string text;
    for (const Alternative& a : rule.Alternatives) {
        if (!a.Pattern) break;
        if (!text.empty()) text += " or ";
        if (a.Condition == IfNVMe) text += "NVMe ";
        text += a.Pattern;
        if (a.Condition == IfContains) text += std::string(" contains \"") + a.Text + "\"";
        if (a.Condition == IfLacks) text += std::string(" lacks \"") + a.Text + "\"";
    }
    return text + " -> " + rule.Brand;
}

}  // namespace knowledgefacts
