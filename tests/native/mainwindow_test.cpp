// The main window's handlers with fakes at every seam: the files and the
// settings file (FakeAppApi), the boxes (FakeFormsApi) and the window's own
// controls (the Host hooks of TTestWindow), which write what they are told
// into one record.
#include <gtest/gtest.h>

#include <functional>

#include "FakeAppApi.h"
#include "FakeExitApi.h"
#include "FakeFormsApi.h"
#include "FakeMainWindow.h"
#include "app/ME.h"
#include "app/Ordane.h"
#include "forms/TolviMain.h"

namespace {

using Calls = std::vector<std::string>;

const String kPicturesFolder = u"C:\\Users\\u\\Pictures";
const String kDataDir = u"C:\\Users\\u\\AppData\\Roaming\\Ordane\\Quv\\";

// NT 6.1, as on Windows 7, with a pictures folder.
struct MainAppApi : FakeAppApi {
  MainAppApi() {
    version.dwPlatformId = 2;
    version.dwMajorVersion = 6;
    version.dwMinorVersion = 1;
  }
  int32_t SHGetFolderPathW(int32_t csidl, uint32_t flags, char16_t* path) override {
    if (csidl != 0x27) return FakeAppApi::SHGetFolderPathW(csidl, flags, path);
    std::copy(kPicturesFolder.begin(), kPicturesFolder.end(), path);
    path[kPicturesFolder.size()] = 0;
    return 0;
  }
};

class TTestWindow : public TFakeWindowParts {
public:
  explicit TTestWindow(TExitWin& e) : engine(e) {}
  TExitWin& engine;

protected:
  void HostHide() override { record.push_back("Hide"); }
  std::unique_ptr<TPicturePreload> HostPreloadPicture(const String&) override { return nullptr; }
  bool HostShowPicture(const String&, int32_t, std::unique_ptr<TPicturePreload>) override { return false; }
  TExitWin& HostExitWin() override { return engine; }
  void HostTerminate() noexcept override { record.push_back("Terminate"); }
};

class MainWindowTest : public testing::Test {
protected:
  FakeExitApi exitApi;  // first: the system's calls are the others'
  FakeFormsApi forms;
  MainAppApi app;  // declared last: its files and its version answer the system's queries
  TExitWin engine{nullptr};
  TTestWindow window{engine};

  void SetUp() override {
    RunSettings = TRunSettings{};
    UserDataDir = kDataDir;
    app.dirs.insert(u"C:\\Users\\u\\Pictures");
  }
  void TearDown() override { UserDataDir.clear(); }

  bool Called(const std::string& call) const {
    return std::find(exitApi.calls.begin(), exitApi.calls.end(), call) != exitApi.calls.end();
  }
  // Writes a settings file holding these values, as a save would.
  void StoreSettings(bool confirm, const String& picture, int32_t time) {
    RunSettings.ShowConfirm = confirm;
    RunSettings.PictureFile = picture;
    RunSettings.PictureTime = time;
    SaveSettings();
    RunSettings = TRunSettings{};
    app.calls.clear();
  }
  std::string SettingsText() {
    const std::string& bytes = app.files.at(kDataDir + u"Tolvi.ini");
    std::string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) text += bytes[i];  // ASCII in UTF-16LE
    return text;
  }
};

TEST_F(MainWindowTest, CreationRunsItsStepsInOrder) {
  app.files[u"C:\\Hiberfil.sys"];
  app.files[u"C:\\p\\End.png"];
  StoreSettings(false, u"C:\\p\\End.png", 7);
  window.ticks = 5000;

  window.FormCreate();

  EXPECT_EQ(window.record, (Calls{"MenuFontFace", "PrepareActions", "Caption(4,スリープ)", "LaterFontSizes",
                                  "Clock(0:00:05)", "Enable(5,1)", "TimeControls(1)", "Preview(C:\\p\\End.png)",
                                  "Confirm(0)", "Position(7)", "TimeText(7)"}));
  EXPECT_EQ(RunSettings.ExitMode, TExitMode::None);
  EXPECT_FALSE(window.executeEnabled);
}

TEST_F(MainWindowTest, CreationFollowsTheSystem) {
  app.version.dwMajorVersion = 5;  // no hibernation file, a system before Vista
  window.FormCreate();
  EXPECT_NE(std::find(window.record.begin(), window.record.end(), "Caption(4,スタンバイ)"), window.record.end());
  EXPECT_NE(std::find(window.record.begin(), window.record.end(), "Enable(5,0)"), window.record.end());
  EXPECT_FALSE(window.enabled[4]);
}

TEST_F(MainWindowTest, ACommandLineActionRunsBeforeTheClockAndTheSettingsStayOut) {
  StoreSettings(false, u"C:\\p\\End.png", 7);
  RunSettings.CommandLineGiven = true;
  RunSettings.ExitMode = TExitMode::LogOff;
  RunSettings.ShowConfirm = false;
  RunSettings.PictureTime = 5;

  window.FormCreate();

  const Calls expected{"MenuFontFace", "PrepareActions", "Caption(4,スリープ)", "LaterFontSizes", "Hide", "Terminate",
                       "Clock(0:00:00)", "Enable(5,0)", "TimeControls(0)", "ClearPreview", "Confirm(0)",
                       "Position(5)", "TimeText(5)"};
  EXPECT_EQ(window.record, expected);
  EXPECT_TRUE(Called("ExitWindowsEx(0x0,0x0)"));
  EXPECT_EQ(RunSettings.PictureFile, u"") << "the settings file was not read";
}

TEST_F(MainWindowTest, AnUnreadableSettingsFileIsReportedAndTheControlsShowTheDefaults) {
  app.files[kDataDir + u"Tolvi.ini"];
  app.unreadable.insert(kDataDir + u"Tolvi.ini");
  window.FormCreate();
  ASSERT_EQ(window.errors.size(), 1u);
  EXPECT_NE(window.errors[0].find(u"Tolvi.ini"), String::npos);
  EXPECT_TRUE(window.confirm);
  EXPECT_EQ(window.position, 3);
  EXPECT_EQ(window.timeText, u"3");
}

TEST_F(MainWindowTest, ADamagedSavedPictureIsReportedAndTheControlsStillAgree) {
  app.files[u"C:\\p\\Bad.jpg"];
  StoreSettings(false, u"C:\\p\\Bad.jpg", 9);
  window.decode = [](const String&) { throw Exception(u"壊れた画像"); };
  window.FormCreate();
  EXPECT_EQ(window.errors, std::vector<String>{u"壊れた画像"});
  EXPECT_FALSE(window.confirm);
  EXPECT_EQ(window.position, 9);
  EXPECT_EQ(window.timeText, u"9");
  EXPECT_TRUE(window.timeEnabled);
  EXPECT_EQ(RunSettings.PictureFile, u"C:\\p\\Bad.jpg");
}

TEST_F(MainWindowTest, ATimeOutsideTheUpDownRangeIsBroughtIntoIt) {
  struct Case { int32_t given, shown; };
  for (const Case c : {Case{1500, 999}, Case{-5, 0}, Case{999, 999}, Case{0, 0}}) {
    RunSettings = TRunSettings{};
    RunSettings.CommandLineGiven = true;
    RunSettings.PictureTime = c.given;
    window.FormCreate();
    EXPECT_EQ(window.position, c.shown) << c.given;
    EXPECT_EQ(window.timeText, IntToStr(c.shown)) << c.given;
    EXPECT_EQ(RunSettings.PictureTime, c.shown) << c.given;
  }
}

TEST_F(MainWindowTest, SelectionSetsTheModeAndTheExecuteButton) {
  window.UpdateSelection();
  EXPECT_EQ(RunSettings.ExitMode, TExitMode::None);
  EXPECT_FALSE(window.executeEnabled);
  for (const TExitModeInfo& info : kExitModes) {
    std::fill(std::begin(window.checked), std::end(window.checked), false);
    window.checked[ExitModeNumber(info.Mode) - 1] = true;
    window.RadioButtonClick();
    EXPECT_EQ(RunSettings.ExitMode, info.Mode);
    EXPECT_TRUE(window.executeEnabled);
  }
}

TEST(FormatUptime, HoursHaveNoUpperLimit) {
  struct Case { uint64_t ms; const char16_t* text; };
  const Case cases[] = {
      {0, u"0:00:00"},
      {5000, u"0:00:05"},
      {5999, u"0:00:05"},
      {59 * 60000 + 59000, u"0:59:59"},
      {(123 * 3600 + 4 * 60 + 56) * 1000ull, u"123:04:56"},
      {(1175 * 3600 + 23 * 60 + 59) * 1000ull, u"1175:23:59"},
      {(1ull << 32) + 1000, u"1193:02:48"},  // past the 32-bit tick count's wrap at 49.7 days
  };
  for (const Case& c : cases) EXPECT_EQ(FormatUptime(c.ms), c.text) << c.ms;
}

TEST_F(MainWindowTest, TheClockShowsTheUptime) {
  window.ticks = (1ull << 32) + 1000;
  window.TimerTimer();
  EXPECT_EQ(window.clock, u"1193:02:48");
}

TEST_F(MainWindowTest, PicturePreviewFollowsTheFile) {
  app.files[u"C:\\p\\a.JPG"];
  app.files[u"C:\\p\\b.Jpeg"];
  app.files[u"C:\\p\\c.png"];
  app.files[u"C:\\p\\d.BMP"];
  app.files[u"C:\\p\\e.txt"];
  app.files[u"C:\\p\\f.gif"];
  app.files[u"C:\\p\\g.ico"];  // the picture window shows it; the main window does not
  app.dirs.insert(u"C:\\p\\folder.png");
  struct Case { const char16_t* file; bool shown; };
  const Case cases[] = {
      {u"C:\\p\\a.JPG", true},     {u"C:\\p\\b.Jpeg", true},      {u"C:\\p\\c.png", true},
      {u"C:\\p\\d.BMP", true},     {u"C:\\p\\e.txt", false},      {u"C:\\p\\f.gif", false},
      {u"C:\\p\\g.ico", false},    {u"C:\\p\\folder.png", false}, {u"C:\\p\\missing.png", false},
      {u"", false},
  };
  for (const Case& c : cases) {
    window.preview = u"old";
    RunSettings.PictureFile = c.file;
    window.UpdatePicture();
    EXPECT_EQ(window.timeEnabled, c.shown) << ToUtf8(c.file);
    EXPECT_EQ(window.preview, c.shown ? String(c.file) : String()) << ToUtf8(c.file);
    EXPECT_EQ(RunSettings.PictureFile, c.file) << "kept whatever it names";
  }
}

TEST_F(MainWindowTest, TheDialogStartsInThePicturesFolderAndTakesOnlyPictures) {
  app.files[u"C:\\p\\new.png"];
  app.files[u"C:\\p\\notes.txt"];
  RunSettings.PictureFile = u"C:\\p\\old.jpg";

  window.chosen = u"C:\\p\\notes.txt";  // typed by hand
  window.BtnPicSelClick();
  EXPECT_EQ(RunSettings.PictureFile, u"C:\\p\\old.jpg");
  EXPECT_TRUE(window.record.empty());

  window.chosen.clear();  // cancelled
  window.BtnPicSelClick();
  EXPECT_EQ(RunSettings.PictureFile, u"C:\\p\\old.jpg");

  window.chosen = u"C:\\p\\new.png";
  window.BtnPicSelClick();
  EXPECT_EQ(RunSettings.PictureFile, u"C:\\p\\new.png");
  EXPECT_EQ(window.preview, u"C:\\p\\new.png");
  EXPECT_TRUE(window.timeEnabled);
  EXPECT_EQ(window.dialogFolders, std::vector<String>(3, kPicturesFolder));
}

TEST_F(MainWindowTest, APictureThatFailsToLoadIsStillChosen) {
  app.files[u"C:\\p\\good.png"];
  app.files[u"C:\\p\\bad.png"];
  window.chosen = u"C:\\p\\good.png";
  window.BtnPicSelClick();
  window.decode = [](const String&) { throw Exception(u"壊れた画像"); };
  window.chosen = u"C:\\p\\bad.png";
  EXPECT_THROW(window.BtnPicSelClick(), Exception);
  EXPECT_EQ(RunSettings.PictureFile, u"C:\\p\\bad.png");
  EXPECT_TRUE(window.timeEnabled);
  EXPECT_EQ(window.preview, u"C:\\p\\good.png") << "the preview keeps its picture";
}

TEST_F(MainWindowTest, DropsTakeTheFirstName) {
  app.files[u"C:\\p\\a.png"];
  app.files[u"C:\\p\\b.png"];
  app.files[u"C:\\p\\notes.txt"];
  TStringList files;
  files.Add(u"C:\\p\\a.png");
  files.Add(u"C:\\p\\b.png");
  window.DropDstFileDrop(files);
  EXPECT_EQ(RunSettings.PictureFile, u"C:\\p\\a.png");
  EXPECT_EQ(window.preview, u"C:\\p\\a.png");

  files.Clear();
  files.Add(u"C:\\p\\notes.txt");
  window.DropDstFileDrop(files);
  EXPECT_EQ(RunSettings.PictureFile, u"C:\\p\\notes.txt") << "kept, though not a picture";
  EXPECT_EQ(window.preview, u"");
  EXPECT_FALSE(window.timeEnabled);
}

TEST_F(MainWindowTest, AnEmptyDropIsTheListsIndexErrorAndChangesNothing) {
  RunSettings.PictureFile = u"C:\\p\\a.png";
  TStringList empty;
  TStringList oneEmptyName;  // how Wine reports an empty drop
  oneEmptyName.Add(u"");
  for (const TStringList* files : {&empty, &oneEmptyName}) {
    window.record.clear();
    try {
      window.DropDstFileDrop(*files);
      ADD_FAILURE() << "no error";
    } catch (const Exception& error) {
      EXPECT_EQ(error.Message(), u"リストのインデックスが範囲外です (0)。");
    }
    EXPECT_EQ(RunSettings.PictureFile, u"C:\\p\\a.png");
    EXPECT_TRUE(window.record.empty());
  }
}

TEST_F(MainWindowTest, ExecuteSavesThenRunsTheSequence) {
  RunSettings.ShowConfirm = false;
  RunSettings.ExitMode = TExitMode::Reboot;
  window.position = 12;
  window.OKBtnClick();
  EXPECT_EQ(RunSettings.PictureTime, 12);
  EXPECT_NE(SettingsText().find("Time=12"), std::string::npos);
  EXPECT_EQ(window.record, (Calls{"Hide", "Terminate"}));
  EXPECT_TRUE(Called("ExitWindowsEx(0x2,0x0)"));
}

TEST_F(MainWindowTest, AFailedSaveOnExecuteStopsBeforeAnyAction) {
  app.unwritable.insert(kDataDir + u"Tolvi.ini");
  RunSettings.ShowConfirm = false;
  RunSettings.ExitMode = TExitMode::PowerOff;
  EXPECT_THROW(window.OKBtnClick(), Exception);
  EXPECT_TRUE(window.record.empty()) << "not hidden, not ended";
  EXPECT_FALSE(Called("ExitWindowsEx(0x9,0x0)"));
}

TEST_F(MainWindowTest, ClosingSavesTheWindowsValuesAndWorksOnceTheFileCanBeWritten) {
  const String path = kDataDir + u"Tolvi.ini";
  app.unwritable.insert(path);
  RunSettings.ShowConfirm = false;
  RunSettings.PictureFile = u"C:\\p\\a.png";
  window.position = 42;
  bool canClose = true;
  EXPECT_THROW(window.FormCloseQuery(canClose), Exception);

  app.unwritable.clear();
  window.FormCloseQuery(canClose);
  EXPECT_TRUE(canClose);
  const std::string text = SettingsText();
  EXPECT_NE(text.find("Confirm=0"), std::string::npos) << text;
  EXPECT_NE(text.find("File=C:\\p\\a.png"), std::string::npos) << text;
  EXPECT_NE(text.find("Time=42"), std::string::npos) << text;
}

TEST_F(MainWindowTest, WithCommandLineOptionsNothingIsSaved) {
  RunSettings.CommandLineGiven = true;
  window.position = 5;
  bool canClose = true;
  window.FormCloseQuery(canClose);
  EXPECT_EQ(app.files.count(kDataDir + u"Tolvi.ini"), 0u);
  EXPECT_EQ(RunSettings.PictureTime, 5);
}

TEST_F(MainWindowTest, TheCheckBoxAndTheUpDownFeedTheSettingsAndTheDisplay) {
  window.confirm = false;
  window.CHKConfirmClick();
  EXPECT_FALSE(RunSettings.ShowConfirm);
  window.position = 999;
  window.UDStartTimeClick();
  EXPECT_EQ(window.timeText, u"999");
}

}  // namespace
