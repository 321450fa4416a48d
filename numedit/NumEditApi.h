// The platform calls of the numeric edit control, one for one with Win32.
// Handles travel as integers so that the logic builds without <windows.h>.
// The real implementation lives in NumEditApiWin32.cpp; tests install a fake.
#pragma once

#include <cstdint>

#include "toolkit/Seam.h"
#include "toolkit/SysUtils.h"

constexpr uint32_t kDtCalcRect = 0x400;
constexpr uint32_t kDtSingleLine = 0x20;
constexpr uint32_t kDtCenter = 0x1;
constexpr uint32_t kCfText = 1;
constexpr uint32_t kCfsPoint = 2;
constexpr uint32_t kWmNextDlgCtl = 0x28;

// A rectangle in client pixels, laid out like RECT.
struct TTextRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  bool operator==(const TTextRect&) const = default;
};

struct NumEditApi {
  virtual ~NumEditApi() = default;

  // gdi32 / user32: text in the font selected into `dc`. The logic only asks
  // DrawTextW to measure (DT_CALCRECT), which widens `rect` to fit the text.
  virtual int32_t DrawTextW(uintptr_t dc, const String& text, TTextRect& rect, uint32_t format) = 0;
  virtual bool GetTextExtentPoint32W(uintptr_t dc, const String& text, int32_t& cx,
                                     int32_t& cy) = 0;

  // user32
  virtual bool MessageBeep(uint32_t type) = 0;
  virtual bool PostMessageW(uintptr_t wnd, uint32_t msg, uintptr_t wParam, intptr_t lParam) = 0;
  virtual uintptr_t GetForegroundWindow() = 0;
  virtual uint32_t GetWindowThreadProcessId(uintptr_t wnd) = 0;  // the process id is not asked for
  virtual uint32_t GetCurrentThreadId() = 0;
  virtual uintptr_t SetFocus(uintptr_t wnd) = 0;

  // The clipboard. Reading opens it, takes the CF_UNICODETEXT data and closes it;
  // writing opens it, empties it, hands over the text as CF_UNICODETEXT and closes
  // it. Both are false when the clipboard cannot be opened or holds no such data.
  virtual bool IsClipboardFormatAvailable(uint32_t format) = 0;
  virtual bool GetClipboardText(uintptr_t owner, String& text) = 0;
  virtual bool SetClipboardText(uintptr_t owner, const String& text) = 0;

  // The caret.
  virtual bool CreateCaret(uintptr_t wnd, uintptr_t bitmap, int32_t width, int32_t height) = 0;
  virtual bool ShowCaret(uintptr_t wnd) = 0;
  virtual bool SetCaretPos(int32_t x, int32_t y) = 0;
  virtual bool HideCaret(uintptr_t wnd) = 0;
  virtual bool DestroyCaret() = 0;

  // imm32: the composition window follows the caret. ImmSetCompositionFontW
  // takes the logical font of the font handle `font`.
  virtual uintptr_t ImmGetContext(uintptr_t wnd) = 0;
  virtual bool ImmSetCompositionWindow(uintptr_t imc, uint32_t style, int32_t x, int32_t y) = 0;
  virtual bool ImmSetCompositionFontW(uintptr_t imc, uintptr_t font) = 0;
  virtual bool ImmReleaseContext(uintptr_t wnd, uintptr_t imc) = 0;
};

// The platform in use. The Windows build starts with the real one; tests swap
// in a fake for their lifetime.
template <>
NumEditApi& RealSeam<NumEditApi>();

inline NumEditApi& NumEditPlatform() { return TSeam<NumEditApi>::Get(); }
// Installs `api` for the calls that follow; nullptr restores the real platform.
inline void SetNumEditPlatform(NumEditApi* api) { TSeam<NumEditApi>::Install(api); }
