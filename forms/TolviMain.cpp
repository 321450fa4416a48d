#include "forms/TolviMain.h"

#include <algorithm>
#include <functional>

#include "app/AppApi.h"
#include "app/ME.h"
#include "app/Ordane.h"
#include "forms/FormsApi.h"
#include "toolkit/pictures/PictureFormats.h"

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

  if (RunSettings.ExitMode == TExitMode::Hibernate && !HiberFileExists()) {
    SystemPlatform().MessageBoxW(MessageBoxOwner(), kHiberNotSetUp, kAppTitle, kMbOk);
    return;
  }
  HostHide();
  const String caption = ExitModeCaption(RunSettings.ExitMode);
  auto pictureShown = [] { return RunSettings.PictureTime > 0 && FileExists(RunSettings.PictureFile); };

  // The picture is decoded on the worker while the box waits for the user;
  // any way out but Yes drops it without waiting. This thread does not look
  // at the file before the box: a picture on a drive that does not answer
  // must not keep the box from coming up. Whether it exists is asked after
  // Yes, and decides whether the picture is shown.
  std::unique_ptr<TPicturePreload> preload;
  if (RunSettings.ShowConfirm) {
    if (RunSettings.PictureTime > 0 && !RunSettings.PictureFile.empty())
      preload = HostPreloadPicture(RunSettings.PictureFile);
    TMsgBoxOptions options;
    options.Buttons = {{kIdYes, u"はい(&Y)"}, {kIdNo, u"いいえ(&N)"}};
    options.EscapeResult = kIdNo;
    options.CenterOnScreen = true;
    const String text = u"[" + caption + u"]\r\n" + kConfirmQuestion;
    const int32_t answer =
        SystemPlatform().MessageBoxWithOptions(MessageBoxOwner(), text, kConfirmTitle,
                                               kMbYesNo | kMbIconInformation | kMbDefButton1 | kMbSetForeground, options);
    if (answer != kIdYes) return;
  }

  if (pictureShown() && HostShowPicture(RunSettings.PictureFile, RunSettings.PictureTime, std::move(preload))) return;
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

// ---- the window's handlers -----------------------------------------------------

namespace {
constexpr uint8_t kPicturesFolder = 4;  // GetSpecialFolder's index of the user's pictures
}

String FormatUptime(uint64_t milliseconds) {
  const uint64_t seconds = milliseconds / 1000;
  auto twoDigits = [](uint64_t v) { return String{char16_t(u'0' + v / 10), char16_t(u'0' + v % 10)}; };
  return IntToStr(static_cast<int64_t>(seconds / 3600)) + u":" + twoDigits(seconds / 60 % 60) + u":" +
         twoDigits(seconds % 60);
}

void TTolviMainCore::FormCreate() {
  HostUseMenuFontFace();
  HostPrepareActions();
  HostSetActionCaption(TExitMode::Sleep, ExitModeCaption(TExitMode::Sleep));
  HostSetLaterFontSizes();

  // An action from the command line: the window is never shown, and the
  // sequence has asked for the end of the program once it returns.
  if (RunSettings.ExitMode != TExitMode::None) RunExitSequence();

  TimerTimer();
  HostSetActionEnabled(TExitMode::Hibernate, HiberFileExists());

  // A settings file or a picture that fails is reported; the window is made
  // all the same, its controls showing the run settings.
  if (!RunSettings.CommandLineGiven) {
    try {
      LoadSettings();
    } catch (const Exception& error) {
      HostReportError(error);
    }
  }
  try {
    UpdatePicture();
  } catch (const Exception& error) {
    HostReportError(error);
  }
  HostSetConfirmChecked(RunSettings.ShowConfirm);
  // The up-down offers 0..999. A time outside it (a hand-edited settings
  // file, the command line) is brought into it, so that what the window
  // shows is what executing or closing writes back.
  RunSettings.PictureTime = std::clamp(RunSettings.PictureTime, kPictureTimeMin, kPictureTimeMax);
  HostSetUpDownPosition(RunSettings.PictureTime);
  HostSetTimeText(IntToStr(RunSettings.PictureTime));
}

void TTolviMainCore::FormCloseQuery(bool&) {
  RunSettings.PictureTime = HostUpDownPosition();
  // A failed save is raised: the error report shows it and the window stays.
  if (!RunSettings.CommandLineGiven) SaveSettings();
}

void TTolviMainCore::OKBtnClick() {
  RunSettings.PictureTime = HostUpDownPosition();
  // A failed save is raised before anything is carried out.
  if (!RunSettings.CommandLineGiven) SaveSettings();
  RunExitSequence();
}

void TTolviMainCore::TimerTimer() { HostSetClockText(FormatUptime(HostTickCount())); }

void TTolviMainCore::CHKConfirmClick() { RunSettings.ShowConfirm = HostConfirmChecked(); }

void TTolviMainCore::UDStartTimeClick() { HostSetTimeText(IntToStr(HostUpDownPosition())); }

void TTolviMainCore::BtnPicSelClick() {
  String fileName;
  if (!HostChoosePicture(GetSpecialFolder(kPicturesFolder), fileName)) return;
  if (!IsPictureFileName(fileName, puMainWindow)) return;
  RunSettings.PictureFile = fileName;
  UpdatePicture();
}

void TTolviMainCore::DropDstFileDrop(const TStrings& files) {
  // Reading the first name of an empty drop is the list's index error. Wine
  // reports an empty drop as one empty name: the same error.
  String first = files.Strings(0);
  if (first.empty() && files.Count() == 1) TStringList().Strings(0);
  RunSettings.PictureFile = std::move(first);
  UpdatePicture();
}

void TTolviMainCore::UpdateSelection() {
  RunSettings.ExitMode = TExitMode::None;
  for (const TExitModeInfo& info : kExitModes)
    if (HostActionChecked(info.Mode)) RunSettings.ExitMode = info.Mode;
  HostSetExecuteEnabled(RunSettings.ExitMode != TExitMode::None);
}

void TTolviMainCore::UpdatePicture() {
  const String& fileName = RunSettings.PictureFile;
  const bool picture = FileExists(fileName) && IsPictureFileName(fileName, puMainWindow);
  HostSetTimeControlsEnabled(picture);
  if (picture) HostLoadPreview(fileName);
  else HostClearPreview();
}
