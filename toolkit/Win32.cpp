#include "toolkit/Win32.h"

#include <algorithm>
#include <cwchar>
#include <new>

namespace {

// Reads up to `count` bytes of a file (all of it when shorter), refusing a
// file above maxSize bytes; `fileSize` is its whole size.
bool ReadFileStart(const String& fileName, uint64_t maxSize, uint64_t count, std::string& bytes,
                   uint64_t& fileSize, uint32_t& error) {
  TFileHandle file(::CreateFileW(W(fileName), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return error = ::GetLastError(), false;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.Get(), &size)) return error = ::GetLastError(), false;
  fileSize = static_cast<uint64_t>(size.QuadPart);
  if (fileSize > maxSize) return error = ERROR_FILE_TOO_LARGE, false;
  try {
    bytes.resize(static_cast<size_t>(std::min(fileSize, count)));
  } catch (const std::bad_alloc&) {
    return error = ERROR_NOT_ENOUGH_MEMORY, false;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD read = 0;
    if (!::ReadFile(file.Get(), bytes.data() + done, chunk, &read, nullptr)) return error = ::GetLastError(), false;
    if (read == 0) {  // the file became shorter meanwhile
      fileSize = done;
      break;
    }
    done += read;
  }
  bytes.resize(done);
  return true;
}

}  // namespace

bool ReadWholeFile(const String& fileName, uint64_t maxSize, std::string& bytes, uint32_t& error) {
  uint64_t fileSize = 0;
  return ReadFileStart(fileName, maxSize, maxSize, bytes, fileSize, error);
}

bool ReadFileHead(const String& fileName, uint64_t maxSize, size_t headSize, std::string& head,
                  uint64_t& fileSize, uint32_t& error) {
  return ReadFileStart(fileName, maxSize, headSize, head, fileSize, error);
}

String SysErrorMessage(uint32_t error) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
      0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  String result = n ? S(text, n) : String();
  if (text) ::LocalFree(text);
  return result;
}

COLORREF ColorToRgb(COLORREF color, COLORREF fallback) {
  if (color == kColorDefault) return fallback;
  if ((color & 0xFF000000u) == 0xFF000000u) return ::GetSysColor(static_cast<int>(color & 0xFFu));
  return color;
}

void RestrictLibrarySearch() {
  // kernel32 is mapped into every process, so looking it up loads nothing.
  // SetDefaultDllDirectories is missing only where the loader predates the
  // search flags (Windows 7 without its 2011 loader update); there the
  // current folder still goes, and LoadSystemLibrary names the full path.
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  using SetDefault = BOOL(WINAPI*)(DWORD);
  if (const auto setDefault = reinterpret_cast<SetDefault>(
          reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories"))))
    setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  ::SetDllDirectoryW(L"");
  ::SetSearchPathMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT);
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  if (HMODULE lib = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return lib;
  if (::GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  // A loader without the search flags: the system folder's full path.
  wchar_t path[MAX_PATH];
  const UINT n = ::GetSystemDirectoryW(path, MAX_PATH);
  const size_t length = std::wcslen(name);
  if (n == 0 || n + 1 + length >= MAX_PATH) return nullptr;
  path[n] = L'\\';
  std::wmemcpy(path + n + 1, name, length + 1);
  return ::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

FARPROC SystemProcAddress(const wchar_t* module, const char* name) {
  const HMODULE lib = LoadSystemLibrary(module);  // stays loaded for the process
  return lib ? ::GetProcAddress(lib, name) : nullptr;
}

int SystemDpi() {
  TWindowDC dc(nullptr);
  return ::GetDeviceCaps(dc.Get(), LOGPIXELSX);
}

int SystemMetricForDpi(int index, int dpi) {
  using Fn = int(WINAPI*)(int, UINT);
  static const auto forDpi = SystemFunction<Fn>(L"user32.dll", "GetSystemMetricsForDpi");
  if (forDpi) return forDpi(index, static_cast<UINT>(dpi));
  return ::MulDiv(::GetSystemMetrics(index), dpi, SystemDpi());
}

int DpiForWindow(HWND wnd) {
  using Fn = UINT(WINAPI*)(HWND);
  static const auto getDpi = SystemFunction<Fn>(L"user32.dll", "GetDpiForWindow");
  if (getDpi && wnd) {
    if (const UINT dpi = getDpi(wnd)) return static_cast<int>(dpi);
  }
  return SystemDpi();
}

int DpiForMonitor(HMONITOR monitor) {
  using Fn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  static const auto getDpi = SystemFunction<Fn>(L"shcore.dll", "GetDpiForMonitor");
  UINT x = 0, y = 0;
  if (getDpi && monitor && SUCCEEDED(getDpi(monitor, 0 /* MDT_EFFECTIVE_DPI */, &x, &y)) && x) return static_cast<int>(x);
  return SystemDpi();
}

void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi) {
  using Fn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto adjust = SystemFunction<Fn>(L"user32.dll", "AdjustWindowRectExForDpi");
  if (adjust && adjust(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi))) return;
  ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

LOGFONTW MessageFont96() {
  using Fn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
  static const auto forDpi = SystemFunction<Fn>(L"user32.dll", "SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  LOGFONTW font{};
  if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, 96)) {
    font = metrics.lfMessageFont;
  } else if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    // Given at the system's DPI: back to 96 once.
    font = metrics.lfMessageFont;
    font.lfHeight = ::MulDiv(font.lfHeight, 96, SystemDpi());
  } else {
    std::copy_n(L"MS UI Gothic", 13, font.lfFaceName);
    font.lfHeight = -12;
  }
  if (font.lfHeight < 0) font.lfHeight = -font.lfHeight;
  if (font.lfHeight == 0) font.lfHeight = 12;
  return font;
}
