// The drop target on a real form: drops delivered as the shell delivers them
// (WM_DROPFILES with a drop handle built here, posted within the process),
// the window's accept-files style, the error report, the re-created window.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "droptarget/DROPDST.h"
#include "toolkit/Forms.h"

#include <shellapi.h>
#include <shlobj.h>  // DROPFILES


namespace {

// The real platform, with the drop releases and registrations counted on
// their way through.
struct TCountingDropApi final : DropApi {
  DropApi& real = RealSeam<DropApi>();
  std::map<uintptr_t, int> finished;
  int acceptCalls = 0;
  TCountingDropApi() { SetDropPlatform(this); }
  ~TCountingDropApi() override { SetDropPlatform(nullptr); }

  void DragFinish(uintptr_t drop) override {
    ++finished[drop];
    real.DragFinish(drop);
  }
  void DragAcceptFiles(uintptr_t wnd, int32_t accept) override {
    ++acceptCalls;
    real.DragAcceptFiles(wnd, accept);
  }
  TWinControl* AsWinControl(TComponent* c) override { return real.AsWinControl(c); }
  TComponent* AsComponent(TWinControl* c) override { return real.AsComponent(c); }
  bool IsForm(TWinControl* c) override { return real.IsForm(c); }
  TWinControl* Parent(TWinControl* c) override { return real.Parent(c); }
  uintptr_t Handle(TWinControl* c) override { return real.Handle(c); }
  bool HandleAllocated(TWinControl* c) override { return real.HandleAllocated(c); }
  TWndMethod WindowProc(TWinControl* c) override { return real.WindowProc(c); }
  void SetWindowProc(TWinControl* c, TWndMethod p) override { real.SetWindowProc(c, std::move(p)); }
  uint32_t DragQueryFileW(uintptr_t d, uint32_t i, char16_t* b, uint32_t n) override { return real.DragQueryFileW(d, i, b, n); }
  bool DragQueryPoint(uintptr_t d, TDropPoint& p) override { return real.DragQueryPoint(d, p); }
  bool IsWindow(uintptr_t w) override { return real.IsWindow(w); }
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

// A drop handle as the shell makes one: a DROPFILES header, then the wide
// names, each ending in a zero, and one more zero after the last.
HDROP MakeDrop(const std::vector<String>& names, POINT point) {
  size_t chars = 2;
  for (const String& name : names) chars += name.size() + 1;
  HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  auto* files = static_cast<DROPFILES*>(::GlobalLock(memory));
  files->pFiles = sizeof(DROPFILES);
  files->pt = point;
  files->fNC = FALSE;
  files->fWide = TRUE;
  auto* text = reinterpret_cast<char16_t*>(files + 1);
  for (const String& name : names) text = std::copy(name.begin(), name.end(), text) + 1;
  ::GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

bool AcceptsFiles(HWND wnd) { return (::GetWindowLongPtrW(wnd, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0; }

struct TDropCall {
  TComponent* Sender;
  std::vector<String> Files;
  int X, Y;
};

class DropWin : public testing::Test {
protected:
  std::unique_ptr<TApplication> app;
  std::unique_ptr<TCountingDropApi> api = std::make_unique<TCountingDropApi>();
  TForm* form = nullptr;
  TDropDst* dst = nullptr;
  std::vector<TDropCall> calls;
  std::vector<String> reports;

  void SetUp() override {
    if (!Application) app = std::make_unique<TApplication>();
    Application->OnException = [this](TComponent*, const Exception& e) { reports.push_back(e.Message()); };
    form = new TForm;
    form->SetBounds(60, 60, 300, 200);
    // Built as a layout builds it: properties first, then Loaded.
    dst = new TDropDst(form);
    dst->BeginLoading();
    dst->SetTarget(htForm);
    dst->SetOnFileDrop([this](TComponent* sender, const TStrings& files, int32_t x, int32_t y) {
      calls.push_back({sender, {files.begin(), files.end()}, x, y});
    });
    dst->Loaded();
  }
  void TearDown() override {
    delete form;
    PumpUntil([] { return false; }, 20);
    Application->OnException = nullptr;
  }
  HWND Wnd() { return form->Handle(); }
  // Posts a drop to the form and waits until its handle has been released.
  HDROP Drop(const std::vector<String>& names, POINT point = {5, 6}) {
    return Post(MakeDrop(names, point));
  }
  HDROP Post(HDROP drop) {
    api->finished.erase(reinterpret_cast<uintptr_t>(drop));  // a freed handle's value comes back
    ::PostMessageW(Wnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    EXPECT_TRUE(PumpUntil([&] { return Finished(drop) > 0; }));
    return drop;
  }
  int Finished(HDROP drop) { return api->finished[reinterpret_cast<uintptr_t>(drop)]; }
};

TEST_F(DropWin, ThreeFilesArriveInOrderWithTheDropPoint) {
  ASSERT_TRUE(AcceptsFiles(Wnd())) << "registered at the end of loading";
  const std::vector<String> names = {u"C:\\pics\\b.jpg", u"C:\\写真\\a b.png", u"Z:\\tmp\\c.BMP"};
  const HDROP drop = Drop(names, {15, 25});
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].Sender, dst);
  EXPECT_EQ(calls[0].Files, names);
  EXPECT_EQ(calls[0].X, 15);
  EXPECT_EQ(calls[0].Y, 25);
  EXPECT_EQ(Finished(drop), 1);
  EXPECT_TRUE(reports.empty());
}

TEST_F(DropWin, FolderEmptyAndLongNames) {
  const String longName = u"C:\\" + String(292, u'n') + u".jpeg";  // 300 characters
  ASSERT_EQ(longName.size(), 300u);
  Drop({u"C:\\windows"});
  const HDROP empty = MakeDrop({}, {0, 0});
  // Windows counts no name in an empty list; Wine counts its closing zero as
  // one empty name. Either way the handler gets what the shell counts.
  const UINT emptyCount = ::DragQueryFileW(empty, 0xFFFFFFFF, nullptr, 0);
  Post(empty);
  Drop({longName});
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].Files, std::vector<String>{u"C:\\windows"});
  EXPECT_EQ(calls[1].Files, std::vector<String>(emptyCount, u"")) << "an empty drop still calls the handler";
  EXPECT_LE(emptyCount, 1u);
  EXPECT_EQ(calls[2].Files, std::vector<String>{longName}) << "arrives whole";
}

TEST_F(DropWin, HandlerErrorIsReportedOnceTheDropReleasedAndTheNextDropWorks) {
  dst->SetOnFileDrop([](TComponent*, const TStrings& files, int32_t, int32_t) {
    throw Exception(u"画像を読み込めません: " + files[0]);
  });
  const HDROP failed = Drop({u"C:\\bad.jpg"});
  EXPECT_EQ(reports, std::vector<String>{u"画像を読み込めません: C:\\bad.jpg"});
  EXPECT_EQ(Finished(failed), 1);

  dst->SetOnFileDrop([this](TComponent* sender, const TStrings& files, int32_t x, int32_t y) {
    calls.push_back({sender, {files.begin(), files.end()}, x, y});
  });
  const HDROP next = Drop({u"C:\\good.jpg"});
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].Files, std::vector<String>{u"C:\\good.jpg"});
  EXPECT_EQ(Finished(next), 1);
  EXPECT_EQ(reports.size(), 1u);
}

TEST_F(DropWin, WithoutHandlerTheDropIsReleasedAndIgnored) {
  dst->SetOnFileDrop(nullptr);
  const HDROP drop = Drop({u"C:\\a.jpg"});
  EXPECT_EQ(Finished(drop), 1);
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(reports.empty());
}

TEST_F(DropWin, AcceptDropChangesTheStyleAtOnceAndOnlyOnChange) {
  api->acceptCalls = 0;
  dst->SetAcceptDrop(true);
  EXPECT_EQ(api->acceptCalls, 0);
  dst->SetAcceptDrop(false);
  EXPECT_FALSE(AcceptsFiles(Wnd()));
  dst->SetAcceptDrop(false);
  EXPECT_EQ(api->acceptCalls, 1);
  dst->SetAcceptDrop(true);
  EXPECT_TRUE(AcceptsFiles(Wnd()));
  EXPECT_EQ(api->acceptCalls, 2);
}

TEST_F(DropWin, LayoutDecidesTheRegistrationWhenLoaded) {
  for (bool accept : {false, true}) {
    TForm* other = new TForm;
    ::DragAcceptFiles(other->Handle(), !accept);  // the opposite, to be undone
    auto* loaded = new TDropDst(other);
    loaded->BeginLoading();
    loaded->SetTarget(htForm);
    loaded->SetAcceptDrop(accept);
    loaded->Loaded();
    EXPECT_EQ(AcceptsFiles(other->Handle()), accept);
    delete other;
  }
}

TEST_F(DropWin, ReCreatedFormAcceptsDropsAgain) {
  const HWND oldWnd = Wnd();
  form->SetBorderStyle(bsDialog);
  ASSERT_NE(Wnd(), oldWnd);
  EXPECT_TRUE(AcceptsFiles(Wnd())) << "registered again without the owner's help";
  EXPECT_EQ(dst->HookTargetHandle(), reinterpret_cast<uintptr_t>(Wnd()));
  Drop({u"C:\\again.png"});
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].Files, std::vector<String>{u"C:\\again.png"});

  // Turned off, it stays off in the next window.
  dst->SetAcceptDrop(false);
  form->SetBorderStyle(bsSingle);
  EXPECT_FALSE(AcceptsFiles(Wnd()));
}

TEST_F(DropWin, DestroyedDropTargetLeavesTheWindowUnregistered) {
  delete dst;
  EXPECT_FALSE(AcceptsFiles(Wnd()));
  // The form's own handling is back, and messages reach it.
  ::SetWindowTextW(Wnd(), L"still alive");
  wchar_t text[16] = {};
  ::GetWindowTextW(Wnd(), text, 16);
  EXPECT_EQ(S(text), u"still alive");
}

// What a message box of this thread shows: its title and its texts.
struct TBoxSeen {
  String Title;
  std::vector<String> Texts;
};
TBoxSeen gBox;

void CALLBACK CloseMessageBox(HWND, UINT, UINT_PTR id, DWORD) {
  EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND wnd, LPARAM) -> BOOL {
        wchar_t name[32] = {};
        ::GetClassNameW(wnd, name, 32);
        if (S(name) != u"#32770") return TRUE;
        wchar_t title[64] = {};
        ::GetWindowTextW(wnd, title, 64);
        gBox.Title = S(title);
        ::EnumChildWindows(
            wnd,
            [](HWND child, LPARAM) -> BOOL {
              wchar_t text[128] = {};
              ::GetWindowTextW(child, text, 128);
              gBox.Texts.push_back(S(text));
              return TRUE;
            },
            0);
        ::PostMessageW(wnd, WM_COMMAND, IDOK, 0);
        return FALSE;
      },
      0);
}

TEST_F(DropWin, FailingReportHandlerStillShowsTheErrorBox) {
  const String title = Application->Title();
  Application->SetTitle(u"Tolvi");
  Application->OnException = [](TComponent*, const Exception&) { throw Exception(u"lost"); };
  dst->SetOnFileDrop([](TComponent*, const TStrings&, int32_t, int32_t) { throw Exception(u"読み込めません"); });
  gBox = {};
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, CloseMessageBox);
  const HDROP drop = Drop({u"C:\\x.jpg"});
  ::KillTimer(nullptr, timer);
  Application->SetTitle(title);
  EXPECT_EQ(Finished(drop), 1);
  EXPECT_EQ(gBox.Title, u"Tolvi");
  EXPECT_EQ(std::count(gBox.Texts.begin(), gBox.Texts.end(), ErrorReportText(u"読み込めません")), 1);
}

}  // namespace
