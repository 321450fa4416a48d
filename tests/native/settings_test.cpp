#include <gtest/gtest.h>

#include <algorithm>

#include "FakeAppApi.h"
#include "app/ME.h"
#include "app/Ordane.h"
#include "app/SettingsFile.h"

namespace {

const String kDir = u"C:\\Users\\u\\AppData\\Roaming\\Ordane\\Quv\\";
const String kIni = kDir + u"Tolvi.ini";

std::string Utf16Le(StringView text) { return EncodeUtf16Le(text).substr(2); }
std::string WithBom(StringView text) { return EncodeUtf16Le(text); }

class SettingsTest : public testing::Test {
protected:
  FakeAppApi api;
  void SetUp() override {
    UserDataDir = kDir;
    RunSettings = {false, TExitMode::Reboot, u"stale", 77};
  }
  void Load(const std::string& bytes) {
    api.files[kIni] = bytes;
    LoadSettings();
  }
};

TEST_F(SettingsTest, MissingFileGivesTheDefaults) {
  LoadSettings();
  EXPECT_TRUE(RunSettings.ShowConfirm);
  EXPECT_EQ(RunSettings.PictureFile, u"C:\\Program Files\\Tolvi\\End.jpg");
  EXPECT_EQ(RunSettings.PictureTime, 3);
  EXPECT_EQ(RunSettings.ExitMode, TExitMode::Reboot);  // not kept in the file
}

TEST_F(SettingsTest, ReadingRules) {
  struct Case { const char16_t* text; bool confirm; const char16_t* file; int32_t time; };
  const Case cases[] = {
      {u"[Form]\r\nConfirm=0\r\n[Picture]\r\nFile=C:\\a.jpg\r\nTime=10\r\n", false, u"C:\\a.jpg", 10},
      {u"[Form]\nConfirm=0x0\n", false, nullptr, 3},
      {u"[Form]\nConfirm=2\n", true, nullptr, 3},
      {u"[Form]\nConfirm=\n", true, nullptr, 3},
      {u"[Form]\nConfirm=no\n", true, nullptr, 3},
      {u"[Picture]\nTime=abc\n", true, nullptr, 3},
      {u"[Picture]\nTime=-5\nFile=\n", true, u"", -5},
      {u"[Picture]\nTime=$10\n", true, nullptr, 16},
      // blanks, case, comments, CR-only line ends, keys before any section
      {u"Confirm=0\r  [ fORM ]  \r ; Confirm=1\r\tcOnFiRm  =  0 \r", false, nullptr, 3},
      {u"[Picture]\n File = C:\\b c.jpg \n", true, u"C:\\b c.jpg", 3},
      // the later of two sections, the later of two keys
      {u"[Form]\nConfirm=0\n[Form]\nConfirm=1\n", true, nullptr, 3},
      {u"[Picture]\nTime=1\nTime=2\n[Other]\nTime=9\n", true, nullptr, 2},
      {u"[Form]\nConfirm=0\n[Form]\nOther=1\n", true, nullptr, 3},
      // a line without "=" is not a key; a value may hold "="
      {u"[Picture]\nTime\nFile=a=b.jpg\n", true, u"a=b.jpg", 3},
      {u"[Form]]\nConfirm=0\n", true, nullptr, 3},
  };
  for (const auto& c : cases) {
    Load(WithBom(c.text));
    EXPECT_EQ(RunSettings.ShowConfirm, c.confirm) << ToUtf8(c.text);
    EXPECT_EQ(RunSettings.PictureFile, c.file ? String(c.file) : u"C:\\Program Files\\Tolvi\\End.jpg")
        << ToUtf8(c.text);
    EXPECT_EQ(RunSettings.PictureTime, c.time) << ToUtf8(c.text);
  }
}

TEST_F(SettingsTest, EncodingFollowsTheByteOrderMark) {
  const String text = u"[Picture]\r\nFile=C:\\写真\\é.jpg\r\nTime=7\r\n";
  std::string be = "\xFE\xFF";
  for (char16_t c : text) { be += static_cast<char>(c >> 8); be += static_cast<char>(c & 0xFF); }
  const std::string utf8 = "\xEF\xBB\xBF" + ToUtf8(text);
  for (const std::string& bytes : {WithBom(text), be, utf8}) {
    Load(bytes);
    EXPECT_EQ(RunSettings.PictureFile, u"C:\\写真\\é.jpg");
    EXPECT_EQ(RunSettings.PictureTime, 7);
  }
  // Without a mark the ANSI code page decodes (Latin-1 in the fake).
  Load("[Picture]\r\nFile=C:\\\xE9.jpg\r\n");
  EXPECT_EQ(RunSettings.PictureFile, u"C:\\é.jpg");
  // UTF-16LE without a mark is recognised by its zero odd bytes, and a save
  // keeps its content (written back with the mark).
  Load(Utf16Le(u"[Mine]\r\nK=写\r\n[Picture]\r\nFile=C:\\写真\\é.jpg\r\nTime=7\r\n"));
  EXPECT_EQ(RunSettings.PictureFile, u"C:\\写真\\é.jpg");
  EXPECT_EQ(RunSettings.PictureTime, 7);
  SaveSettings();
  EXPECT_EQ(api.files.at(kIni), WithBom(u"[Mine]\r\nK=写\r\n\r\n[Picture]\r\nFile=C:\\写真\\é.jpg\r\nTime=7\r\n\r\n"
                                        u"[Form]\r\nConfirm=1\r\n\r\n"));
}

TEST_F(SettingsTest, SaveReplacesAnExistingFileAndKeepsItsAttributes) {
  api.files[kIni] = WithBom(u"[Form]\r\nConfirm=0\r\n");
  api.attributes[kIni] = 0x22;  // hidden, archive
  RunSettings = {true, TExitMode::None, u"C:\\pics\\end.jpg", 3};
  SaveSettings();
  EXPECT_EQ(api.attributes.at(kIni), 0x22u);
  EXPECT_NE(std::find(api.calls.begin(), api.calls.end(), "ReplaceFileW(" + ToUtf8(kIni) + "," + ToUtf8(kIni) + ".tmp)"),
            api.calls.end());
  EXPECT_FALSE(api.files.count(kIni + u".tmp"));
}

TEST_F(SettingsTest, FreshFileHasExactlyTheseBytes) {
  RunSettings = {true, TExitMode::None, u"C:\\pics\\end.jpg", 3};
  SaveSettings();
  const std::string expected = WithBom(
      u"[Form]\r\nConfirm=1\r\n\r\n[Picture]\r\nFile=C:\\pics\\end.jpg\r\nTime=3\r\n\r\n");
  EXPECT_EQ(api.files.at(kIni), expected);
  EXPECT_FALSE(api.files.count(kIni + u".tmp"));
}

TEST_F(SettingsTest, SaveKeepsForeignContentNormalised) {
  api.files[kIni] = WithBom(
      u"; comment\r\nstray=1\r\n[Other]\r\n  key  =  v  \r\nplain line\r\n\r\n"
      u"[picture]\r\nTIME=9\r\nExtra=x\r\n[Form]\r\nConfirm=1\r\n[Form]\r\nWidth=3\r\n");
  RunSettings = {false, TExitMode::None, u"D:\\x.bmp", -2};
  SaveSettings();
  EXPECT_EQ(api.files.at(kIni),
            WithBom(u"[Other]\r\nkey=v\r\nplain line\r\n\r\n"
                    u"[picture]\r\nTime=-2\r\nExtra=x\r\nFile=D:\\x.bmp\r\n\r\n"
                    u"[Form]\r\nConfirm=1\r\n\r\n"
                    u"[Form]\r\nWidth=3\r\nConfirm=0\r\n\r\n"));
  LoadSettings();
  EXPECT_FALSE(RunSettings.ShowConfirm);
  EXPECT_EQ(RunSettings.PictureFile, u"D:\\x.bmp");
  EXPECT_EQ(RunSettings.PictureTime, -2);
}

TEST_F(SettingsTest, SaveKeepsTheContentOfUtf8AndAnsiFiles) {
  struct Case { std::string bytes; const char16_t* kept; };
  const Case cases[] = {{"\xEF\xBB\xBF[Mine]\nK=\xE5\x86\x99\n", u"[Mine]\r\nK=写\r\n\r\n"},
                        {"[Mine]\nK=\xE9\n", u"[Mine]\r\nK=é\r\n\r\n"}};
  for (const auto& c : cases) {
    api.files[kIni] = c.bytes;
    SaveSettings();
    const String text = DecodeText(api.files.at(kIni), nullptr);
    EXPECT_EQ(text.substr(0, String(c.kept).size()), c.kept);
  }
}

TEST_F(SettingsTest, FailedWriteLeavesTheOldFileWholeAndNamesIt) {
  const std::string old = WithBom(u"[Form]\r\nConfirm=0\r\n\r\n");
  api.files[kIni] = old;
  api.unwritable.insert(kIni + u".tmp");
  try {
    SaveSettings();
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message().find(kIni), String::npos);
    EXPECT_NE(e.Message().find(u"書き込めません"), String::npos);
  }
  EXPECT_EQ(api.files.at(kIni), old);
  EXPECT_FALSE(api.files.count(kIni + u".tmp"));  // the cut temporary file is removed

  api.unwritable = {kIni};  // the replacement step fails
  EXPECT_THROW(SaveSettings(), Exception);
  EXPECT_EQ(api.files.at(kIni), old);
  EXPECT_FALSE(api.files.count(kIni + u".tmp"));
}

TEST_F(SettingsTest, UnreadableFileRaisesForLoadAndSave) {
  api.files[kIni] = WithBom(u"[Form]\r\nConfirm=0\r\n");
  api.unreadable.insert(kIni);
  for (auto op : {&LoadSettings, &SaveSettings}) {
    try {
      op();
      FAIL() << "no error";
    } catch (const Exception& e) {
      EXPECT_NE(e.Message().find(kIni), String::npos);
      EXPECT_NE(e.Message().find(u"読み込めません"), String::npos);
    }
  }
  EXPECT_EQ(api.files.at(kIni), WithBom(u"[Form]\r\nConfirm=0\r\n"));  // not overwritten
}

}  // namespace
