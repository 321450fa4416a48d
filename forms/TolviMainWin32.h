// The main window (Windows build).
#pragma once

#include <array>

#include "forms/TolviMain.h"
#include "toolkit/Forms.h"

class TLabel;
class TRadioButton;
class TButton;
class TCheckBox;
class TStaticText;
class TUpDown;
class TImage;
class TZuNumEdit;
class TDropDst;
class TOpenPictureDialog;

class TTolviMainForm : public TForm, public TTolviMainCore {
public:
  explicit TTolviMainForm(TComponent* owner);
  ~TTolviMainForm() override;

  TExitWin* ExitWin1 = nullptr;
  TDropDst* DropDst = nullptr;
  TTimer* Timer = nullptr;
  TOpenPictureDialog* OpenPictureDialog = nullptr;
  TButton* OKBtn = nullptr;
  TButton* BtnPicSel = nullptr;
  TStaticText* TxtWinTime = nullptr;
  TCheckBox* CHKConfirm = nullptr;
  TZuNumEdit* TXTStartTime = nullptr;
  TUpDown* UDStartTime = nullptr;
  TLabel* LblStartTime = nullptr;
  TImage* Image1 = nullptr;

protected:
  void CreateWnd() override;
  void HostUseMenuFontFace() override;
  void HostPrepareActions() override;
  void HostSetActionCaption(TExitMode mode, const String& caption) override;
  void HostSetLaterFontSizes() override;
  bool HostActionChecked(TExitMode mode) override;
  void HostSetActionEnabled(TExitMode mode, bool enabled) override;
  void HostSetExecuteEnabled(bool enabled) override;
  void HostSetClockText(const String& text) override;
  uint64_t HostTickCount() override;
  bool HostConfirmChecked() override;
  void HostSetConfirmChecked(bool checked) override;
  int32_t HostUpDownPosition() override;
  void HostSetUpDownPosition(int32_t position) override;
  void HostSetTimeText(const String& text) override;
  void HostSetTimeControlsEnabled(bool enabled) override;
  void HostLoadPreview(const String& fileName) override;
  void HostClearPreview() override;
  bool HostChoosePicture(const String& initialDir, String& fileName) override;
  void HostReportError(const Exception& error) override;

  void HostHide() override { Hide(); }
  std::unique_ptr<TPicturePreload> HostPreloadPicture(const String& fileName) override;
  bool HostShowPicture(const String& fileName, int32_t seconds, std::unique_ptr<TPicturePreload> preload) override;
  TExitWin& HostExitWin() override { return *ExitWin1; }
  void HostTerminate() noexcept override;

private:
  TRadioButton* Action(TExitMode mode) const;
  void UseMenuFontFace();
  bool FMenuFontFace = false;  // the window's face follows the menu font's

  // By action number: [n - 1] belongs to the mode numbered n.
  std::array<TRadioButton*, kExitModes.size()> RBTNExitMode = {};
  std::array<TLabel*, kExitModes.size()> LblExitMode = {};
};
