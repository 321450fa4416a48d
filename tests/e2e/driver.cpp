// A small console tool that end-to-end scenarios run beside the program under
// test: it finds windows, reads their state, presses buttons, sends keys and
// takes screenshots. Every result is printed as UTF-8 text, one item a line.
// It is per-monitor DPI aware, so every coordinate it reads or sends is in the
// screen's own pixels: the system scales other programs' windows to 96 DPI for
// a program that is not aware (Windows since 8.1, Wine 10).
//
//   driver list                                  visible top-level windows
//   driver wait-window TITLE CLASS [MS] [PID]     "-" matches anything; prints the handle
//   driver wait-gone HWND [MS]
//   driver info HWND                              title, class, styles, rectangle, owner pid
//   driver children HWND                          child windows with id, class, text, state
//   driver close HWND                             posts WM_CLOSE
//   driver press HWND TEXT                        clicks the child button captioned TEXT
//   driver key HWND VK [VK...]                    posts key down/up pairs (hex or decimal)
//   driver click HWND X Y [right]                 posts a mouse click in client coordinates
//   driver send HWND MSG [WPARAM LPARAM]         sends a message, prints its result
//   driver screenshot FILE.bmp                    the whole screen
//   driver read-file PATH                         prints a file's bytes as hex
//   driver appdata                                prints the roaming application-data folder
//   driver text HWND                              the window's text on one line: backslash, CR,
//                                                 LF and tab written as \\, \r, \n and \t
//   driver focused HWND                           the focus and the active window of the thread
//                                                 that owns HWND (GetGUIThreadInfo), as
//                                                 "focus=0x.. active=0x.."
//   driver popup MS                               a top-level window of the driver's own, brought
//                                                 to the front for MS ms; prints "foreground=1"
//                                                 when it was the foreground window
//   driver activate HWND                          brings a window to the front
//   driver textsize HWND [FACE PX WEIGHT CHARSET] "W,H": the window's text on one line, as
//                                                 DrawText with DT_CALCRECT measures it ("&"
//                                                 prefixes take no room), in the font described
//                                                 (FACE "menu": the menu font's face; PX the
//                                                 character height in pixels), else in the
//                                                 window's own (WM_GETFONT: a font of another
//                                                 process cannot be read, exit 3)
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void DeclareDpiAware() {
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 (-4), else the first version
  // (-3); looked up at run time, as systems before Windows 10 1703 lack it.
  using SetContext = BOOL(WINAPI*)(HANDLE);
  const auto set = reinterpret_cast<SetContext>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
  if (set && (set(reinterpret_cast<HANDLE>(-4)) || set(reinterpret_cast<HANDLE>(-3)))) return;
  SetProcessDPIAware();
}

std::string Utf8(const std::wstring& s) {
  if (s.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// The window's own text as the system keeps it: no message is sent, so a
// window whose thread is busy cannot hold the driver up.
std::wstring Text(HWND wnd) {
  wchar_t buffer[4096];
  const int n = InternalGetWindowText(wnd, buffer, 4096);
  return std::wstring(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

std::wstring ClassOf(HWND wnd) {
  wchar_t buffer[256];
  const int n = GetClassNameW(wnd, buffer, 256);
  return std::wstring(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

HWND ParseHwnd(const wchar_t* text) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(wcstoull(text, nullptr, 0))); }

void PrintLine(const std::string& s) {
  fwrite(s.data(), 1, s.size(), stdout);
  fputc('\n', stdout);
  fflush(stdout);
}

std::string Hex(HWND wnd) {
  char buffer[32];
  snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(wnd)));
  return buffer;
}

std::string Describe(HWND wnd) {
  RECT r{}, c{};
  GetWindowRect(wnd, &r);
  GetClientRect(wnd, &c);
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  char buffer[320];
  snprintf(buffer, sizeof buffer,
           "\tstyle=0x%08lx\texstyle=0x%08lx\trect=%ld,%ld,%ld,%ld\tclient=%ld,%ld\tvisible=%d\tenabled=%d\tpid=%lu",
           static_cast<unsigned long>(GetWindowLongW(wnd, GWL_STYLE)),
           static_cast<unsigned long>(GetWindowLongW(wnd, GWL_EXSTYLE)), r.left, r.top, r.right, r.bottom,
           c.right, c.bottom, IsWindowVisible(wnd) ? 1 : 0, IsWindowEnabled(wnd) ? 1 : 0, pid);
  return Hex(wnd) + "\tclass=" + Utf8(ClassOf(wnd)) + "\ttitle=" + Utf8(Text(wnd)) + buffer;
}

struct Query {
  std::wstring title, cls;
  DWORD pid = 0;
  HWND found = nullptr;
};

BOOL CALLBACK Match(HWND wnd, LPARAM lp) {
  auto* q = reinterpret_cast<Query*>(lp);
  if (!IsWindowVisible(wnd)) return TRUE;
  if (q->title != L"-" && Text(wnd) != q->title) return TRUE;
  if (q->cls != L"-" && ClassOf(wnd) != q->cls) return TRUE;
  if (q->pid) {
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    if (pid != q->pid) return TRUE;
  }
  q->found = wnd;
  return FALSE;
}

BOOL CALLBACK ListTop(HWND wnd, LPARAM) {
  if (IsWindowVisible(wnd)) PrintLine(Describe(wnd));
  return TRUE;
}

BOOL CALLBACK ListChild(HWND wnd, LPARAM) {
  PrintLine(Describe(wnd) + "\tid=" + std::to_string(GetDlgCtrlID(wnd)));
  return TRUE;
}

struct ButtonQuery {
  std::wstring text;
  HWND found = nullptr;
};

BOOL CALLBACK FindButton(HWND wnd, LPARAM lp) {
  auto* q = reinterpret_cast<ButtonQuery*>(lp);
  if (Text(wnd) == q->text) {
    q->found = wnd;
    return FALSE;
  }
  return TRUE;
}

int Screenshot(const wchar_t* file) {
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  const DWORD stride = ((w * 3 + 3) & ~3), size = stride * h;
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(bi.bmiHeader);
  fh.bfSize = fh.bfOffBits + size;
  int rc = 1;
  if (FILE* f = _wfopen(file, L"wb")) {
    fwrite(&fh, sizeof fh, 1, f);
    fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f);
    fwrite(bits, size, 1, f);
    fclose(f);
    rc = 0;
  }
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return rc;
}

LRESULT CALLBACK PopupProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  return DefWindowProcW(wnd, msg, wp, lp);
}

int Popup(DWORD ms) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = PopupProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"TolviDriverPopup";
  RegisterClassW(&wc);
  const HWND wnd = CreateWindowExW(0, wc.lpszClassName, L"driver popup", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20,
                                   240, 120, nullptr, nullptr, wc.hInstance, nullptr);
  if (!wnd) return 1;
  SetForegroundWindow(wnd);
  SetActiveWindow(wnd);
  const DWORD start = GetTickCount();
  bool front = false;
  for (DWORD now = start; now - start < ms; now = GetTickCount()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - (now - start), QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    front = front || GetForegroundWindow() == wnd;
  }
  PrintLine(front ? "foreground=1" : "foreground=0");
  DestroyWindow(wnd);
  return 0;
}

int TextSize(HWND wnd, int argc, wchar_t** argv) {
  LOGFONTW lf{};
  if (argc >= 4) {
    std::wstring face = argv[0];
    if (face == L"menu") {
      NONCLIENTMETRICSW metrics{};
      metrics.cbSize = sizeof(metrics);
      SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
      face = metrics.lfMenuFont.lfFaceName;
    }
    wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    lf.lfHeight = -static_cast<LONG>(wcstol(argv[1], nullptr, 10));
    lf.lfWeight = wcstol(argv[2], nullptr, 10);
    lf.lfCharSet = static_cast<BYTE>(wcstoul(argv[3], nullptr, 10));
  } else {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(wnd, WM_GETFONT, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) || !result) return 3;
    if (!GetObjectW(reinterpret_cast<HFONT>(result), sizeof(lf), &lf)) return 3;
  }
  HFONT font = CreateFontIndirectW(&lf);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  const std::wstring text = Text(wnd);
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  DeleteObject(font);
  PrintLine(std::to_string(r.right - r.left) + "," + std::to_string(r.bottom - r.top));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    fputs("usage: driver COMMAND ...\n", stderr);
    return 2;
  }
  DeclareDpiAware();
  const std::wstring cmd = argv[1];
  if (cmd == L"list") {
    EnumWindows(ListTop, 0);
    return 0;
  }
  if (cmd == L"wait-window" && argc >= 4) {
    Query q{argv[2], argv[3]};
    const DWORD timeout = argc >= 5 ? wcstoul(argv[4], nullptr, 10) : 10000;
    if (argc >= 6) q.pid = wcstoul(argv[5], nullptr, 10);
    const DWORD start = GetTickCount();
    for (;;) {
      EnumWindows(Match, reinterpret_cast<LPARAM>(&q));
      if (q.found) {
        PrintLine(Hex(q.found));
        return 0;
      }
      if (GetTickCount() - start >= timeout) return 1;
      Sleep(50);
    }
  }
  if (cmd == L"wait-gone" && argc >= 3) {
    const HWND wnd = ParseHwnd(argv[2]);
    const DWORD timeout = argc >= 4 ? wcstoul(argv[3], nullptr, 10) : 10000;
    const DWORD start = GetTickCount();
    while (IsWindow(wnd) && IsWindowVisible(wnd)) {
      if (GetTickCount() - start >= timeout) return 1;
      Sleep(50);
    }
    return 0;
  }
  if (cmd == L"info" && argc >= 3) {
    const HWND wnd = ParseHwnd(argv[2]);
    if (!IsWindow(wnd)) return 1;
    PrintLine(Describe(wnd));
    return 0;
  }
  if (cmd == L"children" && argc >= 3) {
    EnumChildWindows(ParseHwnd(argv[2]), ListChild, 0);
    return 0;
  }
  if (cmd == L"close" && argc >= 3) return PostMessageW(ParseHwnd(argv[2]), WM_CLOSE, 0, 0) ? 0 : 1;
  if (cmd == L"press" && argc >= 4) {
    // The button may still be getting its caption: look for up to 5 s.
    ButtonQuery q{argv[3]};
    const DWORD start = GetTickCount();
    for (;;) {
      EnumChildWindows(ParseHwnd(argv[2]), FindButton, reinterpret_cast<LPARAM>(&q));
      if (q.found) break;
      if (GetTickCount() - start >= 5000) return 1;
      Sleep(50);
    }
    PostMessageW(q.found, BM_CLICK, 0, 0);
    return 0;
  }
  if (cmd == L"key" && argc >= 4) {
    // Each argument a virtual key, pressed and released; "alt+KEY" holds Alt
    // around it.
    const HWND wnd = ParseHwnd(argv[2]);
    for (int i = 3; i < argc; ++i) {
      std::wstring arg = argv[i];
      const bool alt = arg.rfind(L"alt+", 0) == 0;
      if (alt) arg = arg.substr(4);
      const WORD vk = static_cast<WORD>(wcstoul(arg.c_str(), nullptr, 0));
      SetForegroundWindow(wnd);
      std::vector<INPUT> in;
      auto add = [&](WORD key, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        in.push_back(input);
      };
      if (alt) add(VK_MENU, false);
      add(vk, false);
      add(vk, true);
      if (alt) add(VK_MENU, true);
      SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
      Sleep(50);
    }
    return 0;
  }
  if (cmd == L"focus" && argc >= 3) {
    // SetFocus works within the thread that owns the window: join its input.
    const HWND wnd = ParseHwnd(argv[2]);
    const DWORD thread = GetWindowThreadProcessId(wnd, nullptr);
    AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
    SetFocus(wnd);
    AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
    return 0;
  }
  if (cmd == L"click" && argc >= 5) {
    const HWND wnd = ParseHwnd(argv[2]);
    const LPARAM at = MAKELPARAM(wcstol(argv[3], nullptr, 10), wcstol(argv[4], nullptr, 10));
    const bool right = argc >= 6 && std::wstring(argv[5]) == L"right";
    PostMessageW(wnd, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, at);
    PostMessageW(wnd, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, at);
    return 0;
  }
  if (cmd == L"dblclick" && argc >= 5) {
    // The messages of a double-click, as the system sends them to a window
    // whose class takes double-clicks.
    const HWND wnd = ParseHwnd(argv[2]);
    const LPARAM at = MAKELPARAM(wcstol(argv[3], nullptr, 10), wcstol(argv[4], nullptr, 10));
    PostMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(wnd, WM_LBUTTONUP, 0, at);
    PostMessageW(wnd, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(wnd, WM_LBUTTONUP, 0, at);
    return 0;
  }
  if (cmd == L"post" && argc >= 4) {
    const WPARAM wp = argc >= 5 ? wcstoull(argv[4], nullptr, 0) : 0;
    const LPARAM lp = argc >= 6 ? static_cast<LPARAM>(wcstoll(argv[5], nullptr, 0)) : 0;
    return PostMessageW(ParseHwnd(argv[2]), wcstoul(argv[3], nullptr, 0), wp, lp) ? 0 : 1;
  }
  if (cmd == L"settext" && argc >= 4) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(ParseHwnd(argv[2]), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[3]),
                               SMTO_ABORTIFHUNG, 5000, &result) && result
               ? 0
               : 1;
  }
  if (cmd == L"hold" && argc >= 4) {
    // Keeps a file open without sharing, as another program holding it would.
    HANDLE file = CreateFileW(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    PrintLine("held");
    Sleep(wcstoul(argv[3], nullptr, 10));
    CloseHandle(file);
    return 0;
  }
  if (cmd == L"send" && argc >= 4) {
    DWORD_PTR result = 0;
    const WPARAM wp = argc >= 5 ? wcstoull(argv[4], nullptr, 0) : 0;
    const LPARAM lp = argc >= 6 ? static_cast<LPARAM>(wcstoll(argv[5], nullptr, 0)) : 0;
    if (!SendMessageTimeoutW(ParseHwnd(argv[2]), wcstoul(argv[3], nullptr, 0), wp, lp, SMTO_ABORTIFHUNG, 5000,
                             &result))
      return 1;
    char buffer[32];
    snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(result));
    PrintLine(buffer);
    return 0;
  }
  if (cmd == L"screenshot" && argc >= 3) return Screenshot(argv[2]);
  if (cmd == L"text" && argc >= 3) {
    const HWND wnd = ParseHwnd(argv[2]);
    if (!IsWindow(wnd)) return 1;
    std::wstring escaped;
    for (wchar_t c : Text(wnd)) {
      switch (c) {
        case L'\\': escaped += L"\\\\"; break;
        case L'\r': escaped += L"\\r"; break;
        case L'\n': escaped += L"\\n"; break;
        case L'\t': escaped += L"\\t"; break;
        default: escaped += c; break;
      }
    }
    PrintLine(Utf8(escaped));
    return 0;
  }
  if (cmd == L"focused" && argc >= 3) {
    const HWND wnd = ParseHwnd(argv[2]);
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(wnd, nullptr), &info)) return 1;
    PrintLine("focus=" + Hex(info.hwndFocus) + " active=" + Hex(info.hwndActive));
    return 0;
  }
  if (cmd == L"popup" && argc >= 3) return Popup(wcstoul(argv[2], nullptr, 10));
  if (cmd == L"activate" && argc >= 3) return SetForegroundWindow(ParseHwnd(argv[2])) ? 0 : 1;
  if (cmd == L"textsize" && argc >= 3) return TextSize(ParseHwnd(argv[2]), argc - 3, argv + 3);
  if (cmd == L"appdata") {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, path);
    PrintLine(Utf8(path));
    return 0;
  }
  fputs("driver: unknown command\n", stderr);
  return 2;
}
