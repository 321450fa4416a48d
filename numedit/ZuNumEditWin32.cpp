// The numeric edit control's window: creation, painting, the canvas font and
// the routing of window messages to the control's reactions.
#include "numedit/ZuNumEditWin32.h"

#include <windowsx.h>

static_assert(int{TZuNumEditCore::ksShift} == int{ssShift} &&
                  int{TZuNumEditCore::ksCtrl} == int{ssCtrl} && int{TZuNumEditCore::ksAlt} == int{ssAlt},
              "the logic reads the toolkit's shift state as it is");

namespace {

// Our colours are RGB values or 0xFF000000 plus a system colour index; the
// toolkit's "no colour" stands for the window colour here.
COLORREF ResolveColor(TColor color) {
  if (color == kColorDefault) return ::GetSysColor(COLOR_WINDOW);
  if ((color & 0xFF000000u) == 0xFF000000u) return ::GetSysColor(static_cast<int>(color & 0xFFu));
  return color;
}

}  // namespace

// ---- the measuring DC ---------------------------------------------------------

TZuNumEdit::TMeasureDC::~TMeasureDC() {
  Deselect();  // the DC itself goes with FDC
}

HDC TZuNumEdit::TMeasureDC::Select(HFONT font) {
  if (!FDC) FDC.Reset(::CreateCompatibleDC(nullptr));
  if (!FDC) return nullptr;
  const HGDIOBJ previous = ::SelectObject(FDC.Get(), font);
  if (!FOriginal) FOriginal = previous;
  return FDC.Get();
}

void TZuNumEdit::TMeasureDC::Deselect() {
  if (FDC && FOriginal) ::SelectObject(FDC.Get(), FOriginal);
}

// ---- construction -------------------------------------------------------------

TZuNumEdit::TZuNumEdit(TComponent* owner) : TZuNumEdit(owner, TOpenInit{}) { EndInit(); }

TZuNumEdit::TZuNumEdit(TComponent* owner, TOpenInit) : TWinControl(owner) {
  SetBounds(0, 0, 121, 20);
  SetTabStop(true);
}

TZuNumEdit::~TZuNumEdit() {
  // The window goes while this class can still answer its messages.
  DestroyHandle();
}

void TZuNumEdit::SetParent(TWinControl* parent) {
  TWinControl::SetParent(parent);
  if (!parent) return;
  HandleParentAssigned();
  FMeasuredDpi = Dpi();
  SetColor(kColorWindow);
}

void TZuNumEdit::SetCtl3D(bool value) {
  if (value == FCtl3D) return;
  FCtl3D = value;
  // Windows 95 and NT 4 onwards always draw new-style controls.
  HandleCtl3DChanged(true);
}

void TZuNumEdit::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WinClassName = u"Tolvi.ZuNumEdit";
  params.Cursor = ::LoadCursorW(nullptr, IDC_IBEAM);
  uint32_t style = params.Style, exStyle = params.ExStyle, classStyle = params.ClassStyle;
  AdjustCreateParams(BorderStyle(), FCtl3D, true, style, exStyle, classStyle);
  params.Style = style;
  params.ExStyle = exStyle;
  params.ClassStyle = classStyle;
}

void TZuNumEdit::CreateHandleDone() {
  TWinControl::CreateHandleDone();
  // Measured before the window knew its monitor: measure again at its DPI.
  if (FMeasuredDpi != 0 && FMeasuredDpi != Dpi()) {
    FMeasuredDpi = Dpi();
    RemeasureFont();
  }
}

void TZuNumEdit::DpiChanged(int dpi) {
  TWinControl::DpiChanged(dpi);
  FMeasuredDpi = dpi;
  RemeasureFont();
}

void TZuNumEdit::FontChanged() {
  HandleFontChanged((Font().Style() & fsBold) != 0, [this] { TWinControl::FontChanged(); });
  FMeasuredDpi = Dpi();
}

void TZuNumEdit::DblClick() {
  HandleDblClick([this] { TWinControl::DblClick(); });
}

// ---- what the logic asks of the window ----------------------------------------

SIZE TZuNumEdit::BorderSize() {
  DWORD style = WS_CHILD, exStyle = 0;
  if (HandleAllocated()) {
    style = static_cast<DWORD>(::GetWindowLongPtrW(Handle(), GWL_STYLE));
    exStyle = static_cast<DWORD>(::GetWindowLongPtrW(Handle(), GWL_EXSTYLE));
  } else {
    uint32_t s = style, e = exStyle, c = 0;
    AdjustCreateParams(BorderStyle(), FCtl3D, true, s, e, c);
    style = s;
    exStyle = e;
  }
  RECT r{0, 0, 0, 0};
  ::AdjustWindowRectEx(&r, style, FALSE, exStyle);
  return {r.right - r.left, r.bottom - r.top};
}

int32_t TZuNumEdit::HostClientWidth() {
  if (HandleAllocated()) return ClientWidth();
  return Scale(Width()) - BorderSize().cx;
}

int32_t TZuNumEdit::HostClientHeight() {
  if (HandleAllocated()) return ClientHeight();
  return Scale(Height()) - BorderSize().cy;
}

uintptr_t TZuNumEdit::HostWindow() {
  return HandleAllocated() ? reinterpret_cast<uintptr_t>(Handle()) : 0;
}

uintptr_t TZuNumEdit::HostFormWindow() {
  TWinControl* top = TopLevelControl();
  if (top == this || !dynamic_cast<TForm*>(top) || !top->HandleAllocated()) return 0;
  return reinterpret_cast<uintptr_t>(top->Handle());
}

uintptr_t TZuNumEdit::HostDC() {
  return reinterpret_cast<uintptr_t>(FMeasureDC.Select(FCanvasFont.Handle(Dpi())));
}

uintptr_t TZuNumEdit::HostFont() { return reinterpret_cast<uintptr_t>(Font().Handle(Dpi())); }

void TZuNumEdit::HostCopyFont() {
  FMeasureDC.Deselect();  // the old copy's handles are about to go
  FCanvasFont = Font();
}

void TZuNumEdit::HostSetClientHeight(int32_t height) {
  const int outer = height + BorderSize().cy;
  SetBounds(Left(), Top(), Width(), ::MulDiv(outer, 96, Dpi()));
  if (HandleAllocated()) {
    // The 96-DPI bounds round; the window gets the exact height.
    RECT r{};
    ::GetWindowRect(Handle(), &r);
    if (r.bottom - r.top != outer)
      ::SetWindowPos(Handle(), nullptr, 0, 0, r.right - r.left, outer,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// ---- painting -------------------------------------------------------------------

void TZuNumEdit::EraseBackground(HDC dc) {
  RECT r{};
  ::GetClientRect(Handle(), &r);
  TBrushHandle brush(::CreateSolidBrush(ResolveColor(Color())));
  ::FillRect(dc, &r, brush.Get());
}

void TZuNumEdit::Paint() {
  const TPaintSession paint(Handle());
  const HDC dc = paint.Get();
  if (!dc) return;

  const TPaintPlan plan = PlanPaint(Enabled(), Font().Color(), Color());
  const COLORREF back = ResolveColor(plan.BackColor);
  RECT r{plan.Rect.Left, plan.Rect.Top, plan.Rect.Right, plan.Rect.Bottom};
  TBrushHandle brush(::CreateSolidBrush(back));
  ::FillRect(dc, &r, brush.Get());

  TSelectObject font(dc, FCanvasFont.Handle(Dpi()));
  ::SetTextColor(dc, ResolveColor(plan.TextColor));
  ::SetBkColor(dc, back);
  ::SetBkMode(dc, OPAQUE);
  ::DrawTextW(dc, W(ValText()), -1, &r, DT_SINGLELINE | DT_CENTER);
}

// ---- messages ---------------------------------------------------------------------

// The host's key events come first, then the control's own handling.
void TZuNumEdit::KeyDown(WORD& key, TShiftState shift) {
  HandleKeyDown(key, shift, [&] { TWinControl::KeyDown(key, shift); });
}

void TZuNumEdit::KeyPress(char16_t& key) {
  HandleKeyPress(key, [&] { TWinControl::KeyPress(key); });
}

void TZuNumEdit::WndProc(TMessage& message) {
  const auto base = [&] { TWinControl::WndProc(message); };
  switch (message.Msg) {
    case WM_IME_CHAR:
      message.WParam = MapImeChar(static_cast<char16_t>(message.WParam));
      return base();
    case WM_GETDLGCODE:
      base();
      message.Result = DialogCode();
      return;
    case WM_SETFOCUS:
      HandleEnter(base);
      HandleFocusGained();
      return;
    case WM_KILLFOCUS:
      HandleExit(base);
      HandleFocusLost();
      return;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      FLeftPressed = message.Msg == WM_LBUTTONDOWN;
      return HandleMouseDown(message.Msg == WM_LBUTTONDOWN, base);
    case WM_LBUTTONDBLCLK: {
      base();  // DblClick
      // The second press of a double-click is a mouse-down as well.
      const int x = GET_X_LPARAM(message.LParam), y = GET_Y_LPARAM(message.LParam);
      const TShiftState shift = MouseShiftState(message.WParam) | ssLeft | ssDouble;
      FLeftPressed = true;
      return HandleMouseDown(true, [&] {
        if (OnMouseDown) OnMouseDown(this, mbLeft, shift, x, y);
      });
    }
    case WM_LBUTTONUP: {
      base();
      const POINT at{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
      RECT client{};
      ::GetClientRect(Handle(), &client);
      const bool click = FLeftPressed && ::PtInRect(&client, at);
      FLeftPressed = false;
      if (click) Click();
      return;
    }
    case WM_MOUSEMOVE: {
      // The base handling raises OnMouseMove.
      return HandleMouseMove((message.WParam & MK_LBUTTON) != 0, GET_X_LPARAM(message.LParam), base);
    }
    case WM_ERASEBKGND:
      EraseBackground(reinterpret_cast<HDC>(message.WParam));
      message.Result = 1;
      return;
    case WM_PAINT:
      Paint();
      message.Result = 0;
      return;
    case WM_SIZE:
      base();
      // Resizing does not invalidate the window by itself (no redraw class styles).
      Invalidate();
      Update();
      HandleResized();
      return;
    case WM_ENABLE:
      base();
      Invalidate();
      return;
    default:
      return base();
  }
}
