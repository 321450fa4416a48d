// Forms and the application on real windows: closing, key preview, dialog
// keys, modal runs, deferred destruction and the error report's route.
#include <gtest/gtest.h>

#include "MessagePump.h"

#include <memory>
#include <string>
#include <vector>

#include "toolkit/Forms.h"

namespace {

class FormsWin : public testing::Test {
protected:
  std::unique_ptr<TApplication> app;
  TForm* form = nullptr;
  std::vector<String> errors;

  void SetUp() override {
    app = std::make_unique<TApplication>();
    app->SetTitle(u"Tolvi");
    app->OnException = [this](TComponent*, const Exception& e) { errors.push_back(e.Message()); };
    form = new TForm(app.get());
    form->SetCaption(u"Test");
    app->CreateForm(form);
    form->Show();
    Pump();
  }
  void TearDown() override {
    app.reset();
    Pump();
    MSG msg;
    ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // a quit left by a test
  }
  // A real key stroke to the focused window.
  void Press(WORD vk) {
    INPUT in[2]{};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, in, sizeof(INPUT));
    for (int i = 0; i < 10; ++i) {
      ::Sleep(10);
      Pump();
    }
  }
};

TEST_F(FormsWin, ClosingTheMainFormEndsTheProgramUnlessRefused) {
  bool allow = false;
  int asked = 0;
  form->OnCloseQuery = [&](TComponent*, bool& canClose) {
    ++asked;
    canClose = allow;
  };
  ::SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(app->Terminated());
  EXPECT_TRUE(::IsWindowVisible(form->Handle()));

  allow = true;
  ::SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(app->Terminated());
  MSG msg;
  EXPECT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));  // the loop will end
}

TEST_F(FormsWin, AnErrorInAHandlerGoesToTheReportAndTheProgramGoesOn) {
  form->OnCloseQuery = [](TComponent*, bool&) { throw Exception(u"設定ファイルに書き込めません"); };
  ::SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(errors, (std::vector<String>{u"設定ファイルに書き込めません"}));
  EXPECT_FALSE(app->Terminated());
  EXPECT_TRUE(::IsWindow(form->Handle()));
}

TEST_F(FormsWin, KeyPreviewSeesKeysFirstAndCanTakeThem) {
  auto* button = new TButton(form);
  button->SetParent(form);
  std::vector<std::string> seen;
  button->OnKeyDown = [&](TComponent*, WORD& key, TShiftState) { seen.push_back("button " + std::to_string(key)); };
  form->OnKeyDown = [&](TComponent*, WORD& key, TShiftState) {
    seen.push_back("form " + std::to_string(key));
    if (key == 'A') key = 0;
  };
  ::SetForegroundWindow(form->Handle());
  button->SetFocus();
  Press('B');  // no preview: the form's handler is not asked
  form->SetKeyPreview(true);
  Press('B');
  Press('A');
  EXPECT_EQ(seen, (std::vector<std::string>{"button 66", "form 66", "button 66", "form 65"}));
}

TEST_F(FormsWin, EnterPressesTheFocusedPushButtonAndTabMovesOn) {
  auto* first = new TButton(form);
  first->SetParent(form);
  auto* ok = new TButton(form);
  ok->SetParent(form);
  ok->SetBounds(0, 40, 75, 25);
  ok->SetDefault(true);
  std::vector<std::string> clicks;
  first->OnClick = [&](TComponent*) { clicks.push_back("first"); };
  ok->OnClick = [&](TComponent*) { clicks.push_back("ok"); };
  ::SetForegroundWindow(form->Handle());
  first->SetFocus();
  Press(VK_TAB);
  EXPECT_TRUE(ok->Focused());
  Press(VK_TAB);
  EXPECT_TRUE(first->Focused());
  Press(VK_RETURN);
  EXPECT_EQ(clicks, (std::vector<std::string>{"first"}));
}

TEST_F(FormsWin, ModalRunEndsOnModalResultAndDisablesTheOthers) {
  auto* dialog = new TForm(app.get());
  auto* timer = new TTimer(dialog);
  timer->SetInterval(50);
  bool mainDisabled = false;
  timer->SetOnTimer([&](TComponent*) {
    mainDisabled = !::IsWindowEnabled(form->Handle());
    dialog->SetModalResult(mrOk);
  });
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  EXPECT_TRUE(mainDisabled);
  EXPECT_TRUE(::IsWindowEnabled(form->Handle()));
  EXPECT_FALSE(::IsWindowVisible(dialog->Handle()));
}

TEST_F(FormsWin, ReleaseDestroysTheFormAfterTheQueuedMessages) {
  auto* other = new TForm(app.get());
  other->Show();
  const HWND wnd = other->Handle();
  bool destroyed = false;
  other->OnDestroy = [&](TComponent*) { destroyed = true; };
  other->Release();
  EXPECT_FALSE(destroyed);
  Pump();
  EXPECT_TRUE(destroyed);
  EXPECT_FALSE(::IsWindow(wnd));
  EXPECT_EQ(app->ComponentCount(), 1);
}

}  // namespace
