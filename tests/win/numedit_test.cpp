// The numeric edit control in real windows: keys and characters from the
// input queue, the clipboard, the dialog code, the caret, the height, the
// painted pixels and the window's re-creation.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "numedit/ZuNumEditWin32.h"


namespace {

class TTestNumEdit : public TZuNumEdit {
public:
  using TZuNumEdit::TZuNumEdit;
  using TZuNumEditCore::CaretOffset;
  using TZuNumEditCore::FontHeight;
  using TZuNumEditCore::LastDrawRect;
  using TZuNumEditCore::TextLeft;
  using TZuNumEditCore::TextTop;
};

// A form that carries out the focus moves the control posts to it.
class TTestForm : public TForm {
public:
  std::vector<WPARAM> focusMoves;

protected:
  void WndProc(TMessage& message) override {
    if (message.Msg == WM_NEXTDLGCTL && message.LParam == 0) {
      focusMoves.push_back(message.WParam);
      if (HWND next = ::GetNextDlgTabItem(Handle(), ::GetFocus(), message.WParam != 0)) ::SetFocus(next);
      return;
    }
    TForm::WndProc(message);
  }
};

// The real platform, with the error beeps counted on their way through.
struct BeepCounter final : NumEditApi {
  NumEditApi& real = RealSeam<NumEditApi>();
  int beeps = 0;
  BeepCounter() { SetNumEditPlatform(this); }
  ~BeepCounter() override { SetNumEditPlatform(nullptr); }

  bool MessageBeep(uint32_t type) override {
    ++beeps;
    return real.MessageBeep(type);
  }
  int32_t DrawTextW(uintptr_t dc, const String& t, TTextRect& r, uint32_t f) override { return real.DrawTextW(dc, t, r, f); }
  bool GetTextExtentPoint32W(uintptr_t dc, const String& t, int32_t& cx, int32_t& cy) override { return real.GetTextExtentPoint32W(dc, t, cx, cy); }
  bool PostMessageW(uintptr_t w, uint32_t m, uintptr_t wp, intptr_t lp) override { return real.PostMessageW(w, m, wp, lp); }
  uintptr_t GetForegroundWindow() override { return real.GetForegroundWindow(); }
  uint32_t GetWindowThreadProcessId(uintptr_t w) override { return real.GetWindowThreadProcessId(w); }
  uint32_t GetCurrentThreadId() override { return real.GetCurrentThreadId(); }
  uintptr_t SetFocus(uintptr_t w) override { return real.SetFocus(w); }
  bool IsClipboardFormatAvailable(uint32_t f) override { return real.IsClipboardFormatAvailable(f); }
  bool GetClipboardText(uintptr_t o, String& t) override { return real.GetClipboardText(o, t); }
  bool SetClipboardText(uintptr_t o, const String& t) override { return real.SetClipboardText(o, t); }
  bool CreateCaret(uintptr_t w, uintptr_t b, int32_t cx, int32_t cy) override { return real.CreateCaret(w, b, cx, cy); }
  bool ShowCaret(uintptr_t w) override { return real.ShowCaret(w); }
  bool SetCaretPos(int32_t x, int32_t y) override { return real.SetCaretPos(x, y); }
  bool HideCaret(uintptr_t w) override { return real.HideCaret(w); }
  bool DestroyCaret() override { return real.DestroyCaret(); }
  uintptr_t ImmGetContext(uintptr_t w) override { return real.ImmGetContext(w); }
  bool ImmSetCompositionWindow(uintptr_t c, uint32_t s, int32_t x, int32_t y) override { return real.ImmSetCompositionWindow(c, s, x, y); }
  bool ImmSetCompositionFontW(uintptr_t c, uintptr_t f) override { return real.ImmSetCompositionFontW(c, f); }
  bool ImmReleaseContext(uintptr_t w, uintptr_t c) override { return real.ImmReleaseContext(w, c); }
};

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 3000) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (::GetTickCount() - start > timeoutMs) return false;
    ::Sleep(5);
  }
}

void Pump() { PumpUntil([] { return false; }, 50); }

INPUT KeyInput(WORD vk, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return in;
}

// Presses a key, with modifiers held, through the system's input queue.
void Press(WORD vk, std::initializer_list<WORD> modifiers = {}) {
  std::vector<INPUT> inputs;
  for (WORD m : modifiers) inputs.push_back(KeyInput(m, false));
  inputs.push_back(KeyInput(vk, false));
  inputs.push_back(KeyInput(vk, true));
  for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it)
    inputs.push_back(KeyInput(*it, true));
  ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  Pump();
}

void ClickAt(HWND wnd, int x, int y, bool twice = false) {
  POINT p{x, y};
  ::ClientToScreen(wnd, &p);
  ::SetCursorPos(p.x, p.y);
  Pump();
  for (int i = 0; i < (twice ? 2 : 1); ++i) {
    INPUT in[2]{};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, in, sizeof(INPUT));
    Pump();
  }
}

bool SetClipboard(HWND owner, const String& text) {
  if (!::OpenClipboard(owner)) return false;
  ::EmptyClipboard();
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  std::copy_n(text.c_str(), text.size() + 1, static_cast<char16_t*>(::GlobalLock(memory)));
  ::GlobalUnlock(memory);
  const bool done = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  if (!done) ::GlobalFree(memory);
  ::CloseClipboard();
  return done;
}

String Clipboard() {
  String text;
  if (!::OpenClipboard(nullptr)) return u"<closed>";
  if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    text = S(static_cast<const wchar_t*>(::GlobalLock(data)));
    ::GlobalUnlock(data);
  }
  ::CloseClipboard();
  return text;
}

RECT CaretRect() {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  ::GetGUIThreadInfo(::GetCurrentThreadId(), &info);
  if (!info.hwndCaret) return RECT{-1, -1, -1, -1};
  return info.rcCaret;
}

HWND CaretWindow() {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  ::GetGUIThreadInfo(::GetCurrentThreadId(), &info);
  return info.hwndCaret;
}

class NumEditWin : public testing::Test {
protected:
  std::unique_ptr<TApplication> app;
  TTestForm* form = nullptr;
  TTestNumEdit* edit = nullptr;
  TTestNumEdit* other = nullptr;
  int changes = 0;

  void SetUp() override {
    if (!Application) app = std::make_unique<TApplication>();
    form = new TTestForm;
    form->SetBounds(100, 100, 320, 200);
    edit = new TTestNumEdit(form);
    edit->SetBounds(20, 20, 121, 20);
    edit->SetParent(form);
    edit->SetOnChange([this](TComponent*) { ++changes; });
    other = new TTestNumEdit(form);
    other->SetBounds(20, 80, 121, 20);
    other->SetParent(form);
    form->Show();
    // Show makes the window when there is none yet, but does not show it.
    ::ShowWindow(form->Handle(), SW_SHOW);
    ::SetForegroundWindow(form->Handle());
    edit->SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return ::GetFocus() == edit->Handle(); }));
  }
  void TearDown() override {
    delete form;
    Pump();
  }
  HWND Wnd() { return edit->Handle(); }

  // The colours found inside and outside a rectangle of the client area.
  struct Pixels {
    std::vector<COLORREF> inside, outside;
    bool InsideHas(COLORREF c) const { return std::count(inside.begin(), inside.end(), c) > 0; }
    bool OutsideOnly(COLORREF c) const {
      return std::all_of(outside.begin(), outside.end(), [c](COLORREF p) { return p == c; });
    }
    bool AnyHas(COLORREF c) const {
      return InsideHas(c) || std::count(outside.begin(), outside.end(), c) > 0;
    }
  };
  Pixels ReadPixels(const TTextRect& r) {
    ::RedrawWindow(Wnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    RECT client{};
    ::GetClientRect(Wnd(), &client);
    Pixels pixels;
    HDC dc = ::GetDC(Wnd());
    for (int y = 0; y < client.bottom; ++y)
      for (int x = 0; x < client.right; ++x) {
        const bool in = x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
        (in ? pixels.inside : pixels.outside).push_back(::GetPixel(dc, x, y));
      }
    ::ReleaseDC(Wnd(), dc);
    return pixels;
  }
};

TEST_F(NumEditWin, RealKeystrokesChangeTheValue) {
  for (WORD vk : {'1', '2', '3', '4'}) Press(vk);
  EXPECT_EQ(edit->Text(), u"1234");
  EXPECT_EQ(edit->ValText(), u"1,234");
  Press(VK_OEM_PERIOD);
  Press('5');
  Press(VK_OEM_MINUS);
  EXPECT_EQ(edit->Text(), u"-1234.5");
  Press(VK_BACK);
  EXPECT_EQ(edit->Text(), u"-1234");
  Press(VK_SUBTRACT);  // the keypad minus toggles the sign back
  EXPECT_EQ(edit->Text(), u"1234");
  EXPECT_TRUE(edit->Modified());
  EXPECT_EQ(changes, 9);
  // Shift+Left selects everything, and a digit then starts over.
  Press(VK_LEFT, {VK_SHIFT});
  EXPECT_EQ(edit->SelLength(), 5);
  Press('7');
  EXPECT_EQ(edit->Text(), u"7");
}

TEST_F(NumEditWin, TheHostsKeyEventsRunFirstAndCanTakeTheKey) {
  std::vector<std::string> seen;
  edit->OnKeyDown = [&](TComponent*, WORD& key, TShiftState) {
    seen.push_back("down " + std::to_string(key));
    if (key == VK_BACK) key = 0;
  };
  edit->OnKeyPress = [&](TComponent*, char16_t& key) {
    seen.push_back("press " + std::to_string(key));
    if (key == u'9') key = u'8';
  };
  Press('9');
  Press(VK_BACK);
  EXPECT_EQ(edit->Text(), u"8");
  // The message loop still makes a character of the taken key; it is swallowed.
  EXPECT_EQ(seen, (std::vector<std::string>{"down 57", "press 57", "down 8", "press 8"}));
  // The host's handlers are still in place afterwards.
  ASSERT_TRUE(edit->OnKeyDown);
  ASSERT_TRUE(edit->OnKeyPress);
}

TEST_F(NumEditWin, CopyAndPasteThroughTheClipboard) {
  edit->SetText(u"1234.5");
  Press('A', {VK_CONTROL});
  Press('C', {VK_CONTROL});
  EXPECT_EQ(Clipboard(), u"1234.5");
  edit->SetImageCopy(true);
  Press('C', {VK_CONTROL});
  EXPECT_EQ(Clipboard(), u"1,234.5");

  ASSERT_TRUE(SetClipboard(Wnd(), u"34"));
  edit->SetText(u"12");
  edit->ClearSelect();
  Press('V', {VK_CONTROL});
  EXPECT_EQ(edit->Text(), u"1234");
  // Cut hands the value over and leaves 0.
  Press('A', {VK_CONTROL});
  Press('X', {VK_CONTROL});
  EXPECT_EQ(Clipboard(), u"1,234");
  EXPECT_EQ(edit->Text(), u"0");
}

TEST_F(NumEditWin, TabMovesTheFocusWithoutABeep) {
  BeepCounter counter;
  Press(VK_TAB);
  ASSERT_TRUE(PumpUntil([&] { return ::GetFocus() == other->Handle(); }));
  Pump();
  EXPECT_EQ(counter.beeps, 0);
  Press('A');  // a refused character does beep
  EXPECT_EQ(counter.beeps, 1);
  EXPECT_EQ(edit->Text(), u"0");
  EXPECT_EQ(other->Text(), u"0");
}

TEST_F(NumEditWin, DialogCode) {
  EXPECT_EQ(::SendMessageW(Wnd(), WM_GETDLGCODE, 0, 0), 0x81);
  edit->SetEnterFocusMove(true);
  EXPECT_EQ(::SendMessageW(Wnd(), WM_GETDLGCODE, 0, 0), 0x85);
}

TEST_F(NumEditWin, EnterAndArrowsMoveTheFocusThroughTheForm) {
  edit->SetEnterFocusMove(true);
  Press(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return ::GetFocus() == other->Handle(); }));
  other->SetArrowFocusMove(true);
  Press(VK_UP);
  ASSERT_TRUE(PumpUntil([&] { return ::GetFocus() == edit->Handle(); }));
  EXPECT_EQ(form->focusMoves, (std::vector<WPARAM>{0, 0xFFFFFFFF}));
}

TEST_F(NumEditWin, InputMethodCharactersArriveNarrow) {
  edit->SetText(u"1");
  edit->ClearSelect();
  ::SendMessageW(Wnd(), WM_IME_CHAR, 0xFF12, 1);  // full-width 2
  ::SendMessageW(Wnd(), WM_IME_CHAR, 0xFF0E, 1);  // full-width full stop
  ::SendMessageW(Wnd(), WM_IME_CHAR, 0xFF15, 1);  // full-width 5
  EXPECT_TRUE(PumpUntil([&] { return edit->Text() == u"12.5"; })) << ToUtf8(edit->Text());
}

TEST_F(NumEditWin, TheCaretExistsOnlyWhileFocusedAndStandsBehindTheValue) {
  edit->SetText(u"1234");
  Pump();
  ASSERT_EQ(CaretWindow(), Wnd());
  POINT pos{};
  ASSERT_TRUE(::GetCaretPos(&pos));
  EXPECT_EQ(pos.x, edit->TextLeft() + edit->CaretOffset(edit->Text()));
  EXPECT_EQ(pos.y, edit->TextTop());
  const RECT r = CaretRect();
  EXPECT_EQ(r.right - r.left, 1);
  EXPECT_EQ(r.bottom - r.top, edit->FontHeight());

  // With fixed decimals the caret stands behind what was typed.
  edit->SetDecimalFixed(true);
  edit->SetText(u"12.5");
  ::GetCaretPos(&pos);
  TWindowDC dc(Wnd());
  TSelectObject font(dc.Get(), edit->Font().Handle(edit->Dpi()));
  auto width = [&](const wchar_t* text) {
    RECT r{};
    ::DrawTextW(dc.Get(), text, -1, &r, DT_CALCRECT);
    return static_cast<int>(r.right - r.left);
  };
  RECT client{};
  ::GetClientRect(Wnd(), &client);
  EXPECT_EQ(pos.x, client.right - 3 - width(L"12.500") + width(L"12") + width(L".5"));

  other->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return ::GetFocus() == other->Handle(); }));
  EXPECT_EQ(CaretWindow(), other->Handle());
  ::SetFocus(form->Handle());
  Pump();
  EXPECT_EQ(CaretWindow(), nullptr);
}

TEST_F(NumEditWin, ABoldFontGivesATwoPixelCaret) {
  edit->Font().SetStyle(fsBold);
  Pump();
  RECT r = CaretRect();
  EXPECT_EQ(r.right - r.left, 2);
  edit->Font().SetStyle(0);
  Pump();
  r = CaretRect();
  EXPECT_EQ(r.right - r.left, 1);
  EXPECT_EQ(CaretWindow(), Wnd());
}

TEST_F(NumEditWin, AutoSizeFitsTheClientHeightToTheFont) {
  auto fontHeight = [&] {
    TWindowDC dc(Wnd());
    TSelectObject font(dc.Get(), edit->Font().Handle(edit->Dpi()));
    SIZE m{};
    ::GetTextExtentPoint32W(dc.Get(), L"M", 1, &m);
    return static_cast<int>(m.cy);
  };
  RECT client{};
  ::GetClientRect(Wnd(), &client);
  EXPECT_EQ(client.bottom, fontHeight() + 4);
  edit->Font().SetHeight(30);
  ::GetClientRect(Wnd(), &client);
  EXPECT_EQ(client.bottom, fontHeight() + 4);
  EXPECT_GT(client.bottom, 30);
  // Without AutoSize the height stays what the host set.
  edit->SetAutoSize(false);
  edit->SetBounds(20, 20, 121, 21);
  edit->SetTopMargin(6);
  ::GetClientRect(Wnd(), &client);
  EXPECT_EQ(client.bottom, 21 - 4);
}

TEST_F(NumEditWin, AssigningTheSameParentAgainRunsTheParentReactionToo) {
  edit->SetColor(RGB(255, 0, 0));
  edit->SetParent(form);
  EXPECT_EQ(edit->Color(), COLORREF{TZuNumEditCore::kColorWindow});
}

TEST_F(NumEditWin, OnlyTheTextsRectangleIsHighlighted) {
  // Unfocused, so that no caret is blinking in the pixels.
  edit->SetHideSelection(false);
  other->SetFocus();
  Pump();
  edit->Font().SetColor(RGB(0, 0, 0));
  edit->Font().SetStyle(fsBold);
  edit->SetColor(RGB(255, 255, 255));
  edit->SetText(u"1234");
  edit->SelectAll();
  Pixels p = ReadPixels(edit->LastDrawRect());
  const COLORREF highlight = ::GetSysColor(COLOR_HIGHLIGHT);
  ASSERT_GT(edit->LastDrawRect().Right - edit->LastDrawRect().Left, 10);
  EXPECT_TRUE(p.InsideHas(highlight));
  EXPECT_TRUE(p.InsideHas(::GetSysColor(COLOR_HIGHLIGHTTEXT)));
  EXPECT_TRUE(p.OutsideOnly(RGB(255, 255, 255)));

  edit->ClearSelect();
  p = ReadPixels(edit->LastDrawRect());
  EXPECT_FALSE(p.AnyHas(highlight));
  EXPECT_TRUE(p.InsideHas(RGB(0, 0, 0)));
}

TEST_F(NumEditWin, ADisabledControlDrawsInDisabledColor) {
  edit->SetHideSelection(false);
  other->SetFocus();
  Pump();
  edit->Font().SetColor(RGB(0, 0, 0));
  edit->Font().SetStyle(fsBold);
  edit->SetColor(RGB(255, 255, 255));
  edit->SetDisabledColor(RGB(255, 0, 0));
  edit->SetText(u"1234");
  edit->SelectAll();
  edit->SetEnabled(false);
  Pixels p = ReadPixels(edit->LastDrawRect());
  EXPECT_TRUE(p.InsideHas(RGB(255, 0, 0)));
  EXPECT_FALSE(p.AnyHas(RGB(0, 0, 0)));
  EXPECT_FALSE(p.AnyHas(::GetSysColor(COLOR_HIGHLIGHT)));
  EXPECT_TRUE(p.OutsideOnly(RGB(255, 255, 255)));
  // The default disabled colour is the system's grey text.
  edit->SetDisabledColor(0xFF000000 | COLOR_GRAYTEXT);
  p = ReadPixels(edit->LastDrawRect());
  EXPECT_TRUE(p.InsideHas(::GetSysColor(COLOR_GRAYTEXT)));
}

TEST_F(NumEditWin, ThreeDChangeRecreatesTheWindowAndKeepsTheValue) {
  edit->SetText(u"1234.5");
  edit->ClearSelect();
  Press('6');
  ASSERT_EQ(edit->Text(), u"1234.56");
  EXPECT_TRUE(::GetWindowLongPtrW(Wnd(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  edit->SetCtl3D(false);
  const HWND after = Wnd();
  EXPECT_FALSE(::GetWindowLongPtrW(after, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  EXPECT_TRUE(::GetWindowLongPtrW(after, GWL_STYLE) & WS_BORDER);
  EXPECT_EQ(edit->Text(), u"1234.56");
  EXPECT_EQ(edit->ValText(), u"1,234.56");
  EXPECT_TRUE(edit->Modified());
  EXPECT_TRUE(edit->CanUndo());
}

TEST_F(NumEditWin, ClickingClearsTheSelectionAndDoubleClickingSelects) {
  edit->SetText(u"1234");
  other->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return ::GetFocus() == other->Handle(); }));
  ClickAt(Wnd(), 5, 5);
  ASSERT_TRUE(PumpUntil([&] { return ::GetFocus() == Wnd(); }));
  EXPECT_EQ(edit->SelLength(), 0);  // entry selected it, the press cleared it
  ::Sleep(::GetDoubleClickTime() + 100);  // so that the next press starts a new pair
  ClickAt(Wnd(), 5, 5, true);
  EXPECT_EQ(edit->SelLength(), 5);
}

}  // namespace
