// The main window. For now a plain window titled "Tolvi" that keeps the
// settings file in step and ends the program when it closes.
#pragma once

#include "toolkit/Forms.h"

class TTolviMainForm : public TForm {
public:
  explicit TTolviMainForm(TComponent* owner);

  // Set when the user cancels the picture shown before an action.
  bool FCancel = false;

private:
  void FormCreate(TComponent* sender);
  void FormCloseQuery(TComponent* sender, bool& canClose);
};

extern TTolviMainForm* TolviMainForm;
