// The main window. TTolviMainCore is its exit sequence without the window:
// it takes the chosen action from the run settings to the end of the program,
// with platform calls through FormsPlatform() and the window's own parts
// through the Host hooks. TTolviMainForm (Windows build) is the window.
#pragma once

#include <cstdint>

#include "exitwin/ExitWin32.h"
#include "toolkit/SysUtils.h"

#ifdef _WIN32
#include "toolkit/Forms.h"
#endif

extern const String kHiberNotSetUp;     // "OSで休止状態が設定されていません。"
extern const String kConfirmQuestion;   // "よろしいですか？"
extern const String kConfirmTitle;      // "情報"
extern const String kHiberFileName;     // "\Hiberfil.sys"

// The captions of the five actions, indexed by action number (0 is unused).
// Action 4 has two: "スリープ" from Windows Vista on, "スタンバイ" before.
extern const String kExitModeCaptions[6];
extern const String kStandbyCaption;
// The caption of action `mode` on this system: action 4 reads "スタンバイ"
// before Windows Vista. Empty outside 1..5.
String ExitModeCaption(int32_t mode);

// Whether the hibernation file exists at the root of the drive that holds the
// Windows directory (C: or \\server\share).
bool HiberFileExists();

// Whether `fileName` names an existing file, not a folder. A file the system
// holds open (the hibernation and paging files) counts too.
bool FileExists(const String& fileName);

class TTolviMainCore {
public:
  virtual ~TTolviMainCore() = default;

  // Hibernation check, window hidden, confirmation, picture, the engine call,
  // and then the end of the program, which is requested on every path.
  void RunExitSequence();
  // Calls the engine operation of ExitMode. Nothing it raises gets out: a
  // failure ends the program silently.
  void PerformExitMode();

  // Set by the picture window when the user cancels the picture.
  bool FCancel = false;

protected:
  virtual void HostHide() = 0;
  // The text of the option button of action `mode`; empty outside 1..5.
  virtual String HostExitModeCaption(int32_t mode) = 0;
  // Creates the picture window, owned by the application, keeps it in
  // DispImageForm and shows it modally.
  virtual void HostShowPicture() = 0;
  virtual TExitWin& HostExitWin() = 0;
  // Asks the message loop to end; must not raise.
  virtual void HostTerminate() noexcept = 0;
};

#ifdef _WIN32

class TRadioButton;
class TLabel;

class TTolviMainForm : public TForm, public TTolviMainCore {
public:
  explicit TTolviMainForm(TComponent* owner);
  ~TTolviMainForm() override;

  TExitWin* ExitWin1 = nullptr;

protected:
  void HostHide() override { Hide(); }
  String HostExitModeCaption(int32_t mode) override;
  void HostShowPicture() override;
  TExitWin& HostExitWin() override { return *ExitWin1; }
  void HostTerminate() noexcept override;

private:
  void FormCreate(TComponent* sender);
  void FormCloseQuery(TComponent* sender, bool& canClose);

  TRadioButton* RBTNExitMode[6] = {};  // 1..5 by action number
  TLabel* LblExitMode[6] = {};
};

extern TTolviMainForm* TolviMainForm;

#endif  // _WIN32
