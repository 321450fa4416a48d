// The toolkit on real windows: one dialog holding every kind of control, at
// the DPI the prefix runs at (the test run repeats it at 144 DPI), with its
// geometry, keys, colours, tooltips, glyphs and lifetime.
#include <gtest/gtest.h>

#include "MessagePump.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Forms.h"
#include "toolkit/Layout.h"
#include "toolkit/ThemesWin32.h"
#include "WindowPicture.h"

#include <commctrl.h>

namespace {

void Settle() {
  for (int i = 0; i < 8; ++i) {
    ::Sleep(10);
    Pump();
  }
}

// A real key stroke, with Alt or Shift held when asked.
void Press(WORD vk, WORD modifier = 0) {
  std::vector<INPUT> in;
  auto key = [&](WORD k, bool up) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = k;
    i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    in.push_back(i);
  };
  if (modifier) key(modifier, false);
  key(vk, false);
  key(vk, true);
  if (modifier) key(modifier, true);
  ::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
  Settle();
}

// A focusable display that keeps its own text: WM_SETTEXT changes nothing.
class TDisplay : public TWinControl {
public:
  using TWinControl::TWinControl;
  TDisplay(TComponent* owner) : TWinControl(owner) { SetTabStop(true); }

protected:
  void WndProc(TMessage& m) override {
    if (m.Msg == WM_SETTEXT) return;
    if (m.Msg == WM_GETDLGCODE) {
      m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
      return;
    }
    if (m.Msg == WM_LBUTTONDOWN) SetFocus();
    TWinControl::WndProc(m);
  }
};

constexpr COLORREF kFormColor = RGB(160, 160, 164);

// The dialog: a bevelled panel filling the client area, a box of three
// option buttons with their number labels at the top, the confirm button and
// a clock text in the middle, and a box of options at the bottom.
class DialogWin : public testing::Test {
protected:
  std::unique_ptr<TApplication> app;
  TForm* form = nullptr;
  TPanel* panel = nullptr;
  TGroupBox* actions = nullptr;
  TGroupBox* options = nullptr;
  TRadioButton* radio[4] = {};
  TLabel* label[4] = {};
  TButton* ok = nullptr;
  TButton* browse = nullptr;
  TStaticText* clock = nullptr;
  TCheckBox* check = nullptr;
  TDisplay* display = nullptr;
  TUpDown* updown = nullptr;
  std::vector<std::string> clicks;
  std::vector<String> errors;

  template <typename T>
  T* Find(const String& name) {
    auto* c = dynamic_cast<T*>(form->FindComponent(name));
    EXPECT_TRUE(c) << ToUtf8(name);
    return c;
  }
  TNotifyEvent Log(std::string name) {
    return [this, name](TComponent*) { clicks.push_back(name); };
  }

  void SetUp() override {
    app = std::make_unique<TApplication>();
    app->SetTitle(u"Tolvi");
    app->OnException = [this](TComponent*, const Exception& e) { errors.push_back(e.Message()); };
    form = new TForm(app.get());
    form->SetCaption(u"Dialog");
    form->SetBorderStyle(bsSingle);
    form->SetBorderIcons(biSystemMenu);
    form->SetFormStyle(fsStayOnTop);
    form->SetPosition(poScreenCenter);
    form->SetColor(kFormColor);
    form->SetClientSize(342, 299);
    form->Font().SetHeight(12);

    const TFontSpec big{u"", 19, fsBold};
    std::vector<TControlSpec> table{
        {.Kind = ckPanel, .Name = u"Panel", .Bounds = {0, 0, 342, 299}, .Align = alBottom},
        {.Kind = ckGroupBox, .Name = u"Actions", .Parent = u"Panel", .Bounds = {1, 1, 340, 170}, .Align = alTop,
         .TabOrder = 3, .Cursor = crHandPoint},
        {.Kind = ckButton, .Name = u"OK", .Parent = u"Panel", .Bounds = {120, 180, 205, 40},
         .Caption = u"実 行 [Enter]", .TabOrder = 0, .OnClick = Log("ok"),
         .Setup = [](TWinControl& c) { static_cast<TButton&>(c).MakeConfirm(); }},
        {.Kind = ckStaticText, .Name = u"Clock", .Parent = u"Panel", .Bounds = {15, 185, 94, 26},
         .Caption = u"1175:23:59", .Font = TFontSpec{u"", 0, fsBold, RGB(0, 255, 0)}, .TabOrder = 2,
         .Hint = u"起動してからの時間", .Color = RGB(0, 0, 0),
         .Setup =
             [](TWinControl& c) {
               static_cast<TStaticText&>(c).SetBorderStyle(sbsSunken);
               static_cast<TStaticText&>(c).SetAlignment(taRightJustify);
             }},
        {.Kind = ckGroupBox, .Name = u"Options", .Parent = u"Panel", .Bounds = {1, 228, 340, 70},
         .Align = alBottom, .TabOrder = 1},
        {.Kind = ckButton, .Name = u"Browse", .Parent = u"Options", .Bounds = {96, 22, 50, 35}, .Caption = u"選択",
         .TabOrder = 1, .OnClick = Log("browse"),
         .Setup = [](TWinControl& c) { static_cast<TButton&>(c).SetCancel(true); }},
        {.Kind = ckCheckBox, .Name = u"Check", .Parent = u"Options", .Bounds = {165, 15, 170, 17},
         .Caption = u"確認 (&C)", .TabOrder = 0, .OnClick = Log("check")},
        {.Kind = ckCustom, .Name = u"Display", .Parent = u"Options", .Bounds = {161, 36, 45, 21}, .TabOrder = 2,
         .Cursor = crIBeam, .Hint = u"表示時間", .Make = [](TComponent* owner) { return new TDisplay(owner); }},
        {.Kind = ckUpDown, .Name = u"UpDown", .Parent = u"Options", .Bounds = {206, 36, 30, 21}, .TabOrder = 3,
         .OnClick = Log("updown"),
         .Setup =
             [this](TWinControl& c) {
               auto& ud = static_cast<TUpDown&>(c);
               ud.SetRange(0, 999);
               ud.SetWrap(true);
               ud.SetThousands(false);
               ud.SetAssociate(Find<TWinControl>(u"Display"));
             }},
    };
    for (int n = 1; n <= 3; ++n) {
      const String digit(1, char16_t(u'0' + n));
      table.push_back({.Kind = ckRadioButton, .Name = u"Radio" + digit, .Parent = u"Actions",
                       .Bounds = {50, 10 + 30 * (n - 1), 270, 23}, .Caption = u"Action " + digit, .Font = big,
                       .TabOrder = n - 1, .Cursor = crHandPoint, .OnClick = Log("radio" + ToUtf8(digit))});
      table.push_back({.Kind = ckLabel, .Name = u"Label" + digit, .Parent = u"Actions",
                       .Bounds = {10, 12 + 30 * (n - 1), 25, 19}, .Caption = u"[&" + digit + u"]",
                       .Setup = [this, digit](TWinControl& c) {
                         static_cast<TLabel&>(c).SetFocusControl(Find<TWinControl>(u"Radio" + digit));
                       }});
    }
    CreateControls(*form, table);
    panel = Find<TPanel>(u"Panel");
    actions = Find<TGroupBox>(u"Actions");
    options = Find<TGroupBox>(u"Options");
    ok = Find<TButton>(u"OK");
    browse = Find<TButton>(u"Browse");
    clock = Find<TStaticText>(u"Clock");
    check = Find<TCheckBox>(u"Check");
    display = Find<TDisplay>(u"Display");
    updown = Find<TUpDown>(u"UpDown");
    for (int n = 1; n <= 3; ++n) {
      radio[n] = Find<TRadioButton>(u"Radio" + String(1, char16_t(u'0' + n)));
      label[n] = Find<TLabel>(u"Label" + String(1, char16_t(u'0' + n)));
    }

    app->CreateForm(form);
    form->Show();
    ::SetForegroundWindow(form->Handle());
    Settle();
  }
  void TearDown() override {
    app.reset();
    Pump();
    MSG msg;
    ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  }

  int Dpi() { return form->Dpi(); }
  // A control's rectangle in its parent's client area.
  static RECT InParent(TWinControl* c) {
    RECT r{};
    ::GetWindowRect(c->Handle(), &r);
    ::MapWindowPoints(nullptr, c->Parent()->Handle(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  static COLORREF PixelOf(TWinControl* c, int x, int y) {
    ::RedrawWindow(c->TopLevelControl()->Handle(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    const HDC dc = ::GetDC(c->Handle());
    const COLORREF color = ::GetPixel(dc, x, y);
    ::ReleaseDC(c->Handle(), dc);
    return color;
  }
};

void ExpectRect(const RECT& got, const TRectI& want, const char* what) {
  EXPECT_NEAR(got.left, want.Left, 1) << what;
  EXPECT_NEAR(got.top, want.Top, 1) << what;
  EXPECT_NEAR(got.right - got.left, want.Width, 1) << what;
  EXPECT_NEAR(got.bottom - got.top, want.Height, 1) << what;
}

TEST_F(DialogWin, EveryControlSitsAtItsPlaceScaledToTheWindowsDpi) {
  if (const char* expected = std::getenv("TOLVI_TEST_DPI")) {
    EXPECT_EQ(Dpi(), std::atoi(expected));
  }
  const int dpi = Dpi();
  RECT client{};
  ::GetClientRect(form->Handle(), &client);
  EXPECT_EQ(client.right, DpiScale(342, dpi));
  EXPECT_EQ(client.bottom, DpiScale(299, dpi));
  struct Case { TWinControl* control; TRectI rect; const char* name; };
  EXPECT_EQ(form->ComponentCount(), 15);
  // The table's tab orders, whatever the order of its lines.
  EXPECT_EQ((std::vector<int>{ok->TabOrder(), options->TabOrder(), clock->TabOrder(), actions->TabOrder()}),
            (std::vector<int>{0, 1, 2, 3}));
  for (const Case& c : {Case{panel, {0, 0, 342, 299}, "panel"}, Case{actions, {1, 1, 340, 170}, "actions"},
                        Case{options, {1, 228, 340, 70}, "options"}, Case{ok, {120, 180, 205, 40}, "ok"},
                        Case{clock, {15, 185, 94, 26}, "clock"}, Case{radio[2], {50, 40, 270, 23}, "radio2"},
                        Case{check, {165, 15, 170, 17}, "check"},
                        Case{browse, {96, 22, 50, 35}, "browse"}, Case{display, {161, 36, 45, 21}, "display"},
                        Case{updown, {206, 36, 30, 21}, "updown at the display's right edge"}})
    ExpectRect(InParent(c.control), DpiScale(c.rect, dpi), c.name);
  // Fonts are made for the window's DPI from 96-DPI heights, once.
  LOGFONTW lf{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(radio[1]->Handle(), WM_GETFONT, 0, 0)), sizeof(lf), &lf);
  EXPECT_EQ(lf.lfHeight, -DpiScale(19, dpi));
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(check->Handle(), WM_GETFONT, 0, 0)), sizeof(lf), &lf);
  EXPECT_EQ(lf.lfHeight, -DpiScale(12, dpi));
}

// Keeps a picture of the dialog (as a BMP) when TOLVI_SHOTS names a folder,
// to look at the layout.
TEST_F(DialogWin, KeepsAPictureOfItselfWhenAsked) {
  const char* folder = std::getenv("TOLVI_SHOTS");
  if (!folder) GTEST_SKIP() << "TOLVI_SHOTS not set";
  ::RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Settle();
  KeepPicture(form->Handle(), folder, "dialog-" + std::to_string(Dpi()));
}

TEST_F(DialogWin, AFixedBorderWithOnlyTheCloseButtonOnTopCentredOnTheWorkArea) {
  const LONG_PTR style = ::GetWindowLongPtrW(form->Handle(), GWL_STYLE);
  const LONG_PTR exStyle = ::GetWindowLongPtrW(form->Handle(), GWL_EXSTYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
  EXPECT_TRUE(exStyle & WS_EX_CONTROLPARENT);
  EXPECT_TRUE(::GetWindowLongPtrW(actions->Handle(), GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  ::GetMonitorInfoW(::MonitorFromWindow(form->Handle(), MONITOR_DEFAULTTOPRIMARY), &info);
  RECT r{};
  ::GetWindowRect(form->Handle(), &r);
  EXPECT_NEAR(r.left - info.rcWork.left, info.rcWork.right - r.right, 1);
  EXPECT_NEAR(r.top - info.rcWork.top, info.rcWork.bottom - r.bottom, 1);
}

TEST_F(DialogWin, TabAndShiftTabFollowTabOrderThroughNestedBoxes) {
  radio[2]->SetChecked(true);
  clicks.clear();
  ok->SetFocus();
  const std::vector<TWinControl*> forward{check, browse, display, radio[2], ok};
  for (TWinControl* next : forward) {
    Press(VK_TAB);
    EXPECT_TRUE(next->Focused()) << next->Caption().size();
  }
  for (auto it = forward.rbegin() + 1; it != forward.rend(); ++it) {
    Press(VK_TAB, VK_SHIFT);
    EXPECT_TRUE((*it)->Focused());
  }
  EXPECT_TRUE(clicks.empty());  // moving the focus clicks nothing
}

TEST_F(DialogWin, AcceleratorsFocusAndSelectTheirTargetUnlessItIsDisabled) {
  ok->SetFocus();
  Press('2', VK_MENU);
  EXPECT_TRUE(radio[2]->Focused());
  EXPECT_TRUE(radio[2]->Checked());
  Press('3');  // alone, while an option button has the focus
  EXPECT_TRUE(radio[3]->Focused());
  EXPECT_TRUE(radio[3]->Checked());
  EXPECT_FALSE(radio[2]->Checked());
  display->SetFocus();
  Press('1');  // the display takes characters: no accelerator
  EXPECT_TRUE(display->Focused());
  Press('1', VK_MENU);  // with Alt it is one
  EXPECT_TRUE(radio[1]->Checked());
  radio[2]->SetEnabled(false);
  Press('2', VK_MENU);
  EXPECT_TRUE(radio[1]->Focused());
  EXPECT_FALSE(radio[2]->Checked());
  Press('C', VK_MENU);  // a check box's own accelerator toggles it
  EXPECT_TRUE(check->Checked());
  EXPECT_EQ(clicks, (std::vector<std::string>{"radio2", "radio3", "radio1", "check"}));
  delete radio[3];  // the label's target goes: its accelerator does nothing
  Press('3', VK_MENU);
  EXPECT_TRUE(check->Focused());
  EXPECT_EQ(label[3]->FocusControl(), nullptr);
}

TEST_F(DialogWin, ArrowsMoveWithinTheOptionGroupAndWrap) {
  radio[1]->SetFocus();
  Press(VK_DOWN);
  EXPECT_TRUE(radio[2]->Focused());
  EXPECT_TRUE(radio[2]->Checked());
  Press(VK_RIGHT);
  EXPECT_TRUE(radio[3]->Checked());
  Press(VK_DOWN);  // wraps to the first
  EXPECT_TRUE(radio[1]->Checked());
  Press(VK_UP);
  EXPECT_TRUE(radio[3]->Checked());
  EXPECT_FALSE(radio[1]->Checked());
  EXPECT_EQ(clicks, (std::vector<std::string>{"radio2", "radio3", "radio1", "radio3"}));
}

TEST_F(DialogWin, EnterPressesTheFocusedButtonElseTheEnabledDefaultAndEscTheCancelButton) {
  browse->SetFocus();
  Press(VK_RETURN);
  check->SetFocus();
  Press(VK_RETURN);
  Press(VK_ESCAPE);
  ok->SetEnabled(false);
  check->SetFocus();
  Press(VK_RETURN);  // the default button is disabled: nothing
  EXPECT_EQ(clicks, (std::vector<std::string>{"browse", "ok", "browse"}));
}

TEST_F(DialogWin, UpDownStepsByArrowKeysOnItsBuddyWrapsAndClicksEachStep) {
  updown->SetPosition(998);
  display->SetFocus();
  Press(VK_UP);
  EXPECT_EQ(updown->Position(), 999);
  Press(VK_UP);
  EXPECT_EQ(updown->Position(), 0);
  Press(VK_DOWN);
  EXPECT_EQ(updown->Position(), 999);
  EXPECT_EQ(clicks, (std::vector<std::string>{"updown", "updown", "updown"}));
  updown->SetPosition(5000);  // out of range: clamped, no click
  EXPECT_EQ(updown->Position(), 999);
  EXPECT_EQ(clicks.size(), 3u);
}

// A real click in the middle of the upper or lower half of the up-down.
void ClickAt(HWND wnd, bool upper) {
  RECT r{};
  ::GetWindowRect(wnd, &r);
  const int x = (r.left + r.right) / 2, y = upper ? r.top + (r.bottom - r.top) / 4 : r.bottom - (r.bottom - r.top) / 4;
  INPUT in[3]{};
  in[0].type = in[1].type = in[2].type = INPUT_MOUSE;
  // Absolute moves are in 0..65535 over the primary screen.
  in[0].mi.dx = ::MulDiv(x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
  in[0].mi.dy = ::MulDiv(y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
  in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  // The move first, on its own: the buttons must find the pointer there.
  ::SendInput(1, in, sizeof(INPUT));
  for (int i = 0; i < 50; ++i) {
    POINT at{};
    ::GetCursorPos(&at);
    if (at.x == x && at.y == y) break;
    Settle();
  }
  Settle();
  ::SendInput(2, in + 1, sizeof(INPUT));
  Settle();
}

// Handles messages until `done` holds or two seconds have passed: on a busy
// machine a click can take longer than one settling to arrive.
bool SettleUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 200 && !done(); ++i) {
    ::Sleep(10);
    Pump();
  }
  return done();
}

TEST_F(DialogWin, UpDownStepsByMouseAndHorizontallyByLeftAndRight) {
  updown->SetPosition(999);
  ClickAt(updown->Handle(), true);  // wraps to the start
  EXPECT_TRUE(SettleUntil([&] { return updown->Position() != 999; }));
  EXPECT_EQ(updown->Position(), 0);
  ClickAt(updown->Handle(), false);
  EXPECT_TRUE(SettleUntil([&] { return updown->Position() != 0; }));
  EXPECT_EQ(updown->Position(), 999);
  EXPECT_EQ(clicks, (std::vector<std::string>{"updown", "updown"}));
  updown->SetOrientation(udHorizontal);
  updown->SetWrap(false);
  EXPECT_TRUE(::GetWindowLongPtrW(updown->Handle(), GWL_STYLE) & UDS_HORZ);
  EXPECT_EQ(updown->Position(), 999);  // kept across the new window
  display->SetFocus();
  Press(VK_RIGHT);  // at the end, no wrapping: stays
  EXPECT_EQ(updown->Position(), 999);
  Press(VK_LEFT);
  EXPECT_EQ(updown->Position(), 998);
  Press(VK_UP);  // not a horizontal step
  EXPECT_EQ(updown->Position(), 998);
}

// The size of a control's text on one line in the control's own font, as
// the static control draws it ("&" takes no room).
SIZE CaptionSize(TWinControl* c) {
  const HDC dc = ::GetDC(c->Handle());
  const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(c->Handle(), WM_GETFONT, 0, 0)));
  RECT r{0, 0, 0, 0};
  ::DrawTextW(dc, W(c->Caption()), -1, &r, DT_CALCRECT | DT_SINGLELINE);
  ::SelectObject(dc, old);
  ::ReleaseDC(c->Handle(), dc);
  return {r.right, r.bottom};
}

TEST_F(DialogWin, LabelsAreAsLargeAsTheirCaptionsFromAFixedTopLeftCorner) {
  const int dpi = Dpi();
  for (int n = 1; n <= 3; ++n) {
    const RECT r = InParent(label[n]);
    const SIZE need = CaptionSize(label[n]);
    EXPECT_EQ(r.left, DpiScale(10, dpi)) << n;
    EXPECT_EQ(r.top, DpiScale(12 + 30 * (n - 1), dpi)) << n;
    EXPECT_EQ(r.right - r.left, need.cx) << n;
    EXPECT_EQ(r.bottom - r.top, need.cy) << n;
  }
  // A longer caption, then a larger font: the label grows from its corner.
  const RECT before = InParent(label[1]);
  label[1]->SetCaption(u"[&1] 秒表示");
  label[1]->Font().SetSize(14);
  const RECT after = InParent(label[1]);
  const SIZE need = CaptionSize(label[1]);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  EXPECT_EQ(after.right - after.left, need.cx);
  EXPECT_EQ(after.bottom - after.top, need.cy);
  EXPECT_GT(after.bottom - after.top, before.bottom - before.top);
  // Told not to, a label keeps its size.
  label[2]->SetAutoSize(false);
  const RECT fixed = InParent(label[2]);
  label[2]->SetCaption(u"[&2] a caption much longer than the label");
  ExpectRect(InParent(label[2]), {fixed.left, fixed.top, fixed.right - fixed.left, fixed.bottom - fixed.top},
             "label2 without AutoSize");
  // A new DPI measures again, at the new scale.
  const int to = dpi == 96 ? 144 : 96;
  RECT r{};
  ::GetWindowRect(form->Handle(), &r);
  ::SendMessageW(form->Handle(), WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&r));
  const RECT scaled = InParent(label[3]);
  EXPECT_EQ(scaled.left, DpiScale(10, to));
  EXPECT_EQ(scaled.top, DpiScale(72, to));
  EXPECT_EQ(scaled.right - scaled.left, CaptionSize(label[3]).cx);
  EXPECT_EQ(scaled.bottom - scaled.top, CaptionSize(label[3]).cy);
}

TEST_F(DialogWin, TheFocusGoesToTheFirstTabStopAndComesBackAfterAnotherWindowWasActive) {
  EXPECT_TRUE(ok->Focused());  // the first of the tab order that can take it
  auto* other = new TForm(app.get());
  other->SetClientSize(120, 60);
  other->Show();
  auto away = [&] {
    ::SetForegroundWindow(other->Handle());
    Settle();
    EXPECT_FALSE(form->Active());
  };
  auto back = [&] {
    ::SetForegroundWindow(form->Handle());
    Settle();
    EXPECT_TRUE(form->Active());
  };
  for (TWinControl* control : std::initializer_list<TWinControl*>{browse, radio[2], display, check}) {
    control->SetFocus();
    away();
    EXPECT_FALSE(control->Focused());
    back();
    EXPECT_TRUE(control->Focused()) << ToUtf8(control->Name());
  }
  EXPECT_FALSE(radio[2]->Checked());  // the focus alone chooses no option
  EXPECT_TRUE(clicks.empty());
  // The control that had it is gone: the first of the tab order again.
  display->SetFocus();
  away();
  delete display;
  back();
  EXPECT_TRUE(ok->Focused());
  // Nothing can take it: the form keeps it.
  ok->SetEnabled(false);
  panel->SetEnabled(false);
  away();
  back();
  EXPECT_EQ(::GetFocus(), form->Handle());
}

int CheckedCount(TRadioButton* const* radio, int n) {
  int count = 0;
  for (int i = 1; i <= n; ++i) count += radio[i] && radio[i]->Checked();
  return count;
}

TEST_F(DialogWin, OneOptionStaysChosenWhateverMovesTheFocus) {
  radio[2]->SetChecked(true);
  clicks.clear();
  // What Windows (since Vista) and Wine 10 send when an unchecked option
  // button gets the focus other than by a click: a click notification from
  // a button that is still unchecked. It chooses nothing.
  radio[3]->SetFocus();
  ::SendMessageW(actions->Handle(), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(radio[3]->Handle()), BN_CLICKED),
                 reinterpret_cast<LPARAM>(radio[3]->Handle()));
  EXPECT_TRUE(radio[2]->Checked());
  EXPECT_EQ(CheckedCount(radio, 3), 1);
  EXPECT_TRUE(clicks.empty());
  // A click checks the button first: that one is chosen, alone.
  ::SendMessageW(radio[3]->Handle(), BM_CLICK, 0, 0);
  Settle();
  EXPECT_TRUE(radio[3]->Checked());
  EXPECT_EQ(CheckedCount(radio, 3), 1);
  EXPECT_EQ(clicks, (std::vector<std::string>{"radio3"}));
  // Keys in any order: one option chosen after each, and it is the one
  // the last key chose.
  struct Step { WORD key, modifier; int chosen; };
  ok->SetFocus();
  for (const Step& step : {Step{'1', VK_MENU, 1}, Step{VK_DOWN, 0, 2}, Step{'3', 0, 3}, Step{VK_TAB, 0, 3},
                           Step{VK_TAB, VK_SHIFT, 3}, Step{VK_UP, 0, 2}, Step{'1', 0, 1}, Step{VK_TAB, 0, 1},
                           Step{'2', VK_MENU, 2}, Step{VK_RIGHT, 0, 3}}) {
    Press(step.key, step.modifier);
    EXPECT_EQ(CheckedCount(radio, 3), 1) << step.key;
    EXPECT_TRUE(radio[step.chosen]->Checked()) << step.key;
  }
}

// Moves the real pointer onto a point of a window (client coordinates).
void PointAt(HWND wnd, int x, int y) {
  POINT p{x, y};
  ::ClientToScreen(wnd, &p);
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dx = ::MulDiv(p.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
  in.mi.dy = ::MulDiv(p.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  ::SendInput(1, &in, sizeof(INPUT));
  Settle();
  Settle();
}

void MouseButton(bool down) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
  ::SendInput(1, &in, sizeof(INPUT));
  Settle();
}

// The pixels of a button's frame and face, away from its content: a strip
// along each edge.
std::vector<COLORREF> EdgeStrips(HWND wnd, int width) {
  ::RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  RECT r{};
  ::GetClientRect(wnd, &r);
  std::vector<COLORREF> pixels;
  const HDC dc = ::GetDC(wnd);
  for (int y = 0; y < r.bottom; ++y)
    for (int x = 0; x < r.right; ++x)
      if (x < width || x >= r.right - width || y < width / 2 || y >= r.bottom - width / 2)
        pixels.push_back(::GetPixel(dc, x, y));
  ::ReleaseDC(wnd, dc);
  return pixels;
}

// Two pictures alike, or how many pixels differ and the first one.
void ExpectSamePicture(const std::vector<COLORREF>& got, const std::vector<COLORREF>& want, const char* what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  size_t count = 0, first = 0;
  for (size_t i = 0; i < got.size(); ++i)
    if (got[i] != want[i] && !count++) first = i;
  EXPECT_EQ(count, 0u) << what << ": the first at " << first << " is " << std::hex << got[first] << ", not "
                       << want[first];
}

// The strips of EdgeStrips as the style draws a push button in `state` over
// `background`, at the size of `wnd`, with the focus rectangle inside its
// borders when `focused`.
std::vector<COLORREF> StyleStrips(const TThemeData& theme, HWND wnd, int state, COLORREF background, int width,
                                  bool focused = false) {
  RECT r{};
  ::GetClientRect(wnd, &r);
  const HDC screen = ::GetDC(wnd);
  const HDC dc = ::CreateCompatibleDC(screen);
  const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, r.right, r.bottom);
  const HGDIOBJ old = ::SelectObject(dc, bitmap);
  const HBRUSH brush = ::CreateSolidBrush(background);
  ::FillRect(dc, &r, brush);
  ::DeleteObject(brush);
  theme.DrawBackground(dc, BP_PUSHBUTTON, state, r);
  if (focused) {
    const RECT content = theme.ContentRect(dc, BP_PUSHBUTTON, state, r);
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    ::DrawFocusRect(dc, &content);
  }
  std::vector<COLORREF> pixels;
  for (int y = 0; y < r.bottom; ++y)
    for (int x = 0; x < r.right; ++x)
      if (x < width || x >= r.right - width || y < width / 2 || y >= r.bottom - width / 2)
        pixels.push_back(::GetPixel(dc, x, y));
  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  ::ReleaseDC(wnd, screen);
  return pixels;
}

// The glyph button draws itself: through the visual style when one is
// active, in the state the pointer, the mouse button and the window give
// it; the classic way otherwise, with the frame and face of the system's
// classic push button. (This program has no manifest: its own standard
// buttons are the classic ones even where a style is active; the real
// program's are compared by the end-to-end run.)
TEST(GlyphButtonWin, DrawsThroughTheVisualStyleInItsStateElseAsTheClassicPushButton) {
  TApplication app;
  auto* form = new TForm(&app);
  form->SetBorderStyle(bsSingle);
  form->SetClientSize(300, 80);
  form->SetPosition(poScreenCenter);
  auto* plain = new TButton(form);
  plain->SetParent(form);
  plain->SetBounds(10, 20, 120, 40);
  plain->SetCaption(u"選択");
  auto* glyph = new TButton(form);
  glyph->SetParent(form);
  glyph->SetBounds(160, 20, 120, 40);
  glyph->SetCaption(u"実行");
  glyph->SetGlyph(bgCheck);
  auto* start = new TCheckBox(form);  // holds the focus, away from both
  start->SetParent(form);
  start->SetBounds(10, 2, 100, 16);
  form->SetActiveControl(start);  // rather than the first of the tab order
  app.CreateForm(form);
  form->Show();
  ::SetForegroundWindow(form->Handle());
  Settle();
  ASSERT_TRUE(start->Focused());
  TThemeData theme;
  theme.Open(glyph->Handle(), L"BUTTON");
  const int strip = form->Scale(8);
  const HWND b = glyph->Handle();
  const COLORREF face = ColorToRgb(form->Color(), 0);
  PointAt(form->Handle(), 1, 1);
  if (!theme) {
    ExpectSamePicture(EdgeStrips(b, strip), EdgeStrips(plain->Handle(), strip), "classic");
    plain->SetEnabled(false);
    glyph->SetEnabled(false);
    ExpectSamePicture(EdgeStrips(b, strip), EdgeStrips(plain->Handle(), strip), "classic, disabled");
    return;
  }
  ExpectSamePicture(EdgeStrips(b, strip), StyleStrips(theme, b, PBS_NORMAL, face, strip), "normal");
  PointAt(b, 5, 5);
  ExpectSamePicture(EdgeStrips(b, strip), StyleStrips(theme, b, PBS_HOT, face, strip), "under the pointer");
  MouseButton(true);
  const bool cue = !(::SendMessageW(b, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
  ExpectSamePicture(EdgeStrips(b, strip), StyleStrips(theme, b, PBS_PRESSED, face, strip, cue), "pressed");
  PointAt(form->Handle(), 1, 1);  // let go elsewhere: no click
  MouseButton(false);
  ExpectSamePicture(EdgeStrips(b, strip), StyleStrips(theme, b, PBS_DEFAULTED, face, strip, cue),
                    "focused by the press");
  start->SetFocus();
  glyph->SetDefault(true);
  ExpectSamePicture(EdgeStrips(b, strip), StyleStrips(theme, b, PBS_DEFAULTED, face, strip), "the default button");
  glyph->SetEnabled(false);
  ExpectSamePicture(EdgeStrips(b, strip), StyleStrips(theme, b, PBS_DISABLED, face, strip), "disabled");
  // A theme change opens the style again: the same look follows.
  ::SendMessageW(b, WM_THEMECHANGED, 0, 0);
  ExpectSamePicture(EdgeStrips(b, strip), StyleStrips(theme, b, PBS_DISABLED, face, strip), "after a theme change");
}

TEST_F(DialogWin, EachControlShowsItsOwnMousePointer) {
  // nullptr: the control's own class's pointer (an arrow), which Wine 10
  // keeps per size, so that loading the arrow again at another DPI gives
  // another handle.
  struct Case { TWinControl* control; LPCWSTR cursor; };
  for (const Case& c : {Case{radio[1], IDC_HAND}, Case{actions, IDC_HAND}, Case{display, IDC_IBEAM},
                        Case{browse, nullptr}}) {
    ::SetCursor(nullptr);
    ::SendMessageW(c.control->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(c.control->Handle()),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    const auto want = c.cursor ? ::LoadCursorW(nullptr, c.cursor)
                               : reinterpret_cast<HCURSOR>(::GetClassLongPtrW(c.control->Handle(), GCLP_HCURSOR));
    EXPECT_TRUE(want);
    EXPECT_EQ(::GetCursor(), want) << ToUtf8(c.control->Name());
  }
}

TEST_F(DialogWin, ControlsDrawOnTheFormsColourWithoutLightRectangles) {
  const int dpi = Dpi();
  // A label, as large as its caption, is its dark text on the form's colour.
  PixelOf(label[1], 0, 0);
  RECT lr{};
  ::GetClientRect(label[1]->Handle(), &lr);
  const HDC ldc = ::GetDC(label[1]->Handle());
  int light = 0, formColour = 0;
  for (int y = 0; y < lr.bottom; ++y)
    for (int x = 0; x < lr.right; ++x) {
      const COLORREF c = ::GetPixel(ldc, x, y);
      light += std::min({GetRValue(c), GetGValue(c), GetBValue(c)}) > 200;
      formColour += c == kFormColor;
    }
  ::ReleaseDC(label[1]->Handle(), ldc);
  EXPECT_EQ(light, 0);
  EXPECT_GT(formColour, 0);
  // Right of each caption's text, inside the control.
  EXPECT_EQ(PixelOf(radio[1], DpiScale(250, dpi), DpiScale(11, dpi)), kFormColor);
  EXPECT_EQ(PixelOf(check, DpiScale(160, dpi), DpiScale(8, dpi)), kFormColor);
  EXPECT_EQ(PixelOf(actions, DpiScale(330, dpi), DpiScale(150, dpi)), kFormColor);
  // The clock keeps its own black.
  EXPECT_EQ(PixelOf(clock, DpiScale(8, dpi), DpiScale(12, dpi)), RGB(0, 0, 0));
  // The panel's raised bevel: light at the top left, dark at the bottom right.
  RECT r{};
  ::GetClientRect(panel->Handle(), &r);
  EXPECT_EQ(PixelOf(panel, 0, r.bottom / 2), ::GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(PixelOf(panel, r.right - 1, r.bottom / 2), ::GetSysColor(COLOR_BTNSHADOW));
}

TEST_F(DialogWin, OneTooltipWindowKnowsEachControlsHint) {
  const HWND tip = form->TooltipWindow();
  ASSERT_TRUE(tip);
  for (auto [control, text] : {std::pair<TWinControl*, String>{clock, u"起動してからの時間"}, {display, u"表示時間"}}) {
    wchar_t buffer[80] = {};
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = form->Handle();
    info.uId = reinterpret_cast<UINT_PTR>(control->Handle());
    info.lpszText = buffer;
    ::SendMessageW(tip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(S(buffer), text);
  }
  EXPECT_EQ(::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 2);
  // Its text in the message font at the window's DPI.
  LOGFONTW lf{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(tip, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
  EXPECT_EQ(lf.lfHeight, -DpiScale(MessageFont96().lfHeight, Dpi()));
  delete display;  // its tool goes with its window
  EXPECT_EQ(::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
}

TEST_F(DialogWin, TheWindowsIconIsLoadedAtTheSizesOfItsDpi) {
  form->SetIcon(::GetModuleHandleW(L"user32.dll"), 32512);  // the system's application icon
  auto width = [&](WPARAM kind) {
    ICONINFO info{};
    const auto icon = reinterpret_cast<HICON>(::SendMessageW(form->Handle(), WM_GETICON, kind, 0));
    if (!icon || !::GetIconInfo(icon, &info)) return 0;
    BITMAP bm{};
    ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bm), &bm);
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return static_cast<int>(bm.bmWidth);
  };
  EXPECT_EQ(width(ICON_SMALL), SystemMetricForDpi(SM_CXSMICON, Dpi()));
  EXPECT_EQ(width(ICON_BIG), SystemMetricForDpi(SM_CXICON, Dpi()));
  EXPECT_EQ(width(ICON_SMALL), DpiScale(16, Dpi()));
}

TEST_F(DialogWin, TheConfirmButtonDrawsItsCheckMarkAtTheWindowsDpi) {
  const int dpi = Dpi();
  ::RedrawWindow(ok->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  RECT r{};
  ::GetClientRect(ok->Handle(), &r);
  const HDC dc = ::GetDC(ok->Handle());
  int green = 0;
  for (int y = 0; y < r.bottom; ++y)
    for (int x = 0; x < r.right / 2; ++x) green += ::GetPixel(dc, x, y) == RGB(0, 128, 0);
  ::ReleaseDC(ok->Handle(), dc);
  // The mark covers about a third of its 16 x 16 (scaled) box.
  const int box = DpiScale(16, dpi) * DpiScale(16, dpi);
  EXPECT_GT(green, box / 5);
  EXPECT_LT(green, box / 2);
}

TEST_F(DialogWin, ADpiChangePlacesEveryChildOnceAtTheNewScale) {
  const int to = Dpi() == 96 ? 144 : 96;
  int moves = 0;
  auto old = radio[2]->WindowProc();
  radio[2]->SetWindowProc([&, old](TMessage& m) {
    if (m.Msg == WM_WINDOWPOSCHANGED) ++moves;
    old(m);
  });
  RECT r{};
  ::GetWindowRect(form->Handle(), &r);
  RECT frame{0, 0, DpiScale(342, to), DpiScale(299, to)};
  AdjustWindowRectForDpi(frame, static_cast<DWORD>(::GetWindowLongPtrW(form->Handle(), GWL_STYLE)),
                         static_cast<DWORD>(::GetWindowLongPtrW(form->Handle(), GWL_EXSTYLE)), to);
  RECT suggested{r.left, r.top, r.left + frame.right - frame.left, r.top + frame.bottom - frame.top};
  ::SendMessageW(form->Handle(), WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(moves, 1);
  ExpectRect(InParent(radio[2]), DpiScale(TRectI{50, 40, 270, 23}, to), "radio2");
  ExpectRect(InParent(options), DpiScale(TRectI{1, 228, 340, 70}, to), "options");
  ExpectRect(InParent(updown), DpiScale(TRectI{206, 36, 30, 21}, to), "updown");
  LOGFONTW lf{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(radio[1]->Handle(), WM_GETFONT, 0, 0)), sizeof(lf), &lf);
  EXPECT_EQ(lf.lfHeight, -DpiScale(19, to));
  radio[2]->SetWindowProc(old);
}

TEST_F(DialogWin, AThrowingPaintIsReportedOnce) {
  auto old = clock->WindowProc();
  clock->SetWindowProc([old](TMessage& m) {
    if (m.Msg == WM_PAINT) throw Exception(u"描画できません");
    old(m);
  });
  clock->Invalidate();
  for (int i = 0; i < 5; ++i) Settle();
  EXPECT_EQ(errors, (std::vector<String>{u"描画できません"}));
  clock->SetWindowProc(old);
}

TEST_F(DialogWin, ATableNamingAMissingParentOrANameTwiceIsRefused) {
  EXPECT_THROW(CreateControls(*form, {{.Kind = ckLabel, .Name = u"Lost", .Parent = u"Nowhere"}}), Exception);
  EXPECT_THROW(CreateControls(*form, {{.Kind = ckLabel, .Name = u"OK"}}), Exception);
  EXPECT_EQ(form->FindComponent(u"Lost"), nullptr);
}

// A form whose handlers reach into its own members while its windows end.
class TWatchingForm : public TForm {
public:
  TWatchingForm(TComponent* owner, std::vector<std::string>& log) : TForm(owner), FLog(log) {
    FEdit = new TDisplay(this);
    FEdit->SetParent(this);
    FEdit->SetBounds(10, 10, 50, 20);
    FEdit->OnExit = [this](TComponent*) { FLog.push_back("exit seen by " + FName); };
    OnDeactivate = [this](TComponent*) { FLog.push_back("deactivate seen by " + FName); };
  }
  ~TWatchingForm() override { FName = "a destroyed form"; }
  TDisplay* FEdit;

private:
  std::vector<std::string>& FLog;
  std::string FName = "the form";
};

TEST(FormLifetimeWin, WindowsEndBeforeTheDerivedDestructorSoLiveHandlersAreSafe) {
  TApplication app;
  std::vector<std::string> log;
  auto* other = new TForm(&app);
  app.CreateForm(other);
  other->Show();
  auto* form = new TWatchingForm(&app, log);
  form->Show();
  ::SetForegroundWindow(form->Handle());
  form->FEdit->SetFocus();
  Settle();
  ASSERT_TRUE(form->FEdit->Focused());
  delete form;  // its handlers are still set
  Pump();
  ASSERT_FALSE(log.empty());
  for (const std::string& line : log) EXPECT_NE(line.find("the form"), std::string::npos) << line;
}

}  // namespace

int main(int argc, char** argv) {
  // Per-monitor aware like the program, so that the prefix's DPI reaches the
  // windows unscaled.
  using Fn = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
  if (auto set = reinterpret_cast<Fn>(reinterpret_cast<void*>(
          ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext"))))
    set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
