// KORVANTE.exe's own resources as Windows reads them: the application manifest (RT_MANIFEST 1) and
// the program icon MAINICON in both sizes it is drawn in.
#include "platform/win32/WindowsApi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#if !defined(KORVANTE_EXE_PATH)
#error "KORVANTE_EXE_PATH names the built KORVANTE.exe"
#endif

namespace {

// The exe mapped as an image of resources only: nothing of it runs.
HMODULE ProgramResources() {
    static HMODULE module = ::LoadLibraryExA(KORVANTE_EXE_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    return module;
}

std::vector<unsigned char> ResourceBytes(LPCSTR type, LPCSTR name) {
    HRSRC found = ::FindResourceA(ProgramResources(), name, type);
    if (!found) return {};
    HGLOBAL loaded = ::LoadResource(ProgramResources(), found);
    const auto* data = static_cast<const unsigned char*>(loaded ? ::LockResource(loaded) : nullptr);
    if (!data) return {};
    return std::vector<unsigned char>(data, data + ::SizeofResource(ProgramResources(), found));
}

std::string Manifest() {
    const std::vector<unsigned char> bytes = ResourceBytes(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));
    return std::string(bytes.begin(), bytes.end());
}

bool IsBlank(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

// The value of `attribute` in one start tag, or empty: attribute="value" after a blank, double quotes.
std::string AttributeOfTag(const std::string& tag, const std::string& attribute) {
    const std::string key = attribute + "=\"";
    for (size_t at = tag.find(key); at != std::string::npos; at = tag.find(key, at + 1)) {
        if (at == 0 || !IsBlank(tag[at - 1])) continue;  // the end of a longer attribute name
        const size_t from = at + key.size();
        const size_t close = tag.find('"', from);
        if (close != std::string::npos) return tag.substr(from, close - from);
    }
    return std::string();
}

// Every value of `attribute` on the elements named `element` (no namespace prefix), in order.
std::vector<std::string> AttributeValues(const std::string& xml, const std::string& element, const std::string& attribute) {
    std::vector<std::string> values;
    const std::string open = "<" + element;
    for (size_t at = xml.find(open); at != std::string::npos; at = xml.find(open, at + 1)) {
        const size_t nameEnd = at + open.size();
        if (nameEnd >= xml.size() || !IsBlank(xml[nameEnd])) continue;  // a longer element name
        const std::string value = AttributeOfTag(xml.substr(at, xml.find('>', at) - at), attribute);
        if (!value.empty()) values.push_back(value);
    }
    return values;
}

TEST(ProgramManifest, AsksToRunAsAdministrator) {
    const std::string manifest = Manifest();
    ASSERT_FALSE(manifest.empty()) << KORVANTE_EXE_PATH << " has no manifest resource, error " << ::GetLastError();
    EXPECT_EQ(AttributeValues(manifest, "requestedExecutionLevel", "level"), std::vector<std::string>{"requireAdministrator"});
    EXPECT_EQ(AttributeValues(manifest, "requestedExecutionLevel", "uiAccess"), std::vector<std::string>{"false"});
}

// Without it Windows draws the windows at 96 pixels per inch and stretches them, blurred.
TEST(ProgramManifest, IsAwareOfTheScreensDensity) {
    const std::string manifest = Manifest();
    const size_t open = manifest.find("<dpiAware"), start = manifest.find('>', open), end = manifest.find("</dpiAware>");
    ASSERT_TRUE(open != std::string::npos && end != std::string::npos);
    EXPECT_EQ(manifest.substr(start + 1, end - start - 1), "true");
}

TEST(ProgramManifest, DeclaresWindows7To11) {
    const std::vector<std::string> ids = AttributeValues(Manifest(), "supportedOS", "Id");
    const struct {
        const char* Version;
        const char* Id;
    } systems[] = {
        {"Windows 7", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"},
        {"Windows 8", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"},
        {"Windows 8.1", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}"},
        {"Windows 10 and 11", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"},
    };
    EXPECT_EQ(ids.size(), std::size(systems));
    for (const auto& s : systems)
        EXPECT_NE(std::find(ids.begin(), ids.end(), s.Id), ids.end()) << s.Version << " is not declared";
}

TEST(ProgramManifest, DependsOnCommonControls6) {
    const std::string manifest = Manifest();
    const std::vector<std::string> names = AttributeValues(manifest, "assemblyIdentity", "name");
    const std::vector<std::string> versions = AttributeValues(manifest, "assemblyIdentity", "version");
    const std::vector<std::string> tokens = AttributeValues(manifest, "assemblyIdentity", "publicKeyToken");
    ASSERT_EQ(names.size(), 2u) << "the program's own identity and the one dependency";
    ASSERT_EQ(versions.size(), 2u);
    EXPECT_EQ(names[1], "Microsoft.Windows.Common-Controls");
    EXPECT_EQ(versions[1], "6.0.0.0");
    EXPECT_EQ(tokens, std::vector<std::string>{"6595b64144ccf1df"});
    EXPECT_NE(manifest.find("<dependentAssembly>"), std::string::npos);
}

TEST(ProgramManifest, IsWellFormedEnoughForTheLoader) {
    // Windows refuses to start a program whose manifest it cannot parse: the closing element ends it
    // and the identity carries a four-part version.
    const std::string manifest = Manifest();
    EXPECT_EQ(manifest.compare(0, 5, "<?xml"), 0);
    EXPECT_NE(manifest.find("</assembly>"), std::string::npos);
    const std::vector<std::string> versions = AttributeValues(manifest, "assemblyIdentity", "version");
    ASSERT_FALSE(versions.empty());
    EXPECT_EQ(std::count(versions[0].begin(), versions[0].end(), '.'), 3) << versions[0];
}

// The width of the icon image the group offers for `size`, read from the image's own bitmap header.
int IconImageWidth(int size) {
    std::vector<unsigned char> group = ResourceBytes(MAKEINTRESOURCEA(14), "MAINICON");  // RT_GROUP_ICON
    if (group.empty()) return -1;
    const int id = ::LookupIconIdFromDirectoryEx(group.data(), TRUE, size, size, LR_DEFAULTCOLOR);
    const std::vector<unsigned char> image = ResourceBytes(MAKEINTRESOURCEA(3), MAKEINTRESOURCEA(id));  // RT_ICON
    if (image.size() < sizeof(BITMAPINFOHEADER)) return -1;
    BITMAPINFOHEADER header;
    std::memcpy(&header, image.data(), sizeof header);
    return header.biWidth;
}

TEST(ProgramIcon, HasBothSizesDrawnAndLoads) {
    for (const int size : {16, 32}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(IconImageWidth(size), size) << "no image drawn at this size";
        HICON icon = static_cast<HICON>(::LoadImageA(ProgramResources(), "MAINICON", IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << "error " << ::GetLastError();
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(icon, &info));
        BITMAP colour{};
        ASSERT_TRUE(::GetObjectA(info.hbmColor, sizeof colour, &colour));
        EXPECT_EQ(colour.bmWidth, size);
        EXPECT_EQ(colour.bmHeight, size);
        ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
        ::DestroyIcon(icon);
    }
}

}  // namespace
