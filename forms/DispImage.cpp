#include "forms/DispImage.h"

#include <algorithm>

#include "app/AppApi.h"
#include "app/ME.h"
#include "forms/FormsApi.h"

#ifdef _WIN32
#include "toolkit/pictures/PlatformPicture.h"
#endif

const String kTaskbarClass = u"Shell_TrayWnd";

namespace {

constexpr uint32_t kCloseQueryPause = 500;  // ms
constexpr uint32_t kErrorFileTooLarge = 223;

bool IsAnyOf(StringView extension, std::initializer_list<StringView> names) {
  return std::any_of(names.begin(), names.end(), [&](StringView name) { return SameText(extension, name); });
}

std::string ReadPictureBytes(const String& fileName) {
  FormsApi& api = FormsPlatform();
  std::string bytes;
  uint32_t error = 0;
  if (api.ReadFileBytes(fileName, kMaxPictureFileSize, bytes, error)) return bytes;
  String reason = error == kErrorFileTooLarge
                      ? Format(u"%s MB を超えるファイルは扱えません", {IntToStr(kMaxPictureFileSize >> 20)})
                      : Trim(api.SysErrorMessage(error));
  if (reason.empty()) reason = u"エラー " + IntToStr(error);
  throw Exception(Format(u"画像ファイル「%s」を読み込めません。(%s)", {fileName, reason}));
}

}  // namespace

uint32_t PictureTimerInterval(int32_t seconds) {
  const int64_t milliseconds = static_cast<int64_t>(seconds) * 1000;
  return static_cast<uint32_t>(std::clamp<int64_t>(milliseconds, 1, kUserTimerMaximum));
}

String PictureExtension(StringView fileName) {
  const size_t dot = fileName.find_last_of(u".\\/:");
  if (dot == StringView::npos || fileName[dot] != u'.') return String();
  return String(fileName.substr(dot + 1));
}

TImage32 DecodePictureFile(const String& fileName, TPictureSize target) {
  const String extension = PictureExtension(fileName);
  if (IsAnyOf(extension, {u"bmp", u"jpg", u"jpeg", u"png"}))
    return DecodePicture(ReadPictureBytes(fileName), extension, target);
#ifdef _WIN32
  if (IsAnyOf(extension, {u"ico", u"wmf", u"emf", u"tif", u"tiff"}))
    return DecodePlatformPicture(ReadPictureBytes(fileName), extension, target);
#endif
  throw Exception(Format(u"拡張子 .%s の画像形式は処理できません", {extension}));
}

// ---- TDispImageCore ------------------------------------------------------------

void TDispImageCore::FormCreate() {
  // The size comes first, so that a picture that fails to load leaves it set.
  FormsApi& api = FormsPlatform();
  const int32_t width = api.GetSystemMetrics(kSmCxScreen);
  const int32_t height = api.GetSystemMetrics(kSmCyScreen);
  HostSetSize(width, height);
  HostLoadPicture(RunSettings.PictureFile);
}

void TDispImageCore::FormActivate() {
  HostStartTimer(PictureTimerInterval(RunSettings.PictureTime));
  HideTaskbar();
}

void TDispImageCore::Timer1Timer() {
  ShowTaskbar();
  HostClose();
}

void TDispImageCore::Image1MouseDown(TMouseButton button) {
  ShowTaskbar();
  if (button == mbLeft) {
    HostClose();
  } else if (button == mbRight) {
    HostCancel();
    HostClose();
  }
}

void TDispImageCore::FormKeyPress(char16_t& key) {
  ShowTaskbar();
  if (key == u'\r') {
    HostClose();
  } else if (key == u'\x1B') {
    HostCancel();
    HostClose();
  }
}

void TDispImageCore::FormCloseQuery(bool& canClose) {
  FormsPlatform().Sleep(kCloseQueryPause);
  canClose = true;
}

void TDispImageCore::FormDeactivate() {
  // Only the end of the modal run destroys the window: destroying it while
  // its run is still on would pull the window out from under that loop.
  if (!HostInModalRun()) RequestRelease();
}

void TDispImageCore::FormHide() {
  if (HostInModalRun()) return;
  RestoreTaskbar();
  if (!HostActive()) RequestRelease();
}

void TDispImageCore::RestoreTaskbar() {
  if (FTaskbarHidden) ShowTaskbar();
}

// The taskbar is looked up each time: it may have been restarted meanwhile.
void TDispImageCore::ShowTaskbar() {
  FormsApi& api = FormsPlatform();
  if (const uintptr_t taskbar = api.FindWindowW(kTaskbarClass, nullptr)) api.ShowWindow(taskbar, kSwShow);
  FTaskbarHidden = false;
}

void TDispImageCore::HideTaskbar() {
  FormsApi& api = FormsPlatform();
  if (const uintptr_t taskbar = api.FindWindowW(kTaskbarClass, nullptr)) {
    api.ShowWindow(taskbar, kSwHide);
    FTaskbarHidden = true;
  }
}

void TDispImageCore::RequestRelease() {
  if (FReleaseRequested) return;
  FReleaseRequested = true;
  HostRelease();
}
