#include "toolkit/Dialogs.h"

#include <commctrl.h>

#include <cwchar>
#include <utility>

namespace {

struct TBoxHook {
  const TMsgBoxOptions* Options = nullptr;
  HHOOK Hook = nullptr;
  HWND Box = nullptr;
};

// The box being shown by this thread; boxes may nest.
thread_local TBoxHook* tBoxHook = nullptr;

LRESULT CALLBACK BoxSubclassProc(HWND wnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR id, DWORD_PTR escape) {
  switch (msg) {
    case WM_COMMAND:
      if (LOWORD(wparam) != IDCANCEL) break;
      [[fallthrough]];
    case WM_CLOSE:
      ::EndDialog(wnd, static_cast<INT_PTR>(escape));
      return 0;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) != SC_CLOSE) break;
      ::EndDialog(wnd, static_cast<INT_PTR>(escape));
      return 0;
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(wnd, BoxSubclassProc, id);
      break;
    default:
      break;
  }
  return ::DefSubclassProc(wnd, msg, wparam, lparam);
}

void AdjustBox(HWND box, const TMsgBoxOptions& options) {
  for (const TMsgBoxButton& button : options.Buttons)
    if (HWND item = ::GetDlgItem(box, button.Id)) ::SetWindowTextW(item, W(button.Caption));
  if (options.EscapeResult) {
    ::SetWindowSubclass(box, BoxSubclassProc, 1, static_cast<DWORD_PTR>(options.EscapeResult));
    ::EnableMenuItem(::GetSystemMenu(box, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
  }
  if (options.CenterOnScreen) {
    RECT r{};
    ::GetWindowRect(box, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    ::SetWindowPos(box, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// The box is laid out by the time it is first activated, and not yet drawn.
LRESULT CALLBACK BoxCbtProc(int code, WPARAM wparam, LPARAM lparam) {
  TBoxHook* hook = tBoxHook;
  if (code == HCBT_ACTIVATE && hook && !hook->Box) {
    const HWND wnd = reinterpret_cast<HWND>(wparam);
    wchar_t name[16] = {};
    if (::GetClassNameW(wnd, name, 16) && std::wcscmp(name, L"#32770") == 0) {
      hook->Box = wnd;
      AdjustBox(wnd, *hook->Options);
    }
  }
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

// Installs the hook for one box and removes it on every way out.
class THookScope {
public:
  explicit THookScope(const TMsgBoxOptions& options) : FOuter(tBoxHook) {
    FState.Options = &options;
    FState.Hook = ::SetWindowsHookExW(WH_CBT, BoxCbtProc, nullptr, ::GetCurrentThreadId());
    tBoxHook = &FState;
  }
  ~THookScope() {
    tBoxHook = FOuter;
    if (FState.Hook) ::UnhookWindowsHookEx(FState.Hook);
  }
  THookScope(const THookScope&) = delete;
  THookScope& operator=(const THookScope&) = delete;

private:
  TBoxHook FState;
  TBoxHook* FOuter;
};

}  // namespace

int MessageBoxWithOptions(HWND owner, const String& text, const String& caption, UINT type,
                          const TMsgBoxOptions& options) {
  THookScope hook(options);
  return ::MessageBoxW(owner, W(text), W(caption), type);
}
