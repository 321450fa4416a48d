// The standard controls: buttons of every kind, labels, static text, panels,
// group boxes and the up-down control.
#pragma once

#include "toolkit/Controls.h"
#include "toolkit/ThemesWin32.h"

// Buttons that report a click (push buttons, option buttons, check boxes):
// the system's BN_CLICKED becomes Click, by mouse, key or accelerator.
class TButtonControl : public TWinControl {
public:
  explicit TButtonControl(TComponent* owner = nullptr);

protected:
  void WndProc(TMessage& message) override;
  // What the control's accelerator does, once it is known to be its own
  // and the control can take the focus.
  virtual void AcceleratorPressed();

public:
  bool Accelerator(char16_t key) override;
};

// The picture drawn on a push button beside its caption.
enum TButtonGlyph : uint8_t { bgNone, bgCheck };

class TButton : public TButtonControl {
public:
  explicit TButton(TComponent* owner = nullptr);
  // Pressed by Enter when no other push button has the focus.
  bool Default() const { return FDefault; }
  void SetDefault(bool value);
  // Pressed by Esc.
  bool Cancel() const { return FCancel; }
  void SetCancel(bool value) { FCancel = value; }
  int ModalResult() const { return FModalResult; }
  void SetModalResult(int value) { FModalResult = value; }
  TButtonGlyph Glyph() const { return FGlyph; }
  void SetGlyph(TButtonGlyph value);
  // The confirming button of a window: a check mark, the default button.
  void MakeConfirm() {
    SetGlyph(bgCheck);
    SetDefault(true);
  }
  // Presses the button as a click would.
  void Press() { Click(); }

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateHandleDone() override;
  void HandleDestroyed() override;
  void WndProc(TMessage& message) override;
  void AcceleratorPressed() override;

private:
  // A button with a glyph draws itself: through the visual style when one
  // is active, the classic way otherwise.
  void Draw(const DRAWITEMSTRUCT& item);
  void OpenTheme();
  void SetHot(bool value);
  TThemeData FTheme;
  bool FHot = false;  // the mouse pointer is over the button
  bool FDefault = false;
  bool FCancel = false;
  int FModalResult = 0;
  TButtonGlyph FGlyph = bgNone;
};

// Draws the check mark glyph into `box` (physical pixels) of a DC; drawn as
// a shape at the size asked for, so it is sharp at every DPI.
void DrawCheckGlyph(HDC dc, const RECT& box, bool enabled);

// A button with a check state (option button, check box). The window holds
// the state once it exists (the system changes it on a click); before that,
// and for the window to start with, the object does.
class TCheckableButton : public TButtonControl {
public:
  explicit TCheckableButton(TComponent* owner = nullptr) : TButtonControl(owner) {}
  bool Checked();

protected:
  void CreateHandleDone() override;
  // Sets the state, in the window too when there is one.
  void StoreChecked(bool value);

private:
  bool FChecked = false;
};

// An option button; the buttons of one parent form one group, and choosing
// one clears the others. Setting it checked by code clicks it. Only a click,
// Space, an arrow key or its accelerator chooses it, never the focus alone.
class TRadioButton : public TCheckableButton {
public:
  explicit TRadioButton(TComponent* owner = nullptr);
  void SetChecked(bool value);

protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;
  void AcceleratorPressed() override;

private:
  // This button is now the checked one: the others are cleared, and it clicks.
  void Chosen();
};

// A check box; OnClick on every change, by mouse, Space, accelerator or code.
class TCheckBox : public TCheckableButton {
public:
  explicit TCheckBox(TComponent* owner = nullptr);
  void SetChecked(bool value);

protected:
  void CreateParams(TCreateParams& params) override;
  void AcceleratorPressed() override;
};

// A caption on the parent's colour; its "&" accelerator focuses FocusControl
// (and so selects it, when it is an option button). With AutoSize (the
// default) it is as large as its caption in its font at its window's DPI,
// measured again whenever the caption, the font or the DPI changes; its
// top-left corner stays.
class TLabel : public TWinControl {
public:
  explicit TLabel(TComponent* owner = nullptr);
  TWinControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* control);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool value);

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateHandleDone() override;
  void WndProc(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;
  TRectI PhysicalBounds() override;

public:
  bool Accelerator(char16_t key) override;

private:
  void AdjustSize();
  TWinControl* FFocusControl = nullptr;
  bool FAutoSize = true;
  // The caption's size in physical pixels, measured at FMeasuredDpi (0: not yet).
  int FMeasuredWidth = 0, FMeasuredHeight = 0, FMeasuredDpi = 0;
};

enum TStaticBorderStyle : uint8_t { sbsNone, sbsSingle, sbsSunken };

// A text with a border and colours of its own (SetColor; not transparent).
class TStaticText : public TWinControl {
public:
  explicit TStaticText(TComponent* owner = nullptr);
  TStaticBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TStaticBorderStyle value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment value);

protected:
  void CreateParams(TCreateParams& params) override;

private:
  TStaticBorderStyle FBorderStyle = sbsNone;
  TAlignment FAlignment = taLeftJustify;
};

enum TBevelCut : uint8_t { bvNone, bvLowered, bvRaised };

// A container with an outer bevel; its caption, if any, centred.
class TPanel : public TWinControl {
public:
  explicit TPanel(TComponent* owner = nullptr);
  TBevelCut BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TBevelCut value);
  int BevelWidth() const { return FBevelWidth; }  // 96-DPI pixels
  void SetBevelWidth(int value);

protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;
  void AdjustClientRect(TRectI& area) override;

private:
  TBevelCut FBevelOuter = bvRaised;
  int FBevelWidth = 1;
};

// A container with an etched frame (the visual style's group box frame when
// one is active) and an optional caption; Tab enters it.
class TGroupBox : public TWinControl {
public:
  explicit TGroupBox(TComponent* owner = nullptr);

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateHandleDone() override;
  void HandleDestroyed() override;
  void WndProc(TMessage& message) override;
  void AdjustClientRect(TRectI& area) override;

private:
  TThemeData FTheme;
};

enum TUDOrientation : uint8_t { udVertical, udHorizontal };

// An up-down (spin) control. Its Position is the truth; with an Associate it
// sits at that control's right edge, and the arrow keys step it while that
// control has the focus. Nothing is written into the associate: OnClick, on
// every step by mouse or key, is where the owner shows the new position.
class TUpDown : public TWinControl {
public:
  explicit TUpDown(TComponent* owner = nullptr);
  ~TUpDown() override;
  int Min() const { return FMin; }
  int Max() const { return FMax; }
  void SetRange(int min, int max);
  int Position();
  void SetPosition(int value);  // clamped into the range; no OnClick
  int Increment() const { return FIncrement; }
  void SetIncrement(int value);
  bool Wrap() const { return FWrap; }
  void SetWrap(bool value);
  bool Thousands() const { return FThousands; }
  void SetThousands(bool value);
  bool ArrowKeys() const { return FArrowKeys; }
  void SetArrowKeys(bool value);
  TUDOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TUDOrientation value);
  TWinControl* Associate() const { return FAssociate; }
  void SetAssociate(TWinControl* control);

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateHandleDone() override;
  void WndProc(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  void AttachBuddy();
  bool Step(int direction);
  int FMin = 0, FMax = 100, FPosition = 0, FIncrement = 1;
  bool FWrap = false, FThousands = true, FArrowKeys = true;
  TUDOrientation FOrientation = udVertical;
  TWinControl* FAssociate = nullptr;
};
