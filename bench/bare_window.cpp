// The least a Windows program with one window does: registers a class, shows
// one window, runs the message loop and ends when the window is closed. Built
// with the same toolchain and static runtime as Tolvi.exe, it is what the
// start-up and memory figures are measured against.
//
// With "/thread" on its command line it also runs one thread, which ends at
// once, after its window is shown: what one short piece of background work
// costs the process by itself (the thread's stack and the system's own
// bookkeeping for it), whatever the work.
#include <windows.h>

#include <cwchar>

namespace {

LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"BareWindow";
  if (!::RegisterClassW(&wc)) return 1;
  const HWND wnd = ::CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"Bare", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                     CW_USEDEFAULT, CW_USEDEFAULT, 342, 299, nullptr, nullptr, instance, nullptr);
  if (!wnd) return 1;
  ::ShowWindow(wnd, show);
  ::UpdateWindow(wnd);
  if (std::wcsstr(::GetCommandLineW(), L"/thread")) {
    const HANDLE thread = ::CreateThread(nullptr, 0, [](void*) -> DWORD { return 0; }, nullptr, 0, nullptr);
    if (!thread) return 1;
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
  }
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}
