// Windowed controls: one object per window, the window created on demand, and
// every message of it routed through the control's replaceable WindowProc.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "toolkit/Classes.h"
#include "toolkit/Messages.h"
#include "toolkit/Types.h"
#include "toolkit/Win32.h"

class TWinControl;

using TNotifyEvent = std::function<void(TComponent* sender)>;


using TKeyEvent = std::function<void(TComponent* sender, WORD& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TComponent* sender, char16_t& key)>;
using TMouseEvent = std::function<void(TComponent* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TComponent* sender, TShiftState shift, int x, int y)>;

// Control notifications reflected back to the control that sent them.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;
constexpr UINT CN_HSCROLL = CN_BASE + WM_HSCROLL;
constexpr UINT CN_VSCROLL = CN_BASE + WM_VSCROLL;
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;
constexpr UINT CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN;
// A form asks to be destroyed once the message that asked has been handled.
constexpr UINT CM_RELEASE = WM_APP + 0x3F00;

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// A font description and the GDI fonts made from it, one per DPI in use.
class TFont {
public:
  TFont();  // the system's message font
  TFont(const TFont& other);
  TFont& operator=(const TFont& other);

  const String& Name() const { return FName; }
  void SetName(const String& name);
  // Character height in pixels at 96 DPI (positive), as in a layout.
  int Height() const { return FHeight; }
  void SetHeight(int height);
  int Size() const { return ::MulDiv(FHeight, 72, 96); }  // points
  void SetSize(int points) { SetHeight(::MulDiv(points, 96, 72)); }
  uint8_t Style() const { return FStyle; }
  void SetStyle(uint8_t style);
  COLORREF Color() const { return FColor; }
  void SetColor(COLORREF color);

  HFONT Handle(int dpi = 96) const;
  std::function<void()> OnChange;

private:
  void Changed();
  String FName;
  int FHeight = 12;
  uint8_t FStyle = 0;
  COLORREF FColor = 0;
  mutable std::map<int, TFontHandle> FHandles;
};

struct TCreateParams {
  String Caption;
  DWORD Style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;  // physical pixels
  HWND WndParent = nullptr;
  String WinClassName;    // the class registered for this kind of control
  String BaseClassName;   // a standard class it builds on ("BUTTON"), or empty
  UINT ClassStyle = CS_DBLCLKS;
  HCURSOR Cursor = nullptr;
};

class TWinControl : public TComponent {
public:
  explicit TWinControl(TComponent* owner = nullptr);
  ~TWinControl() override;

  TWinControl* Parent() const { return FParent; }
  virtual void SetParent(TWinControl* parent);
  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TWinControl* Controls(int index) const { return FControls.at(static_cast<size_t>(index)); }

  // The window, created (with its parents') when first asked for.
  HWND Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  void HandleNeeded() { Handle(); }
  // Destroys the window and makes a new one; the object, its properties and
  // its WindowProc stay.
  void RecreateWnd();
  void DestroyHandle();

  // The message handler in front of everything the control receives. It
  // starts as the control's own handling (WndProc) and can be replaced.
  const TWndMethod& WindowProc() const { return FWindowProc; }
  void SetWindowProc(TWndMethod proc) { FWindowProc = std::move(proc); }
  // Sends a message straight to WindowProc and gives its result.
  LRESULT Perform(UINT msg, WPARAM wparam = 0, LPARAM lparam = 0);
  // The control's own handling of a message.
  virtual void WndProc(TMessage& message);
  // What the window class does with a message that the control leaves alone.
  void DefaultHandler(TMessage& message);

  const String& Caption() const { return FCaption; }
  void SetCaption(const String& caption);
  // Bounds in pixels at 96 DPI; the window gets them scaled to its monitor.
  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetBounds(int left, int top, int width, int height);
  int Dpi() const { return FDpi; }
  int Scale(int value) const { return ScaleForDpi(value, FDpi); }
  int ClientWidth();
  int ClientHeight();

  bool Visible() const { return FVisible; }
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool enabled);
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool value);
  COLORREF Color() const { return FColor; }
  void SetColor(COLORREF color);

  TFont& Font() { return FFont; }
  void SetFont(const TFont& font);
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool value);

  void SetFocus();
  bool Focused() const;
  bool CanFocus() const;
  void Invalidate();
  void Update();

  // The top-level control this one sits in.
  TWinControl* TopLevelControl();

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;

protected:
  virtual void CreateParams(TCreateParams& params);
  virtual void CreateWnd();
  virtual void DestroyWnd();
  // After the window exists: fonts and children follow.
  virtual void CreateHandleDone() {}
  // The window is gone (destroyed or about to be made anew).
  virtual void HandleDestroyed() {}
  virtual void Click();
  virtual void DblClick();
  // A control's own key handling, after the top-level control's preview. The
  // base versions raise OnKeyDown, OnKeyUp and OnKeyPress; a key set to 0 is
  // used up.
  virtual void KeyDown(WORD& key, TShiftState shift);
  virtual void KeyUp(WORD& key, TShiftState shift);
  virtual void KeyPress(char16_t& key);
  // Key handling of the top-level control before the focused one sees a key;
  // true when the key was used up.
  virtual bool PreviewKeyDown(WORD& key, TShiftState shift) { return false; }
  virtual bool PreviewKeyUp(WORD& key, TShiftState shift) { return false; }
  virtual bool PreviewKeyPress(char16_t& key) { return false; }
  // Keys the focused control does not want (Tab, Enter, Esc), offered to the
  // top-level control; true when used.
  virtual bool DialogKey(TWinControl* from, WORD key, TShiftState shift) { return false; }
  virtual void FontChanged();
  virtual void DpiChanged(int dpi);
  void UpdateBounds();  // the window's place from the 96-DPI bounds
  bool Recreating() const { return FRecreating; }

private:
  friend LRESULT CALLBACK ToolkitWndProc(HWND, UINT, WPARAM, LPARAM);
  bool DoKeyDown(TMessage& message);
  bool DoKeyUp(TMessage& message);
  bool DoKeyPress(TMessage& message);
  void DoMouse(TMessage& message, TMouseButton button, bool down);
  bool ReflectToChild(TMessage& message);
  void ApplyFont();
  void InheritFont();

  TWinControl* FParent = nullptr;
  std::vector<TWinControl*> FControls;
  HWND FHandle = nullptr;
  WNDPROC FDefWndProc = nullptr;
  TWndMethod FWindowProc;
  String FCaption;
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  int FDpi = 96;
  bool FVisible = true;
  bool FEnabled = true;
  bool FTabStop = false;
  bool FParentFont = true;
  bool FRecreating = false;
  COLORREF FColor = kColorDefault;
  TFont FFont;
};

LRESULT CALLBACK ToolkitWndProc(HWND wnd, UINT msg, WPARAM wparam, LPARAM lparam);
// The control bound to a window made by the toolkit, or nullptr.
TWinControl* FindControl(HWND wnd);
TShiftState KeyboardShiftState();
// The shift state carried by a mouse message's key flags.
TShiftState MouseShiftState(WPARAM keys);

// Standard controls built on the system's classes.
class TButton : public TWinControl {
public:
  explicit TButton(TComponent* owner = nullptr);
  bool Default() const { return FDefault; }
  void SetDefault(bool value);
  int ModalResult() const { return FModalResult; }
  void SetModalResult(int value) { FModalResult = value; }

protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;

private:
  bool FDefault = false;
  int FModalResult = 0;
};

class TLabel : public TWinControl {
public:
  explicit TLabel(TComponent* owner = nullptr);

protected:
  void CreateParams(TCreateParams& params) override;
};

// A plain container window.
class TPanel : public TWinControl {
public:
  explicit TPanel(TComponent* owner = nullptr);

protected:
  void CreateParams(TCreateParams& params) override;
};

// An option button; the buttons of one parent form one group, and choosing
// one clears the others.
class TRadioButton : public TWinControl {
public:
  explicit TRadioButton(TComponent* owner = nullptr);
  bool Checked();
  void SetChecked(bool value);

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateHandleDone() override;
  void WndProc(TMessage& message) override;

private:
  bool FChecked = false;  // while there is no window
};

// A message-loop timer.
class TTimer : public TComponent {
public:
  explicit TTimer(TComponent* owner = nullptr);
  ~TTimer() override;
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  UINT Interval() const { return FInterval; }
  void SetInterval(UINT value);
  const TNotifyEvent& OnTimer() const { return FOnTimer; }
  void SetOnTimer(TNotifyEvent handler);

private:
  TNotifyEvent FOnTimer;
  static void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD);
  void UpdateTimer();
  bool FEnabled = true;
  UINT FInterval = 1000;
  UINT_PTR FId = 0;
};
