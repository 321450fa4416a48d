// The exit sequence of the main window with fakes at every seam: the files and
// boxes (FakeFormsApi), the engine's platform (FakeExitApi) and the window's
// own parts (the Host hooks of TTestMain). Everything that matters for order
// is written into one record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <new>

#include "FakeAppApi.h"
#include "FakeExitApi.h"
#include "FakeFormsApi.h"
#include "FakeMainWindow.h"
#include "app/ME.h"
#include "forms/TolviMain.h"

namespace {

// The engine's platform, its exit and power requests mirrored into the record.
struct RecordedExitApi : FakeExitApi {
  std::vector<std::string>& record;
  bool exitThrows = false;
  explicit RecordedExitApi(std::vector<std::string>& r) : record(r) {}
  int32_t ExitWindowsEx(uint32_t flags, uint32_t reason) override {
    record.push_back("ExitWindowsEx(" + Hex(flags) + "," + Hex(reason) + ")");
    if (exitThrows) throw std::bad_alloc();
    return FakeExitApi::ExitWindowsEx(flags, reason);
  }
  int32_t SetSystemPowerState(int32_t suspend, int32_t force) override {
    record.push_back("SetSystemPowerState(" + std::to_string(suspend) + "," + std::to_string(force) + ")");
    return FakeExitApi::SetSystemPowerState(suspend, force);
  }
};

class TTestMain : public TFakeWindowParts {
public:
  TTestMain(std::vector<std::string>& r, TExitWin& e) : record(r), engine(e) {}
  std::vector<std::string>& record;
  TExitWin& engine;
  std::function<bool()> picture;  // what the picture window does; true: cancelled
  String pictureFile;               // what the picture window was given
  int32_t pictureTime = 0;
  const TPicturePreload* preloaded = nullptr;   // the one started, if any (gone after the run)
  String preloadedFile;
  const TPicturePreload* handedOver = nullptr;  // what the picture window was given
  int takenWidth = 0;

protected:
  void HostHide() override { record.push_back("Hide"); }
  std::unique_ptr<TPicturePreload> HostPreloadPicture(const String& fileName) override {
    record.push_back("Preload");
    auto preload = std::make_unique<TPicturePreload>(fileName, TPictureSize{}, [] { return TImage32(2, 1); });
    preloaded = preload.get();
    preloadedFile = fileName;
    return preload;
  }
  bool HostShowPicture(const String& fileName, int32_t seconds, std::unique_ptr<TPicturePreload> preload) override {
    record.push_back("ShowPicture");
    pictureFile = fileName;
    pictureTime = seconds;
    handedOver = preload.get();
    if (preload) takenWidth = preload->Take().Width();
    return picture && picture();
  }
  TExitWin& HostExitWin() override { return engine; }
  void HostTerminate() noexcept override { record.push_back("Terminate"); }
};

const String kPicture = u"C:\\Pictures\\End.jpg";

// The system's calls of the sequence, on NT 6.1 as on Windows 7.
struct Windows7FormsApi : FakeFormsApi {
  Windows7FormsApi() {
    version.dwPlatformId = 2;
    version.dwMajorVersion = 6;
    version.dwMinorVersion = 1;
  }
};

class ExitSequenceTest : public testing::Test {
protected:
  RecordedExitApi exitApi{forms.calls};  // first: the system's calls are the others'
  FakeAppApi app;
  Windows7FormsApi forms;
  TExitWin engine{nullptr};
  TTestMain main{forms.calls, engine};

  void SetUp() override {
    RunSettings = TRunSettings{};
    RunSettings.ExitMode = TExitMode::PowerOff;
    RunSettings.PictureFile.clear();
    forms.AddFile(u"C:\\Hiberfil.sys");
  }

  // The record without the file queries, which have tests of their own.
  std::vector<std::string> Run() {
    forms.calls.clear();
    main.RunExitSequence();
    std::vector<std::string> out;
    std::copy_if(forms.calls.begin(), forms.calls.end(), std::back_inserter(out), [](const std::string& c) {
      return c.rfind("GetFileAttributesW", 0) != 0 && c.rfind("FindFirstFileW", 0) != 0 &&
             c.rfind("FindClose", 0) != 0;
    });
    return out;
  }
};

using Calls = std::vector<std::string>;
const std::string kAskShutdown = "MessageBoxW([シャットダウン]\r\nよろしいですか？)";

TEST_F(ExitSequenceTest, YesCarriesOutTheActionThenEndsTheProgram) {
  EXPECT_EQ(Run(), (Calls{"Hide", kAskShutdown, "ExitWindowsEx(0x9,0x0)", "Terminate"}));
}

TEST_F(ExitSequenceTest, NoOrEscapeEndsWithoutAction) {
  forms.answers = {kIdNo};
  EXPECT_EQ(Run(), (Calls{"Hide", kAskShutdown, "Terminate"}));
  // Anything but Yes counts as No.
  forms.answers = {0};
  EXPECT_EQ(Run(), (Calls{"Hide", kAskShutdown, "Terminate"}));
}

TEST_F(ExitSequenceTest, ConfirmationBoxCarriesItsOwnTextsAndBehaviour) {
  RunSettings.ExitMode = TExitMode::LogOff;
  Run();
  ASSERT_EQ(forms.boxes.size(), 1u);
  const auto& box = forms.boxes[0];
  EXPECT_EQ(box.text, u"[ログオフ]\r\nよろしいですか？");
  EXPECT_EQ(box.caption, u"情報");
  EXPECT_TRUE(box.custom);
  EXPECT_EQ(box.type & 0xF, kMbYesNo);
  EXPECT_EQ(box.type & 0xF0, kMbIconInformation);
  EXPECT_EQ(box.type & 0xF00, 0u) << "Yes is the default button";
  ASSERT_EQ(box.options.Buttons.size(), 2u);
  EXPECT_EQ(box.options.Buttons[0].Id, kIdYes);
  EXPECT_EQ(box.options.Buttons[0].Caption, u"はい(&Y)");
  EXPECT_EQ(box.options.Buttons[1].Id, kIdNo);
  EXPECT_EQ(box.options.Buttons[1].Caption, u"いいえ(&N)");
  EXPECT_EQ(box.options.EscapeResult, kIdNo);
  EXPECT_TRUE(box.options.CenterOnScreen);
}

TEST_F(ExitSequenceTest, BoxesBelongToTheWindowTheApplicationNames) {
  SetMessageBoxOwner([] { return uintptr_t{0x4A0}; });
  Run();
  forms.files.erase(u"C:\\Hiberfil.sys");
  RunSettings.ExitMode = TExitMode::Hibernate;
  Run();
  SetMessageBoxOwner(nullptr);
  Run();
  ASSERT_EQ(forms.boxes.size(), 3u);
  EXPECT_TRUE(forms.boxes[0].custom);
  EXPECT_EQ(forms.boxes[0].owner, 0x4A0u);
  EXPECT_EQ(forms.boxes[1].owner, 0x4A0u);
  EXPECT_EQ(forms.boxes[2].owner, 0u) << "none named: the box has no owner";
}

TEST_F(ExitSequenceTest, WithoutConfirmationTheActionFollowsAtOnce) {
  RunSettings.ShowConfirm = false;
  RunSettings.ExitMode = TExitMode::LogOff;
  EXPECT_EQ(Run(), (Calls{"Hide", "ExitWindowsEx(0x0,0x0)", "Terminate"}));
  EXPECT_TRUE(forms.boxes.empty());
}

TEST_F(ExitSequenceTest, PictureComesBetweenConfirmationAndActionWithItsFileAndTime) {
  forms.AddFile(kPicture);
  RunSettings.PictureFile = kPicture;
  RunSettings.PictureTime = 1;
  EXPECT_EQ(Run(), (Calls{"Hide", "Preload", kAskShutdown, "ShowPicture", "ExitWindowsEx(0x9,0x0)", "Terminate"}));
  EXPECT_EQ(main.pictureFile, kPicture);
  EXPECT_EQ(main.pictureTime, 1);
  // The picture decoded while the box waited is the one the window takes.
  ASSERT_NE(main.preloaded, nullptr);
  EXPECT_EQ(main.handedOver, main.preloaded);
  EXPECT_EQ(main.preloadedFile, kPicture);
  EXPECT_EQ(main.takenWidth, 2);
}

TEST_F(ExitSequenceTest, NoPreloadWhereNoBoxWaitsOrNoPictureFollows) {
  forms.AddFile(kPicture);
  RunSettings.PictureFile = kPicture;
  RunSettings.PictureTime = 1;

  // Without the box the window decodes the picture itself, as it is shown.
  RunSettings.ShowConfirm = false;
  EXPECT_EQ(Run(), (Calls{"Hide", "ShowPicture", "ExitWindowsEx(0x9,0x0)", "Terminate"}));
  EXPECT_EQ(main.handedOver, nullptr);

  // No: nothing shown, the decode dropped without waiting for it.
  RunSettings.ShowConfirm = true;
  forms.answers = {kIdNo};
  EXPECT_EQ(Run(), (Calls{"Hide", "Preload", kAskShutdown, "Terminate"}));

  // The hibernation notice comes before anything is started.
  forms.files.erase(u"C:\\Hiberfil.sys");
  RunSettings.ExitMode = TExitMode::Hibernate;
  EXPECT_EQ(Run(), (Calls{"MessageBoxW(OSで休止状態が設定されていません。)", "Terminate"}));
}

TEST_F(ExitSequenceTest, CancelledPictureEndsWithoutAction) {
  forms.AddFile(kPicture);
  RunSettings.PictureFile = kPicture;
  main.picture = [] { return true; };
  EXPECT_EQ(Run(), (Calls{"Hide", "Preload", kAskShutdown, "ShowPicture", "Terminate"}));
}

TEST_F(ExitSequenceTest, NoPictureWindowWithoutAFileOrWithoutTime) {
  // A name with a time is handed to the worker unlooked-at; only after Yes
  // does the test for the file decide that no picture is shown.
  struct Case {
    const char* name;
    String file;
    int32_t time;
    bool preloaded;
  } cases[] = {
      {"time 0", kPicture, 0, false},
      {"negative time", kPicture, -5, false},
      {"no file named", u"", 3, false},
      {"missing file", u"C:\\Pictures\\Gone.jpg", 3, true},
      {"a folder", u"C:\\Pictures", 3, true},
      {"a wildcard", u"C:\\Pictures\\*.jpg", 3, true},
  };
  forms.AddFile(kPicture);
  forms.AddFolder(u"C:\\Pictures");
  for (const Case& c : cases) {
    RunSettings.PictureFile = c.file;
    RunSettings.PictureTime = c.time;
    Calls expected{"Hide", kAskShutdown, "ExitWindowsEx(0x9,0x0)", "Terminate"};
    if (c.preloaded) expected.insert(expected.begin() + 1, "Preload");
    EXPECT_EQ(Run(), expected) << c.name;
  }
}

TEST_F(ExitSequenceTest, ThePicturesFileIsLookedAtOnlyAfterYes) {
  forms.AddFile(kPicture);
  RunSettings.PictureFile = kPicture;
  RunSettings.PictureTime = 1;
  const std::string query = "GetFileAttributesW(" + ToUtf8(kPicture) + ")";
  forms.calls.clear();
  main.RunExitSequence();
  const auto box = std::find(forms.calls.begin(), forms.calls.end(), kAskShutdown);
  const auto looked = std::find(forms.calls.begin(), forms.calls.end(), query);
  ASSERT_NE(looked, forms.calls.end());
  EXPECT_LT(box, looked) << "the box comes first";

  // After No the file is never looked at by this thread.
  forms.answers = {kIdNo};
  forms.calls.clear();
  main.RunExitSequence();
  EXPECT_EQ(std::count(forms.calls.begin(), forms.calls.end(), query), 0);
}

TEST_F(ExitSequenceTest, HibernationWithoutItsFileShowsTheNoticeAndHidesNothing) {
  forms.files.erase(u"C:\\Hiberfil.sys");
  RunSettings.ExitMode = TExitMode::Hibernate;
  EXPECT_EQ(Run(), (Calls{"MessageBoxW(OSで休止状態が設定されていません。)", "Terminate"}));
  ASSERT_EQ(forms.boxes.size(), 1u);
  EXPECT_FALSE(forms.boxes[0].custom);
  EXPECT_EQ(forms.boxes[0].caption, u"Tolvi");
  EXPECT_EQ(forms.boxes[0].type, kMbOk);
}

TEST_F(ExitSequenceTest, HibernationWithItsFileGoesAhead) {
  RunSettings.ExitMode = TExitMode::Hibernate;
  RunSettings.ShowConfirm = false;
  EXPECT_EQ(Run(), (Calls{"Hide", "SetSystemPowerState(0,0)", "Terminate"}));
}

TEST_F(ExitSequenceTest, EachActionCallsItsOwnOperation) {
  RunSettings.ShowConfirm = false;
  const std::pair<int32_t, Calls> cases[] = {
      {1, {"ExitWindowsEx(0x9,0x0)"}}, {2, {"ExitWindowsEx(0x2,0x0)"}}, {3, {"ExitWindowsEx(0x0,0x0)"}},
      {4, {"SetSystemPowerState(-1,0)"}}, {5, {"SetSystemPowerState(0,0)"}}, {0, {}},
  };
  for (const auto& [mode, engineCalls] : cases) {
    RunSettings.ExitMode = ExitModeFromNumber(mode).value_or(TExitMode::None);
    forms.calls.clear();
    main.PerformExitMode();
    EXPECT_EQ(forms.calls, engineCalls) << "ExitMode " << mode;
  }
}

TEST_F(ExitSequenceTest, EngineFailureEndsSilently) {
  RunSettings.ShowConfirm = false;
  exitApi.openTokenResult = 0;  // the privilege cannot be had
  const Calls calls = Run();
  EXPECT_EQ(calls, (Calls{"Hide", "Terminate", "Terminate"}));
  EXPECT_TRUE(forms.boxes.empty());
}

TEST_F(ExitSequenceTest, AnyOtherExceptionFromTheEngineEndsSilentlyToo) {
  RunSettings.ShowConfirm = false;
  exitApi.exitThrows = true;
  EXPECT_EQ(Run(), (Calls{"Hide", "ExitWindowsEx(0x9,0x0)", "Terminate", "Terminate"}));
  EXPECT_TRUE(forms.boxes.empty());
}

TEST_F(ExitSequenceTest, AFailureOutsideTheEngineStillEndsTheProgramAndActsNot) {
  forms.AddFile(kPicture);
  RunSettings.PictureFile = kPicture;
  main.picture = []() -> bool { throw Exception(u"ウィンドウを作成できません。"); };
  forms.calls.clear();
  EXPECT_THROW(main.RunExitSequence(), Exception);
  EXPECT_EQ(forms.calls.back(), "Terminate");
  EXPECT_EQ(std::count(forms.calls.begin(), forms.calls.end(), "ExitWindowsEx(0x9,0x0)"), 0);
}

TEST_F(ExitSequenceTest, StandbyIsTheFourthCaptionBeforeVista) {
  RunSettings.ExitMode = TExitMode::Sleep;
  forms.version.dwMajorVersion = 5;
  forms.answers = {kIdNo};
  EXPECT_EQ(Run()[1], "MessageBoxW([スタンバイ]\r\nよろしいですか？)");
  forms.version.dwMajorVersion = 6;
  forms.answers = {kIdNo};
  EXPECT_EQ(Run()[1], "MessageBoxW([スリープ]\r\nよろしいですか？)");
  EXPECT_EQ(ExitModeCaption(TExitMode::None), u"");
  EXPECT_EQ(ExitModeCaption(TExitMode::Reboot), u"再起動");
  // Numbers outside 1..5 name no action.
  for (const int32_t number : {0, 6, -1}) EXPECT_FALSE(ExitModeFromNumber(number)) << number;
}

// ---- the file tests ------------------------------------------------------------

struct HiberCase {
  const char* name;
  String windowsDir;
  std::function<void(FakeFormsApi&)> files;
  bool exists;
  Calls queries;
};

class HiberFileTest : public testing::TestWithParam<HiberCase> {};

TEST_P(HiberFileTest, LooksAtTheRootOfTheWindowsDrive) {
  const HiberCase& c = GetParam();
  FakeAppApi app;
  FakeFormsApi forms;
  app.windowsDir = c.windowsDir;
  if (c.files) c.files(forms);
  EXPECT_EQ(HiberFileExists(), c.exists);
  EXPECT_EQ(forms.calls, c.queries);
  EXPECT_TRUE(forms.openSearches.empty()) << "a search handle was left open";
}

// Long-path names name files, not patterns: the wildcard guard applies only
// where a directory search would read the name as one.
TEST(FileExists, LongPathNamesAreNamesAndOnlyTheSearchRefusesWildcards) {
  const struct {
    const char* name;
    String file;
    uint32_t attributeError;  // 0: the query answers
    bool exists;
    bool searched;
  } cases[] = {
      {"long path", u"\\\\?\\C:\\pics\\End.jpg", 0, true, false},
      {"long UNC path", u"\\\\?\\UNC\\server\\share\\End.jpg", 0, true, false},
      {"long path held open", u"\\\\?\\C:\\pics\\End.jpg", 32, true, true},
      {"long path, a wildcard held open", u"\\\\?\\C:\\pics\\E?d.jpg", 32, false, false},
      {"a wildcard held open", u"C:\\pics\\*.jpg", 32, false, false},
      {"plain name held open", u"C:\\pics\\End.jpg", 32, true, true},
  };
  for (const auto& c : cases) {
    FakeFormsApi forms;
    forms.AddFile(c.file);
    if (c.attributeError) forms.files[c.file].attributeError = c.attributeError;
    EXPECT_EQ(FileExists(c.file), c.exists) << c.name;
    const bool searched =
        std::any_of(forms.calls.begin(), forms.calls.end(), [](const std::string& call) { return call.rfind("FindFirstFileW", 0) == 0; });
    EXPECT_EQ(searched, c.searched) << c.name;
    EXPECT_TRUE(forms.openSearches.empty()) << c.name;
  }
  FakeFormsApi forms;
  EXPECT_FALSE(FileExists(u"")) << "no name";
  EXPECT_TRUE(forms.calls.empty());
}

const char* kQueryC = "GetFileAttributesW(C:\\Hiberfil.sys)";
const char* kSearchC = "FindFirstFileW(C:\\Hiberfil.sys)";

INSTANTIATE_TEST_SUITE_P(
    Cases, HiberFileTest,
    testing::Values(
        HiberCase{"present", u"C:\\Windows", [](FakeFormsApi& f) { f.AddFile(u"C:\\Hiberfil.sys"); }, true, {kQueryC}},
        HiberCase{"absent", u"C:\\Windows", nullptr, false, {kQueryC}},
        HiberCase{"a folder of that name", u"C:\\Windows", [](FakeFormsApi& f) { f.AddFolder(u"C:\\Hiberfil.sys"); },
                  false, {kQueryC}},
        HiberCase{"another drive", u"d:\\WINNT", [](FakeFormsApi& f) { f.AddFile(u"d:\\Hiberfil.sys"); }, true,
                  {"GetFileAttributesW(d:\\Hiberfil.sys)"}},
        HiberCase{"network share", u"\\\\server\\share\\Windows",
                  [](FakeFormsApi& f) { f.AddFile(u"\\\\server\\share\\Hiberfil.sys"); }, true,
                  {"GetFileAttributesW(\\\\server\\share\\Hiberfil.sys)"}},
        HiberCase{"share without a folder", u"\\\\server\\share", nullptr, false,
                  {"GetFileAttributesW(\\\\server\\share\\Hiberfil.sys)"}},
        HiberCase{"held open by the system", u"C:\\Windows",
                  [](FakeFormsApi& f) { f.files[u"C:\\Hiberfil.sys"].attributeError = 32; }, true,
                  {kQueryC, kSearchC, "FindClose(0x5ea)"}},
        HiberCase{"held-open folder", u"C:\\Windows",
                  [](FakeFormsApi& f) {
                    f.AddFolder(u"C:\\Hiberfil.sys");
                    f.files[u"C:\\Hiberfil.sys"].attributeError = 5;
                  },
                  false, {kQueryC, kSearchC, "FindClose(0x5ea)"}},
        HiberCase{"query refused, search finds nothing", u"C:\\Windows",
                  [](FakeFormsApi& f) { f.missingError = 5; }, false, {kQueryC, kSearchC}},
        HiberCase{"path not found", u"C:\\Windows", [](FakeFormsApi& f) { f.missingError = 3; }, false, {kQueryC}},
        HiberCase{"invalid name", u"C:\\Windows", [](FakeFormsApi& f) { f.missingError = 123; }, false, {kQueryC}},
        HiberCase{"no Windows directory", u"", nullptr, false, {}},
        HiberCase{"no drive in it", u"Windows", nullptr, false, {}}),
    [](const testing::TestParamInfo<HiberCase>& info) {
      std::string name = info.param.name;
      std::replace_if(name.begin(), name.end(), [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); }, '_');
      return name;
    });

}  // namespace
