// The picture window, shown full screen just before the action.
// TDispImageCore is the window's behaviour without the window: its handlers,
// with platform calls through FormsPlatform() and the window's own parts
// through the Host hooks. TDispImageForm (DispImageWin32.h) is the window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

#include "toolkit/SysUtils.h"
#include "toolkit/Types.h"
#include "toolkit/pictures/Picture.h"
#include "toolkit/pictures/PictureWorker.h"

// The longest interval a message-loop timer takes (USER_TIMER_MAXIMUM).
constexpr uint32_t kUserTimerMaximum = 0x7FFFFFFF;

extern const String kTaskbarClass;  // "Shell_TrayWnd"

// `seconds` × 1000 ms as a timer interval: at least 1 ms, and at most the
// longest interval the system accepts, instead of wrapping past 32 bits.
uint32_t PictureTimerInterval(int32_t seconds);

// A picture decoded on a worker thread while the user still decides on the
// action, for the picture window to take. The worker shares nothing with this
// object but a small state of its own, so dropping the object never waits: an
// unfinished decode runs to its end and its result is thrown away.
class TPicturePreload {
public:
  using TDecoder = std::function<TImage32()>;
  // Starts `decode`, the picture in `fileName` for showing at `target`. Where
  // no thread can be started, the decode waits for Take.
  TPicturePreload(String fileName, TPictureSize target, TDecoder decode);
  ~TPicturePreload();
  TPicturePreload(const TPicturePreload&) = delete;
  TPicturePreload& operator=(const TPicturePreload&) = delete;

  const String& FileName() const { return FFileName; }
  TPictureSize Target() const { return FTarget; }
  // Whether this is the picture of `fileName` decoded for `target`.
  bool Serves(const String& fileName, TPictureSize target) const;

  // The decoded picture, once the worker is done; the decoder's error is
  // raised here instead. The picture is handed over once.
  TImage32 Take();

private:
  struct TState;
  String FFileName;
  TPictureSize FTarget;
  std::shared_ptr<TState> FState;
  std::unique_ptr<TWorkerThread> FWorker;  // until joined
  bool FDone = false;
};

class TDispImageCore {
public:
  // The picture to show and for how many seconds.
  TDispImageCore(String pictureFile, int32_t pictureTime)
      : FPictureFile(std::move(pictureFile)), FPictureTime(pictureTime) {}
  virtual ~TDispImageCore() = default;

  // The handlers of the window.
  void FormCreate();    // the window's size from the screen, then the picture
  void FormActivate();  // the countdown starts, the taskbar goes
  void Timer1Timer();
  void Image1MouseDown(TMouseButton button);
  void FormKeyPress(char16_t& key);
  void FormCloseQuery(bool& canClose);
  void FormDeactivate();
  // The window was hidden. Once the modal run is over the taskbar comes back
  // whatever ended the run, and a window that was no longer active (so that
  // no deactivation follows) asks for its destruction here.
  void FormHide();
  // The taskbar back if this window hid it and nothing has shown it since:
  // for the ways out that pass none of the handlers (destruction, the end of
  // the session).
  void RestoreTaskbar();

protected:
  // The window's size: the screen's, in physical pixels. The picture view
  // follows it.
  virtual void HostSetSize(int32_t width, int32_t height) = 0;
  // Loads the picture into the view, decoded for `target` (the screen's size
  // in physical pixels, which the view covers).
  virtual void HostLoadPicture(const String& fileName, TPictureSize target) = 0;
  // Sets the display timer's interval, then enables it.
  virtual void HostStartTimer(uint32_t interval) = 0;
  virtual void HostClose() = 0;
  // Records that the user cancelled the action: the window's result.
  virtual void HostCancel() = 0;
  virtual bool HostInModalRun() = 0;
  virtual bool HostActive() = 0;
  // Asks for the window's destruction once the queued messages are handled.
  virtual void HostRelease() = 0;

private:
  void ShowTaskbar();
  void HideTaskbar();
  void RequestRelease();

  String FPictureFile;
  int32_t FPictureTime;
  bool FTaskbarHidden = false;
  bool FReleaseRequested = false;
};
