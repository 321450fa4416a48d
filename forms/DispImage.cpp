#include "forms/DispImage.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "forms/FormsApi.h"

const String kTaskbarClass = u"Shell_TrayWnd";

namespace {

constexpr uint32_t kCloseQueryPause = 500;  // ms

}  // namespace

uint32_t PictureTimerInterval(int32_t seconds) {
  const int64_t milliseconds = static_cast<int64_t>(seconds) * 1000;
  return static_cast<uint32_t>(std::clamp<int64_t>(milliseconds, 1, kUserTimerMaximum));
}

// ---- TPicturePreload -----------------------------------------------------------

struct TPicturePreload::TState {
  TDecoder Decode;
  bool Started = true;  // false where no thread could be started
  std::mutex Lock;
  std::condition_variable Finished;
  bool Done = false;
  TImage32 Picture;
  std::exception_ptr Error;

  void Run() {
    TImage32 picture;
    std::exception_ptr error;
    try {
      picture = Decode();
    } catch (...) {
      error = std::current_exception();
    }
    const std::lock_guard<std::mutex> hold(Lock);
    Picture = std::move(picture);
    Error = error;
    Done = true;
    Finished.notify_all();
  }
};

TPicturePreload::TPicturePreload(String fileName, TPictureSize target, TDecoder decode)
    : FFileName(std::move(fileName)), FTarget(target), FState(std::make_shared<TState>()) {
  FState->Decode = std::move(decode);
  try {
    std::thread([state = FState] { state->Run(); }).detach();
  } catch (const std::system_error&) {
    FState->Started = false;  // Take decodes
  }
}

// The worker, if still at work, keeps the state alive on its own.
TPicturePreload::~TPicturePreload() = default;

bool TPicturePreload::Serves(const String& fileName, TPictureSize target) const {
  return fileName == FFileName && target.Width == FTarget.Width && target.Height == FTarget.Height;
}

TImage32 TPicturePreload::Take() {
  if (!FState->Started) {
    FState->Started = true;
    FState->Run();
  }
  std::unique_lock<std::mutex> hold(FState->Lock);
  FState->Finished.wait(hold, [this] { return FState->Done; });
  if (FState->Error) std::rethrow_exception(std::exchange(FState->Error, nullptr));
  return std::move(FState->Picture);
}

// ---- TDispImageCore ------------------------------------------------------------

void TDispImageCore::FormCreate() {
  // The size comes first, so that a picture that fails to load leaves it set.
  FormsApi& api = FormsPlatform();
  const int32_t width = api.GetSystemMetrics(kSmCxScreen);
  const int32_t height = api.GetSystemMetrics(kSmCyScreen);
  HostSetSize(width, height);
  HostLoadPicture(FPictureFile);
}

void TDispImageCore::FormActivate() {
  HostStartTimer(PictureTimerInterval(FPictureTime));
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
