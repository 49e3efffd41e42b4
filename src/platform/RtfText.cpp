#include "platform/RtfText.h"

#include <cctype>
#include <vector>

namespace platform {
namespace {

// Groups whose text is not part of the document.
bool IsSkippedDestination(const std::string& word) {
    static const char* const skipped[] = {"fldinst", "colortbl", "fonttbl", "stylesheet", "info", "pict", "generator"};
    for (const char* s : skipped)
        if (word == s) return true;
    return false;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

struct Reader {
    explicit Reader(const std::string& document) : rtf(document) {}
    const std::string& rtf;
    size_t at = 0;
    std::string text;
    std::vector<bool> skipping{false};  // per open group: its text is dropped
    bool groupStart = false;            // nothing read yet in the newest group

    bool Skipping() const { return skipping.back(); }
    void Emit(const std::string& s) {
        if (!Skipping()) text += s;
    }

    // A control word with its optional numeric parameter and the one space that may end it.
    void ControlWord() {
        const size_t start = at;
        while (at < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[at]))) ++at;
        const std::string word = rtf.substr(start, at - start);
        if (at < rtf.size() && rtf[at] == '-') ++at;
        while (at < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[at]))) ++at;
        if (at < rtf.size() && rtf[at] == ' ') ++at;
        if (groupStart && IsSkippedDestination(word)) skipping.back() = true;
        if (word == "line" || word == "par") Emit(PlainTextLineBreak);
        else if (word == "tab") Emit("\t");
    }

    // After a backslash.
    void Control() {
        if (at >= rtf.size()) return;
        const char c = rtf[at];
        if (std::isalpha(static_cast<unsigned char>(c))) return ControlWord();
        ++at;
        if (c == '\\' || c == '{' || c == '}') Emit(std::string(1, c));
        else if (c == '*' && groupStart) skipping.back() = true;  // an optional destination
        else if (c == '\'' && at + 2 <= rtf.size() && HexDigit(rtf[at]) >= 0 && HexDigit(rtf[at + 1]) >= 0) {
            Emit(std::string(1, static_cast<char>(HexDigit(rtf[at]) * 16 + HexDigit(rtf[at + 1]))));
            at += 2;
        }
    }

    void Read() {
        while (at < rtf.size()) {
            const char c = rtf[at++];
            if (c == '{') {
                skipping.push_back(Skipping());
                groupStart = true;
                continue;
            }
            const bool wasStart = groupStart;
            groupStart = false;
            if (c == '}') {
                if (skipping.size() > 1) skipping.pop_back();
            } else if (c == '\\') {
                groupStart = wasStart;  // a destination word may follow \*
                Control();
                groupStart = false;
            } else if (c != '\r' && c != '\n') {
                Emit(std::string(1, c));
            }
        }
    }
};

// The index of the brace that closes the group opened at rtf[open], or npos when it is not closed.
size_t GroupEnd(const std::string& rtf, size_t open) {
    int depth = 0;
    for (size_t i = open; i < rtf.size(); ++i) {
        if (rtf[i] == '\\') ++i;  // an escaped character or the start of a control word
        else if (rtf[i] == '{') ++depth;
        else if (rtf[i] == '}' && --depth == 0) return i;
    }
    return std::string::npos;
}

}  // namespace

std::string RtfWithFieldResults(const std::string& rtf) {
    static const std::string field = "{\\field", result = "{\\fldrslt";
    std::string out;
    for (size_t i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\' && i + 1 < rtf.size()) {
            out.append(rtf, i++, 2);
            continue;
        }
        const size_t end = rtf.compare(i, field.size(), field) == 0 ? GroupEnd(rtf, i) : std::string::npos;
        if (end == std::string::npos) {
            out += rtf[i];
            continue;
        }
        const size_t r = rtf.find(result, i);
        const size_t rEnd = r < end ? GroupEnd(rtf, r) : std::string::npos;
        if (rEnd != std::string::npos && rEnd < end)
            out += "{" + rtf.substr(r + result.size(), rEnd - r - result.size()) + "}";
        i = end;
    }
    return out;
}

std::string RtfPlainText(const std::string& rtf) {
    Reader reader(rtf);
    reader.Read();
    // The last paragraph mark ends the document and shows no line break.
    const std::string& breakText = PlainTextLineBreak;
    std::string& text = reader.text;
    const size_t tail = breakText.size();
    const bool endsWithPar = rtf.size() >= 5 && rtf.rfind("\\par}") == rtf.size() - 5;
    if (endsWithPar && text.size() >= tail && text.compare(text.size() - tail, tail, breakText) == 0)
        text.resize(text.size() - tail);
    return text;
}

}  // namespace platform
