#include <gtest/gtest.h>

#include "FakeAppApi.h"
#include "app/ME.h"
#include "app/Ordane.h"
#include "app/Tolvi.h"

namespace {

struct RecordingUi : StartupUi {
  std::vector<std::string>& calls;
  explicit RecordingUi(std::vector<std::string>& c) : calls(c) {}
  void InitializeApplication(const String& title) override { calls.push_back("Init(" + ToUtf8(title) + ")"); }
  void CreateMainForm(bool show) override { calls.push_back(show ? "CreateMainForm(shown)" : "CreateMainForm(hidden)"); }
  void Run() override { calls.push_back("Run"); }
};

class StartupTest : public testing::Test {
protected:
  FakeAppApi api;
  RecordingUi ui{api.calls};
  void SetUp() override { UserDataDir.clear(); }
  std::vector<std::string> Start(const char16_t* args = u"") {
    api.commandLine = String(u"Tolvi.exe ") + args;
    api.calls.clear();
    EXPECT_EQ(RunTolvi(ui), 0);
    return api.calls;
  }
};

const char* kMake[] = {"SHGetFolderPathW(26)", "CreateDirectoryW(C:\\Users\\u\\AppData\\Roaming\\Ordane)",
                       "CreateDirectoryW(C:\\Users\\u\\AppData\\Roaming\\Ordane\\Quv)",
                       "CreateMutexW(Tolvi/Ordane)", "Init(Tolvi)"};

TEST_F(StartupTest, PlainStartMakesTheFolderAndShowsTheWindow) {
  const auto calls = Start();
  std::vector<std::string> expected(std::begin(kMake), std::end(kMake));
  expected.insert(expected.end(), {"CreateMainForm(shown)", "Run"});
  EXPECT_EQ(calls, expected);
  EXPECT_EQ(UserDataDir, u"C:\\Users\\u\\AppData\\Roaming\\Ordane\\Quv\\");
  // A second run finds the folders in place and creates nothing.
  api.mutexes.clear();
  EXPECT_EQ(Start()[1], "CreateMutexW(Tolvi/Ordane)");
}

TEST_F(StartupTest, AnActionKeepsTheWindowHidden) {
  EXPECT_EQ(Start(u"/m:1").back(), "Run");
  EXPECT_EQ(api.calls[api.calls.size() - 2], "CreateMainForm(hidden)");
  EXPECT_EQ(RunSettings.ExitMode, TExitMode::PowerOff);
}

TEST_F(StartupTest, SecondInstanceEndsSilentlyBeforeAnythingElse) {
  api.mutexes.insert(u"Tolvi/Ordane");
  const auto calls = Start(u"/m:1");
  EXPECT_EQ(calls.back(), "CreateMutexW(Tolvi/Ordane)");
  EXPECT_TRUE(api.boxes.empty());
}

TEST_F(StartupTest, AnElevatedInstancesMutexEndsASecondStartToo) {
  // The mutex of an elevated instance cannot be opened: access denied, no handle.
  api.deniedMutexes.insert(u"Tolvi/Ordane");
  const auto calls = Start(u"/m:1");
  EXPECT_EQ(calls.back(), "CreateMutexW(Tolvi/Ordane)");
  EXPECT_TRUE(api.boxes.empty());
}

TEST_F(StartupTest, DataFolderThatCannotBeMadeEndsSilently) {
  api.files[u"C:\\Users\\u\\AppData\\Roaming\\Ordane"] = "a file in the way";
  const auto calls = Start();
  EXPECT_EQ(calls.back(), "CreateDirectoryW(C:\\Users\\u\\AppData\\Roaming\\Ordane\\Quv)");
  EXPECT_TRUE(api.mutexes.empty());
}

TEST_F(StartupTest, NoApplicationDataFolderFallsBackToTheDriveRoot) {
  api.appData.clear();
  api.dirs.insert(u"");
  const auto calls = Start();
  EXPECT_EQ(calls[1], "CreateDirectoryW(\\Ordane)");
  EXPECT_EQ(UserDataDir, u"\\Ordane\\Quv\\");
  EXPECT_EQ(calls.back(), "Run");
}

TEST_F(StartupTest, InvalidCommandLineShowsItsMessageAndEndsBeforeTheWindow) {
  const auto calls = Start(u"/m:1 /m:6");
  std::vector<std::string> expected(std::begin(kMake), std::end(kMake));
  expected.push_back("MessageBoxW");
  EXPECT_EQ(calls, expected);
}

TEST(Ordane, SpecialFoldersWindowsDirAndVersion) {
  FakeAppApi api;
  EXPECT_EQ(GetSpecialFolder(1), u"C:\\Users\\u\\AppData\\Roaming");
  EXPECT_EQ(GetSpecialFolder(4), u"");
  EXPECT_EQ(GetSpecialFolder(6), u"");  // outside the table: no call
  EXPECT_EQ(api.calls, (std::vector<std::string>{"SHGetFolderPathW(26)", "SHGetFolderPathW(39)"}));
  EXPECT_EQ(GetWindowsDir(), u"C:\\Windows");
  for (auto [major, vista] : {std::pair{4u, false}, {5u, false}, {6u, true}, {10u, true}}) {
    api.version.dwMajorVersion = major;
    EXPECT_EQ(IsVistaOrLater(), vista) << major;
  }
  EXPECT_EQ(api.calls.back(), "GetVersionExW(276)");
}

TEST(Ordane, CommonDataDirIsSeparate) {
  FakeAppApi api;
  UserDataDir = u"keep";
  CommonDataDir.clear();
  PrepareDataDir(u"Quv", true);
  EXPECT_EQ(api.calls.front(), "SHGetFolderPathW(35)");
  EXPECT_EQ(UserDataDir, u"keep");
  EXPECT_EQ(CommonDataDir, u"\\Ordane\\Quv\\");
}

}  // namespace
