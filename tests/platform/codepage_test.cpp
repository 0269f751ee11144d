#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

using platform::AnsiToWide;
using platform::SetAnsiCodePage;
using platform::Utf8ToWide;
using platform::WideToAnsi;
using platform::WideToAnsiBounded;

class CodePageTest : public ::testing::Test {
protected:
    void TearDown() override { SetAnsiCodePage(""); }
};

TEST(Utf8ToWideTest, DecodesWellFormedTextOfEveryLength) {
    EXPECT_EQ(Utf8ToWide("A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), u"A\u00E9\u20AC\U0001F600");
    EXPECT_EQ(Utf8ToWide("\xEF\xBF\xBF\xF4\x8F\xBF\xBF"), u"\uFFFF\U0010FFFF");
    EXPECT_EQ(Utf8ToWide(""), u"");
}

// One U+FFFD per ill-formed sequence: a byte that cannot start one, or the
// longest start of a sequence that is cut short.
TEST(Utf8ToWideTest, ReplacesEachIllFormedSequenceOnce) {
    EXPECT_EQ(Utf8ToWide("\x80"), u"\uFFFD");
    EXPECT_EQ(Utf8ToWide("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(Utf8ToWide("\xE2\x82" "A"), u"\uFFFDA");          // cut short: one replacement
    EXPECT_EQ(Utf8ToWide("\xF0\x9F\x98"), u"\uFFFD");            // cut short by the end
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), u"\uFFFD\uFFFD");          // overlong: no valid start
    EXPECT_EQ(Utf8ToWide("\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // a surrogate
    EXPECT_EQ(Utf8ToWide("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // above U+10FFFF
    EXPECT_EQ(Utf8ToWide("\xC3\xC3\xA9"), u"\uFFFD\u00E9");
}

TEST_F(CodePageTest, ConvertsIntoCodePagesThatHaveTheCharacters) {
    SetAnsiCodePage("WINDOWS-1251");
    EXPECT_EQ(WideToAnsi(u"Привет"), "\xCF\xF0\xE8\xE2\xE5\xF2");
    SetAnsiCodePage("WINDOWS-1253");
    EXPECT_EQ(WideToAnsi(u"Καλή"), "\xCA\xE1\xEB\xDE");
    SetAnsiCodePage("GBK");
    EXPECT_EQ(WideToAnsi(u"中文"), "\xD6\xD0\xCE\xC4");
    SetAnsiCodePage("WINDOWS-1252");
    EXPECT_EQ(WideToAnsi(u"caf\u00E9 \u20AC"), "caf\xE9 \x80");
}

TEST_F(CodePageTest, CharactersTheCodePageLacksBecomeItsDefaultCharacter) {
    SetAnsiCodePage("WINDOWS-1252");
    EXPECT_EQ(WideToAnsi(u"Привет"), "??????");
    EXPECT_EQ(WideToAnsi(u"a\U0001F600b"), "a?b");  // a surrogate pair is one character
    EXPECT_EQ(WideToAnsi(std::u16string(u"x") + char16_t(0xD800) + u"y"), "x?y");
    SetAnsiCodePage("WINDOWS-1251");
    EXPECT_EQ(WideToAnsi(u"中\uFFFD"), "??");
    SetAnsiCodePage("UTF-8");
    EXPECT_EQ(WideToAnsi(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

TEST_F(CodePageTest, BoundedConversionEndsOnAWholeCharacter) {
    SetAnsiCodePage("UTF-8");
    EXPECT_EQ(WideToAnsiBounded(u"a\u00E9b", 2), "a");
    EXPECT_EQ(WideToAnsiBounded(u"a\u00E9b", 3), "a\xC3\xA9");
    EXPECT_EQ(WideToAnsiBounded(u"\uFFFD\uFFFD", 5), "\xEF\xBF\xBD");
    SetAnsiCodePage("GBK");
    EXPECT_EQ(WideToAnsiBounded(u"中文", 3), "\xD6\xD0");
}

TEST_F(CodePageTest, AnsiToWideDecodesAndReplacesWhatDoesNotDecode) {
    SetAnsiCodePage("WINDOWS-1251");
    EXPECT_EQ(AnsiToWide("\xCF\xF0\xE8"), u"При");
    SetAnsiCodePage("GBK");
    EXPECT_EQ(AnsiToWide("a\xD6\xD0"), u"a中");
    EXPECT_EQ(AnsiToWide("\xD6"), u"\uFFFD");  // a lead byte without its trail
    SetAnsiCodePage("UTF-8");
    EXPECT_EQ(AnsiToWide("\xE2\x82" "A"), u"\uFFFDA");
    SetAnsiCodePage("no-such-code-page");
    EXPECT_EQ(AnsiToWide("a\xE9"), u"a\uFFFD");
    EXPECT_EQ(WideToAnsi(u"a\u00E9"), "a?");
}

// Without an explicit code page the environment's locale decides.
TEST_F(CodePageTest, FollowsTheEnvironmentsLocale) {
    const char* saved = std::getenv("LC_ALL");
    const std::string previous = saved ? saved : "";
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(WideToAnsi(u"caf\u00E9"), "caf?");
    setenv("LC_ALL", "C.UTF-8", 1);
    EXPECT_EQ(WideToAnsi(u"caf\u00E9"), "caf\xC3\xA9");
    EXPECT_EQ(AnsiToWide("caf\xC3\xA9"), u"caf\u00E9");
    if (saved) setenv("LC_ALL", previous.c_str(), 1);
    else unsetenv("LC_ALL");
}

}  // namespace
