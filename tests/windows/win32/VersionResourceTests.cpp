// The version resource of the built KORVANTE.exe, read the way the program reads versions.
#include "platform/win32/WindowsApi.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#if !defined(KORVANTE_EXE_PATH) || !defined(KORVANTE_VERSION)
#error "KORVANTE_EXE_PATH names the built KORVANTE.exe, KORVANTE_VERSION the project version"
#endif

namespace {

std::vector<char> VersionBlock(const char* path) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path, &ignored);
    std::vector<char> block(size);
    if (size == 0 || !::GetFileVersionInfoA(path, 0, size, block.data())) block.clear();
    return block;
}

std::string Dotted(DWORD ms, DWORD ls) {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", static_cast<unsigned>(HIWORD(ms)), static_cast<unsigned>(LOWORD(ms)),
                  static_cast<unsigned>(HIWORD(ls)), static_cast<unsigned>(LOWORD(ls)));
    return text;
}

std::string StringValue(std::vector<char>& block, const char* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::string subBlock = std::string("\\StringFileInfo\\040904E4\\") + name;
    if (!::VerQueryValueA(block.data(), subBlock.c_str(), &value, &length) || !value) return std::string();
    return std::string(static_cast<const char*>(value));
}

TEST(VersionResource, FixedFileInfoCarriesTheProjectVersion) {
    std::vector<char> block = VersionBlock(KORVANTE_EXE_PATH);
    ASSERT_FALSE(block.empty()) << KORVANTE_EXE_PATH << " has no version resource, error " << ::GetLastError();
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(info->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(Dotted(info->dwFileVersionMS, info->dwFileVersionLS), KORVANTE_VERSION);
    EXPECT_EQ(Dotted(info->dwProductVersionMS, info->dwProductVersionLS), KORVANTE_VERSION);
    EXPECT_EQ(info->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST(VersionResource, TextVersionsMatchTheFixedOnes) {
    std::vector<char> block = VersionBlock(KORVANTE_EXE_PATH);
    ASSERT_FALSE(block.empty());
    EXPECT_EQ(StringValue(block, "FileVersion"), KORVANTE_VERSION);
    EXPECT_EQ(StringValue(block, "ProductVersion"), KORVANTE_VERSION);
    EXPECT_EQ(StringValue(block, "OriginalFilename"), "KORVANTE.exe");
}

}  // namespace
