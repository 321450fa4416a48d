// A window declared as a table: one line per control, read once when the
// form is made. Each control is owned by the form, named (FindComponent finds
// it), placed in its parent in 96-DPI units and wired to its handlers.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "toolkit/Forms.h"

enum TControlKind : uint8_t {
  ckPanel, ckGroupBox, ckLabel, ckStaticText, ckButton, ckRadioButton, ckCheckBox, ckUpDown,
  ckCustom  // made by the line's Make
};

// A font of its own for a control; the others take their parent's.
struct TFontSpec {
  String Name{};      // empty: the parent's face
  int Height = 0;   // 96-DPI pixels; 0: the parent's height
  uint8_t Style = 0;
  COLORREF Color = kColorDefault;
  uint8_t Charset = DEFAULT_CHARSET;
};

struct TControlSpec {
  TControlKind Kind = ckPanel;
  String Name{};
  String Parent{};  // a control made by an earlier line; empty for the form
  TRectI Bounds{};  // 96-DPI pixels in the parent's client area
  TAlign Align = alNone;
  String Caption{};
  std::optional<TFontSpec> Font{};
  int TabOrder = -1;  // -1: after the controls made before it
  TCursor Cursor = crDefault;
  String Hint{};
  COLORREF Color = kColorDefault;  // kColorDefault: the parent's colour
  TNotifyEvent OnClick{};
  TNotifyEvent OnDblClick{};
  // ckCustom: makes the control, owned by `owner`.
  std::function<TWinControl*(TComponent* owner)> Make{};
  // Properties of the kind beyond the table's columns (a default button, a
  // bevel, an up-down's range), set once the control is in place.
  std::function<void(TWinControl& control)> Setup{};
};

// Makes the table's controls on the form, in order. A parent name that no
// earlier line made, or a name used twice, raises an error naming it.
void CreateControls(TForm& form, const std::vector<TControlSpec>& table);
