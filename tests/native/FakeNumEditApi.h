// A stand-in for the numeric edit control's platform calls (text widths from a
// table, a clipboard in memory, a record of caret, beep and focus calls) and a
// control whose window facts are plain fields.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "numedit/ZuNumEdit.h"

struct FakeNumEditApi : NumEditApi {
  // Pixel widths: digits 7, "," and "." 3, "-" 5, anything else 8, unless set here.
  std::map<char16_t, int32_t> widths;
  int32_t fontHeight = 13;  // the height of "M"
  std::optional<String> clipboard;
  bool clipboardBusy = false;  // another program holds it open
  bool inForeground = true;
  uintptr_t imc = 0x77;  // 0: the window has no input context
  int beeps = 0;
  std::vector<std::string> calls;
  std::function<void(uintptr_t)> onSetFocus;

  FakeNumEditApi() { SetNumEditPlatform(this); }
  ~FakeNumEditApi() override { SetNumEditPlatform(nullptr); }

  int32_t Width(const String& text) const {
    int32_t sum = 0;
    for (char16_t c : text) {
      auto it = widths.find(c);
      if (it != widths.end()) sum += it->second;
      else if (c >= u'0' && c <= u'9') sum += 7;
      else if (c == u',' || c == u'.') sum += 3;
      else if (c == u'-') sum += 5;
      else sum += 8;
    }
    return sum;
  }

  int32_t DrawTextW(uintptr_t dc, const String& text, TTextRect& rect, uint32_t format) override {
    if (format != kDtCalcRect) calls.push_back("DrawTextW(format " + std::to_string(format) + ")");
    rect.Right = rect.Left + Width(text);
    rect.Bottom = rect.Top + fontHeight;
    return fontHeight;
  }
  bool GetTextExtentPoint32W(uintptr_t dc, const String& text, int32_t& cx, int32_t& cy) override {
    cx = Width(text);
    cy = fontHeight;
    return true;
  }
  bool MessageBeep(uint32_t type) override {
    ++beeps;
    calls.push_back("MessageBeep(" + std::to_string(type) + ")");
    return true;
  }
  bool PostMessageW(uintptr_t wnd, uint32_t msg, uintptr_t wParam, intptr_t lParam) override {
    calls.push_back("PostMessageW(" + std::to_string(wnd) + "," + std::to_string(msg) + "," +
                    std::to_string(wParam) + "," + std::to_string(lParam) + ")");
    return true;
  }
  uintptr_t GetForegroundWindow() override { return inForeground ? 0x500 : 0x600; }
  uint32_t GetWindowThreadProcessId(uintptr_t wnd) override { return wnd == 0x500 ? 7 : 9; }
  uint32_t GetCurrentThreadId() override { return 7; }
  uintptr_t SetFocus(uintptr_t wnd) override {
    calls.push_back("SetFocus(" + std::to_string(wnd) + ")");
    if (onSetFocus) onSetFocus(wnd);
    return 0;
  }
  bool IsClipboardFormatAvailable(uint32_t format) override {
    return format == kCfText && clipboard.has_value();
  }
  bool GetClipboardText(uintptr_t owner, String& text) override {
    if (clipboardBusy || !clipboard) return false;
    text = *clipboard;
    return true;
  }
  bool SetClipboardText(uintptr_t owner, const String& text) override {
    if (clipboardBusy) return false;
    clipboard = text;
    return true;
  }
  bool CreateCaret(uintptr_t wnd, uintptr_t bitmap, int32_t width, int32_t height) override {
    calls.push_back("CreateCaret(" + std::to_string(wnd) + "," + std::to_string(bitmap) + "," +
                    std::to_string(width) + "," + std::to_string(height) + ")");
    return true;
  }
  bool ShowCaret(uintptr_t wnd) override {
    calls.push_back("ShowCaret(" + std::to_string(wnd) + ")");
    return true;
  }
  bool SetCaretPos(int32_t x, int32_t y) override {
    calls.push_back("SetCaretPos(" + std::to_string(x) + "," + std::to_string(y) + ")");
    return true;
  }
  bool HideCaret(uintptr_t wnd) override {
    calls.push_back("HideCaret(" + std::to_string(wnd) + ")");
    return true;
  }
  bool DestroyCaret() override {
    calls.push_back("DestroyCaret");
    return true;
  }
  uintptr_t ImmGetContext(uintptr_t wnd) override { return imc; }
  bool ImmSetCompositionWindow(uintptr_t context, uint32_t style, int32_t x, int32_t y) override {
    calls.push_back("ImmSetCompositionWindow(" + std::to_string(style) + "," + std::to_string(x) +
                    "," + std::to_string(y) + ")");
    return true;
  }
  bool ImmSetCompositionFontW(uintptr_t context, uintptr_t font) override {
    calls.push_back("ImmSetCompositionFontW(" + std::to_string(font) + ")");
    return true;
  }
  bool ImmReleaseContext(uintptr_t wnd, uintptr_t context) override {
    calls.push_back("ImmReleaseContext");
    return true;
  }
};

// The control's logic with its window reduced to fields. The window is 0x10
// inside a form 0x20; its font handle is 0x40.
class TestNumEdit : public TComponent, public TZuNumEditCore {
public:
  int32_t clientWidth = 117;  // 121 wide less a 2-pixel sunken edge on each side
  int32_t clientHeight = 17;
  bool focused = false;
  bool ctl3D = true;
  bool designing = false;
  uintptr_t form = 0x20;
  int invalidations = 0;
  int recreations = 0;
  int fontCopies = 0;
  std::vector<int32_t> clientHeights;  // every height AdjustHeight asked for

  explicit TestNumEdit(bool constructed = true) {
    if (constructed) EndInit();
  }

  using TZuNumEditCore::AdjustCreateParams;
  using TZuNumEditCore::CaretOffset;
  using TZuNumEditCore::CaretWidthPx;
  using TZuNumEditCore::DialogCode;
  using TZuNumEditCore::FontHeight;
  using TZuNumEditCore::HandleCtl3DChanged;
  using TZuNumEditCore::HandleDblClick;
  using TZuNumEditCore::HandleEnter;
  using TZuNumEditCore::HandleExit;
  using TZuNumEditCore::HandleFocusGained;
  using TZuNumEditCore::HandleFocusLost;
  using TZuNumEditCore::HandleFontChanged;
  using TZuNumEditCore::HandleKeyDown;
  using TZuNumEditCore::HandleKeyPress;
  using TZuNumEditCore::HandleMouseDown;
  using TZuNumEditCore::HandleMouseMove;
  using TZuNumEditCore::HandleParentAssigned;
  using TZuNumEditCore::HandleResized;
  using TZuNumEditCore::LastDrawRect;
  using TZuNumEditCore::MapImeChar;
  using TZuNumEditCore::PlanPaint;
  using TZuNumEditCore::ShownWidth;
  using TZuNumEditCore::TextAreaWidth;
  using TZuNumEditCore::TextLeft;
  using TZuNumEditCore::TextTop;

protected:
  int32_t HostClientWidth() override { return clientWidth; }
  int32_t HostClientHeight() override { return clientHeight; }
  bool HostFocused() override { return focused; }
  bool HostCtl3D() override { return ctl3D; }
  bool HostDesigning() override { return designing; }
  uintptr_t HostWindow() override { return 0x10; }
  uintptr_t HostFormWindow() override { return form; }
  uintptr_t HostDC() override { return 0x30; }
  uintptr_t HostFont() override { return 0x40; }
  TComponent* HostSender() override { return this; }
  void HostInvalidate() override { ++invalidations; }
  void HostSetClientHeight(int32_t height) override {
    clientHeights.push_back(height);
    clientHeight = height;
  }
  void HostRecreateWindow() override { ++recreations; }
  void HostCopyFont() override { ++fontCopies; }
};
