#include "toolkit/Forms.h"

#include <algorithm>
#include <vector>

#include <commctrl.h>

TApplication* Application = nullptr;

void ApplicationHandleException() {
  if (Application) Application->HandleException();
}

// ---- TForm --------------------------------------------------------------------

TForm::TForm(TComponent* owner) : TWinControl(owner) {
  SetVisible(false);
  SetColor(::GetSysColor(COLOR_BTNFACE));
  SetBounds(0, 0, 320, 240);
}

void TForm::BeforeDestruction() {
  if (auto onDestroy = std::move(OnDestroy)) {
    OnDestroy = nullptr;
    try {
      onDestroy(this);
    } catch (...) {
      ApplicationHandleException();
    }
  }
  // The messages of the windows' end still reach a whole object.
  TWinControl::BeforeDestruction();
}

TForm::~TForm() {
  // Reached without BeforeDestruction only for a form that was not deleted
  // (one on the stack): the same steps, as far as they still can go.
  if (OnDestroy) {
    try {
      OnDestroy(this);
    } catch (...) {
      ApplicationHandleException();
    }
  }
  DestroyHandle();
  DestroyComponents();
}

void TForm::DoCreate() {
  if (!OnCreate) return;
  try {
    OnCreate(this);
  } catch (...) {
    ApplicationHandleException();
  }
}

void TForm::FrameStyles(DWORD& style, DWORD& exStyle) const {
  style = WS_CLIPCHILDREN | (Visible() ? WS_VISIBLE : 0) | (Enabled() ? 0 : WS_DISABLED);
  exStyle = WS_EX_CONTROLPARENT;
  bool minMax = false;
  switch (FBorderStyle) {
    case bsNone: style |= WS_POPUP; break;
    case bsSingle: style |= WS_CAPTION; minMax = true; break;
    case bsSizeable: style |= WS_CAPTION | WS_THICKFRAME; minMax = true; break;
    case bsDialog:
      style |= WS_CAPTION | DS_MODALFRAME;
      exStyle |= WS_EX_DLGMODALFRAME;
      break;
    case bsToolWindow:
      style |= WS_CAPTION;
      exStyle |= WS_EX_TOOLWINDOW;
      break;
  }
  // The title bar's buttons exist only with its system menu.
  if (FBorderStyle != bsNone && (FBorderIcons & biSystemMenu)) {
    style |= WS_SYSMENU;
    if (minMax && (FBorderIcons & biMinimize)) style |= WS_MINIMIZEBOX;
    if (minMax && (FBorderIcons & biMaximize)) style |= WS_MAXIMIZEBOX;
  }
  if (FFormStyle == fsStayOnTop) exStyle |= WS_EX_TOPMOST;
  if (Application && Application->MainForm() == this) exStyle |= WS_EX_APPWINDOW;  // the program's taskbar button
}

// The monitor the window opens on: its owner's, else the one at its
// designed place (the primary one for a centred window).
HMONITOR TForm::TargetMonitor() const {
  if (Application && Application->MainForm() && Application->MainForm() != this &&
      Application->MainForm()->HandleAllocated())
    return ::MonitorFromWindow(Application->MainForm()->Handle(), MONITOR_DEFAULTTOPRIMARY);
  const POINT at = FPosition == poScreenCenter ? POINT{0, 0} : POINT{Left(), Top()};
  return ::MonitorFromPoint(at, MONITOR_DEFAULTTOPRIMARY);
}

TRectI TForm::PhysicalBounds() {
  DWORD style = 0, exStyle = 0;
  FrameStyles(style, exStyle);
  TRectI r{Left(), Top(), Scale(Width()), Scale(Height())};
  if (FClientWidth >= 0) {
    RECT frame{0, 0, Scale(FClientWidth), Scale(FClientHeight)};
    AdjustWindowRectForDpi(frame, style, exStyle, Dpi());
    r.Width = frame.right - frame.left;
    r.Height = frame.bottom - frame.top;
  }
  if (!FPlaced && FPosition == poScreenCenter) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (::GetMonitorInfoW(TargetMonitor(), &info)) {
      const RECT& work = info.rcWork;
      r.Left = work.left + (work.right - work.left - r.Width) / 2;
      r.Top = work.top + (work.bottom - work.top - r.Height) / 2;
    }
  }
  return r;
}

void TForm::CreateParams(TCreateParams& params) {
  if (FClientWidth >= 0) ApplyClientSize();
  // Sizes are reckoned at the DPI of the monitor the window opens on.
  const int dpi = DpiForMonitor(TargetMonitor());
  if (dpi != Dpi()) DpiChanged(dpi);
  TWinControl::CreateParams(params);
  params.WinClassName = u"Tolvi.Form";
  FrameStyles(params.Style, params.ExStyle);
  // From now on the window's place is where it is (centred once).
  Moved(params.X, params.Y);
  FPlaced = true;
  params.WndParent = nullptr;
  if (Application && Application->MainForm() != this && Application->MainForm() &&
      Application->MainForm()->HandleAllocated())
    params.WndParent = Application->MainForm()->Handle();
}

void TForm::SetBorderIcons(TBorderIcons value) {
  if (value == FBorderIcons) return;
  FBorderIcons = value;
  RecreateWnd();
}

void TForm::SetBounds(int left, int top, int width, int height) {
  FClientWidth = FClientHeight = -1;
  TWinControl::SetBounds(left, top, width, height);
}

void TForm::SetIcon(HINSTANCE module, int resourceId) {
  FIconModule = module;
  FIconId = resourceId;
  ApplyIcon();
}

void TForm::ApplyIcon() {
  if (!FIconId || !HandleAllocated()) return;
  auto load = [&](int cx, int cy) {
    return static_cast<HICON>(::LoadImageW(FIconModule, MAKEINTRESOURCEW(FIconId), IMAGE_ICON,
                                           SystemMetricForDpi(cx, Dpi()), SystemMetricForDpi(cy, Dpi()), 0));
  };
  TIconHandle big(load(SM_CXICON, SM_CYICON)), small(load(SM_CXSMICON, SM_CYSMICON));
  ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.Get()));
  ::SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.Get()));
  // The window no longer uses the old ones.
  FBigIcon = std::move(big);
  FSmallIcon = std::move(small);
}

void TForm::DpiChanged(int dpi) {
  TWinControl::DpiChanged(dpi);
  ApplyIcon();
}

void TForm::CreateHandleDone() {
  ApplyIcon();
  // A window made visible is activated while it is being made, before its
  // controls exist: the focus goes to them now.
  if (::GetActiveWindow() == Handle() && (!::GetFocus() || ::GetFocus() == Handle()))
    if (TWinControl* target = FocusTarget()) target->SetFocus();
  if (FWindowState == wsMaximized && Visible()) ::ShowWindow(Handle(), SW_MAXIMIZE);
}

void TForm::SetBorderStyle(TBorderStyle value) {
  if (value == FBorderStyle) return;
  FBorderStyle = value;
  RecreateWnd();
}

void TForm::SetFormStyle(TFormStyle value) {
  if (value == FFormStyle) return;
  FFormStyle = value;
  if (HandleAllocated())
    ::SetWindowPos(Handle(), value == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TForm::SetWindowState(TWindowState value) {
  FWindowState = value;
  if (HandleAllocated() && Visible())
    ::ShowWindow(Handle(), value == wsMaximized ? SW_MAXIMIZE : value == wsMinimized ? SW_MINIMIZE : SW_RESTORE);
}

void TForm::SetClientSize(int width, int height) {
  FClientWidth = width;
  FClientHeight = height;
  // Without a window the frame around it is reckoned when the window is made:
  // asking the system about frames starts its display side, which a form
  // that is never shown does not need.
  if (HandleAllocated()) ApplyClientSize();
}

void TForm::ApplyClientSize() {
  DWORD style = 0, exStyle = 0;
  FrameStyles(style, exStyle);
  RECT r{0, 0, FClientWidth, FClientHeight};
  AdjustWindowRectForDpi(r, style, exStyle, 96);
  TWinControl::SetBounds(Left(), Top(), r.right - r.left, r.bottom - r.top);
}

void TForm::Close() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  if (!canClose) return;
  const bool isMain = Application && Application->MainForm() == this;
  TCloseAction action = FInModal ? caHide : isMain ? caFree : caHide;
  if (OnClose) OnClose(this, action);
  if (action == caNone) return;
  if (FInModal) {
    if (FModalResult == mrNone) FModalResult = mrCancel;
    return;
  }
  if (isMain) {
    Application->Terminate();
  } else if (action == caHide) {
    Hide();
  } else if (action == caMinimize) {
    SetWindowState(wsMinimized);
  } else {
    Release();
  }
}

namespace {
BOOL CALLBACK CollectEnabledWindow(HWND wnd, LPARAM list) {
  if (::IsWindowVisible(wnd) && ::IsWindowEnabled(wnd))
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(wnd);
  return TRUE;
}
}  // namespace

int TForm::ShowModal() {
  std::vector<HWND> disabled;
  ::EnumThreadWindows(::GetCurrentThreadId(), CollectEnabledWindow, reinterpret_cast<LPARAM>(&disabled));
  for (HWND wnd : disabled)
    if (wnd != Handle()) ::EnableWindow(wnd, FALSE);
  FModalResult = mrNone;
  FInModal = true;
  Show();
  ::SetForegroundWindow(Handle());
  while (FModalResult == mrNone) {
    if (!Application || !Application->HandleMessage()) {
      ::PostQuitMessage(0);  // the outer loop must end too
      if (FModalResult == mrNone) FModalResult = mrCancel;
    }
  }
  FInModal = false;
  for (HWND wnd : disabled)
    if (::IsWindow(wnd)) ::EnableWindow(wnd, TRUE);
  if (HandleAllocated()) Hide();
  return FModalResult;
}

void TForm::Release() {
  if (HandleAllocated()) ::PostMessageW(Handle(), CM_RELEASE, 0, 0);
  else delete this;
}

namespace {

// The window's controls, depth first, as items of its tab sequence.
void CollectTabItems(TWinControl* parent, int parentIndex, std::vector<TWinControl*>& controls,
                     std::vector<TTabItem>& items) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TWinControl* c = parent->Controls(i);
    TTabItem item;
    item.Parent = parentIndex;
    item.TabOrder = c->TabOrder();
    item.TabStop = c->TabStop();
    item.Focusable = c->HandleAllocated() && c->CanFocus();
    if (auto* option = dynamic_cast<TRadioButton*>(c)) {
      item.Option = true;
      item.Checked = option->Checked();
    }
    const int index = static_cast<int>(controls.size());
    controls.push_back(c);
    items.push_back(item);
    CollectTabItems(c, index, controls, items);
  }
}

int IndexOf(const std::vector<TWinControl*>& controls, const TWinControl* c) {
  const auto it = std::find(controls.begin(), controls.end(), c);
  return it == controls.end() ? -1 : static_cast<int>(it - controls.begin());
}

TButton* FindButton(TWinControl* parent, bool wantDefault) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TWinControl* c = parent->Controls(i);
    if (auto* button = dynamic_cast<TButton*>(c)) {
      if (wantDefault ? button->Default() : button->Cancel() || button->ModalResult() == mrCancel)
        return button;
    }
    if (TButton* found = FindButton(c, wantDefault)) return found;
  }
  return nullptr;
}

bool FindAccelerator(TWinControl* parent, char16_t key) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TWinControl* c = parent->Controls(i);
    if (c->Accelerator(key) || FindAccelerator(c, key)) return true;
  }
  return false;
}

}  // namespace

void TForm::SetActiveControl(TWinControl* control) {
  if (control && control->TopLevelControl() != this) throw Exception(u"このウィンドウのコントロールではありません。");
  FActiveControl = control;
  if (control && FActive && HandleAllocated()) control->SetFocus();
}

void TForm::ChildFocused(TWinControl* control) { FActiveControl = control; }

void TForm::ChildRemoved(TWinControl* control) {
  for (TWinControl* c = FActiveControl; c; c = c->Parent())
    if (c == control) {
      FActiveControl = nullptr;
      return;
    }
}

TWinControl* TForm::FocusTarget() {
  if (FActiveControl && FActiveControl->HandleAllocated() && FActiveControl->CanFocus()) return FActiveControl;
  std::vector<TWinControl*> controls;
  std::vector<TTabItem> items;
  CollectTabItems(this, -1, controls, items);
  const int first = NextTabStop(items, -1, false);
  return first >= 0 ? controls[static_cast<size_t>(first)] : nullptr;
}

void TForm::FocusNext(TWinControl* from, bool backward) {
  std::vector<TWinControl*> controls;
  std::vector<TTabItem> items;
  CollectTabItems(this, -1, controls, items);
  const int next = NextTabStop(items, IndexOf(controls, from), backward);
  if (next >= 0) controls[static_cast<size_t>(next)]->SetFocus();
}

bool TForm::DialogKey(TWinControl* from, WORD key, TShiftState shift) {
  switch (key) {
    case VK_TAB:
      if (shift & (ssCtrl | ssAlt)) return false;
      FocusNext(from, (shift & ssShift) != 0);
      return true;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN: {
      if (!dynamic_cast<TRadioButton*>(from)) return false;
      std::vector<TWinControl*> controls;
      std::vector<TTabItem> items;
      CollectTabItems(this, -1, controls, items);
      const int next = NextOptionInGroup(items, IndexOf(controls, from), key == VK_LEFT || key == VK_UP);
      if (next < 0) return false;
      auto* option = static_cast<TRadioButton*>(controls[static_cast<size_t>(next)]);
      option->SetFocus();
      option->SetChecked(true);
      return true;
    }
    case VK_RETURN: {
      // The focused push button, else the default one.
      auto* button = dynamic_cast<TButton*>(from);
      if (!button) button = FindButton(this, true);
      if (!button) return false;
      if (button->CanFocus()) button->Press();
      return true;
    }
    case VK_ESCAPE: {
      TButton* button = FindButton(this, false);
      if (!button) return false;
      if (button->CanFocus()) button->Press();
      return true;
    }
    default:
      return false;
  }
}

bool TForm::DialogChar(char16_t key, bool alt) {
  if (!FindAccelerator(this, key)) return false;
  if (alt) CueKeyboard(UISF_HIDEACCEL | UISF_HIDEFOCUS);
  return true;
}

bool TForm::PreviewKeyDown(WORD& key, TShiftState shift) {
  if (!FKeyPreview || !OnKeyDown) return false;
  OnKeyDown(this, key, shift);
  return key == 0;
}

bool TForm::PreviewKeyUp(WORD& key, TShiftState shift) {
  if (!FKeyPreview || !OnKeyUp) return false;
  OnKeyUp(this, key, shift);
  return key == 0;
}

bool TForm::PreviewKeyPress(char16_t& key) {
  if (!FKeyPreview || !OnKeyPress) return false;
  OnKeyPress(this, key);
  return key == 0;
}

void TForm::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_CLOSE:
      Close();
      return;
    case WM_NEXTDLGCTL: {
      // wParam names the window itself (lParam 1), or asks for the next
      // (0) or previous (non-zero) tab stop from the focused control.
      HWND target = nullptr;
      if (message.LParam) {
        target = reinterpret_cast<HWND>(message.WParam);
      } else {
        HWND focus = ::GetFocus();
        FocusNext(focus && ::IsChild(Handle(), focus) ? FindControl(focus) : nullptr, message.WParam != 0);
        return;
      }
      if (target) ::SetFocus(target);
      return;
    }
    case WM_ACTIVATE: {
      const bool active = LOWORD(message.WParam) != WA_INACTIVE;
      const bool minimized = HIWORD(message.WParam) != 0;
      if (!active) TWinControl::WndProc(message);
      if (active != FActive) {
        FActive = active;
        const auto& handler = active ? OnActivate : OnDeactivate;
        if (handler) handler(this);
      }
      if (!active) return;
      // Once the handlers have set the controls up (one may have disabled
      // the control that had the focus), the focus goes back where it was,
      // else to the first control that can take it; the system would give
      // it to the form itself, where no key has a use.
      TWinControl* target = minimized ? nullptr : FocusTarget();
      if (target) target->SetFocus();
      else TWinControl::WndProc(message);
      return;
    }
    case WM_SHOWWINDOW: {
      // Focus rectangles and underlines as the last input calls for.
      if (message.WParam) ::SendMessageW(Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, 0), 0);
      const auto& handler = message.WParam ? OnShow : OnHide;
      if (handler) handler(this);
      break;
    }
    case WM_DPICHANGED:
      ApplyDpiChange(HIWORD(message.WParam), *reinterpret_cast<const RECT*>(message.LParam));
      message.Result = 0;
      return;
    case WM_WINDOWPOSCHANGED: {
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(message.LParam);
      if (!(pos->flags & SWP_NOMOVE) && !::IsIconic(Handle()) && !::IsZoomed(Handle())) Moved(pos->x, pos->y);
      break;
    }
    default:
      break;
  }
  TWinControl::WndProc(message);
}

// ---- TApplication ------------------------------------------------------------------

TApplication::TApplication() { Application = this; }

TApplication::~TApplication() {
  DestroyComponents();
  if (Application == this) Application = nullptr;
}


void TApplication::CreateForm(TForm* form) {
  if (form->Owner() != this) InsertComponent(form);
  if (!FMainForm) FMainForm = form;
  form->DoCreate();
}

void TApplication::Run() {
  if (FMainForm && FShowMainForm && !FTerminated) FMainForm->Show();
  while (!FTerminated) HandleMessage();
}

void TApplication::Terminate() {
  if (!FTerminated) ::PostQuitMessage(0);
  FTerminated = true;
}

bool TApplication::HandleMessage() {
  MSG msg;
  const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
  if (got == 0 || got == -1) {
    FTerminated = true;
    return false;
  }
  return ProcessMessage(msg);
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      FTerminated = true;
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    ProcessMessage(msg);
  }
}

bool TApplication::ProcessMessage(MSG& msg) {
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
  return true;
}

HWND TApplication::ActiveWindow() const {
  const HWND active = ::GetActiveWindow();
  if (active) return active;
  if (FMainForm && FMainForm->HandleAllocated() && ::IsWindowVisible(FMainForm->Handle()))
    return FMainForm->Handle();
  return nullptr;
}

int TApplication::MessageBox(const String& text, UINT flags) { return MessageBox(text, FTitle, flags); }

int TApplication::MessageBox(const String& text, const String& caption, UINT flags) {
  return ::MessageBoxW(ActiveWindow(), W(text), W(caption), flags);
}

void TApplication::ShowException(const Exception& error) {
  MessageBox(ErrorReportText(error.Message()), MB_OK | MB_ICONERROR);
}

void TApplication::HandleException() {
  try {
    throw;
  } catch (const Exception& e) {
    ReportException(e);
  } catch (const std::exception& e) {
    ReportException(Exception(FromUtf8(e.what())));
  } catch (...) {
    ReportException(Exception(u"予期しないエラーが発生しました。"));
  }
}

void TApplication::ReportException(const Exception& error) {
  if (OnException) {
    try {
      OnException(this, error);
      return;
    } catch (...) {
      // A failing handler must not hide the error: the box shows it.
    }
  }
  ShowException(error);
}
