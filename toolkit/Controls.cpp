#include "toolkit/Controls.h"

#include <algorithm>
#include <set>

#include <commctrl.h>
#include <imm.h>
#include <windowsx.h>

// ---- TFont ----------------------------------------------------------------

const String& TFont::Name() const {
  if (FSystemName) {
    FName = S(MessageFont96().lfFaceName);
    FSystemName = false;
  }
  return FName;
}

int TFont::Height() const {
  if (FPoints > 0) return PointsToPixels(FPoints, 96);
  if (FSystemHeight) {
    FHeight = MessageFont96().lfHeight;
    FSystemHeight = false;
  }
  return FHeight;
}

TFont::TFont(const TFont& other)
    : FSystemName(other.FSystemName), FSystemHeight(other.FSystemHeight), FName(other.FName),
      FHeight(other.FHeight), FPoints(other.FPoints), FStyle(other.FStyle), FCharset(other.FCharset),
      FColor(other.FColor) {}

TFont& TFont::operator=(const TFont& other) {
  if (this != &other) {
    FSystemName = other.FSystemName;
    FSystemHeight = other.FSystemHeight;
    FName = other.FName;
    FHeight = other.FHeight;
    FPoints = other.FPoints;
    FStyle = other.FStyle;
    FCharset = other.FCharset;
    FColor = other.FColor;
    Changed();
  }
  return *this;
}

void TFont::SetName(const String& name) {
  if (!FSystemName && name == FName) return;
  FName = name;
  FSystemName = false;
  Changed();
}

void TFont::SetHeight(int height) {
  if (!FSystemHeight && FPoints == 0 && height == FHeight) return;
  FHeight = height;
  FSystemHeight = false;
  FPoints = 0;
  Changed();
}

int TFont::Size() const { return FPoints > 0 ? FPoints : ::MulDiv(Height(), 72, 96); }

void TFont::SetSize(int points) {
  if (points <= 0 || points == FPoints) return;  // no font has no size
  FPoints = points;
  FSystemHeight = false;
  Changed();
}

void TFont::SetStyle(uint8_t style) { if (style != FStyle) { FStyle = style; Changed(); } }
void TFont::SetCharset(uint8_t charset) { if (charset != FCharset) { FCharset = charset; Changed(); } }
void TFont::SetColor(COLORREF color) { if (color != FColor) { FColor = color; Changed(); } }

void TFont::Changed() {
  FHandles.clear();
  if (OnChange) OnChange();
}

HFONT TFont::Handle(int dpi) const {
  auto& handle = FHandles[dpi];
  if (!handle) {
    LOGFONTW lf{};
    lf.lfHeight = -(FPoints > 0 ? PointsToPixels(FPoints, dpi) : ScaleForDpi(Height(), dpi));
    lf.lfWeight = (FStyle & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (FStyle & fsItalic) != 0;
    lf.lfUnderline = (FStyle & fsUnderline) != 0;
    lf.lfStrikeOut = (FStyle & fsStrikeOut) != 0;
    lf.lfCharSet = FCharset;
    lf.lfQuality = DEFAULT_QUALITY;
    const String& name = Name();
    const size_t n = std::min<size_t>(name.size(), LF_FACESIZE - 1);
    std::copy_n(name.data(), n, reinterpret_cast<char16_t*>(lf.lfFaceName));
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
  // The common controls are loaded with the first window, not at start: a
  // run that makes no window never pays for them.
  [[maybe_unused]] static const bool commonControls = [] {
    // The theme library, which the self-drawn controls use too, is taken
    // from the system folder before the common controls can ask for it by
    // name: a loader that resolves a system library's delayed imports with
    // the plain search (Wine's, where no style is active) would otherwise
    // take an uxtheme.dll found beside the program.
    LoadSystemLibrary(L"uxtheme.dll");  // stays loaded for the process
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_UPDOWN_CLASS};
    return ::InitCommonControlsEx(&icc) != FALSE;
  }();

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
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
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
  if (msg == WM_SETFOCUS) {
    // Whatever a control does with the message, its window knows where the
    // focus is, to give it back there when it is activated again.
    TWinControl* top = control->TopLevelControl();
    if (top != control) top->ChildFocused(control);
  }
  TMessage message{msg, wparam, lparam, 0};
  try {
    if (control->FWindowProc) control->FWindowProc(message);
    else control->DefaultHandler(message);
  } catch (...) {
    // A failed paint leaves its region valid, or every repaint would fail
    // and report again: one fault, one report.
    if (msg == WM_PAINT) ::ValidateRect(wnd, nullptr);
    ApplicationHandleException();
  }
  if (msg == WM_NCDESTROY) {
    // The window's tool leaves the tooltip window, which may live on.
    TWinControl* top = control->TopLevelControl();
    if (!control->FHint.empty() && top != control && top->FTooltip) {
      TTTOOLINFOW info{};
      info.cbSize = sizeof(info);
      info.hwnd = top->FHandle;
      info.uId = reinterpret_cast<UINT_PTR>(wnd);
      ::SendMessageW(top->FTooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    ::SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
    control->FHandle = nullptr;
    control->FTooltip = nullptr;  // an owned window: gone with it
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
  LeaveTopLevel();
  DestroyHandle();
  for (TWinControl* child : FControls) child->FParent = nullptr;
  FControls.clear();
  if (FParent) {
    auto& siblings = FParent->FControls;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

void TWinControl::BeforeDestruction() { DestroyHandle(); }

void TWinControl::LeaveTopLevel() {
  if (!FParent) return;
  TWinControl* top = TopLevelControl();
  if (top != this) top->ChildRemoved(this);
}

void TWinControl::SetParent(TWinControl* parent) {
  if (parent == FParent) return;
  LeaveTopLevel();
  if (FHandle) DestroyHandle();
  if (FParent) {
    auto& siblings = FParent->FControls;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  FParent = parent;
  if (FParent) {
    FParent->FControls.push_back(this);
    // Last in the tab order, unless a place was asked for before.
    SetTabOrder(FTabOrder < 0 ? static_cast<int>(FParent->FControls.size()) : FTabOrder);
    if (FParentFont) InheritFont();
    if (FParent->HandleAllocated()) HandleNeeded();
  }
}

HWND TWinControl::Handle() {
  if (!FHandle && !InState(csDestroying)) {
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
  const TRectI r = PhysicalBounds();
  params.X = r.Left;
  params.Y = r.Top;
  params.Width = r.Width;
  params.Height = r.Height;
}

TRectI TWinControl::PhysicalBounds() {
  const TRectI own = DpiScale(TRectI{FLeft, FTop, FWidth, FHeight}, FDpi);
  if (FAlign == alNone || !FParent || !FParent->FHandle) return own;
  TRectI area{0, 0, FParent->ClientWidth(), FParent->ClientHeight()};
  FParent->AdjustClientRect(area);
  std::vector<TAlignItem> items;
  size_t self = 0;
  for (TWinControl* c : FParent->FControls) {
    if (c == this) self = items.size();
    items.push_back({c->FVisible ? c->FAlign : alNone, DpiScale(TRectI{c->FLeft, c->FTop, c->FWidth, c->FHeight}, FDpi)});
  }
  return AlignControls(area, items)[self];
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
  // Only a window that turns the input method off asks the system about it.
  if (ImeDisabled()) ::ImmAssociateContextEx(wnd, nullptr, 0);
  if (!FParent) {
    // Made at the DPI its monitor was expected to have; should the system
    // have put it elsewhere, it follows.
    const int dpi = DpiForWindow(wnd);
    if (dpi != FDpi) {
      DpiChanged(dpi);
      UpdateBounds();
    }
  }
  ApplyFont();
  for (TWinControl* child : FControls)
    if (!child->FHandle) child->CreateWnd();
  Realign();
  if (!FHint.empty()) RegisterHint();
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
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      child = reinterpret_cast<HWND>(message.LParam);
      break;
    case WM_NOTIFY:
      child = reinterpret_cast<NMHDR*>(message.LParam)->hwndFrom;
      break;
    case WM_DRAWITEM:
      child = reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam)->hwndItem;
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
      if (FDefWndProc == ::DefWindowProcW) {
        const COLORREF color = EffectiveColor();
        if (color != kColorDefault) {
          RECT r;
          ::GetClientRect(FHandle, &r);
          TBrushHandle brush(::CreateSolidBrush(ColorToRgb(color, 0)));
          ::FillRect(reinterpret_cast<HDC>(message.WParam), &r, brush.Get());
          message.Result = 1;
          return;
        }
      }
      break;
    case WM_SIZE:
      DefaultHandler(message);
      if (!Relaying()) Realign();
      return;
    case WM_SETCURSOR:
      if (FCursor != crDefault && reinterpret_cast<HWND>(message.WParam) == FHandle &&
          LOWORD(message.LParam) == HTCLIENT) {
        static const LPCWSTR ids[] = {IDC_ARROW, IDC_ARROW, IDC_HAND, IDC_IBEAM};
        ::SetCursor(::LoadCursorW(nullptr, ids[FCursor]));
        message.Result = TRUE;
        return;
      }
      break;
    case CN_CTLCOLORSTATIC:
    case CN_CTLCOLORBTN:
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORLISTBOX:
      if (!CtlColor(message) && FParent && FParent->FHandle)
        message.Result = ::DefWindowProcW(FParent->FHandle, message.Msg - CN_BASE, message.WParam, message.LParam);
      return;
    case WM_SYSCHAR:
      if (TopLevelControl()->DialogChar(static_cast<char16_t>(message.WParam), true)) return;
      break;
    case WM_DPICHANGED_AFTERPARENT:
      // The top-level window's WM_DPICHANGED has done the children already.
      message.Result = 0;
      return;
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
  if (FKeyPartner && key && FKeyPartner->Perform(CM_PARTNERKEY, key, 0)) return true;
  if (key) KeyDown(key, shift);
  message.WParam = key;
  const bool arrow = key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN;
  if (key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE || arrow) {
    const LRESULT code = Perform(WM_GETDLGCODE, key, 0);
    const bool wanted = key == VK_TAB ? (code & DLGC_WANTTAB) != 0
                        : arrow       ? (code & DLGC_WANTARROWS) != 0 && !(code & DLGC_RADIOBUTTON)
                                      : (code & DLGC_WANTALLKEYS) != 0;
    if (!wanted && top->DialogKey(this, key, shift)) {
      if (key == VK_TAB || arrow) top->CueKeyboard(UISF_HIDEFOCUS);
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
  if (key == 0) return true;
  // A character the control does not take may be an accelerator.
  if (!(Perform(WM_GETDLGCODE, 0, 0) & DLGC_WANTCHARS) && key > u' ' && top->DialogChar(key, false)) return true;
  return false;
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
  if (!FHandle) return;
  if (FAlign != alNone && FParent) {
    FParent->Realign();
    return;
  }
  const TRectI r = PhysicalBounds();
  ::SetWindowPos(FHandle, nullptr, r.Left, r.Top, r.Width, r.Height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWinControl::SetAlign(TAlign value) {
  FAlign = value;
  UpdateBounds();
}

void TWinControl::Realign() {
  if (!FHandle) return;
  for (TWinControl* child : FControls) {
    if (child->FAlign == alNone || !child->FHandle) continue;
    const TRectI r = child->PhysicalBounds();
    ::SetWindowPos(child->FHandle, nullptr, r.Left, r.Top, r.Width, r.Height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void TWinControl::ApplyDpiChange(int dpi, const RECT& suggested) {
  const bool outer = !FRelaying;
  FRelaying = true;
  DpiChanged(dpi);
  ::SetWindowPos(FHandle, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  RelayChildren();
  if (outer) FRelaying = false;
}

bool TWinControl::Relaying() { return TopLevelControl()->FRelaying; }

void TWinControl::RelayChildren() {
  TWinControl* top = TopLevelControl();
  const bool outer = !top->FRelaying;
  top->FRelaying = true;
  for (TWinControl* child : FControls) {
    if (!child->FHandle) continue;
    const TRectI r = child->PhysicalBounds();
    ::SetWindowPos(child->FHandle, nullptr, r.Left, r.Top, r.Width, r.Height, SWP_NOZORDER | SWP_NOACTIVATE);
    child->RelayChildren();
  }
  if (outer) top->FRelaying = false;
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
  FParentColor = false;
  Invalidate();
  for (TWinControl* child : FControls)
    if (child->FParentColor) child->Invalidate();
}

void TWinControl::SetParentColor(bool value) {
  FParentColor = value;
  Invalidate();
}

COLORREF TWinControl::EffectiveColor() const {
  const TWinControl* c = this;
  while (c->FParentColor && c->FParent) c = c->FParent;
  return c->FColor;
}

bool TWinControl::CtlColor(TMessage& message) {
  // Edit fields and lists keep the window colour unless given their own.
  const bool field = message.Msg == CN_CTLCOLOREDIT || message.Msg == CN_CTLCOLORLISTBOX;
  const COLORREF color = field && FParentColor ? kColorDefault : EffectiveColor();
  if (color == kColorDefault) return false;
  const COLORREF rgb = ColorToRgb(color, 0);
  if (!FBrush || FBrushColor != rgb) {
    FBrush.Reset(::CreateSolidBrush(rgb));
    FBrushColor = rgb;
  }
  const HDC dc = reinterpret_cast<HDC>(message.WParam);
  ::SetBkColor(dc, rgb);
  ::SetTextColor(dc, ColorToRgb(FFont.Color(), ::GetSysColor(COLOR_WINDOWTEXT)));
  message.Result = reinterpret_cast<LRESULT>(FBrush.Get());
  return true;
}

void TWinControl::SetTabOrder(int value) {
  FTabOrder = std::max(0, value);
  if (!FParent) return;
  // The siblings keep distinct places: the ones at or after it move on.
  std::vector<TWinControl*> order = FParent->FControls;
  std::stable_sort(order.begin(), order.end(),
                   [](TWinControl* a, TWinControl* b) { return a->FTabOrder < b->FTabOrder; });
  order.erase(std::remove(order.begin(), order.end(), this), order.end());
  const size_t at = static_cast<size_t>(std::clamp(value, 0, static_cast<int>(order.size())));
  order.insert(order.begin() + static_cast<std::ptrdiff_t>(at), this);
  for (size_t i = 0; i < order.size(); ++i) order[i]->FTabOrder = static_cast<int>(i);
}

void TWinControl::SetHint(const String& hint) {
  FHint = hint;
  if (FHandle) RegisterHint();
}

namespace {
// The tooltips' font: the system's message font, made once per DPI.
const TFont& HintFont() {
  static const TFont font;
  return font;
}
}  // namespace

// One tooltip window per top-level window; each control with a hint is a
// tool of it, found by its window.
void TWinControl::RegisterHint() {
  TWinControl* top = TopLevelControl();
  if (!top->FHandle) return;
  if (!top->FTooltip && !FHint.empty()) {
    top->FTooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, top->FHandle,
                                      nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (top->FTooltip) {
      ::SendMessageW(top->FTooltip, TTM_SETMAXTIPWIDTH, 0, top->Scale(400));
      ::SendMessageW(top->FTooltip, WM_SETFONT, reinterpret_cast<WPARAM>(HintFont().Handle(top->FDpi)), FALSE);
    }
  }
  if (!top->FTooltip) return;
  TTTOOLINFOW info{};
  info.cbSize = sizeof(info);
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = top->FHandle;
  info.uId = reinterpret_cast<UINT_PTR>(FHandle);
  ::SendMessageW(top->FTooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  if (FHint.empty()) return;
  info.lpszText = const_cast<wchar_t*>(W(FHint));
  ::SendMessageW(top->FTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void TWinControl::CueKeyboard(WORD flags) {
  if (FHandle) ::SendMessageW(FHandle, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, flags), 0);
}

void TWinControl::SetFont(const TFont& font) { FFont = font; }

bool TWinControl::ImeDisabled() const {
  for (const TWinControl* c = this; c; c = c->FParent)
    if (c->FImeMode != imDontCare) return c->FImeMode == imDisable;
  return false;
}

void TWinControl::SetImeMode(TImeMode value) {
  if (value == FImeMode) return;
  FImeMode = value;
  ApplyImeMode();
}

// The windows that follow this control's mode take it now; a window made
// later takes it when it is made.
void TWinControl::ApplyImeMode() {
  if (!FHandle) return;
  ::ImmAssociateContextEx(FHandle, nullptr, ImeDisabled() ? 0 : IACE_DEFAULT);
  for (TWinControl* child : FControls)
    if (child->FImeMode == imDontCare) child->ApplyImeMode();
}

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
  if (FTooltip) ::SendMessageW(FTooltip, WM_SETFONT, reinterpret_cast<WPARAM>(HintFont().Handle(dpi)), FALSE);
  for (TWinControl* child : FControls) child->DpiChanged(dpi);
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
