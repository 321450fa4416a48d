// The main window on real windows: what its creation leaves in the controls
// (fonts, hints, tab order, the up-down and its display) and how it lays
// itself out again when it moves to a monitor of another DPI.
#include <gtest/gtest.h>

#include "MessagePump.h"

#include <memory>

#include "app/ME.h"
#include "forms/TolviMainWin32.h"
#include "numedit/ZuNumEditWin32.h"
#include "toolkit/ExtDlgs.h"
#include "toolkit/StdCtrls.h"
#include "toolkit/pictures/Image.h"

#include <commctrl.h>
#include <imm.h>

namespace {

class MainWindowWin : public testing::Test {
protected:
  std::unique_ptr<TApplication> app;
  TTolviMainForm* form = nullptr;
  std::vector<String> errors;

  void SetUp() override {
    RunSettings = TRunSettings{};
    RunSettings.CommandLineGiven = true;  // the settings file stays out of the test
    RunSettings.PictureTime = 1500;       // outside the up-down's range
    app = std::make_unique<TApplication>();
    app->SetTitle(u"Tolvi");
    app->OnException = [this](TComponent*, const Exception& e) { errors.push_back(e.Message()); };
    form = new TTolviMainForm(app.get());
    app->CreateForm(form);
    form->Show();
    Pump();
  }
  void TearDown() override {
    app.reset();
    Pump();
    RunSettings = TRunSettings{};
  }
  template <class T>
  T& Named(const String& name) {
    auto* found = dynamic_cast<T*>(form->FindComponent(name));
    EXPECT_TRUE(found) << ToUtf8(name);
    return *found;
  }
  String Tooltip(TWinControl& control) {
    wchar_t buffer[80] = {};
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = form->Handle();
    info.uId = reinterpret_cast<UINT_PTR>(control.Handle());
    info.lpszText = buffer;
    ::SendMessageW(form->TooltipWindow(), TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&info));
    return S(buffer);
  }
  RECT ClientRectIn(TWinControl& control) {
    RECT r{};
    ::GetWindowRect(control.Handle(), &r);
    ::MapWindowPoints(nullptr, form->Handle(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
};

TEST_F(MainWindowWin, CreationLeavesTheFontsOfTheLayoutAndItsLaterSizes) {
  EXPECT_TRUE(errors.empty());
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  ASSERT_TRUE(::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0));
  EXPECT_EQ(form->Font().Name(), S(metrics.lfMenuFont.lfFaceName));
  EXPECT_EQ(form->Font().Charset(), SHIFTJIS_CHARSET);

  struct Row { const char16_t* name; const char16_t* face; int height; };
  const Row rows[] = {
      {u"Label1", u"ＭＳ Ｐゴシック", 19},       {u"RadioButton1", u"ＭＳ Ｐゴシック", 19},  // 14 points
      {u"RadioButton5", u"ＭＳ Ｐゴシック", 19}, {u"OKBtn", nullptr, 19},                    // 14 points
      {u"BtnPicSel", nullptr, 13},                 {u"CHKConfirm", nullptr, 13},                // 10 points
      {u"LblStartTime", nullptr, 13},              {u"TxtWinTime", u"Times New Roman", 19},
      {u"TXTStartTime", u"Times New Roman", 16},
  };
  for (const Row& row : rows) {
    TFont& font = Named<TWinControl>(row.name).Font();
    EXPECT_EQ(font.Height(), row.height) << ToUtf8(row.name);
    EXPECT_EQ(font.Name(), row.face ? String(row.face) : form->Font().Name()) << ToUtf8(row.name);
  }
  EXPECT_EQ(Named<TWinControl>(u"TxtWinTime").Font().Color(), RGB(0, 255, 0));
}

TEST_F(MainWindowWin, TheClockAndTheTimeDisplayCarryTheirHints) {
  ASSERT_TRUE(form->TooltipWindow());
  EXPECT_EQ(Tooltip(Named<TWinControl>(u"TxtWinTime")), u"Windowsを起動してからの時間");
  EXPECT_EQ(Tooltip(Named<TWinControl>(u"TXTStartTime")), u"画像表示時間");
}

TEST_F(MainWindowWin, TabOrderWithinThePanelAndTheOptions) {
  const char16_t* panel[] = {u"OKBtn", u"GroupBoxOption", u"TxtWinTime", u"GroupBox1"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Named<TWinControl>(panel[i]).TabOrder(), i) << ToUtf8(panel[i]);
  const char16_t* options[] = {u"CHKConfirm", u"BtnPicSel", u"TXTStartTime", u"UDStartTime"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Named<TWinControl>(options[i]).TabOrder(), i) << ToUtf8(options[i]);
  for (int n = 1; n <= 5; ++n) EXPECT_EQ(Named<TWinControl>(u"RadioButton" + IntToStr(n)).TabOrder(), n - 1);
}

TEST_F(MainWindowWin, TheTimeIsBroughtIntoTheUpDownsRangeAndEveryPartAgrees) {
  auto& updown = Named<TUpDown>(u"UDStartTime");
  EXPECT_EQ(updown.Min(), 0);
  EXPECT_EQ(updown.Max(), 999);
  EXPECT_TRUE(updown.Wrap());
  EXPECT_FALSE(updown.Thousands());
  EXPECT_EQ(updown.Associate(), &Named<TWinControl>(u"TXTStartTime"));
  EXPECT_EQ(updown.Position(), 999);
  EXPECT_EQ(Named<TZuNumEdit>(u"TXTStartTime").Text(), u"999");
  EXPECT_EQ(RunSettings.PictureTime, 999);
  // The up-down sits at the display's right edge.
  EXPECT_NEAR(ClientRectIn(updown).left, ClientRectIn(Named<TWinControl>(u"TXTStartTime")).right, 1);
}

TEST_F(MainWindowWin, NoActionIsChosenAndTheExecuteButtonWaitsForOne) {
  for (int n = 1; n <= 5; ++n) EXPECT_FALSE(Named<TRadioButton>(u"RadioButton" + IntToStr(n)).Checked());
  auto& ok = Named<TButton>(u"OKBtn");
  EXPECT_FALSE(ok.Enabled());
  EXPECT_TRUE(ok.Default());
  EXPECT_EQ(ok.Glyph(), bgCheck);
  Named<TRadioButton>(u"RadioButton2").SetChecked(true);
  Pump();
  EXPECT_EQ(RunSettings.ExitMode, TExitMode::Reboot);
  EXPECT_TRUE(ok.Enabled());
}

TEST_F(MainWindowWin, AMoveToAMonitorOfAnotherDpiLaysTheWindowOutAgain) {
  RECT r{};
  ::GetWindowRect(form->Handle(), &r);
  const int dpi = form->Dpi() * 3 / 2;
  // The rectangle the system suggests for the new DPI: the client area
  // scaled, in the window's frame (Wine draws frames at the system's DPI
  // whatever the window's, so the frame is the one it has now).
  RECT client{};
  ::GetClientRect(form->Handle(), &client);
  const int frameWidth = (r.right - r.left) - client.right, frameHeight = (r.bottom - r.top) - client.bottom;
  RECT suggested{r.left, r.top, r.left + ::MulDiv(342, dpi, 96) + frameWidth,
                 r.top + ::MulDiv(299, dpi, 96) + frameHeight};
  ::SendMessageW(form->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  Pump();
  EXPECT_EQ(form->Dpi(), dpi);
  EXPECT_NEAR(form->ClientWidth(), ::MulDiv(342, dpi, 96), 1);
  EXPECT_NEAR(form->ClientHeight(), ::MulDiv(299, dpi, 96), 1);
  RECT ok = ClientRectIn(Named<TWinControl>(u"OKBtn"));
  EXPECT_NEAR(ok.left, ::MulDiv(120, dpi, 96), 1);
  EXPECT_NEAR(ok.top, ::MulDiv(180, dpi, 96), 1);
  EXPECT_NEAR(ok.right - ok.left, ::MulDiv(205, dpi, 96), 1);
  EXPECT_NEAR(ok.bottom - ok.top, ::MulDiv(40, dpi, 96), 1);
  RECT display = ClientRectIn(Named<TWinControl>(u"TXTStartTime"));
  EXPECT_NEAR(display.right - display.left, ::MulDiv(45, dpi, 96), 1);
}

// Sizes in points become pixels once, at the window's DPI.
TEST_F(MainWindowWin, FontsInPointsAreMadeForTheWindowsDpi) {
  const int dpi = form->Dpi();
  struct Row { const char16_t* name; int points; };
  for (const Row& row : {Row{u"RadioButton3", 14}, Row{u"OKBtn", 14}, Row{u"LblStartTime", 10},
                         Row{u"CHKConfirm", 10}, Row{u"BtnPicSel", 10}}) {
    LOGFONTW lf{};
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(Named<TWinControl>(row.name).Handle(), WM_GETFONT, 0, 0));
    ASSERT_TRUE(::GetObjectW(font, sizeof(lf), &lf)) << ToUtf8(row.name);
    EXPECT_EQ(lf.lfHeight, -::MulDiv(row.points, dpi, 72)) << ToUtf8(row.name) << " at " << dpi;
  }
}

TEST_F(MainWindowWin, EveryLabelShowsItsWholeCaptionAndTheClockKeepsItsSize) {
  const int dpi = form->Dpi();
  for (const char16_t* name : {u"LblStartTime", u"Label1", u"Label5"}) {
    auto& label = Named<TWinControl>(name);
    const HDC dc = ::GetDC(label.Handle());
    const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(label.Handle(), WM_GETFONT, 0, 0)));
    RECT need{0, 0, 0, 0};
    ::DrawTextW(dc, W(label.Caption()), -1, &need, DT_CALCRECT | DT_SINGLELINE);
    ::SelectObject(dc, old);
    ::ReleaseDC(label.Handle(), dc);
    RECT r{};
    ::GetClientRect(label.Handle(), &r);
    EXPECT_GE(r.right, need.right) << ToUtf8(name);
    EXPECT_GE(r.bottom, need.bottom) << ToUtf8(name);
  }
  // "秒表示" from its place in the layout: 243, 40 in the options' box.
  RECT label{}, box{};
  ::GetWindowRect(Named<TWinControl>(u"LblStartTime").Handle(), &label);
  ::GetWindowRect(Named<TWinControl>(u"GroupBoxOption").Handle(), &box);
  EXPECT_EQ(label.left - box.left, ::MulDiv(243, dpi, 96));
  EXPECT_EQ(label.top - box.top, ::MulDiv(40, dpi, 96));
  RECT clock = ClientRectIn(Named<TWinControl>(u"TxtWinTime"));
  EXPECT_EQ(clock.right - clock.left, ::MulDiv(94, dpi, 96));
  EXPECT_EQ(clock.bottom - clock.top, ::MulDiv(26, dpi, 96));
}

// Nothing in the window takes typed text: no input method composes there.
TEST_F(MainWindowWin, TheInputMethodIsOffForTheWindowAndEachControl) {
  EXPECT_EQ(::ImmGetContext(form->Handle()), nullptr);
  int controls = 0;
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (auto* control = dynamic_cast<TWinControl*>(form->Components(i))) {
      ++controls;
      const HIMC context = ::ImmGetContext(control->Handle());
      EXPECT_EQ(context, nullptr) << ToUtf8(control->Name());
      if (context) ::ImmReleaseContext(control->Handle(), context);
    }
  EXPECT_GE(controls, 20);
}

TEST_F(MainWindowWin, AtStartTheFocusIsOnTheFirstControlOfTheTabOrderThatCanTakeIt) {
  ::SetForegroundWindow(form->Handle());
  // The activation may take the display server's time to arrive.
  auto& confirm = Named<TWinControl>(u"CHKConfirm");
  for (int i = 0; i < 200 && !confirm.Focused(); ++i) {
    ::Sleep(10);
    Pump();
  }
  // The execute button comes first, but waits for an action.
  TWinControl* focus = FindControl(::GetFocus());
  EXPECT_TRUE(confirm.Focused()) << "the focus is on " << (focus ? ToUtf8(focus->Name()) : "no control");
  EXPECT_EQ(RunSettings.ExitMode, TExitMode::None);
}

// Windows (since Vista) and Wine 10 tell of a click when an unchecked option
// button gets the focus from the keyboard; a real click checks it first.
TEST_F(MainWindowWin, AFocusNotificationLeavesOneActionChosenAndThatIsTheExitMode) {
  auto radio = [&](int n) -> TRadioButton& { return Named<TRadioButton>(u"RadioButton" + IntToStr(n)); };
  auto notify = [&](int n) {
    ::SendMessageW(Named<TWinControl>(u"GroupBox1").Handle(), WM_COMMAND,
                   MAKEWPARAM(::GetDlgCtrlID(radio(n).Handle()), BN_CLICKED),
                   reinterpret_cast<LPARAM>(radio(n).Handle()));
    Pump();
  };
  auto chosen = [&] {
    int count = 0;
    for (int n = 1; n <= 5; ++n) count += radio(n).Checked();
    return count;
  };
  radio(4).SetChecked(true);
  Pump();
  ASSERT_EQ(RunSettings.ExitMode, TExitMode::Sleep);
  radio(1).SetFocus();
  notify(1);  // the focus, not a click
  EXPECT_EQ(chosen(), 1);
  EXPECT_TRUE(radio(4).Checked());
  EXPECT_EQ(RunSettings.ExitMode, TExitMode::Sleep);
  ::SendMessageW(radio(2).Handle(), BM_CLICK, 0, 0);  // a click
  Pump();
  EXPECT_EQ(chosen(), 1);
  EXPECT_TRUE(radio(2).Checked());
  EXPECT_EQ(RunSettings.ExitMode, TExitMode::Reboot);
}

// A main window that is never shown (an action from the command line) is
// made without any window or drop target, so that the action reaches the
// system without the display's start-up; one to be shown takes drops, and
// the drop target's hook makes its windows at once.
TEST(MainWindowHiddenWin, OnlyAWindowToBeShownMakesWindowsAndTakesDrops) {
  RunSettings = TRunSettings{};
  RunSettings.CommandLineGiven = true;
  for (const bool shown : {false, true}) {
    TApplication app;
    app.SetTitle(u"Tolvi");
    app.SetShowMainForm(shown);
    auto* form = new TTolviMainForm(&app);
    EXPECT_EQ(form->HandleAllocated(), shown) << "shown " << shown;
    EXPECT_EQ(form->DropDst != nullptr, shown) << "shown " << shown;
    for (int i = 0; i < form->ComponentCount(); ++i)
      if (auto* control = dynamic_cast<TWinControl*>(form->Components(i)))
        EXPECT_EQ(control->HandleAllocated(), shown) << ToUtf8(control->Name()) << ", shown " << shown;
  }
  Pump();
  RunSettings = TRunSettings{};
}

}  // namespace
