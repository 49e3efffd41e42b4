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

bool IsLetterOrDigit(unsigned char c) { return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Only a to z change case, as in the case-insensitive positions of the rules.
char ToUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char ToLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The letter cases makers print a brand name in.
enum NameForm { AsWritten, InCapitals, WordsCapitalised, InSmallLetters };

// The name's character at a position, in the form.
char InForm(char c, bool wordStart, NameForm form) {
    if (form == InCapitals || (form == WordsCapitalised && wordStart)) return ToUpper(c);
    if (form == WordsCapitalised || form == InSmallLetters) return ToLower(c);
    return c;
}

// True when the text begins with the name in the form and the name ends there (no letter or digit
// follows). Compared in place: the scan tries every listed name on every model.
bool LeadsAsWord(const std::string& text, const char* name, NameForm form) {
    size_t i = 0;
    for (; name[i]; ++i) {
        const bool wordStart = i == 0 || name[i - 1] == ' ';
        if (i == text.size() || text[i] != InForm(name[i], wordStart, form)) return false;
    }
    return i == text.size() || !IsLetterOrDigit(static_cast<unsigned char>(text[i]));
}

// True when every rule of the brand covers a whole model only: the table names the brand for those
// exact texts and nothing that merely begins like them.
bool NamedOnlyAsWholeModels(const char* brand) {
    bool named = false;
    for (size_t g = 0; g < TrademarkGroupCount; ++g)
        for (size_t r = 0; r < TrademarkGroups[g].Count; ++r) {
            const TrademarkRule& rule = TrademarkGroups[g].Rules[r];
            if (std::strcmp(rule.Brand, brand) != 0) continue;
            for (const Alternative& a : rule.Alternatives) {
                if (!a.Pattern) break;
                if (std::strchr(a.Pattern, '*')) return false;
                named = true;
            }
        }
    return named;
}

bool LeftToTheTable(const char* brand) {
    for (size_t i = 0; i < BrandsLeftToTheTableCount; ++i)
        if (std::strcmp(BrandsLeftToTheTable[i], brand) == 0) return true;
    return NamedOnlyAsWholeModels(brand);
}

bool NameLeads(const std::string& model, const char* name) {
    for (NameForm form : {AsWritten, InCapitals, WordsCapitalised, InSmallLetters})
        if (LeadsAsWord(model, name, form)) return true;
    return false;
}

// The longest listed name that opens the text; with `leftAlone`, brands the table alone decides
// are passed over.
const char* LongestLeadingName(const std::string& text, bool leftAlone) {
    const char* found = nullptr;
    size_t foundLength = 0;
    for (size_t i = 0; i < BrandNameCount; ++i) {
        const size_t length = std::strlen(BrandNames[i]);
        if (length <= foundLength || !NameLeads(text, BrandNames[i])) continue;
        if (leftAlone && LeftToTheTable(BrandNames[i])) continue;
        found = BrandNames[i];
        foundLength = length;
    }
    return found;
}

bool NamesNoMaker(const std::string& text) {
    for (size_t i = 0; i < WordsNamingNoMakerCount; ++i)
        if (LeadsAsWord(text, WordsNamingNoMaker[i], AsWritten)) return true;
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

const char* LeadingBrandWord(const std::string& model) { return LongestLeadingName(model, true); }

const char* BrandNamedInModel(const std::string& model) {
    const char* found = nullptr;
    for (size_t at = 1; at < model.size(); ++at) {
        const bool wordStarts = !IsLetterOrDigit(static_cast<unsigned char>(model[at - 1])) &&
                                IsLetterOrDigit(static_cast<unsigned char>(model[at]));
        if (!wordStarts) continue;
        const std::string rest = model.substr(at);
        if (NamesNoMaker(rest)) continue;
        const char* named = LongestLeadingName(rest, false);
        if (named && (!found || std::strlen(named) > std::strlen(found))) found = named;
    }
    return found;
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
        const char* named = LeadingBrandWord(model);
        if (!named) named = BrandNamedInModel(model);
        if (!named) return std::string();
        brand = named;
    }
    if (FirstHolding(CounterfeitOverrides, CounterfeitOverrideCount, model, &brand)) return "Fake";
    return brand;
}
