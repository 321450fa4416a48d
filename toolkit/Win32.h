// The Win32 edge of the toolkit: windows.h, and text views between String and
// the wide strings of the API (both UTF-16 on Windows).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>

#include "toolkit/Handle.h"
#include "toolkit/SysUtils.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the Win32 build needs 16-bit wchar_t");

inline const wchar_t* W(const String& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline wchar_t* W(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline String S(const wchar_t* text) {
  return text ? String(reinterpret_cast<const char16_t*>(text)) : String();
}
inline String S(const wchar_t* text, size_t length) {
  return String(reinterpret_cast<const char16_t*>(text), length);
}

struct TFileHandleTraits {
  using Handle = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};

inline void CloseKernelHandle(HANDLE h) { ::CloseHandle(h); }
inline void DeleteGdiObject(HGDIOBJ h) { ::DeleteObject(h); }
inline void CloseModule(HMODULE h) { ::FreeLibrary(h); }
inline void CloseGlobal(HGLOBAL h) { ::GlobalFree(h); }
inline void DestroyIconHandle(HICON h) { ::DestroyIcon(h); }

using TKernelHandle = THandleGuard<TNullHandleTraits<HANDLE, CloseKernelHandle>>;
using TFileHandle = THandleGuard<TFileHandleTraits>;
using TFontHandle = THandleGuard<TNullHandleTraits<HFONT, DeleteGdiObject>>;
using TBrushHandle = THandleGuard<TNullHandleTraits<HBRUSH, DeleteGdiObject>>;
using TBitmapHandle = THandleGuard<TNullHandleTraits<HBITMAP, DeleteGdiObject>>;
using TModuleHandle = THandleGuard<TNullHandleTraits<HMODULE, CloseModule>>;
using TGlobalHandle = THandleGuard<TNullHandleTraits<HGLOBAL, CloseGlobal>>;
using TIconHandle = THandleGuard<TNullHandleTraits<HICON, DestroyIconHandle>>;

// "No colour set": the control keeps its class's own background.
constexpr COLORREF kColorDefault = 0xFF000000;

// A window's device context for the length of a scope.
class TWindowDC {
public:
  explicit TWindowDC(HWND wnd) : FWnd(wnd), FDC(::GetDC(wnd)) {}
  ~TWindowDC() { if (FDC) ::ReleaseDC(FWnd, FDC); }
  TWindowDC(const TWindowDC&) = delete;
  TWindowDC& operator=(const TWindowDC&) = delete;
  HDC Get() const { return FDC; }

private:
  HWND FWnd;
  HDC FDC;
};

// Selects a GDI object into a DC and puts the old one back at the end of the scope.
class TSelectObject {
public:
  TSelectObject(HDC dc, HGDIOBJ object) : FDC(dc), FOld(::SelectObject(dc, object)) {}
  ~TSelectObject() { ::SelectObject(FDC, FOld); }
  TSelectObject(const TSelectObject&) = delete;
  TSelectObject& operator=(const TSelectObject&) = delete;

private:
  HDC FDC;
  HGDIOBJ FOld;
};

// Reads a whole file, refusing one above maxSize bytes. False with the
// system's error code when it cannot (ERROR_FILE_TOO_LARGE above the limit,
// ERROR_NOT_ENOUGH_MEMORY when there is no room for it).
bool ReadWholeFile(const String& fileName, uint64_t maxSize, std::string& bytes, uint32_t& error);
// The first headSize bytes of a file, all of it when shorter, and its whole
// size; the same refusals as ReadWholeFile.
bool ReadFileHead(const String& fileName, uint64_t maxSize, size_t headSize, std::string& head,
                  uint64_t& fileSize, uint32_t& error);
// The system's text for an error code; empty when it has none.
String SysErrorMessage(uint32_t error);

// A colour as RGB: system colours (0xFF0000nn) resolved, kColorDefault as
// `fallback`.
COLORREF ColorToRgb(COLORREF color, COLORREF fallback);

// Where libraries come from. A program that users unpack into their
// Downloads folder must never take a DLL that happens to lie beside it or in
// the current folder: every library the process loads after start comes
// from the system folder. The program calls this before anything else;
// every later load (delayed imports, LoadLibrary, and what those libraries
// load in turn) then follows it.
void RestrictLibrarySearch();
// A system DLL by name, from the system folder only; nullptr when it is not
// there. The caller frees it (FreeLibrary).
HMODULE LoadSystemLibrary(const wchar_t* name);

// A function of a system DLL, looked up at its first use: the DLL is loaded
// then and stays loaded, instead of with the program. A DLL that only a
// dialog or a rare picture format needs (and all that it loads in turn)
// then costs neither start-up time nor memory until it is used. nullptr
// where the system has no such function.
FARPROC SystemProcAddress(const wchar_t* module, const char* name);
template <typename Fn>
Fn SystemFunction(const wchar_t* module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(SystemProcAddress(module, name)));
}

// DPI. The per-monitor functions are looked up at run time; where the system
// lacks them, every window has the system's DPI.
// The DPI of a window (its monitor's, for a per-monitor aware process).
int DpiForWindow(HWND wnd);
// The DPI of a monitor; the system's DPI when the system cannot tell.
int DpiForMonitor(HMONITOR monitor);
int SystemDpi();
// A system metric (SM_CXICON...) at a DPI.
int SystemMetricForDpi(int index, int dpi);
// The window rectangle around a client rectangle at a DPI.
void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi);
// The system's message font described at 96 DPI (face, height > 0).
LOGFONTW MessageFont96();
inline int ScaleForDpi(int value, int dpi) { return ::MulDiv(value, dpi, 96); }

// A memory device context (CreateCompatibleDC), deleted when it goes.
inline void DeleteMemoryDC(HDC dc) { ::DeleteDC(dc); }
using TMemoryDC = THandleGuard<TNullHandleTraits<HDC, DeleteMemoryDC>>;

// One WM_PAINT: BeginPaint at the start of a scope, EndPaint at its end
// whatever happens in between. Get() is null when BeginPaint failed.
class TPaintSession {
public:
  explicit TPaintSession(HWND wnd) : FWnd(wnd), FDC(::BeginPaint(wnd, &FPaint)) {}
  ~TPaintSession() {
    if (FDC) ::EndPaint(FWnd, &FPaint);
  }
  TPaintSession(const TPaintSession&) = delete;
  TPaintSession& operator=(const TPaintSession&) = delete;
  HDC Get() const { return FDC; }
  const PAINTSTRUCT& Paint() const { return FPaint; }

private:
  HWND FWnd;
  PAINTSTRUCT FPaint{};
  HDC FDC;
};
