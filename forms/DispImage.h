// The picture window, shown full screen just before the action, and the
// picture loader it shares with the main window's preview. TDispImageCore is
// the window's behaviour without the window: its handlers, with platform
// calls through FormsPlatform() and the window's own parts through the Host
// hooks. TDispImageForm (Windows build) is the window.
#pragma once

#include <cstdint>

#include "toolkit/SysUtils.h"
#include "toolkit/pictures/Picture.h"

#ifdef _WIN32
#include "toolkit/Forms.h"
#else
enum TMouseButton { mbLeft, mbRight, mbMiddle };
#endif

// The longest interval a message-loop timer takes (USER_TIMER_MAXIMUM).
constexpr uint32_t kUserTimerMaximum = 0x7FFFFFFF;
// Picture files larger than this are refused before they are read.
constexpr uint64_t kMaxPictureFileSize = 640ull << 20;

extern const String kTaskbarClass;  // "Shell_TrayWnd"

// `seconds` × 1000 ms as a timer interval: at least 1 ms, and at most the
// longest interval the system accepts, instead of wrapping past 32 bits.
uint32_t PictureTimerInterval(int32_t seconds);

// The part of a file name after its last dot, without the dot; empty when no
// dot follows the last path separator.
String PictureExtension(StringView fileName);

// Reads and decodes a picture file, the decoder chosen by the extension
// without regard to case: bmp, jpg, jpeg and png everywhere; ico, wmf, emf,
// tif and tiff through the platform in the Windows build. `target` is the
// size it will be shown at (see DecodePicture). Raises the extension message
// for any other extension, or the reader's or the decoder's own message.
TImage32 DecodePictureFile(const String& fileName, TPictureSize target);

class TDispImageCore {
public:
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
  // The window's size in pixels; the picture view follows it.
  virtual void HostSetSize(int32_t width, int32_t height) = 0;
  // Loads the picture into the view (LoadPictureFile).
  virtual void HostLoadPicture(const String& fileName) = 0;
  // Sets the display timer's interval, then enables it.
  virtual void HostStartTimer(uint32_t interval) = 0;
  virtual void HostClose() = 0;
  // Tells the main window that the user cancelled (its FCancel).
  virtual void HostCancel() = 0;
  virtual bool HostInModalRun() = 0;
  virtual bool HostActive() = 0;
  // Asks for the window's destruction once the queued messages are handled.
  virtual void HostRelease() = 0;

private:
  void ShowTaskbar();
  void HideTaskbar();
  void RequestRelease();

  bool FTaskbarHidden = false;
  bool FReleaseRequested = false;
};

#ifdef _WIN32

class TImage;

// Replaces the picture of `view` with the one in `fileName`, decoded for the
// view's size. On failure the view keeps what it had and the error is raised.
void LoadPictureFile(TImage* view, const String& fileName);

class TDispImageForm : public TForm, public TDispImageCore {
public:
  // Builds the window and runs FormCreate; a failure there goes to the error
  // report and the window is built all the same.
  explicit TDispImageForm(TComponent* owner);
  ~TDispImageForm() override;

  TImage* Image1 = nullptr;
  TTimer* Timer1 = nullptr;

protected:
  void WndProc(TMessage& message) override;

  void HostSetSize(int32_t width, int32_t height) override;
  void HostLoadPicture(const String& fileName) override;
  void HostStartTimer(uint32_t interval) override;
  void HostClose() override { Close(); }
  void HostCancel() override;
  bool HostInModalRun() override { return InModal(); }
  bool HostActive() override { return Active(); }
  void HostRelease() override { Release(); }

private:
  void FitImage();
};

// The picture window while one exists.
extern TDispImageForm* DispImageForm;

#endif  // _WIN32
