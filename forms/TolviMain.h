// The main window. TTolviMainCore is its exit sequence without the window:
// it takes the chosen action from the run settings to the end of the program,
// with platform calls through FormsPlatform() and the window's own parts
// through the Host hooks. TTolviMainForm (TolviMainWin32.h) is the window.
#pragma once

#include <cstdint>
#include <memory>

#include "exitwin/ExitMode.h"
#include "exitwin/ExitWin32.h"
#include "forms/DispImage.h"
#include "toolkit/StringList.h"
#include "toolkit/SysUtils.h"


extern const String kHiberNotSetUp;     // "OSで休止状態が設定されていません。"
extern const String kConfirmQuestion;   // "よろしいですか？"
extern const String kConfirmTitle;      // "情報"
extern const String kHiberFileName;     // "\Hiberfil.sys"

// The caption of `mode` on this system (see kExitModes).
String ExitModeCaption(TExitMode mode);

// Whether the hibernation file exists at the root of the drive that holds the
// Windows directory (C: or \\server\share).
bool HiberFileExists();

// The time since Windows started as the clock shows it: hours with no upper
// limit and no leading zeros, then two-digit minutes and seconds ("0:00:05",
// "1175:23:59").
String FormatUptime(uint64_t milliseconds);

// The range of the picture time that the window's up-down control offers.
constexpr int32_t kPictureTimeMin = 0;
constexpr int32_t kPictureTimeMax = 999;

class TTolviMainCore {
public:
  virtual ~TTolviMainCore() = default;

  // Hibernation check, window hidden, confirmation, picture, the engine call,
  // and then the end of the program, which is requested on every path.
  void RunExitSequence();
  // Calls the engine operation of ExitMode. Nothing it raises gets out: a
  // failure ends the program silently.
  void PerformExitMode();

  // The handlers of the window.
  void FormCreate();
  void FormActivate() { UpdateSelection(); }
  void FormCloseQuery(bool& canClose);
  void RadioButtonClick() { UpdateSelection(); }
  void RadioButtonDblClick() { OKBtnClick(); }
  void OKBtnClick();
  void TimerTimer();
  void CHKConfirmClick();
  void UDStartTimeClick();
  void BtnPicSelClick();
  void DropDstFileDrop(const TStrings& files);

  // ExitMode from the selected action; the execute button follows it.
  void UpdateSelection();
  // The preview and the time controls from PictureFile.
  void UpdatePicture();

protected:
  // ---- the window's own parts, for the handlers above
  // Step 1 of creation: the window font takes the face of the menu font.
  virtual void HostUseMenuFontFace() = 0;
  // Step 2: the action buttons deselected and their font at its later size.
  virtual void HostPrepareActions() = 0;
  virtual void HostSetActionCaption(TExitMode mode, const String& caption) = 0;
  // Step 4: the later font sizes of the other controls.
  virtual void HostSetLaterFontSizes() = 0;
  virtual bool HostActionChecked(TExitMode mode) = 0;
  virtual void HostSetActionEnabled(TExitMode mode, bool enabled) = 0;
  virtual void HostSetExecuteEnabled(bool enabled) = 0;
  virtual void HostSetClockText(const String& text) = 0;
  // Milliseconds since Windows started, 64 bits wide.
  virtual uint64_t HostTickCount() = 0;
  virtual bool HostConfirmChecked() = 0;
  virtual void HostSetConfirmChecked(bool checked) = 0;
  virtual int32_t HostUpDownPosition() = 0;
  virtual void HostSetUpDownPosition(int32_t position) = 0;
  virtual void HostSetTimeText(const String& text) = 0;
  // The numeric display, the up-down and their label.
  virtual void HostSetTimeControlsEnabled(bool enabled) = 0;
  // Replaces the preview with the picture; on failure the preview keeps what
  // it had and the error is raised.
  virtual void HostLoadPreview(const String& fileName) = 0;
  virtual void HostClearPreview() = 0;
  // Runs the picture-open dialog from `initialDir`; false when cancelled.
  virtual bool HostChoosePicture(const String& initialDir, String& fileName) = 0;
  // The general error report, for the failures that creation goes on after.
  virtual void HostReportError(const Exception& error) = 0;

  // ---- for the exit sequence
  virtual void HostHide() = 0;
  // Starts decoding `fileName` for the picture window while the confirmation
  // waits for the user.
  virtual std::unique_ptr<TPicturePreload> HostPreloadPicture(const String& fileName) = 0;
  // Shows the picture window modally with `fileName` for `seconds`, taking
  // the picture from `preload` where it serves; true when the user cancelled
  // the action there.
  virtual bool HostShowPicture(const String& fileName, int32_t seconds,
                               std::unique_ptr<TPicturePreload> preload) = 0;
  virtual TExitWin& HostExitWin() = 0;
  // Asks the message loop to end; must not raise.
  virtual void HostTerminate() noexcept = 0;
};
