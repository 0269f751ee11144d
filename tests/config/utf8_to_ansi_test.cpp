#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/interface_texts.h"
#include "platform/codepage.h"

namespace {

// A text in storage of its own size followed by guard bytes, so a write past
// its NUL is seen.
class InPlace {
public:
    explicit InPlace(const std::string& text) : storage_(text) {
        storage_.push_back('\0');
        storage_.append(kGuard);
    }
    std::string Convert() {
        Utf8ToAnsiInPlace(storage_.data());
        return storage_.c_str();
    }
    bool GuardIntact() const { return storage_.compare(storage_.size() - kGuard.size(), kGuard.size(), kGuard) == 0; }
    const std::string& Bytes() const { return storage_; }

private:
    static inline const std::string kGuard = "GUARD";
    std::string storage_;
};

class Utf8ToAnsiTest : public ::testing::Test {
protected:
    void TearDown() override { platform::SetAnsiCodePage(""); }
    std::string Convert(const char* codePage, const std::string& utf8) {
        platform::SetAnsiCodePage(codePage);
        InPlace text(utf8);
        const std::string result = text.Convert();
        EXPECT_TRUE(text.GuardIntact()) << codePage << ": " << utf8;
        return result;
    }
};

TEST_F(Utf8ToAnsiTest, ScriptsIntoCodePagesThatHaveThemAndOnesThatLackThem) {
    EXPECT_EQ(Convert("WINDOWS-1253", "Καλημέρα"), "\xCA\xE1\xEB\xE7\xEC\xDD\xF1\xE1");
    EXPECT_EQ(Convert("WINDOWS-1251", "Καλημέρα"), "????????");
    EXPECT_EQ(Convert("WINDOWS-1251", "Привет"), "\xCF\xF0\xE8\xE2\xE5\xF2");
    EXPECT_EQ(Convert("WINDOWS-1252", "Привет"), "??????");
    EXPECT_EQ(Convert("GBK", "设备列表"), "\xC9\xE8\xB1\xB8\xC1\xD0\xB1\xED");
    EXPECT_EQ(Convert("WINDOWS-1253", "设备"), "??");
    EXPECT_EQ(Convert("WINDOWS-1252", "Gateway 1"), "Gateway 1");
    EXPECT_EQ(Convert("WINDOWS-1252", ""), "");
}

TEST_F(Utf8ToAnsiTest, InvalidBytesBecomeTheDefaultCharacter) {
    EXPECT_EQ(Convert("WINDOWS-1252", "a\xFF" "b\xE2\x82"), "a?b?");
    EXPECT_EQ(Convert("GBK", "\xC0\xAF"), "??");
}

// Only the converted text and its NUL are written; the bytes after it keep
// what the UTF-8 text had there.
TEST_F(Utf8ToAnsiTest, BytesAfterTheNewEndAreLeftAsTheyWere) {
    platform::SetAnsiCodePage("WINDOWS-1251");
    InPlace text("Привет");
    EXPECT_EQ(text.Convert(), "\xCF\xF0\xE8\xE2\xE5\xF2");
    EXPECT_EQ(text.Bytes().substr(6, 7), std::string("\0\xB2\xD0\xB5\xD1\x82\0", 7));
    EXPECT_TRUE(text.GuardIntact());
}

// With UTF-8 as the code page a bad byte grows into a three-byte U+FFFD;
// the result ends at the last whole character that fits.
TEST_F(Utf8ToAnsiTest, GrowthIsCutAtACharacterBoundary) {
    EXPECT_EQ(Convert("UTF-8", "Привет"), "Привет");
    EXPECT_EQ(Convert("UTF-8", "a\xFF" "b"), "a");
    EXPECT_EQ(Convert("UTF-8", "\xFF\xFF\xFF"), "\xEF\xBF\xBD");
    EXPECT_EQ(Convert("UTF-8", "\xE2\x82"), "");
    EXPECT_EQ(Convert("UTF-8", "\xC3\xA9\xFF\xFF"), "\xC3\xA9");
    EXPECT_EQ(Convert("UTF-8", "\xFF\xFF\xFF\xFF\xFF\xFFz"), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
