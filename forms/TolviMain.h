// The main window. TTolviMainCore is its exit sequence without the window:
// it takes the chosen action from the run settings to the end of the program,
// with platform calls through FormsPlatform() and the window's own parts
// through the Host hooks. TTolviMainForm (TolviMainWin32.h) is the window.
#pragma once

#include <cstdint>

#include "exitwin/ExitMode.h"
#include "exitwin/ExitWin32.h"
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

class TTolviMainCore {
public:
  virtual ~TTolviMainCore() = default;

  // Hibernation check, window hidden, confirmation, picture, the engine call,
  // and then the end of the program, which is requested on every path.
  void RunExitSequence();
  // Calls the engine operation of ExitMode. Nothing it raises gets out: a
  // failure ends the program silently.
  void PerformExitMode();

protected:
  virtual void HostHide() = 0;
  // Shows the picture window modally with `fileName` for `seconds`; true
  // when the user cancelled the action there.
  virtual bool HostShowPicture(const String& fileName, int32_t seconds) = 0;
  virtual TExitWin& HostExitWin() = 0;
  // Asks the message loop to end; must not raise.
  virtual void HostTerminate() noexcept = 0;
};
