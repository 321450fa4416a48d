// The bare window made of Tolvi's main window's ingredients and nothing of
// its own: the manifest every such program carries (common controls 6,
// per-monitor DPI), the common controls started, and as many child windows of
// the same standard classes and as many fonts. Measured beside the plainest
// window, it tells what Tolvi itself costs above what any program of this
// shape must pay.
#include <windows.h>

#include <commctrl.h>

namespace {

LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

struct TChildSpec {
  const wchar_t* Class;
  DWORD Style;
  int X, Y, Width, Height;
  int Font;
  bool Popup = false;
};

// The main window's 22 child windows, by kind, and its 6 fonts.
const TChildSpec kChildren[] = {
    {L"STATIC", 0, 0, 0, 342, 299, 0},                              // panel
    {L"BUTTON", BS_GROUPBOX, 1, 1, 340, 170, 0},                    // actions
    {L"STATIC", 0, 10, 12, 25, 19, 1},  {L"STATIC", 0, 10, 42, 25, 19, 1},   {L"STATIC", 0, 10, 72, 25, 19, 1},
    {L"STATIC", 0, 10, 102, 25, 19, 1}, {L"STATIC", 0, 10, 132, 25, 19, 1},
    {L"BUTTON", BS_RADIOBUTTON, 50, 10, 270, 23, 2},  {L"BUTTON", BS_RADIOBUTTON, 50, 40, 270, 23, 2},
    {L"BUTTON", BS_RADIOBUTTON, 50, 70, 270, 23, 2},  {L"BUTTON", BS_RADIOBUTTON, 50, 100, 270, 23, 2},
    {L"BUTTON", BS_RADIOBUTTON, 50, 130, 270, 23, 2},
    {L"BUTTON", BS_OWNERDRAW, 120, 180, 205, 40, 2},                // execute
    {L"STATIC", SS_RIGHT, 15, 185, 94, 26, 3},                      // clock
    {L"BUTTON", BS_GROUPBOX, 1, 228, 340, 70, 0},                   // options
    {L"STATIC", 0, 9, 240, 80, 45, 0},                              // preview
    {L"BUTTON", BS_PUSHBUTTON, 97, 250, 50, 35, 5},                 // choose
    {L"BUTTON", BS_AUTOCHECKBOX, 166, 243, 170, 17, 5},             // confirmation
    {L"EDIT", ES_RIGHT | ES_READONLY, 162, 264, 45, 21, 4},         // time
    {UPDOWN_CLASSW, UDS_ARROWKEYS | UDS_WRAP, 207, 264, 30, 21, 0},
    {L"STATIC", 0, 244, 268, 39, 12, 5},
    {TOOLTIPS_CLASSW, 0, 0, 0, 0, 0, 0, true},
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"BareIngredients";
  if (!::RegisterClassW(&wc)) return 1;
  const HWND wnd = ::CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"Bare", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                     CW_USEDEFAULT, CW_USEDEFAULT, 348, 328, nullptr, nullptr, instance, nullptr);
  if (!wnd) return 1;
  const HFONT fonts[6] = {
      ::CreateFontW(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, L"MS UI Gothic"),
      ::CreateFontW(-19, 0, 0, 0, FW_BOLD, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, L"ＭＳ Ｐゴシック"),
      ::CreateFontW(-19, 0, 0, 0, FW_BOLD, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, L"MS UI Gothic"),
      ::CreateFontW(-19, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, L"Times New Roman"),
      ::CreateFontW(-16, 0, 0, 0, FW_BOLD, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, L"Times New Roman"),
      ::CreateFontW(-13, 0, 0, 0, FW_BOLD, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, L"MS UI Gothic"),
  };
  for (const TChildSpec& c : kChildren) {
    const HWND child = ::CreateWindowExW(0, c.Class, L"", (c.Popup ? WS_POPUP : WS_CHILD | WS_VISIBLE) | c.Style, c.X,
                                         c.Y, c.Width, c.Height, wnd, nullptr, instance, nullptr);
    if (child) ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(fonts[c.Font]), FALSE);
  }
  ::ShowWindow(wnd, show);
  ::UpdateWindow(wnd);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  for (HFONT font : fonts) ::DeleteObject(font);
  return 0;
}
