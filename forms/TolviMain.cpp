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

String ExitModeCaption(TExitMode mode) { return ExitModeCaption(mode, IsVistaOrLater()); }

bool HiberFileExists() {
  const String drive = ExtractFileDrive(GetWindowsDir());
  // Without a drive the name would be looked up on the current drive instead.
  if (drive.empty()) return false;
  return FileExists(drive + kHiberFileName);
}

void TTolviMainCore::RunExitSequence() {
  TTerminateGuard terminate([this] { HostTerminate(); });
  FormsApi& api = FormsPlatform();

  if (RunSettings.ExitMode == TExitMode::Hibernate && !HiberFileExists()) {
    SystemPlatform().MessageBoxW(kHiberNotSetUp, kAppTitle, kMbOk);
    return;
  }
  HostHide();
  const String caption = ExitModeCaption(RunSettings.ExitMode);

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

  const bool picture = RunSettings.PictureTime > 0 && FileExists(RunSettings.PictureFile);
  if (picture && HostShowPicture(RunSettings.PictureFile, RunSettings.PictureTime)) return;
  PerformExitMode();
}

void TTolviMainCore::PerformExitMode() {
  try {
    ::PerformExitMode(HostExitWin(), RunSettings.ExitMode);
  } catch (...) {
    // The engine's message is never shown: the program just ends.
    HostTerminate();
  }
}
