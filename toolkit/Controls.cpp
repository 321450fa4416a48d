#include "toolkit/Controls.h"

#include <algorithm>
#include <set>

#include <commctrl.h>
#include <windowsx.h>

// Reports an exception that escaped a message handler (Forms.cpp).
void ApplicationHandleException();

int DpiForWindow(HWND wnd) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpi && wnd) {
    if (const UINT dpi = getDpi(wnd)) return static_cast<int>(dpi);
  }
  TWindowDC dc(nullptr);
  return ::GetDeviceCaps(dc.Get(), LOGPIXELSX);
}

// ---- TFont ----------------------------------------------------------------

TFont::TFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    FName = S(metrics.lfMessageFont.lfFaceName);
    if (metrics.lfMessageFont.lfHeight != 0) FHeight = std::abs(metrics.lfMessageFont.lfHeight);
  } else {
    FName = u"MS UI Gothic";
  }
}

TFont::TFont(const TFont& other)
    : FName(other.FName), FHeight(other.FHeight), FStyle(other.FStyle), FColor(other.FColor) {}

TFont& TFont::operator=(const TFont& other) {
  if (this != &other) {
    FName = other.FName;
    FHeight = other.FHeight;
    FStyle = other.FStyle;
    FColor = other.FColor;
    Changed();
  }
  return *this;
}

void TFont::SetName(const String& name) { if (name != FName) { FName = name; Changed(); } }
void TFont::SetHeight(int height) { if (height != FHeight) { FHeight = height; Changed(); } }
void TFont::SetStyle(uint8_t style) { if (style != FStyle) { FStyle = style; Changed(); } }
void TFont::SetColor(COLORREF color) { if (color != FColor) { FColor = color; Changed(); } }

void TFont::Changed() {
  FHandles.clear();
  if (OnChange) OnChange();
}

HFONT TFont::Handle(int dpi) const {
  auto& handle = FHandles[dpi];
  if (!handle) {
    LOGFONTW lf{};
    lf.lfHeight = -ScaleForDpi(FHeight, dpi);
    lf.lfWeight = (FStyle & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (FStyle & fsItalic) != 0;
    lf.lfUnderline = (FStyle & fsUnderline) != 0;
    lf.lfStrikeOut = (FStyle & fsStrikeOut) != 0;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    const size_t n = std::min<size_t>(FName.size(), LF_FACESIZE - 1);
    std::copy_n(FName.data(), n, reinterpret_cast<char16_t*>(lf.lfFaceName));
    handle.Reset(::CreateFontIndirectW(&lf));
  }
  return handle.Get();
}

// ---- window classes and the one window procedure ----------------------------

namespace {

thread_local TWinControl* tCreating = nullptr;

struct TClassInfo {
  WNDPROC baseProc = ::DefWindowProcW;
};
std::map<String, TClassInfo>& Classes() {
  static std::map<String, TClassInfo> classes;
  return classes;
}

// Registers the toolkit's class for a kind of control: our own window
// procedure in front of the standard class it builds on, if any.
WNDPROC RegisterToolkitClass(const TCreateParams& params) {
  auto& classes = Classes();
  if (auto it = classes.find(params.WinClassName); it != classes.end()) return it->second.baseProc;

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  TClassInfo info;
  if (!params.BaseClassName.empty()) {
    if (!::GetClassInfoExW(nullptr, W(params.BaseClassName), &wc))
      throw Exception(u"ウィンドウクラス " + params.BaseClassName + u" がありません。");
    info.baseProc = wc.lpfnWndProc;
  } else {
    wc.style = params.ClassStyle;
    wc.hCursor = params.Cursor ? params.Cursor : ::LoadCursorW(nullptr, IDC_ARROW);
  }
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = ToolkitWndProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = W(params.WinClassName);
  if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw Exception(u"ウィンドウクラス " + params.WinClassName + u" を登録できません。");
  classes[params.WinClassName] = info;
  return info.baseProc;
}

}  // namespace

TWinControl* FindControl(HWND wnd) {
  if (!wnd) return nullptr;
  wchar_t name[64];
  if (!::GetClassNameW(wnd, name, 64) || !Classes().count(S(name))) return nullptr;
  return reinterpret_cast<TWinControl*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
}

LRESULT CALLBACK ToolkitWndProc(HWND wnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* control = reinterpret_cast<TWinControl*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (!control) {
    // The first message of a window being made binds it to its control.
    control = tCreating;
    if (!control) return ::DefWindowProcW(wnd, msg, wparam, lparam);
    tCreating = nullptr;
    control->FHandle = wnd;
    ::SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
  }
  if (msg == CM_RELEASE) {
    delete control;  // outside any handler of its own
    return 0;
  }
  TMessage message{msg, wparam, lparam, 0};
  try {
    if (control->FWindowProc) control->FWindowProc(message);
    else control->DefaultHandler(message);
  } catch (...) {
    ApplicationHandleException();
  }
  if (msg == WM_NCDESTROY) {
    ::SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
    control->FHandle = nullptr;
    control->HandleDestroyed();
  }
  return message.Result;
}

TShiftState MouseShiftState(WPARAM keys) {
  TShiftState shift = 0;
  if (keys & MK_SHIFT) shift |= ssShift;
  if (keys & MK_CONTROL) shift |= ssCtrl;
  if (keys & MK_LBUTTON) shift |= ssLeft;
  if (keys & MK_RBUTTON) shift |= ssRight;
  if (keys & MK_MBUTTON) shift |= ssMiddle;
  return shift;
}

TShiftState KeyboardShiftState() {
  TShiftState shift = 0;
  if (::GetKeyState(VK_SHIFT) < 0) shift |= ssShift;
  if (::GetKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
  if (::GetKeyState(VK_MENU) < 0) shift |= ssAlt;
  return shift;
}

// ---- TWinControl --------------------------------------------------------------

TWinControl::TWinControl(TComponent* owner) : TComponent(owner) {
  FWindowProc = [this](TMessage& m) { WndProc(m); };
  FFont.OnChange = [this] { FParentFont = false; FontChanged(); };
}

TWinControl::~TWinControl() {
  DestroyHandle();
  for (TWinControl* child : FControls) child->FParent = nullptr;
  FControls.clear();
  if (FParent) {
    auto& siblings = FParent->FControls;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

void TWinControl::SetParent(TWinControl* parent) {
  if (parent == FParent) return;
  if (FHandle) DestroyHandle();
  if (FParent) {
    auto& siblings = FParent->FControls;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  FParent = parent;
  if (FParent) {
    FParent->FControls.push_back(this);
    if (FParentFont) InheritFont();
    if (FParent->HandleAllocated()) HandleNeeded();
  }
}

HWND TWinControl::Handle() {
  if (!FHandle) {
    if (FParent) FParent->HandleNeeded();
    CreateWnd();
  }
  return FHandle;
}

void TWinControl::CreateParams(TCreateParams& params) {
  params.Caption = FCaption;
  params.WinClassName = u"Tolvi.Control";
  if (FParent) {
    params.WndParent = FParent->Handle();
    params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    FDpi = FParent->FDpi;
  }
  if (FVisible) params.Style |= WS_VISIBLE;
  if (!FEnabled) params.Style |= WS_DISABLED;
  if (FTabStop) params.Style |= WS_TABSTOP;
  params.X = Scale(FLeft);
  params.Y = Scale(FTop);
  params.Width = Scale(FWidth);
  params.Height = Scale(FHeight);
}

void TWinControl::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  FDefWndProc = RegisterToolkitClass(params);
  tCreating = this;
  const HWND wnd = ::CreateWindowExW(params.ExStyle, W(params.WinClassName), W(params.Caption), params.Style,
                                     params.X, params.Y, params.Width, params.Height, params.WndParent,
                                     nullptr, ::GetModuleHandleW(nullptr), this);
  tCreating = nullptr;
  if (!wnd) {
    FHandle = nullptr;
    throw Exception(u"ウィンドウを作成できません。");
  }
  FHandle = wnd;
  if (!FParent) {
    const int dpi = DpiForWindow(wnd);
    if (dpi != FDpi) DpiChanged(dpi);
  }
  ApplyFont();
  for (TWinControl* child : FControls)
    if (!child->FHandle) child->CreateWnd();
  CreateHandleDone();
}

void TWinControl::DestroyWnd() {
  if (FHandle) ::DestroyWindow(FHandle);
}

void TWinControl::DestroyHandle() {
  if (FHandle) DestroyWnd();
}

void TWinControl::RecreateWnd() {
  if (!FHandle) return;
  FRecreating = true;
  DestroyWnd();
  FRecreating = false;
  HandleNeeded();
}

LRESULT TWinControl::Perform(UINT msg, WPARAM wparam, LPARAM lparam) {
  TMessage message{msg, wparam, lparam, 0};
  if (FWindowProc) FWindowProc(message);
  return message.Result;
}

void TWinControl::DefaultHandler(TMessage& message) {
  if (FHandle)
    message.Result = ::CallWindowProcW(FDefWndProc ? FDefWndProc : ::DefWindowProcW, FHandle, message.Msg,
                                       message.WParam, message.LParam);
}

bool TWinControl::ReflectToChild(TMessage& message) {
  HWND child = nullptr;
  switch (message.Msg) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      child = reinterpret_cast<HWND>(message.LParam);
      break;
    case WM_NOTIFY:
      child = reinterpret_cast<NMHDR*>(message.LParam)->hwndFrom;
      break;
    default:
      return false;
  }
  TWinControl* control = FindControl(child);
  if (!control || control == this) return false;
  message.Result = control->Perform(CN_BASE + message.Msg, message.WParam, message.LParam);
  return true;
}

void TWinControl::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (DoKeyDown(message)) return;
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (DoKeyUp(message)) return;
      break;
    case WM_CHAR:
      if (DoKeyPress(message)) return;
      break;
    case WM_LBUTTONDOWN: DoMouse(message, mbLeft, true); break;
    case WM_RBUTTONDOWN: DoMouse(message, mbRight, true); break;
    case WM_MBUTTONDOWN: DoMouse(message, mbMiddle, true); break;
    case WM_LBUTTONUP: DoMouse(message, mbLeft, false); break;
    case WM_RBUTTONUP: DoMouse(message, mbRight, false); break;
    case WM_MBUTTONUP: DoMouse(message, mbMiddle, false); break;
    case WM_MOUSEMOVE:
      if (OnMouseMove)
        OnMouseMove(this, MouseShiftState(message.WParam), GET_X_LPARAM(message.LParam),
                    GET_Y_LPARAM(message.LParam));
      break;
    case WM_LBUTTONDBLCLK:
      DblClick();
      break;
    case WM_SETFOCUS:
      if (OnEnter) OnEnter(this);
      break;
    case WM_KILLFOCUS:
      if (OnExit) OnExit(this);
      break;
    case WM_ERASEBKGND:
      if (FColor != kColorDefault && FDefWndProc == ::DefWindowProcW) {
        RECT r;
        ::GetClientRect(FHandle, &r);
        TBrushHandle brush(::CreateSolidBrush(FColor));
        ::FillRect(reinterpret_cast<HDC>(message.WParam), &r, brush.Get());
        message.Result = 1;
        return;
      }
      break;
    case WM_DPICHANGED_AFTERPARENT:
      DpiChanged(DpiForWindow(FHandle));
      break;
    default:
      if (ReflectToChild(message)) return;
      break;
  }
  DefaultHandler(message);
}

bool TWinControl::DoKeyDown(TMessage& message) {
  WORD key = static_cast<WORD>(message.WParam);
  const TShiftState shift = KeyboardShiftState();
  TWinControl* top = TopLevelControl();
  if (top != this && top->PreviewKeyDown(key, shift)) return true;
  if (key) KeyDown(key, shift);
  message.WParam = key;
  if (key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE) {
    const LRESULT code = Perform(WM_GETDLGCODE, key, 0);
    const bool wanted = key == VK_TAB ? (code & DLGC_WANTTAB) != 0 : (code & DLGC_WANTALLKEYS) != 0;
    if (!wanted && top->DialogKey(this, key, shift)) {
      // The character the message loop already made of the key goes too:
      // the key moved the focus or pressed a button, and is not typing.
      MSG pending;
      ::PeekMessageW(&pending, FHandle, WM_CHAR, WM_CHAR, PM_REMOVE);
      return true;
    }
  }
  return key == 0;
}

void TWinControl::KeyDown(WORD& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(WORD& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char16_t& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

bool TWinControl::DoKeyUp(TMessage& message) {
  WORD key = static_cast<WORD>(message.WParam);
  const TShiftState shift = KeyboardShiftState();
  TWinControl* top = TopLevelControl();
  if (top != this && top->PreviewKeyUp(key, shift)) return true;
  if (key) KeyUp(key, shift);
  message.WParam = key;
  return key == 0;
}

bool TWinControl::DoKeyPress(TMessage& message) {
  char16_t key = static_cast<char16_t>(message.WParam);
  TWinControl* top = TopLevelControl();
  if (top != this && top->PreviewKeyPress(key)) return true;
  if (key) KeyPress(key);
  message.WParam = key;
  return key == 0;
}

void TWinControl::DoMouse(TMessage& message, TMouseButton button, bool down) {
  const TShiftState shift = MouseShiftState(message.WParam);
  const int x = GET_X_LPARAM(message.LParam), y = GET_Y_LPARAM(message.LParam);
  const auto& handler = down ? OnMouseDown : OnMouseUp;
  if (handler) handler(this, button, shift, x, y);
}

void TWinControl::Click() { if (OnClick) OnClick(this); }
void TWinControl::DblClick() { if (OnDblClick) OnDblClick(this); }

void TWinControl::SetCaption(const String& caption) {
  FCaption = caption;
  if (FHandle) ::SetWindowTextW(FHandle, W(FCaption));
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  UpdateBounds();
}

void TWinControl::UpdateBounds() {
  if (FHandle)
    ::SetWindowPos(FHandle, nullptr, Scale(FLeft), Scale(FTop), Scale(FWidth), Scale(FHeight),
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

int TWinControl::ClientWidth() {
  RECT r{};
  ::GetClientRect(Handle(), &r);
  return r.right;
}

int TWinControl::ClientHeight() {
  RECT r{};
  ::GetClientRect(Handle(), &r);
  return r.bottom;
}

void TWinControl::SetVisible(bool visible) {
  FVisible = visible;
  if (FHandle) ::ShowWindow(FHandle, visible ? SW_SHOW : SW_HIDE);
  else if (visible && (!FParent || FParent->HandleAllocated())) HandleNeeded();
}

void TWinControl::SetEnabled(bool enabled) {
  FEnabled = enabled;
  if (FHandle) ::EnableWindow(FHandle, enabled);
}

void TWinControl::SetTabStop(bool value) {
  FTabStop = value;
  if (FHandle) {
    LONG_PTR style = ::GetWindowLongPtrW(FHandle, GWL_STYLE);
    style = value ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
    ::SetWindowLongPtrW(FHandle, GWL_STYLE, style);
  }
}

void TWinControl::SetColor(COLORREF color) {
  FColor = color;
  Invalidate();
}

void TWinControl::SetFont(const TFont& font) { FFont = font; }

void TWinControl::SetParentFont(bool value) {
  FParentFont = value;
  if (value) InheritFont();
}

void TWinControl::InheritFont() {
  if (!FParent) return;
  auto onChange = std::move(FFont.OnChange);
  FFont.OnChange = nullptr;
  FFont = FParent->FFont;
  FFont.OnChange = std::move(onChange);
  FontChanged();
}

void TWinControl::FontChanged() {
  ApplyFont();
  for (TWinControl* child : FControls)
    if (child->FParentFont) child->InheritFont();
}

void TWinControl::ApplyFont() {
  if (FHandle) ::SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Handle(FDpi)), TRUE);
}

void TWinControl::DpiChanged(int dpi) {
  FDpi = dpi;
  ApplyFont();
  for (TWinControl* child : FControls) {
    child->DpiChanged(dpi);
    child->UpdateBounds();
  }
}

void TWinControl::SetFocus() {
  if (CanFocus()) ::SetFocus(Handle());
}

bool TWinControl::Focused() const { return FHandle && ::GetFocus() == FHandle; }

bool TWinControl::CanFocus() const {
  for (const TWinControl* c = this; c; c = c->FParent)
    if (!c->FVisible || !c->FEnabled) return false;
  return true;
}

void TWinControl::Invalidate() {
  if (FHandle) ::InvalidateRect(FHandle, nullptr, TRUE);
}

void TWinControl::Update() {
  if (FHandle) ::UpdateWindow(FHandle);
}

TWinControl* TWinControl::TopLevelControl() {
  TWinControl* c = this;
  while (c->FParent) c = c->FParent;
  return c;
}

// ---- standard controls --------------------------------------------------------

TButton::TButton(TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
  SetBounds(0, 0, 75, 25);
}

void TButton::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WinClassName = u"Tolvi.Button";
  params.BaseClassName = u"BUTTON";
  params.Style |= FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool value) {
  FDefault = value;
  if (HandleAllocated()) ::SendMessageW(Handle(), BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::WndProc(TMessage& message) {
  if (message.Msg == CN_COMMAND) {
    if (HIWORD(message.WParam) == BN_CLICKED) Click();
    return;
  }
  TWinControl::WndProc(message);
}

TLabel::TLabel(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 65, 17); }

void TLabel::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WinClassName = u"Tolvi.Label";
  params.BaseClassName = u"STATIC";
  params.Style |= SS_LEFT | SS_NOTIFY;
}

TPanel::TPanel(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 185, 41); }

void TPanel::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WinClassName = u"Tolvi.Panel";
  params.Style |= WS_CLIPCHILDREN;
}

TRadioButton::TRadioButton(TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
  SetBounds(0, 0, 113, 17);
}

void TRadioButton::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WinClassName = u"Tolvi.RadioButton";
  params.BaseClassName = u"BUTTON";
  params.Style |= BS_AUTORADIOBUTTON;
}

void TRadioButton::CreateHandleDone() {
  ::SendMessageW(Handle(), BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// The system clears the other buttons of the group itself, so the window
// holds the truth once it exists.
bool TRadioButton::Checked() {
  if (HandleAllocated()) FChecked = ::SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
  return FChecked;
}

void TRadioButton::SetChecked(bool value) {
  FChecked = value;
  if (HandleAllocated()) ::SendMessageW(Handle(), BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TRadioButton::WndProc(TMessage& message) {
  if (message.Msg == CN_COMMAND) {
    if (HIWORD(message.WParam) == BN_CLICKED) Click();
    return;
  }
  TWinControl::WndProc(message);
}

// ---- TTimer ---------------------------------------------------------------------

namespace {
std::map<UINT_PTR, TTimer*>& Timers() {
  static std::map<UINT_PTR, TTimer*> timers;
  return timers;
}
}  // namespace

TTimer::TTimer(TComponent* owner) : TComponent(owner) {}

TTimer::~TTimer() {
  FEnabled = false;
  UpdateTimer();
}

void TTimer::SetEnabled(bool value) {
  if (value != FEnabled) {
    FEnabled = value;
    UpdateTimer();
  }
}

void TTimer::SetInterval(UINT value) {
  if (value != FInterval) {
    FInterval = value;
    UpdateTimer();
  }
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  FOnTimer = std::move(handler);
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  if (FId) {
    ::KillTimer(nullptr, FId);
    Timers().erase(FId);
    FId = 0;
  }
  if (FEnabled && FInterval > 0 && FOnTimer) {
    FId = ::SetTimer(nullptr, 0, FInterval, TimerProc);
    if (FId) Timers()[FId] = this;
  }
}

void CALLBACK TTimer::TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  auto it = Timers().find(id);
  if (it == Timers().end()) return;
  try {
    TTimer* timer = it->second;
    if (timer->FOnTimer) timer->FOnTimer(timer);
  } catch (...) {
    ApplicationHandleException();
  }
}
