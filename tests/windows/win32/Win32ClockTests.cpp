// The real clock call against the Windows call it stands for.
#include "platform/Time.h"
#include "platform/Types.h"
#include "platform/win32/WindowsApi.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string SystemTimeText() {
    char text[64] = {};
    const int n = ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, text, sizeof text);
    return n > 0 ? std::string(text) : std::string();
}

TEST(Win32Clock, CurrentTimeIsTheUsersDefaultFormat) {
    // A second may turn between the calls: the platform's text must equal the one before or after.
    const std::string before = SystemTimeText();
    const std::string text = platform::GetTimeFormat();
    const std::string after = SystemTimeText();
    ASSERT_FALSE(before.empty());
    EXPECT_FALSE(text.empty());
    EXPECT_TRUE(text == before || text == after) << "'" << text << "' vs '" << before << "' / '" << after << "'";
    EXPECT_EQ(text.find('\0'), std::string::npos);
}

// A user's own time format can be far longer than "15:04:05"; the text is not cut.
TEST(Win32Clock, ALongUserTimeFormatComesWhole) {
    char saved[128] = {};
    ASSERT_GT(::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, saved, sizeof saved), 0);
    const char* const format = "HH 'hours,' mm 'minutes and' ss 'seconds past midnight'";
    ASSERT_TRUE(::SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, format)) << ::GetLastError();
    const std::string before = SystemTimeText();
    const std::string text = platform::GetTimeFormat();
    const std::string after = SystemTimeText();
    ::SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, saved);
    if (before.find("seconds past midnight") == std::string::npos) GTEST_SKIP() << "format not taken: " << before;
    EXPECT_GT(text.size(), 24u);
    EXPECT_TRUE(text == before || text == after) << "'" << text << "' vs '" << before << "'";
}

}  // namespace
