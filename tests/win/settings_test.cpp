// Saving the settings file with the real platform: an existing file is
// replaced in place and keeps its attributes (Wine's ReplaceFileW does not
// carry them over by itself).
#include <gtest/gtest.h>

#include "app/ME.h"
#include "app/Ordane.h"
#include "toolkit/Win32.h"

namespace {

TEST(SettingsWin, SaveOverAHiddenFileKeepsItHiddenAndLeavesNoTemporaryFile) {
  wchar_t base[MAX_PATH];
  ::GetTempPathW(MAX_PATH, base);
  const String dir = S(base) + u"tolvi-settings-" + IntToStr(::GetCurrentProcessId()) + u"\\";
  ASSERT_TRUE(::CreateDirectoryW(W(dir), nullptr));
  const String saved = UserDataDir;
  UserDataDir = dir;
  const String ini = SettingsFilePath();
  {
    TFileHandle file(::CreateFileW(W(ini), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    ::WriteFile(file.Get(), "\xFF\xFE[\0F\0]\0", 8, &written, nullptr);
  }
  ASSERT_TRUE(::SetFileAttributesW(W(ini), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));

  RunSettings = TRunSettings{};
  RunSettings.PictureFile = u"C:\\pics\\end.jpg";
  EXPECT_NO_THROW(SaveSettings());
  EXPECT_EQ(::GetFileAttributesW(W(ini)) & FILE_ATTRIBUTE_HIDDEN, DWORD{FILE_ATTRIBUTE_HIDDEN});
  EXPECT_EQ(::GetFileAttributesW(W(ini + u".tmp")), INVALID_FILE_ATTRIBUTES);
  RunSettings = TRunSettings{};
  LoadSettings();
  EXPECT_EQ(RunSettings.PictureFile, u"C:\\pics\\end.jpg");

  ::SetFileAttributesW(W(ini), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileW(W(ini));
  ::RemoveDirectoryW(W(dir));
  UserDataDir = saved;
}

}  // namespace
