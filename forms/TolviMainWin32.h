// The main window (Windows build).
#pragma once

#include <array>

#include "forms/TolviMain.h"
#include "toolkit/Forms.h"

class TRadioButton;
class TLabel;

class TTolviMainForm : public TForm, public TTolviMainCore {
public:
  explicit TTolviMainForm(TComponent* owner);
  ~TTolviMainForm() override;

  TExitWin* ExitWin1 = nullptr;

protected:
  void HostHide() override { Hide(); }
  bool HostShowPicture(const String& fileName, int32_t seconds) override;
  TExitWin& HostExitWin() override { return *ExitWin1; }
  void HostTerminate() noexcept override;

private:
  void FormCreate(TComponent* sender);
  void FormCloseQuery(TComponent* sender, bool& canClose);

  // By action number: [n - 1] belongs to the mode numbered n.
  std::array<TRadioButton*, kExitModes.size()> RBTNExitMode = {};
  std::array<TLabel*, kExitModes.size()> LblExitMode = {};
};
