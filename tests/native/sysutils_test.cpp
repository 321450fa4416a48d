#include <gtest/gtest.h>

#include "toolkit/SysUtils.h"

TEST(TryStrToInt, AcceptsPeopleStyleNumbersAndRejectsTheRest) {
  struct Case { const char16_t* text; std::optional<int32_t> value; };
  const Case cases[] = {
      {u"0", 0}, {u"5", 5}, {u"-5", -5}, {u"+7", 7}, {u"   42", 42}, {u"007", 7},
      {u"$10", 16}, {u"x1F", 31}, {u"X1f", 31}, {u"0x10", 16}, {u"0XfF", 255}, {u"-$10", -16},
      {u"2147483647", 2147483647}, {u"-2147483648", INT32_MIN}, {u"$7FFFFFFF", 2147483647},
      {u"-0x80000000", INT32_MIN},
      {u"", std::nullopt}, {u" ", std::nullopt}, {u"abc", std::nullopt}, {u"5 ", std::nullopt},
      {u"\t5", std::nullopt}, {u"1.5", std::nullopt}, {u"2147483648", std::nullopt},
      {u"-2147483649", std::nullopt}, {u"$80000000", std::nullopt}, {u"$", std::nullopt},
      {u"0x", std::nullopt}, {u"-", std::nullopt}, {u"+-1", std::nullopt}, {u"1e3", std::nullopt},
      {u"99999999999999999999", std::nullopt}, {u"１", std::nullopt}, {u"$g", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(TryStrToInt(c.text), c.value) << ToUtf8(c.text);
}

TEST(ExtractFileExt, TakesTheLastDotOfTheNameOnly) {
  struct Case { const char16_t* path; const char16_t* ext; };
  const Case cases[] = {
      {u"a.jpg", u".jpg"}, {u"C:\\x.y\\pic.JPG", u".JPG"}, {u"C:\\x.y\\pic", u""},
      {u"a.tar.bmp", u".bmp"}, {u"c:.bmp", u".bmp"}, {u"c:x", u""}, {u"name.", u"."},
      {u"", u""}, {u"dir/a.b/c", u".b/c"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExtractFileExt(c.path), c.ext) << ToUtf8(c.path);
}

TEST(TextHelpers, TrimSameTextAndUtf8) {
  EXPECT_EQ(Trim(u"\t  a b \r\n\x01"), u"a b");
  EXPECT_TRUE(SameText(u"PiCture", u"picture"));
  EXPECT_TRUE(SameText(u"ÉTÉ", u"été"));
  EXPECT_FALSE(SameText(u"Form", u"Forms"));
  EXPECT_EQ(FromUtf8(ToUtf8(u"設定 😀 é")), u"設定 😀 é");
  EXPECT_EQ(FromUtf8("a\xC3"), u"a\uFFFD");          // cut sequence
  EXPECT_EQ(FromUtf8("\xE0\x80\xAFz"), u"\uFFFDz");  // overlong form
  EXPECT_EQ(Format(u"拡張子 .%s は%s", {u"xyz", u"?"}), u"拡張子 .xyz は?");
}
