// Reading the independent decodes that sit beside the real drives' pages in the shared fixtures.
#pragma once

#include <cctype>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace peerjson {

// Just enough JSON for the peer decodes beside the real drives' pages: objects, arrays, strings,
// numbers, true/false/null.
struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Null;
    bool boolean = false;
    long long integer = 0;  // numbers here are integers; fractions are cut
    std::string text;
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> members;

    const Json* Find(const std::string& key) const {
        if (kind != Object) return nullptr;
        for (const auto& m : members)
            if (m.first == key) return &m.second;
        return nullptr;
    }
    // Member at a path of keys, or null when any step is missing.
    const Json* At(std::initializer_list<const char*> path) const {
        const Json* node = this;
        for (const char* key : path) {
            node = node->Find(key);
            if (!node) return nullptr;
        }
        return node;
    }
};

class JsonReader {
public:
    explicit JsonReader(const std::string& s) : s_(s) {}

    bool Parse(Json& out) {
        ok_ = true;
        pos_ = 0;
        out = Value();
        Blank();
        return ok_ && pos_ == s_.size();
    }

private:
    void Blank() {
        while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    }
    bool Eat(char c) {
        Blank();
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool Word(const char* w) {
        const size_t n = std::strlen(w);
        if (s_.compare(pos_, n, w) != 0) return false;
        pos_ += n;
        return true;
    }
    std::string Text() {
        std::string t;
        if (!Eat('"')) {
            ok_ = false;
            return t;
        }
        while (pos_ < s_.size() && s_[pos_] != '"') {
            char c = s_[pos_++];
            if (c == '\\' && pos_ < s_.size()) {
                const char e = s_[pos_++];
                switch (e) {
                    case 'n': c = '\n'; break;
                    case 't': c = '\t'; break;
                    case 'r': c = '\r'; break;
                    case 'b': c = '\b'; break;
                    case 'f': c = '\f'; break;
                    case 'u': {
                        const unsigned code = std::stoul(s_.substr(pos_, 4), nullptr, 16);
                        pos_ += 4;
                        c = code < 0x80 ? static_cast<char>(code) : '?';
                        break;
                    }
                    default: c = e;
                }
            }
            t += c;
        }
        if (!Eat('"')) ok_ = false;
        return t;
    }
    Json Value() {
        Json v;
        Blank();
        if (!ok_ || pos_ >= s_.size()) {
            ok_ = false;
            return v;
        }
        const char c = s_[pos_];
        if (c == '{') {
            ++pos_;
            v.kind = Json::Object;
            if (Eat('}')) return v;
            do {
                std::string key = Text();
                if (!Eat(':')) ok_ = false;
                v.members.emplace_back(std::move(key), Value());
            } while (ok_ && Eat(','));
            if (!Eat('}')) ok_ = false;
        } else if (c == '[') {
            ++pos_;
            v.kind = Json::Array;
            if (Eat(']')) return v;
            do v.items.push_back(Value());
            while (ok_ && Eat(','));
            if (!Eat(']')) ok_ = false;
        } else if (c == '"') {
            v.kind = Json::String;
            v.text = Text();
        } else if (Word("true")) {
            v.kind = Json::Bool;
            v.boolean = true;
        } else if (Word("false")) {
            v.kind = Json::Bool;
        } else if (Word("null")) {
            v.kind = Json::Null;
        } else {
            const size_t start = pos_;
            while (pos_ < s_.size() && std::strchr("+-0123456789.eE", s_[pos_])) ++pos_;
            if (pos_ == start) {
                ok_ = false;
                return v;
            }
            v.kind = Json::Number;
            v.integer = std::stoll(s_.substr(start, pos_ - start));
        }
        return v;
    }

    const std::string& s_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// A decoded text without the blanks it was padded with.
inline std::string Trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

}  // namespace peerjson
