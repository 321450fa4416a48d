#include "toolkit/Forms.h"

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

TForm::~TForm() {
  if (OnDestroy) {
    try {
      OnDestroy(this);
    } catch (...) {
      ApplicationHandleException();
    }
  }
  // The controls go first, while the form's window still holds theirs.
  DestroyComponents();
  DestroyHandle();
}

void TForm::DoCreate() {
  if (!OnCreate) return;
  try {
    OnCreate(this);
  } catch (...) {
    ApplicationHandleException();
  }
}

void TForm::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WinClassName = u"Tolvi.Form";
  params.Style = WS_CLIPCHILDREN | (Visible() ? WS_VISIBLE : 0);
  params.ExStyle = 0;
  switch (FBorderStyle) {
    case bsNone: params.Style |= WS_POPUP; break;
    case bsSingle: params.Style |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_BORDER; break;
    case bsSizeable: params.Style |= WS_OVERLAPPEDWINDOW; break;
    case bsDialog:
      params.Style |= WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
      params.ExStyle |= WS_EX_DLGMODALFRAME;
      break;
    case bsToolWindow:
      params.Style |= WS_CAPTION | WS_SYSMENU;
      params.ExStyle |= WS_EX_TOOLWINDOW;
      break;
  }
  if (FFormStyle == fsStayOnTop) params.ExStyle |= WS_EX_TOPMOST;
  if (!Enabled()) params.Style |= WS_DISABLED;
  params.WndParent = nullptr;
  if (Application && Application->MainForm() == this) {
    params.ExStyle |= WS_EX_APPWINDOW;  // the program's taskbar button
  } else if (Application && Application->MainForm() && Application->MainForm()->HandleAllocated()) {
    params.WndParent = Application->MainForm()->Handle();
  }
  if (FPosition == poScreenCenter) {
    params.X = (::GetSystemMetrics(SM_CXSCREEN) - params.Width) / 2;
    params.Y = (::GetSystemMetrics(SM_CYSCREEN) - params.Height) / 2;
  }
}

void TForm::CreateHandleDone() {
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
  TCreateParams params;
  CreateParams(params);
  RECT r{0, 0, width, height};
  ::AdjustWindowRectEx(&r, params.Style, FALSE, params.ExStyle);
  SetBounds(Left(), Top(), r.right - r.left, r.bottom - r.top);
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
TButton* FindButton(TWinControl* parent, bool wantDefault) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TWinControl* c = parent->Controls(i);
    if (auto* button = dynamic_cast<TButton*>(c)) {
      if (button->Visible() && button->Enabled() &&
          (wantDefault ? button->Default() : button->ModalResult() == mrCancel))
        return button;
    }
    if (TButton* found = FindButton(c, wantDefault)) return found;
  }
  return nullptr;
}
}  // namespace

bool TForm::DialogKey(TWinControl* from, WORD key, TShiftState shift) {
  if (key == VK_TAB) {
    if (HWND next = ::GetNextDlgTabItem(Handle(), from->Handle(), (shift & ssShift) != 0)) {
      ::SetFocus(next);
      return true;
    }
    return false;
  }
  TButton* button = FindButton(this, key == VK_RETURN);
  if (!button) return false;
  button->Perform(CN_COMMAND, MAKEWPARAM(0, BN_CLICKED), 0);
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
        if (!focus || !::IsChild(Handle(), focus)) focus = nullptr;
        target = ::GetNextDlgTabItem(Handle(), focus, message.WParam != 0);
      }
      if (target) ::SetFocus(target);
      return;
    }
    case WM_ACTIVATE: {
      const bool active = LOWORD(message.WParam) != WA_INACTIVE;
      if (active != FActive) {
        FActive = active;
        const auto& handler = active ? OnActivate : OnDeactivate;
        if (handler) handler(this);
      }
      break;
    }
    case WM_SHOWWINDOW: {
      const auto& handler = message.WParam ? OnShow : OnHide;
      if (handler) handler(this);
      break;
    }
    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<const RECT*>(message.LParam);
      DpiChanged(HIWORD(message.WParam));
      ::SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      message.Result = 0;
      return;
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

void TApplication::Initialize() {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_UPDOWN_CLASS};
  ::InitCommonControlsEx(&icc);
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
