// The form body and its boundary taken apart, and the page address taken back into its key.
#include <gtest/gtest.h>

#include "server/DatabasePage.h"
#include "server/Multipart.h"

TEST(FormBoundary, IsTakenFromAFormTypeOnly) {
    const struct {
        const char* ContentType;
        bool Ok;
        const char* Boundary;
    } cases[] = {
        {"multipart/form-data; boundary=ThisBoundary", true, "ThisBoundary"},
        {"MULTIPART/FORM-DATA;BOUNDARY=\"a b\"", true, "a b"},
        {"multipart/form-data; charset=utf-8; boundary=x", true, "x"},
        {"multipart/form-data", false, ""},
        {"multipart/form-data; boundary=", false, ""},
        {"multipart/form-data; boundary=\"\"", false, ""},
        {"multipart/mixed; boundary=x", false, ""},
        {"multipart/form-data-x; boundary=x", false, ""},
        {"", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ContentType);
        std::string boundary;
        EXPECT_EQ(FormBoundary(c.ContentType, boundary), c.Ok);
        if (c.Ok) EXPECT_EQ(boundary, c.Boundary);
    }
    std::string boundary;
    EXPECT_TRUE(FormBoundary("multipart/form-data; boundary=" + std::string(70, 'b'), boundary));
    EXPECT_FALSE(FormBoundary("multipart/form-data; boundary=" + std::string(71, 'b'), boundary));
}

TEST(SplitFormBody, KeepsEveryByteOfAPartAndRefusesBrokenBodies) {
    const std::string binary("\0\r\n--ThisBoundar\r\n\r\n-\0", 22);
    const std::string head = "--B\r\nContent-Disposition: form-data; name=";
    const struct {
        const char* Name;
        std::string Body;
        bool Ok;
        std::vector<std::pair<std::string, std::string>> Parts;
    } cases[] = {
        {"two parts", head + "a\r\n\r\n1\r\n" + head + "\"b\"\r\n\r\n" + binary + "\r\n--B--", true, {{"a", "1"}, {"b", binary}}},
        {"empty part, more headers", head + "\"a\"\r\nContent-Type: x\r\n\r\n\r\n--B--\r\n", true, {{"a", ""}}},
        {"header name in other case", "--B\r\ncontent-disposition: Form-Data; name=\"a\"\r\n\r\nv\r\n--B--", true, {{"a", "v"}}},
        {"no part at all", "--B--", true, {}},
        {"preamble", "x\r\n--B--", false, {}},
        {"no closing delimiter", head + "a\r\n\r\n1\r\n--B", false, {}},
        {"closing delimiter without its line break", head + "a\r\n\r\n1--B--", false, {}},
        {"headers do not end", head + "a\r\n", false, {}},
        {"no disposition", "--B\r\nContent-Type: x\r\n\r\n1\r\n--B--", false, {}},
        {"empty name", head + "\"\"\r\n\r\n1\r\n--B--", false, {}},
        {"duplicate name", head + "a\r\n\r\n1\r\n" + head + "a\r\n\r\n2\r\n--B--", false, {}},
        {"just the boundary", "--B", false, {}},
        {"empty", "", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<FormPart> parts;
        std::string why;
        EXPECT_EQ(SplitFormBody(c.Body, "B", parts, why), c.Ok) << why;
        if (!c.Ok) continue;
        ASSERT_EQ(parts.size(), c.Parts.size());
        for (std::size_t i = 0; i < parts.size(); ++i) {
            EXPECT_EQ(parts[i].Name, c.Parts[i].first);
            EXPECT_EQ(parts[i].Content, c.Parts[i].second);
        }
    }
}

TEST(PageKeyFromPath, NamesTheModelAndFirmwareOfAPageAddress) {
    const struct {
        const char* Path;
        bool Ok, Fake;
        const char* Model;
        const char* Firmware;
    } cases[] = {
        {"/database/WDC-WD10EZEX-00BN5A0/01.01A01/", true, false, "WDC-WD10EZEX-00BN5A0", "01.01A01"},
        {"/database/Fake/SSD-240G/V1/", true, true, "SSD-240G", "V1"},
        {"/database/Fake/V1/", true, false, "Fake", "V1"},
        {"/database///", true, false, "", ""},
        {"/database/M\xE9/F/", true, false, "M\xC3\xA9", "F"},
        {"/database/M/F", false, false, "", ""},
        {"/database/M/", false, false, "", ""},
        {"/database/", false, false, "", ""},
        {"/database/A/M/F/", false, false, "", ""},
        {"/databases/M/F/", false, false, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        bool fake = false;
        std::string model, firmware;
        EXPECT_EQ(PageKeyFromPath(c.Path, fake, model, firmware), c.Ok);
        if (!c.Ok) continue;
        EXPECT_EQ(fake, c.Fake);
        EXPECT_EQ(model, c.Model);
        EXPECT_EQ(firmware, c.Firmware);
    }
}
