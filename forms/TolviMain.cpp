#include "forms/TolviMain.h"

#include <functional>

#include "app/AppApi.h"
#include "app/ME.h"
#include "app/Ordane.h"
#include "forms/FormsApi.h"

const String kHiberNotSetUp = u"OSで休止状態が設定されていません。";
const String kConfirmQuestion = u"よろしいですか？";
const String kConfirmTitle = u"情報";
const String kHiberFileName = u"\\Hiberfil.sys";

const String kExitModeCaptions[6] = {u"", u"シャットダウン", u"再起動", u"ログオフ", u"スリープ", u"休止状態"};
const String kStandbyCaption = u"スタンバイ";

namespace {

bool IsPathDelimiter(char16_t c) { return c == u'\\' || c == u'/'; }

// "C:" of "C:\Windows"; "\\server\share" of "\\server\share\Windows"; empty
// when the path has neither.
String ExtractFileDrive(StringView path) {
  if (path.size() >= 2 && path[1] == u':') return String(path.substr(0, 2));
  if (path.size() < 2 || !IsPathDelimiter(path[0]) || !IsPathDelimiter(path[1])) return String();
  size_t end = 2;
  for (int delimiters = 0; end < path.size(); ++end) {
    if (IsPathDelimiter(path[end]) && ++delimiters == 2) break;
  }
  return String(path.substr(0, end));
}

// Closes a search handle on every way out.
class TFindGuard {
public:
  explicit TFindGuard(uintptr_t handle) : FHandle(handle) {}
  ~TFindGuard() {
    if (FHandle != kInvalidHandleValue) FormsPlatform().FindClose(FHandle);
  }
  TFindGuard(const TFindGuard&) = delete;
  TFindGuard& operator=(const TFindGuard&) = delete;

private:
  uintptr_t FHandle;
};

// Requests the end of the program when the sequence leaves, whichever way.
class TTerminateGuard {
public:
  explicit TTerminateGuard(std::function<void()> terminate) : FTerminate(std::move(terminate)) {}
  ~TTerminateGuard() { FTerminate(); }
  TTerminateGuard(const TTerminateGuard&) = delete;
  TTerminateGuard& operator=(const TTerminateGuard&) = delete;

private:
  std::function<void()> FTerminate;
};

}  // namespace

bool FileExists(const String& fileName) {
  // A search would take wildcards as patterns and find some other file.
  if (fileName.empty() || fileName.find_first_of(u"*?") != String::npos) return false;
  FormsApi& api = FormsPlatform();
  const uint32_t attributes = api.GetFileAttributesW(fileName);
  if (attributes != kInvalidFileAttributes) return (attributes & kFileAttributeDirectory) == 0;
  const uint32_t error = api.GetLastError();
  if (error == kErrorFileNotFound || error == kErrorPathNotFound || error == kErrorInvalidName) return false;
  // The attribute query fails on a file that is held open without sharing;
  // a directory search still lists it.
  TFindData data;
  const uintptr_t search = api.FindFirstFileW(fileName, data);
  if (search == kInvalidHandleValue) return false;
  TFindGuard guard(search);
  return (data.FileAttributes & kFileAttributeDirectory) == 0;
}

String ExitModeCaption(int32_t mode) {
  if (mode < 1 || mode > 5) return String();
  if (mode == 4 && !IsVistaOrLater()) return kStandbyCaption;
  return kExitModeCaptions[mode];
}

bool HiberFileExists() {
  const String drive = ExtractFileDrive(GetWindowsDir());
  // Without a drive the name would be looked up on the current drive instead.
  if (drive.empty()) return false;
  return FileExists(drive + kHiberFileName);
}

void TTolviMainCore::RunExitSequence() {
  TTerminateGuard terminate([this] { HostTerminate(); });
  FormsApi& api = FormsPlatform();

  if (RunSettings.ExitMode == 5 && !HiberFileExists()) {
    api.MessageBoxW(kHiberNotSetUp, kAppTitle, kMbOk);
    return;
  }
  HostHide();
  const String caption = HostExitModeCaption(RunSettings.ExitMode);

  if (RunSettings.ShowConfirm) {
    TBoxSetup setup;
    setup.Buttons = {{kIdYes, u"はい(&Y)"}, {kIdNo, u"いいえ(&N)"}};
    setup.EscapeResult = kIdNo;
    setup.CenterOnScreen = true;
    const String text = u"[" + caption + u"]\r\n" + kConfirmQuestion;
    const int32_t answer = api.MessageBoxW(text, kConfirmTitle,
                                           kMbYesNo | kMbIconInformation | kMbDefButton1 | kMbSetForeground, setup);
    if (answer != kIdYes) return;
  }

  FCancel = false;
  if (RunSettings.PictureTime > 0 && FileExists(RunSettings.PictureFile)) HostShowPicture();
  if (!FCancel) PerformExitMode();
}

void TTolviMainCore::PerformExitMode() {
  try {
    TExitWin& engine = HostExitWin();
    switch (RunSettings.ExitMode) {
      case 1: engine.PowerOffWindows(); break;
      case 2: engine.RebootWindows(); break;
      case 3: engine.LogOffWindows(); break;
      case 4: engine.Suspend(); break;
      case 5: engine.Hibernate(); break;
      default: break;
    }
  } catch (...) {
    // The engine's message is never shown: the program just ends.
    HostTerminate();
  }
}
