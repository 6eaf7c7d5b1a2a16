#include "base/sjis.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace koru {
namespace {

// "ソ" is 0x83 0x5C: its second byte is the backslash's code.
constexpr const char* kSo = "ソ";

TEST(SjisTest, LiteralsAreShiftJis) {
  EXPECT_EQ(std::string(kSo), std::string("\x83\x5C"));
  EXPECT_EQ(std::string("ファイル"), std::string("\x83\x74\x83\x40\x83\x43\x83\x8B"));
}

TEST(SjisTest, DelimiterSearchSkipsSecondBytes) {
  const std::string path = std::string("C:\\") + kSo;
  EXPECT_FALSE(EndsWithChar(path, '\\'));
  EXPECT_EQ(FindLastChar(path, '\\'), 2u);
  EXPECT_TRUE(EndsWithChar(path + "\\", '\\'));
  EXPECT_EQ(FindFirstChar(std::string(kSo) + "\\", '\\'), 2u);
  EXPECT_EQ(ReplaceChar(path + "\\", '\\', '-'), std::string("C:-") + kSo + "-");
}

TEST(SjisTest, CaseMappingLeavesDoubleByteCharactersWhole) {
  // Full-width "Ａ" is 0x82 0x60; the lead byte 0x82 is followed by bytes that would be
  // ASCII letters in other positions, e.g. "ア" 0x83 0x41 ('A').
  const std::string a = "ア";
  ASSERT_EQ(a, "\x83\x41");
  EXPECT_EQ(AsciiLower("ABC" + a + "D"), "abc" + a + "d");
  EXPECT_EQ(AsciiUpper("abc" + a + "d"), "ABC" + a + "D");
  EXPECT_TRUE(EqualsIgnoreCase("Install.DAT", "install.dat"));
  EXPECT_FALSE(EqualsIgnoreCase("ア", "\x83\x61"));  // 0x83 'a' is another character
  EXPECT_LT(CompareIgnoreCase("a", "B"), 0);
  EXPECT_GT(CompareIgnoreCase("abc", "AB"), 0);
}

TEST(SjisTest, ConvertsToAndFromUnicode) {
  EXPECT_EQ(SjisToUtf8("ソフト\\x"), "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88\\x");
  EXPECT_EQ(Utf8ToSjis("\xE3\x82\xBD"), kSo);
  EXPECT_EQ(SjisToUtf16(kSo), std::u16string(u"\u30BD"));
  EXPECT_EQ(Utf16ToSjis(u"\u30BD\\"), std::string(kSo) + "\\");
  std::string out;
  EXPECT_FALSE(TrySjisToUtf8("a\x81", &out));             // a lead byte without its second byte
  EXPECT_FALSE(TryUtf8ToSjis("\xF0\x9F\x98\x80", &out));  // an emoji has no code
  EXPECT_EQ(out, "?");
}

// Malformed UTF-8 must not smuggle a character past a check made on the text: an overlong
// '/' or NUL, an encoded surrogate and a code point beyond U+10FFFF are refused.
TEST(SjisTest, RefusesMalformedUtf8) {
  for (const char* bad : {"a\xC0\xAF"
                          "b",
                          "\xE0\x80\xAF", "\xC0\x80", "\xED\xA0\x80", "\xED\xBF\xBF",
                          "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80"}) {
    std::string out;
    EXPECT_FALSE(TryUtf8ToSjis(bad, &out)) << testing::PrintToString(bad);
    EXPECT_EQ(out.find('/'), std::string::npos);
    EXPECT_EQ(Utf8ToUtf16(bad).find(u'/'), std::u16string::npos);
    EXPECT_EQ(Utf8ToUtf16(bad).find(char16_t{0xD800}), std::u16string::npos);
  }
  EXPECT_EQ(Utf8ToUtf16("\xF4\x8F\xBF\xBF"), std::u16string(u"\U0010FFFF"));
  EXPECT_EQ(Utf8ToUtf16("\xC2\x80"), std::u16string(u"\u0080"));
}

TEST(ErrorTest, CarriesShiftJisMessage) {
  const KoruError error(Format("%s:ファイルがありません", "a.txt"));
  EXPECT_EQ(error.message(), std::string("a.txt:") + "ファイルがありません");
  EXPECT_EQ(error.Utf8(),
            "a.txt:\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x81\x8C"
            "\xE3\x81\x82\xE3\x82\x8A\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93");
}

}  // namespace
}  // namespace koru
