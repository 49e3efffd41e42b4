// The constant tables brand detection works from, and the record types they are written in.
// The rows live in TrademarkRules.cpp (the brand rules) and TrademarkLists.cpp (the fallback, the
// generic names and the counterfeit lists); adding a row there changes no code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A pattern is tested position by position against the model: a plain character must be equal,
// '#' is one digit, '?' any one character, "[...]" one of the listed characters (with ranges such
// as "1-9"). A pattern ending in '*' only needs the model to be at least as long as the rest;
// without it the model must be exactly as long as the pattern.
enum AlternativeCondition : uint8_t {
    Always,
    IfContains,  // the model also contains Text somewhere
    IfLacks,     // the model does not contain Text
    IfNVMe,      // only for models from an NVMe Identify Controller
};

struct Alternative {
    const char* Pattern;
    AlternativeCondition Condition = Always;
    const char* Text = nullptr;
};

constexpr size_t MaxAlternatives = 12;

// A rule matches when any of its alternatives does. Unused alternatives have no pattern.
struct TrademarkRule {
    const char* Brand;
    Alternative Alternatives[MaxAlternatives];
};

// The rules for models that begin with one character, in the order they are tried.
struct TrademarkGroup {
    char First;
    const TrademarkRule* Rules;
    size_t Count;
};

extern const TrademarkGroup TrademarkGroups[];
extern const size_t TrademarkGroupCount;

// Texts that name a maker wherever they stand in the model, tried in order when no rule matched.
enum TextTest : uint8_t { ContainsText, EqualsText, BeginsWithText };

struct TextRule {
    TextTest Test;
    const char* Text;
    const char* Brand;
};

extern const TextRule FallbackRules[];
extern const size_t FallbackRuleCount;

// Whole models that name no maker at all.
extern const char* const GenericModels[];
extern const size_t GenericModelCount;

// Models known from counterfeits of a detected brand: Brand is the brand detection gave, the result
// becomes "Fake".
extern const TextRule CounterfeitOverrides[];
extern const size_t CounterfeitOverrideCount;

// Counterfeit models that no rule recognises (Brand is "Fake" on every row).
extern const TextRule UnrecognisedCounterfeits[];
extern const size_t UnrecognisedCounterfeitCount;

// The brand names detection may give besides "Unknown" and "Fake", spelled as shown to users.
extern const char* const BrandNames[];
extern const size_t BrandNameCount;

// Brands whose name at the start of a model the leading-word step does not read; the table alone
// decides for them.
extern const char* const BrandsLeftToTheTable[];
extern const size_t BrandsLeftToTheTableCount;

// The brand whose name is the model's first word, for models no rule, fallback text, generic name or
// counterfeit text decided: the name as written, in capitals, with every word capitalised or in small
// letters, then the end of the model or a character that is neither letter nor digit. The longest
// such name wins. Brands the table names only as whole models keep that restriction. Null when no
// name leads.
const char* LeadingBrandWord(const std::string& model);

// The brand a model names after its first word, as OEM and budget models do: "<part> NVMe <MAKER>
// <capacity>", "<part> <MAKER>", "SSD <Maker> <capacity>", "<code>-<MAKER>-SSD-<code>". The longest
// listed name, in the same forms, that stands as a word of its own there, unless the word is one
// that names no maker. Read only when no name leads the model. Null when the model names none.
const char* BrandNamedInModel(const std::string& model);

// Words that spell a listed brand in one of its forms but, inside model texts, say something else.
extern const char* const WordsNamingNoMaker[];
extern const size_t WordsNamingNoMakerCount;

// True when the model is covered by the pattern (the condition of an alternative aside).
bool PatternMatches(const char* pattern, const char* model, size_t length);

// The first rule of the model's group that matches it; null when none does (the fallback steps
// then decide). Lets the rules be weighed by how many models each one decides.
const TrademarkRule* DecidingRule(const std::string& model, bool isNVMe);

// True when the pattern is written in the notation above: sets closed and not empty, ranges
// ascending, '*' only at the end, at least one position.
bool PatternIsWellFormed(const char* pattern);
