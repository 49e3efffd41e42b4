#include "knowledge/Trademarks.h"

#include <array>
#include <cstring>

#include "knowledge/TrademarkTables.h"

namespace {

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Tests one bracketed set; `at` points just past its '[' and is left just past its ']'.
bool SetMatches(const char*& at, unsigned char c) {
    bool found = false;
    while (*at && *at != ']') {
        const unsigned char low = static_cast<unsigned char>(*at);
        unsigned char high = low;
        if (at[1] == '-' && at[2] && at[2] != ']') {
            high = static_cast<unsigned char>(at[2]);
            at += 3;
        } else {
            ++at;
        }
        if (c >= low && c <= high) found = true;
    }
    if (*at == ']') ++at;
    return found;
}

// Tests one pattern position; `at` is left at the next position.
bool PositionMatches(const char*& at, unsigned char c) {
    switch (*at++) {
        case '#': return IsDigit(c);
        case '?': return true;
        case '[': return SetMatches(at, c);
        default: return static_cast<unsigned char>(at[-1]) == c;
    }
}

bool ConditionHolds(const Alternative& a, const std::string& model, bool isNVMe) {
    switch (a.Condition) {
        case IfContains: return model.find(a.Text) != std::string::npos;
        case IfLacks: return model.find(a.Text) == std::string::npos;
        case IfNVMe: return isNVMe;
        default: return true;
    }
}

bool RuleMatches(const TrademarkRule& rule, const std::string& model, bool isNVMe) {
    for (const Alternative& a : rule.Alternatives) {
        if (!a.Pattern) break;
        if (PatternMatches(a.Pattern, model.data(), model.size()) && ConditionHolds(a, model, isNVMe)) return true;
    }
    return false;
}

// The group of every first character, found once.
const TrademarkGroup* GroupOf(unsigned char first) {
    static const std::array<const TrademarkGroup*, 256> index = [] {
        std::array<const TrademarkGroup*, 256> groups{};
        for (size_t i = 0; i < TrademarkGroupCount; ++i)
            groups[static_cast<unsigned char>(TrademarkGroups[i].First)] = &TrademarkGroups[i];
        return groups;
    }();
    return index[first];
}


bool TextRuleHolds(const TextRule& rule, const std::string& model) {
    switch (rule.Test) {
        case EqualsText: return model == rule.Text;
        case BeginsWithText: return model.compare(0, std::strlen(rule.Text), rule.Text) == 0;
        default: return model.find(rule.Text) != std::string::npos;
    }
}

// The brand of the first row that holds for the model; empty when none does. With `onlyFor`, only
// the rows written for that brand are considered.
const char* FirstHolding(const TextRule* rules, size_t count, const std::string& model,
                         const std::string* onlyFor = nullptr) {
    for (size_t i = 0; i < count; ++i)
        if ((!onlyFor || *onlyFor == rules[i].Brand) && TextRuleHolds(rules[i], model)) return rules[i].Brand;
    return nullptr;
}

bool IsGenericModel(const std::string& model) {
    for (size_t i = 0; i < GenericModelCount; ++i)
        if (model == GenericModels[i]) return true;
    return false;
}

}  // namespace

bool PatternMatches(const char* pattern, const char* model, size_t length) {
    size_t i = 0;
    const char* at = pattern;
    while (*at && *at != '*') {
        if (i == length || !PositionMatches(at, static_cast<unsigned char>(model[i]))) return false;
        ++i;
    }
    return *at == '*' || i == length;
}

bool PatternIsWellFormed(const char* pattern) {
    if (!pattern || !*pattern || *pattern == '*') return false;
    for (const char* at = pattern; *at; ++at) {
        if (*at == ']') return false;
        if (*at == '*') return at[1] == '\0';
        if (*at != '[') continue;
        const char* first = ++at;
        for (; *at && *at != ']'; ++at) {
            if (*at == '[' || *at == '*' || *at == '#' || *at == '?') return false;
            if (at[1] == '-' && at[2] && at[2] != ']') {
                if (static_cast<unsigned char>(at[2]) < static_cast<unsigned char>(*at)) return false;
                at += 2;
            }
        }
        if (*at != ']' || at == first) return false;
    }
    return true;
}

const TrademarkRule* DecidingRule(const std::string& model, bool isNVMe) {
    const TrademarkGroup* group = model.empty() ? nullptr : GroupOf(static_cast<unsigned char>(model[0]));
    if (!group) return nullptr;
    for (size_t i = 0; i < group->Count; ++i)
        if (RuleMatches(group->Rules[i], model, isNVMe)) return &group->Rules[i];
    return nullptr;
}

std::string DetectTrademark(const std::string& model, bool isNVMe) {
    if (model.empty()) return std::string();
    const TrademarkRule* rule = DecidingRule(model, isNVMe);
    std::string brand = rule ? rule->Brand : "";
    if (brand.empty()) {
        if (const char* found = FirstHolding(FallbackRules, FallbackRuleCount, model)) brand = found;
    }
    if (brand.empty()) {
        if (IsGenericModel(model)) return "Unknown";
        if (FirstHolding(UnrecognisedCounterfeits, UnrecognisedCounterfeitCount, model)) return "Fake";
        return std::string();
    }
    if (FirstHolding(CounterfeitOverrides, CounterfeitOverrideCount, model, &brand)) return "Fake";
    return brand;
}
