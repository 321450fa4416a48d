#include "forms/TolviMain.h"

#include "app/ME.h"
#include "app/Ordane.h"

TTolviMainForm* TolviMainForm = nullptr;

TTolviMainForm::TTolviMainForm(TComponent* owner) : TForm(owner) {
  SetName(u"TolviMainForm");
  SetCaption(kAppTitle);
  SetBorderStyle(bsSingle);
  SetFormStyle(fsStayOnTop);
  SetPosition(poScreenCenter);
  SetClientSize(280, 180);
  OnCreate = [this](TComponent* sender) { FormCreate(sender); };
  OnCloseQuery = [this](TComponent* sender, bool& canClose) { FormCloseQuery(sender, canClose); };
}

void TTolviMainForm::FormCreate(TComponent*) {
  // Any command-line parameter at all keeps the settings file out of the run.
  if (ParamCount() == 0) LoadSettings();
  // A command-line action never shows this window; the program ends here.
  if (RunSettings.ExitMode > 0) Application->Terminate();
}

// A failed save reaches the error report and the window stays open.
void TTolviMainForm::FormCloseQuery(TComponent*, bool&) {
  if (ParamCount() == 0) SaveSettings();
}
