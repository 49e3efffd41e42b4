// The report's rich text in a real rich-edit box: the box's plain text is what the portable reader
// and the document's own plain text say. Under Wine the box's window text gives a soft line break as
// a blank, checked as Wine's behaviour so that a change in Wine shows; its dropping of field results
// is met by showing the labels unlinked there.
#include "platform/win32/WindowsApi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/RtfText.h"
#include "ui/Report.h"

namespace {

using namespace platform;

bool UnderWine() { return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\r' || text[i] == '\n') lines.emplace_back();
        else lines.back() += text[i];
    }
    return lines;
}

class RichEditBox : public ::testing::Test {
protected:
    void SetUp() override {
        parent_ = ::CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 2100, 400, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(parent_, nullptr) << "no display";
        box_ = CreateWindowEx(0, RichEditClass, "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 0, 0,
                              2000, 300, reinterpret_cast<HWnd>(parent_), 100);
        ASSERT_NE(box_, 0u);
    }
    void TearDown() override { ::DestroyWindow(parent_); }

    int Rows() const { return static_cast<int>(::SendMessageA(reinterpret_cast<HWND>(box_), EM_GETLINECOUNT, 0, 0)); }

    HWND parent_ = nullptr;
    HWnd box_ = 0;
};

// Hand-made documents: escapes, an empty line, high bytes, text continuing a line.
TEST_F(RichEditBox, ShowsTheDocumentsLinesAsTheReaderReadsThem) {
    const ReportDocument documents[] = {
        {{{"Model - A\\B {x} \\line", "", false}, {"", "", true}, {"Caf\xe9 \xff\x80", "", true}, {"last", "", true}}},
        {{{"Serial number - \\\\?\\", "", false}, {" - continued", "", false}, {"", "", true}, {"", "", true}, {"x", "", true}}},
        {{{"single", "", false}}},
    };
    for (const ReportDocument& doc : documents) {
        const std::string rtf = ReportRtf(doc);
        ASSERT_TRUE(SetRichText(box_, rtf)) << rtf;
        const std::string read = RtfPlainText(rtf);
        EXPECT_EQ(Lines(read), Lines(ReportPlainText(doc))) << rtf;
        EXPECT_EQ(GetRichEditText(box_), read) << rtf;
        EXPECT_EQ(static_cast<size_t>(Rows()), Lines(read).size()) << rtf;
        if (UnderWine()) {  // the window text gives a soft break as one blank
            std::string blanks = read;
            for (size_t at = 0; (at = blanks.find("\r\n", at)) != std::string::npos;) blanks.replace(at, 2, " ");
            EXPECT_EQ(GetWindowText(box_), blanks) << rtf;
        }
    }
}

// Links: the labels show, under Wine too.
TEST_F(RichEditBox, ShowsLinkLabels) {
    const ReportDocument doc{{{"Trademark - X", "", false},
                              {"Form-factor", "https://x.invalid/form_factor.htm", true},
                              {" - 3.5\"", "", false},
                              {"Type - ", "", true},
                              {"HDD", "https://x.invalid/hdd.htm", false}}};
    const std::string rtf = ReportRtf(doc);
    ASSERT_TRUE(SetRichText(box_, rtf));
    EXPECT_EQ(Lines(RtfPlainText(rtf)), Lines(ReportPlainText(doc)));
    EXPECT_EQ(GetRichEditText(box_), RtfPlainText(rtf));
}

TEST_F(RichEditBox, ShowsItsScrollBarOnlyWhenTheTextDoesNotFit) {
    ASSERT_TRUE(SetRichText(box_, "{\\rtf3 one line\\par}"));
    EXPECT_FALSE(HasVerticalScrollBar(box_));
    std::string many = "{\\rtf3 ";
    for (int i = 0; i < 60; ++i) many += "line\\line ";
    ASSERT_TRUE(SetRichText(box_, many + "\\par}"));
    EXPECT_TRUE(HasVerticalScrollBar(box_));
    Rect area{0, 0, 0, 0};
    ASSERT_TRUE(GetWorkArea(area));
    EXPECT_GT(area.Right - area.Left, 0);
    EXPECT_GT(area.Bottom - area.Top, 0);
}

}  // namespace
