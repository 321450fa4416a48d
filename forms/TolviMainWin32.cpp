// The main window. For now it holds the five action buttons and runs the exit
// sequence; it keeps the settings file in step and ends the program when it
// closes.
#include "forms/TolviMainWin32.h"

#include "app/ME.h"
#include "app/Ordane.h"
#include "forms/DispImageWin32.h"

namespace {
const String kLayoutFont = u"ＭＳ Ｐゴシック";
}

TTolviMainForm::TTolviMainForm(TComponent* owner) : TForm(owner) {
  SetName(u"TolviMainForm");
  SetCaption(kAppTitle);
  SetBorderStyle(bsSingle);
  SetFormStyle(fsStayOnTop);
  SetPosition(poScreenCenter);
  SetClientSize(342, 299);
  SetColor(RGB(160, 160, 164));
  Font().SetName(u"MS UI Gothic");
  Font().SetHeight(12);
  Font().SetStyle(fsBold);

  // The action buttons and their number labels, where the action group sits.
  for (const TExitModeInfo& mode : kExitModes) {
    const int n = ExitModeNumber(mode.Mode);
    auto* label = new TLabel(this);
    label->SetName(u"Label" + IntToStr(n));
    label->SetParent(this);
    label->SetBounds(1 + 10, 1 + 12 + 30 * (n - 1), 25, 19);
    label->SetCaption(u"[&" + IntToStr(n) + u"]");
    label->Font().SetName(kLayoutFont);
    label->Font().SetHeight(19);
    label->Font().SetStyle(fsBold);

    auto* button = new TRadioButton(this);
    button->SetName(u"RadioButton" + IntToStr(n));
    button->SetParent(this);
    button->SetBounds(1 + 50, 1 + 10 + 30 * (n - 1), 270, 23);
    button->SetCaption(mode.Caption);
    button->Font().SetName(kLayoutFont);
    button->Font().SetHeight(12);
    button->Font().SetStyle(fsBold);
  }
  ExitWin1 = new TExitWin(this);
  ExitWin1->SetName(u"ExitWin1");

  OnCreate = [this](TComponent* sender) { FormCreate(sender); };
  OnCloseQuery = [this](TComponent* sender, bool& canClose) { FormCloseQuery(sender, canClose); };
}

TTolviMainForm::~TTolviMainForm() = default;

void TTolviMainForm::FormCreate(TComponent*) {
  // The face of the system's menu font; the controls that take the window's
  // font follow it.
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
    Font().SetName(S(metrics.lfMenuFont.lfFaceName));

  for (const TExitModeInfo& mode : kExitModes) {
    const int n = ExitModeNumber(mode.Mode);
    TRadioButton*& button = RBTNExitMode[static_cast<size_t>(n - 1)];
    button = dynamic_cast<TRadioButton*>(FindComponent(u"RadioButton" + IntToStr(n)));
    button->SetChecked(false);
    LblExitMode[static_cast<size_t>(n - 1)] = dynamic_cast<TLabel*>(FindComponent(u"Label" + IntToStr(n)));
    button->Font().SetSize(14);
    button->SetCaption(ExitModeCaption(mode.Mode));
  }

  // An action from the command line: the window is never shown, and the
  // sequence asks for the end of the program.
  if (RunSettings.ExitMode != TExitMode::None) RunExitSequence();

  // Any command-line parameter at all keeps the settings file out of the run.
  if (!RunSettings.CommandLineGiven) LoadSettings();
}

// A failed save reaches the error report and the window stays open.
void TTolviMainForm::FormCloseQuery(TComponent*, bool&) {
  if (!RunSettings.CommandLineGiven) SaveSettings();
}

bool TTolviMainForm::HostShowPicture(const String& fileName, int32_t seconds) {
  // The window destroys itself once its run is over; only its result is kept.
  auto* picture = new TDispImageForm(Application, fileName, seconds);
  return picture->ShowModal() == kPictureCancelled;
}

void TTolviMainForm::HostTerminate() noexcept {
  if (Application) Application->Terminate();
}
