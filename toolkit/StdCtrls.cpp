#include "toolkit/StdCtrls.h"

#include <algorithm>

#include <commctrl.h>
#include <windowsx.h>

namespace {

void FillSolid(HDC dc, const RECT& r, COLORREF color) {
  TBrushHandle brush(::CreateSolidBrush(color));
  ::FillRect(dc, &r, brush.Get());
}

}  // namespace

// ---- TButtonControl -----------------------------------------------------------

TButtonControl::TButtonControl(TComponent* owner) : TWinControl(owner) { SetTabStop(true); }

void TButtonControl::WndProc(TMessage& message) {
  if (message.Msg == CN_COMMAND) {
    if (HIWORD(message.WParam) == BN_CLICKED) Click();
    return;
  }
  TWinControl::WndProc(message);
}

bool TButtonControl::Accelerator(char16_t key) {
  if (!IsAccelerator(key, Caption()) || !CanFocus() || !HandleAllocated()) return false;
  AcceleratorPressed();
  return true;
}

void TButtonControl::AcceleratorPressed() { SetFocus(); }

// ---- TButton ------------------------------------------------------------------

TButton::TButton(TComponent* owner) : TButtonControl(owner) { SetBounds(0, 0, 75, 25); }

void TButton::CreateParams(TCreateParams& params) {
  TButtonControl::CreateParams(params);
  params.WinClassName = u"Tolvi.Button";
  params.BaseClassName = u"BUTTON";
  // A glyph is drawn by the button itself, at the window's DPI.
  params.Style |= FGlyph != bgNone ? BS_OWNERDRAW : FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::CreateHandleDone() {
  TButtonControl::CreateHandleDone();
  OpenTheme();
}

void TButton::HandleDestroyed() {
  FTheme.Close();
  FHot = false;
  TButtonControl::HandleDestroyed();
}

void TButton::OpenTheme() {
  if (FGlyph != bgNone && HandleAllocated()) FTheme.Open(Handle(), L"BUTTON");
  else FTheme.Close();
}

void TButton::SetHot(bool value) {
  if (value == FHot) return;
  FHot = value;
  if (FTheme) ::InvalidateRect(Handle(), nullptr, FALSE);
}

void TButton::SetDefault(bool value) {
  FDefault = value;
  if (!HandleAllocated()) return;
  if (FGlyph == bgNone) ::SendMessageW(Handle(), BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
  else Invalidate();
}

void TButton::SetGlyph(TButtonGlyph value) {
  if (value == FGlyph) return;
  FGlyph = value;
  RecreateWnd();
}

void TButton::AcceleratorPressed() {
  SetFocus();
  Click();
}

void TButton::WndProc(TMessage& message) {
  if (message.Msg == CN_DRAWITEM) {
    Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(message.LParam));
    message.Result = TRUE;
    return;
  }
  if (message.Msg == WM_GETDLGCODE && FGlyph != bgNone) {
    // An owner-drawn button is still a push button to the keyboard.
    message.Result = DLGC_BUTTON | (FDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    return;
  }
  if (FGlyph != bgNone) {
    switch (message.Msg) {
      case WM_THEMECHANGED:
        OpenTheme();
        Invalidate();
        break;
      case WM_MOUSEMOVE: {
        // Hot while the pointer is over it (a pressed button that holds the
        // mouse hears of it outside too); told when it leaves.
        RECT r{};
        ::GetClientRect(Handle(), &r);
        const POINT at{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
        const bool inside = ::PtInRect(&r, at) != FALSE;
        if (inside && !FHot) {
          TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, Handle(), 0};
          ::TrackMouseEvent(&track);
        }
        SetHot(inside);
        break;
      }
      case WM_MOUSELEAVE:
        SetHot(false);
        break;
      case WM_CAPTURECHANGED: {
        POINT at{};
        RECT r{};
        ::GetCursorPos(&at);
        ::GetWindowRect(Handle(), &r);
        SetHot(::PtInRect(&r, at) != FALSE && FHot);
        break;
      }
      default:
        break;
    }
  }
  TButtonControl::WndProc(message);
}

void DrawCheckGlyph(HDC dc, const RECT& box, bool enabled) {
  // The mark as a shape in a unit square, placed on whole pixels of the box.
  static const double shape[][2] = {{0.02, 0.55}, {0.18, 0.39}, {0.38, 0.59}, {0.80, 0.14},
                                    {0.96, 0.30}, {0.38, 0.88}};
  const int w = box.right - box.left, h = box.bottom - box.top;
  POINT points[6];
  for (int i = 0; i < 6; ++i)
    points[i] = {box.left + static_cast<LONG>(shape[i][0] * w + 0.5), box.top + static_cast<LONG>(shape[i][1] * h + 0.5)};
  const COLORREF color = enabled ? RGB(0, 128, 0) : ::GetSysColor(COLOR_GRAYTEXT);
  TBrushHandle brush(::CreateSolidBrush(color));
  TSelectObject selBrush(dc, brush.Get());
  TSelectObject selPen(dc, ::GetStockObject(NULL_PEN));
  ::Polygon(dc, points, 6);
}

void TButton::Draw(const DRAWITEMSTRUCT& item) {
  const HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool pushed = (item.itemState & ODS_SELECTED) != 0;
  const bool enabled = (item.itemState & ODS_DISABLED) == 0;
  const bool focused = (item.itemState & ODS_FOCUS) != 0;
  RECT focus = r;
  COLORREF textColor = ColorToRgb(Font().Color(), ::GetSysColor(COLOR_BTNTEXT));
  if (FTheme) {
    // The push button of the style in the state the system's own buttons
    // would show: pressed, hot under the pointer, the default one, normal.
    const int state = !enabled ? PBS_DISABLED
                      : pushed ? PBS_PRESSED
                      : FHot   ? PBS_HOT
                      : (FDefault || focused) ? PBS_DEFAULTED
                                              : PBS_NORMAL;
    if (FTheme.PartiallyTransparent(BP_PUSHBUTTON, state)) TThemeData::DrawParentBackground(item.hwndItem, dc, r);
    FTheme.DrawBackground(dc, BP_PUSHBUTTON, state, r);
    r = FTheme.ContentRect(dc, BP_PUSHBUTTON, state, r);
    focus = r;
    textColor = FTheme.Color(BP_PUSHBUTTON, state, TMT_TEXTCOLOR,
                             ::GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  } else {
    if (FDefault || focused) {
      TBrushHandle frame(::CreateSolidBrush(::GetSysColor(COLOR_WINDOWFRAME)));
      ::FrameRect(dc, &r, frame.Get());
      ::InflateRect(&r, -1, -1);
    }
    ::DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED | DFCS_FLAT : 0));
    if (pushed) ::OffsetRect(&r, 1, 1);
    ::InflateRect(&focus, -Scale(4), -Scale(4));
  }

  // Glyph and caption side by side, centred together.
  TSelectObject font(dc, Font().Handle(Dpi()));
  RECT textRect{0, 0, 0, 0};
  ::DrawTextW(dc, W(Caption()), -1, &textRect, DT_CALCRECT | DT_SINGLELINE);
  const int glyph = Scale(16), gap = Caption().empty() ? 0 : Scale(6);
  const int textW = textRect.right - textRect.left, textH = textRect.bottom - textRect.top;
  const int total = glyph + gap + textW;
  const int left = r.left + ((r.right - r.left) - total) / 2;
  const int midY = (r.top + r.bottom) / 2;
  const RECT glyphBox{left, midY - glyph / 2, left + glyph, midY - glyph / 2 + glyph};
  if (FGlyph == bgCheck) DrawCheckGlyph(dc, glyphBox, enabled);
  RECT text{left + glyph + gap, midY - textH / 2, left + total, midY - textH / 2 + textH};
  ::SetBkMode(dc, TRANSPARENT);
  if (enabled || FTheme) {
    ::SetTextColor(dc, textColor);
    ::DrawTextW(dc, W(Caption()), -1, &text, DT_SINGLELINE);
  } else {
    ::OffsetRect(&text, 1, 1);
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
    ::DrawTextW(dc, W(Caption()), -1, &text, DT_SINGLELINE);
    ::OffsetRect(&text, -1, -1);
    ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
    ::DrawTextW(dc, W(Caption()), -1, &text, DT_SINGLELINE);
  }
  if (focused && !(item.itemState & ODS_NOFOCUSRECT)) {
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    ::DrawFocusRect(dc, &focus);
  }
}

// ---- TCheckableButton --------------------------------------------------------------

void TCheckableButton::CreateHandleDone() {
  ::SendMessageW(Handle(), BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool TCheckableButton::Checked() {
  if (HandleAllocated()) FChecked = ::SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
  return FChecked;
}

void TCheckableButton::StoreChecked(bool value) {
  FChecked = value;
  if (HandleAllocated()) ::SendMessageW(Handle(), BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

// ---- TRadioButton ---------------------------------------------------------------

TRadioButton::TRadioButton(TComponent* owner) : TCheckableButton(owner) { SetBounds(0, 0, 113, 17); }

void TRadioButton::CreateParams(TCreateParams& params) {
  TCheckableButton::CreateParams(params);
  params.WinClassName = u"Tolvi.RadioButton";
  params.BaseClassName = u"BUTTON";
  params.Style |= BS_AUTORADIOBUTTON;
}

void TRadioButton::SetChecked(bool value) {
  const bool changed = value != Checked();
  StoreChecked(value);
  if (value && changed) Chosen();
}

// The other buttons of the group are cleared here, whatever chose this one:
// the system's own clearing on a click is not relied on.
void TRadioButton::Chosen() {
  if (TWinControl* parent = Parent()) {
    for (int i = 0; i < parent->ControlCount(); ++i)
      if (auto* other = dynamic_cast<TRadioButton*>(parent->Controls(i)); other && other != this)
        other->SetChecked(false);
  }
  Click();
}

void TRadioButton::AcceleratorPressed() {
  SetFocus();
  SetChecked(true);
}

void TRadioButton::WndProc(TMessage& message) {
  if (message.Msg == CN_COMMAND && HIWORD(message.WParam) == BN_CLICKED) {
    // A click or Space checks the button before it tells. Windows (since
    // Vista) and Wine 10 also tell when an unchecked button merely gets the
    // focus: that one is not a choice. The keys that choose (an arrow, an
    // accelerator) check the button themselves.
    if (::SendMessageW(Handle(), BM_GETCHECK, 0, 0) != BST_CHECKED) return;
    StoreChecked(true);
    Chosen();
    return;
  }
  TCheckableButton::WndProc(message);
}

// ---- TCheckBox ---------------------------------------------------------------------

TCheckBox::TCheckBox(TComponent* owner) : TCheckableButton(owner) { SetBounds(0, 0, 97, 17); }

void TCheckBox::CreateParams(TCreateParams& params) {
  TCheckableButton::CreateParams(params);
  params.WinClassName = u"Tolvi.CheckBox";
  params.BaseClassName = u"BUTTON";
  params.Style |= BS_AUTOCHECKBOX;
}

void TCheckBox::SetChecked(bool value) {
  if (value == Checked()) return;
  StoreChecked(value);
  Click();
}

void TCheckBox::AcceleratorPressed() {
  SetFocus();
  SetChecked(!Checked());
}

// ---- TLabel -------------------------------------------------------------------------

TLabel::TLabel(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 65, 17); }

void TLabel::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WinClassName = u"Tolvi.Label";
  params.BaseClassName = u"STATIC";
  // SS_LEFT even when sized to its caption (which then never breaks): Wine
  // 10 does not grey a disabled SS_LEFTNOWORDWRAP text.
  params.Style |= SS_LEFT | SS_NOTIFY;
}

void TLabel::CreateHandleDone() {
  TWinControl::CreateHandleDone();
  AdjustSize();
}

void TLabel::SetAutoSize(bool value) {
  if (value == FAutoSize) return;
  FAutoSize = value;
  FMeasuredDpi = 0;
  AdjustSize();
}

void TLabel::WndProc(TMessage& message) {
  TWinControl::WndProc(message);
  // A new caption or font (a font change, or the font of a new DPI): the
  // size follows.
  if (message.Msg == WM_SETTEXT || message.Msg == WM_SETFONT) AdjustSize();
}

// The caption as the static control draws it: one line in the window's
// font, the "&" of the accelerator taking no room.
void TLabel::AdjustSize() {
  if (!FAutoSize || !HandleAllocated()) return;
  TWindowDC dc(Handle());
  auto font = reinterpret_cast<HFONT>(::SendMessageW(Handle(), WM_GETFONT, 0, 0));
  TSelectObject select(dc.Get(), font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(SYSTEM_FONT));
  RECT r{0, 0, 0, 0};
  ::DrawTextW(dc.Get(), W(Caption()), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
  TEXTMETRICW tm{};
  ::GetTextMetricsW(dc.Get(), &tm);
  FMeasuredWidth = r.right - r.left;
  FMeasuredHeight = std::max<int>(r.bottom - r.top, tm.tmHeight);
  FMeasuredDpi = Dpi();
  // The 96-DPI size that covers it, for whoever reads Width and Height.
  auto cover = [&](int v) { return (v * 96 + FMeasuredDpi - 1) / FMeasuredDpi; };
  StoreSize(cover(FMeasuredWidth), cover(FMeasuredHeight));
  if (!Relaying()) UpdateBounds();
}

TRectI TLabel::PhysicalBounds() {
  TRectI r = TWinControl::PhysicalBounds();
  if (FAutoSize && FMeasuredDpi == Dpi()) {
    r.Width = FMeasuredWidth;
    r.Height = FMeasuredHeight;
  }
  return r;
}

void TLabel::SetFocusControl(TWinControl* control) {
  if (FFocusControl) RemoveFreeNotification(FFocusControl);
  FFocusControl = control;
  if (control) FreeNotification(control);
}

void TLabel::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == opRemove && component == FFocusControl) FFocusControl = nullptr;
}

bool TLabel::Accelerator(char16_t key) {
  if (!FFocusControl || !IsAccelerator(key, Caption())) return false;
  if (!CanFocus() || !FFocusControl->CanFocus()) return false;
  if (auto* option = dynamic_cast<TRadioButton*>(FFocusControl)) {
    option->SetFocus();
    option->SetChecked(true);
  } else {
    FFocusControl->SetFocus();
  }
  return true;
}

// ---- TStaticText ----------------------------------------------------------------------

TStaticText::TStaticText(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 65, 17); }

void TStaticText::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WinClassName = u"Tolvi.StaticText";
  params.BaseClassName = u"STATIC";
  params.Style |= SS_NOTIFY | (FAlignment == taRightJustify ? SS_RIGHT : FAlignment == taCenter ? SS_CENTER : SS_LEFT);
  if (FBorderStyle == sbsSingle) params.Style |= WS_BORDER;
  if (FBorderStyle == sbsSunken) params.ExStyle |= WS_EX_STATICEDGE;
}

void TStaticText::SetBorderStyle(TStaticBorderStyle value) {
  if (value == FBorderStyle) return;
  FBorderStyle = value;
  RecreateWnd();
}

void TStaticText::SetAlignment(TAlignment value) {
  if (value == FAlignment) return;
  FAlignment = value;
  RecreateWnd();
}

// ---- TPanel -------------------------------------------------------------------------------

TPanel::TPanel(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 185, 41); }

void TPanel::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WinClassName = u"Tolvi.Panel";
  params.Style |= WS_CLIPCHILDREN;
  params.ExStyle |= WS_EX_CONTROLPARENT;
}

void TPanel::SetBevelOuter(TBevelCut value) {
  FBevelOuter = value;
  Invalidate();
  Realign();
}

void TPanel::SetBevelWidth(int value) {
  FBevelWidth = std::max(0, value);
  Invalidate();
  Realign();
}

void TPanel::AdjustClientRect(TRectI& area) {
  if (FBevelOuter == bvNone) return;
  const int w = Scale(FBevelWidth);
  area = {area.Left + w, area.Top + w, std::max(0, area.Width - 2 * w), std::max(0, area.Height - 2 * w)};
}

void TPanel::WndProc(TMessage& message) {
  if (message.Msg != WM_PAINT) return TWinControl::WndProc(message);
  TPaintSession paint(Handle());
  const HDC dc = paint.Get();
  RECT r;
  ::GetClientRect(Handle(), &r);
  if (FBevelOuter != bvNone) {
    const COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT), dark = ::GetSysColor(COLOR_BTNSHADOW);
    const COLORREF topLeft = FBevelOuter == bvRaised ? light : dark;
    const COLORREF bottomRight = FBevelOuter == bvRaised ? dark : light;
    const int w = Scale(FBevelWidth);
    FillSolid(dc, {r.left, r.top, r.right, r.top + w}, topLeft);
    FillSolid(dc, {r.left, r.top, r.left + w, r.bottom}, topLeft);
    FillSolid(dc, {r.left, r.bottom - w, r.right, r.bottom}, bottomRight);
    FillSolid(dc, {r.right - w, r.top, r.right, r.bottom}, bottomRight);
  }
  if (!Caption().empty()) {
    TSelectObject font(dc, Font().Handle(Dpi()));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ColorToRgb(Font().Color(), ::GetSysColor(COLOR_BTNTEXT)));
    ::DrawTextW(dc, W(Caption()), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
}

// ---- TGroupBox -------------------------------------------------------------------------------

TGroupBox::TGroupBox(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 185, 105); }

void TGroupBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WinClassName = u"Tolvi.GroupBox";
  params.Style |= WS_CLIPCHILDREN;
  params.ExStyle |= WS_EX_CONTROLPARENT;
}

void TGroupBox::CreateHandleDone() {
  TWinControl::CreateHandleDone();
  FTheme.Open(Handle(), L"BUTTON");
}

void TGroupBox::HandleDestroyed() {
  FTheme.Close();
  TWinControl::HandleDestroyed();
}

void TGroupBox::AdjustClientRect(TRectI& area) {
  const int edge = Scale(2), top = Scale(Font().Height());
  area = {area.Left + edge, area.Top + top, std::max(0, area.Width - 2 * edge), std::max(0, area.Height - top - edge)};
}

void TGroupBox::WndProc(TMessage& message) {
  if (message.Msg == WM_SETTEXT || message.Msg == WM_ENABLE) {
    TWinControl::WndProc(message);
    Invalidate();
    return;
  }
  if (message.Msg == WM_THEMECHANGED) {
    FTheme.Open(Handle(), L"BUTTON");
    Invalidate();
  }
  if (message.Msg != WM_PAINT) return TWinControl::WndProc(message);
  TPaintSession paint(Handle());
  const HDC dc = paint.Get();
  TSelectObject font(dc, Font().Handle(Dpi()));
  TEXTMETRICW tm{};
  ::GetTextMetricsW(dc, &tm);
  RECT r;
  ::GetClientRect(Handle(), &r);
  r.top = std::max<LONG>(0, tm.tmHeight / 2 - 1);
  const int state = ::IsWindowEnabled(Handle()) ? GBS_NORMAL : GBS_DISABLED;
  if (FTheme) FTheme.DrawBackground(dc, BP_GROUPBOX, state, r);
  else ::DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
  if (!Caption().empty()) {
    RECT text{Scale(8), 0, r.right - Scale(8), tm.tmHeight};
    ::DrawTextW(dc, W(Caption()), -1, &text, DT_CALCRECT | DT_SINGLELINE);
    const COLORREF back = ColorToRgb(EffectiveColor(), ::GetSysColor(COLOR_BTNFACE));
    const COLORREF fore = ColorToRgb(Font().Color(), ::GetSysColor(COLOR_BTNTEXT));
    ::SetBkColor(dc, back);
    ::SetBkMode(dc, OPAQUE);
    ::SetTextColor(dc, FTheme ? FTheme.Color(BP_GROUPBOX, state, TMT_TEXTCOLOR, fore) : fore);
    ::DrawTextW(dc, W(Caption()), -1, &text, DT_SINGLELINE);
  }
}

// ---- TUpDown -------------------------------------------------------------------------------------

TUpDown::TUpDown(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 17, 25); }

TUpDown::~TUpDown() {
  if (FAssociate && FAssociate->KeyPartner() == this) FAssociate->SetKeyPartner(nullptr);
}

void TUpDown::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WinClassName = u"Tolvi.UpDown";
  params.BaseClassName = u"msctls_updown32";
  if (FWrap) params.Style |= UDS_WRAP;
  if (!FThousands) params.Style |= UDS_NOTHOUSANDS;
  if (FOrientation == udHorizontal) params.Style |= UDS_HORZ;
}

void TUpDown::CreateHandleDone() {
  ::SendMessageW(Handle(), UDM_SETRANGE32, static_cast<WPARAM>(FMin), FMax);
  UDACCEL accel{0, static_cast<UINT>(FIncrement)};
  ::SendMessageW(Handle(), UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&accel));
  ::SendMessageW(Handle(), UDM_SETPOS32, 0, FPosition);
  AttachBuddy();
}

void TUpDown::AttachBuddy() {
  if (!HandleAllocated()) return;
  HWND buddy = FAssociate && FAssociate->HandleAllocated() ? FAssociate->Handle() : nullptr;
  ::SendMessageW(Handle(), UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0);
  UpdateBounds();  // the class may have resized itself to its buddy
}

// One step, as the arrow buttons make it: wrapping or stopping at the ends.
bool TUpDown::Step(int direction) {
  if (!Enabled()) return false;
  const int low = std::min(FMin, FMax), high = std::max(FMin, FMax);
  const int from = Position();
  long long to = static_cast<long long>(from) + static_cast<long long>(direction) * FIncrement;
  if (to > high) to = FWrap ? low : high;
  if (to < low) to = FWrap ? high : low;
  if (to == from) return true;
  SetPosition(static_cast<int>(to));
  Click();
  return true;
}

void TUpDown::SetRange(int min, int max) {
  FMin = min;
  FMax = max;
  FPosition = std::clamp(FPosition, std::min(min, max), std::max(min, max));
  if (HandleAllocated()) {
    ::SendMessageW(Handle(), UDM_SETRANGE32, static_cast<WPARAM>(min), max);
    ::SendMessageW(Handle(), UDM_SETPOS32, 0, FPosition);
  }
}

int TUpDown::Position() {
  // The control's own value; its error flag speaks of a buddy's text, which
  // this control never reads.
  if (HandleAllocated()) FPosition = static_cast<int>(::SendMessageW(Handle(), UDM_GETPOS32, 0, 0));
  return FPosition;
}

void TUpDown::SetPosition(int value) {
  FPosition = std::clamp(value, std::min(FMin, FMax), std::max(FMin, FMax));
  if (HandleAllocated()) ::SendMessageW(Handle(), UDM_SETPOS32, 0, FPosition);
}

void TUpDown::SetIncrement(int value) {
  FIncrement = std::max(1, value);
  if (HandleAllocated()) {
    UDACCEL accel{0, static_cast<UINT>(FIncrement)};
    ::SendMessageW(Handle(), UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&accel));
  }
}

void TUpDown::SetWrap(bool value) {
  if (value == FWrap) return;
  FWrap = value;
  Position();
  RecreateWnd();
}

void TUpDown::SetThousands(bool value) {
  if (value == FThousands) return;
  FThousands = value;
  Position();
  RecreateWnd();
}

void TUpDown::SetArrowKeys(bool value) {
  FArrowKeys = value;
  if (FAssociate) FAssociate->SetKeyPartner(value ? this : nullptr);
}

void TUpDown::SetOrientation(TUDOrientation value) {
  if (value == FOrientation) return;
  FOrientation = value;
  Position();
  RecreateWnd();
}

void TUpDown::SetAssociate(TWinControl* control) {
  if (FAssociate) {
    if (FAssociate->KeyPartner() == this) FAssociate->SetKeyPartner(nullptr);
    RemoveFreeNotification(FAssociate);
  }
  FAssociate = control;
  if (control) {
    FreeNotification(control);
    if (FArrowKeys) control->SetKeyPartner(this);
    // At the associate's right edge, as high as it is.
    if (control->Parent() != Parent()) SetParent(control->Parent());
    SetBounds(control->Left() + control->Width(), control->Top(), Width(), control->Height());
  }
  AttachBuddy();
}

void TUpDown::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == opRemove && component == FAssociate) {
    FAssociate = nullptr;
    if (HandleAllocated()) ::SendMessageW(Handle(), UDM_SETBUDDY, 0, 0);
  }
}

void TUpDown::WndProc(TMessage& message) {
  if (message.Msg == CM_PARTNERKEY) {
    const WORD key = static_cast<WORD>(message.WParam);
    const WORD up = FOrientation == udVertical ? VK_UP : VK_RIGHT;
    const WORD down = FOrientation == udVertical ? VK_DOWN : VK_LEFT;
    message.Result = (key == up && Step(1)) || (key == down && Step(-1));
    return;
  }
  if (message.Msg == CN_VSCROLL || message.Msg == CN_HSCROLL) {
    // Every step, by mouse or key, ends in SB_THUMBPOSITION.
    if (LOWORD(message.WParam) == SB_THUMBPOSITION) {
      Position();
      Click();
    }
    return;
  }
  TWinControl::WndProc(message);
}
