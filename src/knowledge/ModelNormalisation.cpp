#include "knowledge/ModelNormalisation.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "knowledge/VendorSite.h"

namespace {

struct Rewrite {
    const char* Text;
    const char* Becomes;
};

// Models that would share their address with another model once their separators are dashes.
const Rewrite LinkRewrites[] = {
    {"SSD-1TB", "SSD--1TB"},
    {"SSD-512G", "SSD--512G"},
    {"SSD-256GB", "SSD--256GB"},
    {"SSD-256G", "SSD--256G"},
    {"SSD-240G", "SSD---240G"},
    {"LITEONIT LCS-512M6S 2.5\" 7mm 512GB", "LITEONIT LCS-512M6S 2.5- 7mm 512GB"},
    {"OCZ VECTOR", "OCZ--VECTOR"},
    {"OCZ AGILITY", "OCZ--AGILITY"},
    {"CHN-25SATAS3-256", "CHN--25SATAS3-256"},
    {"CHN-25SATAC3-120", "CHN--25SATAC3-120"},
    {"Vaseky V800 240G", "Vaseky V800--240G"},
    {"KingDian M280-240GB", "KingDian M280--240GB"},
    {"DST6128-SSD 128GB", "DST6128-SSD--128GB"},
    {"KINGSTON SA400S37/960G", "KINGSTON SA400S37--960G"},
    {"KINGSTON SA400S37/240G", "KINGSTON SA400S37--240G"},
    {"KINGSTON SA400S37 480G", "KINGSTON SA400S37--480G"},
    {"KINGSTON SV300S37A/240G", "KINGSTON SV300S37A--240G"},
    {"KINGSTON SA400S37 240GB", "KINGSTON SA400S37--240GB"},
    {"KINGSTON SA400S37 120GB", "KINGSTON SA400S37--120GB"},
    {"KINGSTON SA400S37 120G", "KINGSTON SA400S37--120G"},
    {"Samsung SSD 870 EVO 1TB", "Samsung SSD 870 EVO--1TB"},
};

bool IsSeparator(char c) { return c == ':' || c == '/' || c == ' '; }

// Characters that stand for themselves inside a path segment of an address.
bool StaysInPath(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           (c != 0 && std::strchr("-._~!$&'()*+,;=@", c));
}

// The segment as it may stand in the address: a drive's text can hold anything, and a '#', '?',
// '%' or backslash left as it is would end the path or change what it names.
std::string PathSegment(const std::string& text) {
    std::string segment;
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (StaysInPath(c)) {
            segment += ch;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            segment += escaped;
        }
    }
    return segment;
}

}  // namespace

std::string NormaliseForLink(const std::string& text) {
    std::string result = text;
    for (const Rewrite& r : LinkRewrites) {
        if (result == r.Text) {
            result = r.Becomes;
            break;
        }
    }
    std::replace_if(result.begin(), result.end(), IsSeparator, '-');
    result.erase(std::remove(result.begin(), result.end(), '"'), result.end());
    if (!result.empty() && result.back() == '.') result.back() = '-';
    return result;
}

std::string DatabaseAddress(const DriveRecord& drive) {
    std::string path = "/database/";
    if (drive.Trademark == "Fake") path += "Fake/";
    path += PathSegment(NormaliseForLink(drive.Model)) + "/";
    path += PathSegment(NormaliseForLink(drive.FirmwareVersion)) + "/";
    return VendorAddress(path);
}
