#include <gtest/gtest.h>

#include "FakeAppApi.h"
#include "app/ME.h"

namespace {

const String kExe = u"\"C:\\Program Files\\Tolvi\\Tolvi.exe\"";

TEST(SplitCommandLine, BlanksSeparateAndQuotesGroupWherever) {
  struct Case { const char16_t* line; std::vector<String> params; };
  const Case cases[] = {
      {u"a.exe", {u"a.exe"}},
      {u"  a.exe   /m:1\t/no  ", {u"a.exe", u"/m:1", u"/no"}},
      {u"\"C:\\Program Files\\a.exe\" /p:\"C:\\My Pics\\x.jpg\"",
       {u"C:\\Program Files\\a.exe", u"/p:C:\\My Pics\\x.jpg"}},
      {u"a \"/p:C:\\My Pics\\x.jpg\"", {u"a", u"/p:C:\\My Pics\\x.jpg"}},
      {u"a /p:C:\\My\" \"Pics\\x.jpg", {u"a", u"/p:C:\\My Pics\\x.jpg"}},
      {u"a \"\" b", {u"a", u"", u"b"}},
      {u"a \"unclosed rest", {u"a", u"unclosed rest"}},
      {u"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.params) << ToUtf8(c.line);
}

struct ParseCase {
  const char16_t* args;
  bool valid;
  bool confirm = true;
  int32_t mode = 0;
  const char16_t* picture = u"";
  int32_t time = 3;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << ToUtf8(c.args); }

class ParseCommandLineTest : public testing::TestWithParam<ParseCase> {
protected:
  FakeAppApi api;
  void SetUp() override {
    api.files[u"C:\\pics\\a.JPG"] = "x";
    api.files[u"C:\\pics\\b.bmp"] = "x";
    api.files[u"C:\\pics\\c.jpeg"] = "x";
    api.files[u"C:\\pics\\d.png"] = "x";
    api.files[u"rel.jpg"] = "x";
    api.files[u"C:\\My Pics\\e.jpg"] = "x";
    api.dirs.insert(u"C:\\pics\\dir.jpg");
    // Leftovers of an earlier parse must not survive.
    RunSettings = {false, TExitMode::Sleep, u"old", 99, true};
  }
};

TEST_P(ParseCommandLineTest, SetsRunSettingsOrReportsTheError) {
  const ParseCase& c = GetParam();
  api.commandLine = kExe + (*c.args ? u" " : u"") + c.args;
  EXPECT_EQ(ParseCommandLine(), c.valid);
  if (c.valid) {
    EXPECT_TRUE(api.boxes.empty());
    EXPECT_EQ(RunSettings.ShowConfirm, c.confirm);
    EXPECT_EQ(ExitModeNumber(RunSettings.ExitMode), c.mode);
    EXPECT_EQ(RunSettings.CommandLineGiven, *c.args != 0);
    EXPECT_EQ(RunSettings.PictureFile, String(c.picture));
    EXPECT_EQ(RunSettings.PictureTime, c.time);
  } else {
    ASSERT_EQ(api.boxes.size(), 1u);
    EXPECT_EQ(api.boxes[0].text, u"コマンドラインオプションに誤りがあります。");
    EXPECT_EQ(api.boxes[0].caption, u"Tolvi");
    EXPECT_EQ(api.boxes[0].flags, 0u);  // plain box: no icon, one OK
  }
}

INSTANTIATE_TEST_SUITE_P(Options, ParseCommandLineTest, testing::Values(
    ParseCase{u"", true},
    ParseCase{u"/m:1", true, true, 1},
    ParseCase{u"/M:3", true, true, 3},
    ParseCase{u"/m:5 /m:2", true, true, 2},  // a later option wins
    ParseCase{u"/m:03", false}, ParseCase{u"/m:6", false}, ParseCase{u"/m:", false},
    ParseCase{u"/m:0", false}, ParseCase{u"/m:+1", false}, ParseCase{u"\"/m: 1\"", false},
    ParseCase{u"/NO", true, false}, ParseCase{u"/noconfirm", true, false},
    ParseCase{u"/p:C:\\pics\\a.JPG", true, true, 0, u"C:\\pics\\a.JPG"},
    ParseCase{u"/P:C:\\pics\\b.bmp", true, true, 0, u"C:\\pics\\b.bmp"},
    ParseCase{u"/p:rel.jpg", true, true, 0, u"rel.jpg"},
    ParseCase{u"/p:\"C:\\My Pics\\e.jpg\"", true, true, 0, u"C:\\My Pics\\e.jpg"},
    ParseCase{u"\"/p:C:\\My Pics\\e.jpg\"", true, true, 0, u"C:\\My Pics\\e.jpg"},
    ParseCase{u"/p:C:\\pics\\c.jpeg", false}, ParseCase{u"/p:C:\\pics\\d.png", false},
    ParseCase{u"/p:C:\\pics\\missing.jpg", false}, ParseCase{u"/p:C:\\pics\\dir.jpg", false},
    ParseCase{u"/p:", false},
    ParseCase{u"/t:0", true, true, 0, u"", 0}, ParseCase{u"/t:-5", true, true, 0, u"", -5},
    ParseCase{u"/t:$10", true, true, 0, u"", 16}, ParseCase{u"/T:0x1f", true, true, 0, u"", 31},
    ParseCase{u"\"/t:  7\"", true, true, 0, u"", 7},
    ParseCase{u"/t:abc", false}, ParseCase{u"/t:", false}, ParseCase{u"/t:2147483648", false},
    ParseCase{u"-m:1", true},  // matches no option: ignored
    ParseCase{u"/m:1 /no /t:5 /p:rel.jpg", true, false, 1, u"rel.jpg", 5},
    ParseCase{u"a b c d /m:9", true},                         // the fifth is never looked at
    ParseCase{u"a b c /m:9 /m:1", false},                     // the fourth is
    ParseCase{u"/m:1 /m:x", false},                           // invalid even with a valid one
    ParseCase{u"\"\" /no", true, false}));

}  // namespace
