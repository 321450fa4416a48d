// The numeric edit control's platform calls, straight to user32, gdi32 and imm32.
#include "numedit/NumEditApi.h"

#include "toolkit/Win32.h"

#include <imm.h>

#include <algorithm>

namespace {

HWND Wnd(uintptr_t handle) { return reinterpret_cast<HWND>(handle); }
HDC Dc(uintptr_t handle) { return reinterpret_cast<HDC>(handle); }
HIMC Imc(uintptr_t handle) { return reinterpret_cast<HIMC>(handle); }

// The clipboard is open for the length of a scope.
class TOpenClipboard {
public:
  explicit TOpenClipboard(HWND owner) : FOpen(::OpenClipboard(owner) != FALSE) {}
  ~TOpenClipboard() {
    if (FOpen) ::CloseClipboard();
  }
  TOpenClipboard(const TOpenClipboard&) = delete;
  TOpenClipboard& operator=(const TOpenClipboard&) = delete;
  explicit operator bool() const { return FOpen; }

private:
  bool FOpen;
};

// A global memory block locked for the length of a scope.
class TGlobalLock {
public:
  explicit TGlobalLock(HGLOBAL memory) : FMemory(memory), FData(::GlobalLock(memory)) {}
  ~TGlobalLock() {
    if (FData) ::GlobalUnlock(FMemory);
  }
  TGlobalLock(const TGlobalLock&) = delete;
  TGlobalLock& operator=(const TGlobalLock&) = delete;
  void* Data() const { return FData; }

private:
  HGLOBAL FMemory;
  void* FData;
};

struct NumEditApiWin32 final : NumEditApi {
  int32_t DrawTextW(uintptr_t dc, const String& text, TTextRect& rect, uint32_t format) override {
    RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
    const int height = ::DrawTextW(Dc(dc), W(text), -1, &r, format);
    rect = {r.left, r.top, r.right, r.bottom};
    return height;
  }
  bool GetTextExtentPoint32W(uintptr_t dc, const String& text, int32_t& cx, int32_t& cy) override {
    SIZE size{};
    if (!::GetTextExtentPoint32W(Dc(dc), W(text), static_cast<int>(text.size()), &size)) return false;
    cx = size.cx;
    cy = size.cy;
    return true;
  }
  bool MessageBeep(uint32_t type) override { return ::MessageBeep(type) != FALSE; }
  bool PostMessageW(uintptr_t wnd, uint32_t msg, uintptr_t wParam, intptr_t lParam) override {
    return ::PostMessageW(Wnd(wnd), msg, wParam, lParam) != FALSE;
  }
  uintptr_t GetForegroundWindow() override {
    return reinterpret_cast<uintptr_t>(::GetForegroundWindow());
  }
  uint32_t GetWindowThreadProcessId(uintptr_t wnd) override {
    return ::GetWindowThreadProcessId(Wnd(wnd), nullptr);
  }
  uint32_t GetCurrentThreadId() override { return ::GetCurrentThreadId(); }
  uintptr_t SetFocus(uintptr_t wnd) override {
    return reinterpret_cast<uintptr_t>(::SetFocus(Wnd(wnd)));
  }

  bool IsClipboardFormatAvailable(uint32_t format) override {
    return ::IsClipboardFormatAvailable(format) != FALSE;
  }
  bool GetClipboardText(uintptr_t owner, String& text) override {
    TOpenClipboard clipboard(Wnd(owner));
    if (!clipboard) return false;
    const HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    if (!data) return false;
    TGlobalLock lock(data);
    if (!lock.Data()) return false;
    // Another program's block need not end in a NUL: read no further than its size.
    const auto* chars = static_cast<const char16_t*>(lock.Data());
    const size_t capacity = ::GlobalSize(data) / sizeof(char16_t);
    text.assign(chars, std::find(chars, chars + capacity, u'\0'));
    return true;
  }
  bool SetClipboardText(uintptr_t owner, const String& text) override {
    const size_t bytes = (text.size() + 1) * sizeof(char16_t);
    TGlobalHandle memory(::GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) return false;
    {
      TGlobalLock lock(memory.Get());
      if (!lock.Data()) return false;
      std::copy_n(text.c_str(), text.size() + 1, static_cast<char16_t*>(lock.Data()));
    }
    TOpenClipboard clipboard(Wnd(owner));
    if (!clipboard || !::EmptyClipboard()) return false;
    if (!::SetClipboardData(CF_UNICODETEXT, memory.Get())) return false;
    memory.Release();  // the clipboard owns it now
    return true;
  }

  bool CreateCaret(uintptr_t wnd, uintptr_t bitmap, int32_t width, int32_t height) override {
    return ::CreateCaret(Wnd(wnd), reinterpret_cast<HBITMAP>(bitmap), width, height) != FALSE;
  }
  bool ShowCaret(uintptr_t wnd) override { return ::ShowCaret(Wnd(wnd)) != FALSE; }
  bool SetCaretPos(int32_t x, int32_t y) override { return ::SetCaretPos(x, y) != FALSE; }
  bool HideCaret(uintptr_t wnd) override { return ::HideCaret(Wnd(wnd)) != FALSE; }
  bool DestroyCaret() override { return ::DestroyCaret() != FALSE; }

  uintptr_t ImmGetContext(uintptr_t wnd) override {
    return reinterpret_cast<uintptr_t>(::ImmGetContext(Wnd(wnd)));
  }
  bool ImmSetCompositionWindow(uintptr_t imc, uint32_t style, int32_t x, int32_t y) override {
    COMPOSITIONFORM form{};
    form.dwStyle = style;
    form.ptCurrentPos = {x, y};
    return ::ImmSetCompositionWindow(Imc(imc), &form) != FALSE;
  }
  bool ImmSetCompositionFontW(uintptr_t imc, uintptr_t font) override {
    LOGFONTW logFont{};
    if (!::GetObjectW(reinterpret_cast<HFONT>(font), sizeof(logFont), &logFont)) return false;
    return ::ImmSetCompositionFontW(Imc(imc), &logFont) != FALSE;
  }
  bool ImmReleaseContext(uintptr_t wnd, uintptr_t imc) override {
    return ::ImmReleaseContext(Wnd(wnd), Imc(imc)) != FALSE;
  }
};

}  // namespace

template <>
NumEditApi& RealSeam<NumEditApi>() {
  static NumEditApiWin32 api;
  return api;
}
