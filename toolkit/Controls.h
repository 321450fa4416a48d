// Windowed controls: one object per window, the window created on demand, and
// every message of it routed through the control's replaceable WindowProc.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "toolkit/Classes.h"
#include "toolkit/DialogLogic.h"
#include "toolkit/Messages.h"
#include "toolkit/Types.h"
#include "toolkit/Win32.h"

class TWinControl;

// Reports the exception in flight to the application's error report (the
// forms layer defines it); every window procedure and callback of the
// toolkit ends in it, so no exception crosses into the system.
void ApplicationHandleException();

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
constexpr UINT CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT;
constexpr UINT CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX;
constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
// A form asks to be destroyed once the message that asked has been handled.
constexpr UINT CM_RELEASE = WM_APP + 0x3F00;
// A key pressed on a control, offered to its key partner (an attached
// up-down) first: WParam the key; Result non-zero when used.
constexpr UINT CM_PARTNERKEY = WM_APP + 0x3F01;

// The mouse pointer over a control; crDefault leaves it to the window class.
enum TCursor : uint8_t { crDefault, crArrow, crHandPoint, crIBeam };

// The input method in a control: imDisable keeps it off, so that typed keys
// reach the control (and the dialog keys) as they are; imDontCare follows
// the parent, and leaves a window without one as the system has it.
enum TImeMode : uint8_t { imDontCare, imDisable };

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// A font description and the GDI fonts made from it, one per DPI in use.
class TFont {
public:
  // The system's message font, looked up when first needed: asking the
  // system about fonts starts its display side, which a program that ends
  // without showing a window never needs.
  TFont() = default;
  TFont(const TFont& other);
  TFont& operator=(const TFont& other);

  const String& Name() const;
  void SetName(const String& name);
  // Character height in pixels at 96 DPI (positive), as in a layout.
  int Height() const;
  void SetHeight(int height);
  // Size in points. A font given in points keeps them, and becomes pixels
  // once at each DPI it is made for: through 96-DPI pixels it would be
  // rounded twice.
  int Size() const;
  void SetSize(int points);
  uint8_t Style() const { return FStyle; }
  void SetStyle(uint8_t style);
  // The character set the system picks a face for (SHIFTJIS_CHARSET: a face
  // with Japanese glyphs even where the named one has none).
  uint8_t Charset() const { return FCharset; }
  void SetCharset(uint8_t charset);
  COLORREF Color() const { return FColor; }
  void SetColor(COLORREF color);

  HFONT Handle(int dpi = 96) const;
  std::function<void()> OnChange;

private:
  void Changed();
  // Name and height not set are the message font's, looked up when read.
  mutable bool FSystemName = true;
  mutable bool FSystemHeight = true;
  mutable String FName;
  mutable int FHeight = 12;
  int FPoints = 0;  // > 0: the font was given in points
  uint8_t FStyle = 0;
  uint8_t FCharset = DEFAULT_CHARSET;
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
  // The window (and so its children's) goes before any derived destructor.
  void BeforeDestruction() override;

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
  virtual void SetBounds(int left, int top, int width, int height);
  void SetBounds(const TRectI& r) { SetBounds(r.Left, r.Top, r.Width, r.Height); }
  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign value);
  int Dpi() const { return FDpi; }
  int Scale(int value) const { return ScaleForDpi(value, FDpi); }
  // Client size in physical pixels.
  int ClientWidth();
  int ClientHeight();
  // Places the aligned children in the client area (physical pixels).
  void Realign();

  bool Visible() const { return FVisible; }
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool enabled);
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool value);
  COLORREF Color() const { return FColor; }
  void SetColor(COLORREF color);  // and so ParentColor false
  // Takes its parent's colour (the default): text and background of the
  // control are drawn on the colour of what it sits on.
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool value);
  // The colour the control's background is drawn in: its own, or the one it
  // takes from its parents; kColorDefault when nobody set one.
  COLORREF EffectiveColor() const;
  // Position among the parent's children that Tab follows; a control keeps
  // distinct places (setting one moves the others on). Set before the
  // parent, it is kept.
  int TabOrder() const { return FTabOrder; }
  void SetTabOrder(int value);
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor value) { FCursor = value; }
  // The tooltip text shown on hover; empty for none.
  const String& Hint() const { return FHint; }
  void SetHint(const String& hint);

  TImeMode ImeMode() const { return FImeMode; }
  void SetImeMode(TImeMode value);
  // Whether the input method is off here (this control's mode, else its
  // parents').
  bool ImeDisabled() const;

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
  // A control that sees this one's key presses first (CM_PARTNERKEY), such as
  // an up-down attached to it; nullptr for none. Not owned.
  void SetKeyPartner(TWinControl* partner) { FKeyPartner = partner; }
  TWinControl* KeyPartner() const { return FKeyPartner; }
  // The tooltip window of a top-level control, once a hint needed it.
  HWND TooltipWindow() const { return FTooltip; }
  // Whether `key` is this control's accelerator, acted on (the control and
  // what it acts on are enabled and visible); true when used.
  virtual bool Accelerator(char16_t key) { return false; }

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
  // Told to a top-level control: `control`, one of its own, got the focus.
  virtual void ChildFocused(TWinControl* control) {}
  // Told to a top-level control: `control` leaves it (destroyed or moved to
  // another parent), with the controls inside it.
  virtual void ChildRemoved(TWinControl* control) {}
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
  // Keys the focused control does not want (Tab, Enter, Esc, the arrows),
  // offered to the top-level control; true when used.
  virtual bool DialogKey(TWinControl* from, WORD key, TShiftState shift) { return false; }
  // A character as an accelerator (alt: typed with Alt), offered to the
  // top-level control when the focused control did not take it; true when used.
  virtual bool DialogChar(char16_t key, bool alt) { return false; }
  virtual void FontChanged();
  // The window now sits at another DPI: the control takes it (fonts and the
  // like), then its children; their places are set afterwards, once.
  virtual void DpiChanged(int dpi);
  // Sets the window's place from the 96-DPI bounds (or its parent's alignment).
  void UpdateBounds();
  // A size the control gave itself (96-DPI pixels): kept, with no move of
  // the window.
  void StoreSize(int width, int height) {
    FWidth = width;
    FHeight = height;
  }
  // Whether the top-level control is placing every child at once (a DPI
  // change): a child then leaves its own move to that.
  bool Relaying();
  // Sets the places of every child, grandchildren included, once.
  void RelayChildren();
  // The part of the client area (physical) that aligned children fill.
  virtual void AdjustClientRect(TRectI& area) {}
  // A text and background colour for the control's own drawing by its class.
  // The reflected WM_CTLCOLOR* of the control: true with Result set when it
  // has a colour of its own or from its parents.
  bool CtlColor(TMessage& message);
  // Where the control should be, in physical pixels within its parent.
  virtual TRectI PhysicalBounds();
  // The window moved to another DPI: fonts follow, the system's suggested
  // window rectangle is applied, and every child is placed once.
  void ApplyDpiChange(int dpi, const RECT& suggested);
  bool Recreating() const { return FRecreating; }
  // Shows focus rectangles and/or underlines (UISF_* flags) from now on.
  void CueKeyboard(WORD flags);
  // The window was moved by the system or the user: the bounds follow
  // (top-level windows, whose place is in screen pixels).
  void Moved(int left, int top) {
    FLeft = left;
    FTop = top;
  }

private:
  friend LRESULT CALLBACK ToolkitWndProc(HWND, UINT, WPARAM, LPARAM);
  bool DoKeyDown(TMessage& message);
  bool DoKeyUp(TMessage& message);
  bool DoKeyPress(TMessage& message);
  void DoMouse(TMessage& message, TMouseButton button, bool down);
  bool ReflectToChild(TMessage& message);
  void ApplyFont();
  void InheritFont();
  void RegisterHint();
  void ApplyImeMode();
  void LeaveTopLevel();

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
  bool FParentColor = true;
  bool FRelaying = false;  // a top-level control placing every child at once
  TAlign FAlign = alNone;
  TCursor FCursor = crDefault;
  TImeMode FImeMode = imDontCare;
  int FTabOrder = -1;  // -1: not placed yet
  COLORREF FColor = kColorDefault;
  TFont FFont;
  String FHint;
  HWND FTooltip = nullptr;
  TWinControl* FKeyPartner = nullptr;  // owned by the top-level window, destroyed with it
  TBrushHandle FBrush;
  COLORREF FBrushColor = kColorDefault;
};

LRESULT CALLBACK ToolkitWndProc(HWND wnd, UINT msg, WPARAM wparam, LPARAM lparam);
// The control bound to a window made by the toolkit, or nullptr.
TWinControl* FindControl(HWND wnd);
TShiftState KeyboardShiftState();
// The shift state carried by a mouse message's key flags.
TShiftState MouseShiftState(WPARAM keys);

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
