#include "forms/DispImage.h"

#include <algorithm>
#include <exception>

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

// What the worker and the preload share; the worker's end (Join) orders its
// writes before the preload's reads.
struct TPicturePreload::TState {
  TDecoder Decode;
  TImage32 Picture;
  std::exception_ptr Error;

  void Run() {
    try {
      Picture = Decode();
    } catch (...) {
      Error = std::current_exception();
    }
  }
};

TPicturePreload::TPicturePreload(String fileName, TPictureSize target, TDecoder decode)
    : FFileName(std::move(fileName)), FTarget(target), FState(std::make_shared<TState>()) {
  FState->Decode = std::move(decode);
  FWorker = StartWorkerThread([state = FState] { state->Run(); });
}

// The worker, if still at work, keeps the state alive on its own.
TPicturePreload::~TPicturePreload() = default;

bool TPicturePreload::Serves(const String& fileName, TPictureSize target) const {
  return fileName == FFileName && target.Width == FTarget.Width && target.Height == FTarget.Height;
}

TImage32 TPicturePreload::Take() {
  if (!FDone) {
    FDone = true;
    if (FWorker) {
      FWorker->Join();
      FWorker.reset();
    } else {
      FState->Run();  // no worker: decoded here
    }
  }
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
  HostLoadPicture(FPictureFile, {width, height});
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
  SystemPlatform().Sleep(kCloseQueryPause);
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
  if (const uintptr_t taskbar = SystemPlatform().FindWindowW(kTaskbarClass, nullptr))
    FormsPlatform().ShowWindow(taskbar, kSwShow);
  FTaskbarHidden = false;
}

void TDispImageCore::HideTaskbar() {
  if (const uintptr_t taskbar = SystemPlatform().FindWindowW(kTaskbarClass, nullptr)) {
    FormsPlatform().ShowWindow(taskbar, kSwHide);
    FTaskbarHidden = true;
  }
}

void TDispImageCore::RequestRelease() {
  if (FReleaseRequested) return;
  FReleaseRequested = true;
  HostRelease();
}
