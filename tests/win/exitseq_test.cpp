// The confirmation box of the exit sequence as Windows shows it: the system's
// message box with our button texts, Esc and closing answering No, centred
// on the screen. Each box is worked from a thread timer while its own modal
// loop runs, as a user would work it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "forms/FormsApi.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Forms.h"


namespace {

struct TChild {
  String cls, text;
  bool icon;  // a static control showing an icon
};

std::vector<TChild> Children(HWND box) {
  std::vector<TChild> out;
  ::EnumChildWindows(
      box,
      [](HWND wnd, LPARAM list) -> BOOL {
        wchar_t name[64] = {}, text[512] = {};
        ::GetClassNameW(wnd, name, 64);
        ::GetWindowTextW(wnd, text, 512);
        const bool icon = (::GetWindowLongW(wnd, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
                          ::SendMessageW(wnd, STM_GETICON, 0, 0) != 0;
        if (::IsWindowVisible(wnd)) reinterpret_cast<std::vector<TChild>*>(list)->push_back({S(name), S(text), icon});
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&out));
  return out;
}

// What the box looked like, and the one thing done to it.
struct TBoxVisit {
  explicit TBoxVisit(std::function<void(HWND box)> a) : act(std::move(a)) {}
  std::function<void(HWND box)> act;
  HWND box = nullptr;
  String title;
  std::vector<TChild> children;
  RECT rect{};
  bool closeEnabled = false;
};
thread_local TBoxVisit* tVisit = nullptr;

void CALLBACK VisitTick(HWND, UINT, UINT_PTR, DWORD) {
  if (!tVisit || tVisit->box) return;
  HWND box = nullptr;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND wnd, LPARAM out) -> BOOL {
        wchar_t name[16] = {};
        ::GetClassNameW(wnd, name, 16);
        if (!::IsWindowVisible(wnd) || std::wcscmp(name, L"#32770") != 0) return TRUE;
        *reinterpret_cast<HWND*>(out) = wnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&box));
  if (!box) return;
  TBoxVisit& v = *tVisit;
  v.box = box;
  wchar_t title[128] = {};
  ::GetWindowTextW(box, title, 128);
  v.title = S(title);
  v.children = Children(box);
  ::GetWindowRect(box, &v.rect);
  const UINT state = ::GetMenuState(::GetSystemMenu(box, FALSE), SC_CLOSE, MF_BYCOMMAND);
  v.closeEnabled = state != 0xFFFFFFFFu && !(state & (MF_GRAYED | MF_DISABLED));
  v.act(box);
}

// The focused control of the box, where keys go.
HWND Focus(HWND box) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  ::GetGUIThreadInfo(::GetCurrentThreadId(), &info);
  return info.hwndFocus ? info.hwndFocus : box;
}

class ConfirmBoxWin : public testing::Test {
protected:
  std::unique_ptr<TApplication> app;
  void SetUp() override {
    if (!Application) app = std::make_unique<TApplication>();
  }
  // Shows the confirmation box as the exit sequence does, and acts on it.
  int Show(TBoxVisit& visit) {
    TMsgBoxOptions options;
    options.Buttons = {{kIdYes, u"はい(&Y)"}, {kIdNo, u"いいえ(&N)"}};
    options.EscapeResult = kIdNo;
    options.CenterOnScreen = true;
    tVisit = &visit;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 30, VisitTick);
    const int answer = RealSeam<SystemApi>().MessageBoxWithOptions(
        0, u"[再起動]\r\nよろしいですか？", u"情報", kMbYesNo | kMbIconInformation | kMbSetForeground, options);
    ::KillTimer(nullptr, timer);
    tVisit = nullptr;
    return answer;
  }
};

TEST_F(ConfirmBoxWin, CarriesOurTextsCentredOnTheScreen) {
  TBoxVisit visit{[](HWND box) { ::PostMessageW(Focus(box), WM_KEYDOWN, VK_RETURN, 1); }};
  EXPECT_EQ(Show(visit), IDYES) << "Enter chooses the default button, Yes";
  ASSERT_TRUE(visit.box);
  EXPECT_EQ(visit.title, u"情報");
  std::vector<String> buttons, texts;
  bool icon = false;
  for (const TChild& c : visit.children) {
    if (_wcsicmp(reinterpret_cast<const wchar_t*>(c.cls.c_str()), L"Button") == 0) buttons.push_back(c.text);
    if (_wcsicmp(reinterpret_cast<const wchar_t*>(c.cls.c_str()), L"Static") == 0) {
      if (!c.text.empty()) texts.push_back(c.text);
      if (c.icon) icon = true;
    }
  }
  EXPECT_EQ(buttons, (std::vector<String>{u"はい(&Y)", u"いいえ(&N)"}));
  EXPECT_EQ(texts, (std::vector<String>{u"[再起動]\r\nよろしいですか？"}));
  EXPECT_TRUE(icon) << "no icon";
  const int width = visit.rect.right - visit.rect.left, height = visit.rect.bottom - visit.rect.top;
  EXPECT_NEAR(visit.rect.left, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2, 1);
  EXPECT_NEAR(visit.rect.top, (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, 1);
  EXPECT_TRUE(visit.closeEnabled) << "the close button stays greyed";
}

TEST_F(ConfirmBoxWin, EscapeClosingAndTheNoButtonAnswerNo) {
  const std::pair<const char*, std::function<void(HWND)>> ways[] = {
      {"Esc", [](HWND box) { ::PostMessageW(Focus(box), WM_KEYDOWN, VK_ESCAPE, 1); }},
      {"close", [](HWND box) { ::PostMessageW(box, WM_CLOSE, 0, 0); }},
      {"system menu close", [](HWND box) { ::PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"N", [](HWND box) { ::PostMessageW(Focus(box), WM_CHAR, u'n', 1); }},
      {"No button", [](HWND box) { ::PostMessageW(::GetDlgItem(box, IDNO), BM_CLICK, 0, 0); }},
  };
  for (const auto& [name, act] : ways) {
    TBoxVisit visit{act};
    EXPECT_EQ(Show(visit), IDNO) << name;
    EXPECT_TRUE(visit.box) << name;
  }
}

TEST_F(ConfirmBoxWin, YesByItsAccessKey) {
  TBoxVisit visit{[](HWND box) { ::PostMessageW(Focus(box), WM_CHAR, u'y', 1); }};
  EXPECT_EQ(Show(visit), IDYES);
}

TEST_F(ConfirmBoxWin, APlainBoxIsLeftAsTheSystemMakesIt) {
  TBoxVisit visit{[](HWND box) { ::PostMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0); }};
  tVisit = &visit;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 30, VisitTick);
  const int answer = MessageBoxWithOptions(nullptr, u"OSで休止状態が設定されていません。", u"Tolvi", MB_OK, {});
  ::KillTimer(nullptr, timer);
  tVisit = nullptr;
  EXPECT_EQ(answer, IDOK);
  ASSERT_TRUE(visit.box);
  std::vector<String> buttons;
  for (const TChild& c : visit.children)
    if (_wcsicmp(reinterpret_cast<const wchar_t*>(c.cls.c_str()), L"Button") == 0) buttons.push_back(c.text);
  EXPECT_EQ(buttons, std::vector<String>{u"OK"});
}

}  // namespace
