// The picture window's decisions without a window: its handlers against a
// recording platform and window, the timer interval, and the loader's choice
// of decoder.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>

#include "FakeFormsApi.h"
#include "forms/DispImage.h"
#include "toolkit/pictures/PictureFormats.h"

namespace {

class TTestDisp : public TDispImageCore {
public:
  // The window as the exit sequence makes it: this picture for two seconds.
  explicit TTestDisp(std::vector<std::string>& r, const String& file = u"C:\\Pictures\\End.jpg",
                     int32_t seconds = 2)
      : TDispImageCore(file, seconds), record(r) {}
  std::vector<std::string>& record;
  bool inModal = true;
  bool active = true;
  bool loadFails = false;

protected:
  void HostSetSize(int32_t width, int32_t height) override {
    record.push_back("SetSize(" + std::to_string(width) + "," + std::to_string(height) + ")");
  }
  void HostLoadPicture(const String& fileName, TPictureSize target) override {
    record.push_back("LoadPicture(" + ToUtf8(fileName) + "," + std::to_string(target.Width) + "x" +
                     std::to_string(target.Height) + ")");
    if (loadFails) throw Exception(u"拡張子 .gif の画像形式は処理できません");
  }
  void HostStartTimer(uint32_t interval) override { record.push_back("StartTimer(" + std::to_string(interval) + ")"); }
  void HostClose() override { record.push_back("Close"); }
  void HostCancel() override { record.push_back("Cancel"); }
  bool HostInModalRun() override { return inModal; }
  bool HostActive() override { return active; }
  void HostRelease() override { record.push_back("Release"); }
};

using Calls = std::vector<std::string>;
const std::string kFind = "FindWindowW(Shell_TrayWnd,null)";
const std::string kHide = "ShowWindow(0x7a5c,0)";
const std::string kShow = "ShowWindow(0x7a5c,5)";

class DispImageTest : public testing::Test {
protected:
  FakeFormsApi api;
  TTestDisp form{api.calls};

  // Runs `step` and gives what it did.
  template <typename F>
  Calls Did(F step) {
    api.calls.clear();
    step();
    return api.calls;
  }
};

TEST_F(DispImageTest, CreationSizesTheWindowToTheScreenBeforeLoading) {
  api.screenWidth = 1920;
  api.screenHeight = 1080;
  EXPECT_EQ(Did([&] { form.FormCreate(); }),
            (Calls{"GetSystemMetrics(0)", "GetSystemMetrics(1)", "SetSize(1920,1080)",
                   "LoadPicture(C:\\Pictures\\End.jpg,1920x1080)"}));
  // A failed load is raised to the window's construction; the size stays set.
  form.loadFails = true;
  api.calls.clear();
  EXPECT_THROW(form.FormCreate(), Exception);
  EXPECT_EQ(api.calls[2], "SetSize(1920,1080)");
}

TEST_F(DispImageTest, ActivationStartsTheTimerThenHidesTheTaskbar) {
  EXPECT_EQ(Did([&] { form.FormActivate(); }), (Calls{"StartTimer(2000)", kFind, kHide}));
  api.taskbar = 0;  // no shell running: nothing to hide, nothing fails
  EXPECT_EQ(Did([&] { form.FormActivate(); }), (Calls{"StartTimer(2000)", kFind}));
}

TEST_F(DispImageTest, EveryHandlerShowsTheTaskbarFirstAndOnlyCancelsSetTheFlag) {
  struct Case {
    const char* name;
    std::function<void(TTestDisp&)> event;
    Calls after;  // what follows showing the taskbar
  } cases[] = {
      {"timer", [](TTestDisp& f) { f.Timer1Timer(); }, {"Close"}},
      {"left button", [](TTestDisp& f) { f.Image1MouseDown(mbLeft); }, {"Close"}},
      {"right button", [](TTestDisp& f) { f.Image1MouseDown(mbRight); }, {"Cancel", "Close"}},
      {"middle button", [](TTestDisp& f) { f.Image1MouseDown(mbMiddle); }, {}},
      {"Enter", [](TTestDisp& f) { char16_t k = 13; f.FormKeyPress(k); }, {"Close"}},
      {"Esc", [](TTestDisp& f) { char16_t k = 27; f.FormKeyPress(k); }, {"Cancel", "Close"}},
      {"letter", [](TTestDisp& f) { char16_t k = u'a'; f.FormKeyPress(k); }, {}},
      {"space", [](TTestDisp& f) { char16_t k = u' '; f.FormKeyPress(k); }, {}},
  };
  for (const Case& c : cases) {
    Calls expected{kFind, kShow};
    expected.insert(expected.end(), c.after.begin(), c.after.end());
    EXPECT_EQ(Did([&] { c.event(form); }), expected) << c.name;
  }
}

TEST_F(DispImageTest, CloseQueryPausesHalfASecondAndAllowsTheClose) {
  bool canClose = false;
  EXPECT_EQ(Did([&] { form.FormCloseQuery(canClose); }), (Calls{"Sleep(500)"}));
  EXPECT_TRUE(canClose);
}

TEST_F(DispImageTest, DestructionIsAskedForOnceAndOnlyAfterTheModalRun) {
  // Another window taking the focus during the run must not destroy this one.
  EXPECT_EQ(Did([&] { form.FormDeactivate(); }), Calls{});
  form.inModal = false;
  EXPECT_EQ(Did([&] { form.FormDeactivate(); }), (Calls{"Release"}));
  EXPECT_EQ(Did([&] { form.FormDeactivate(); }), Calls{});
}

TEST_F(DispImageTest, HiddenWhileInactiveAtTheEndOfTheRunStillAsksForDestruction) {
  form.FormActivate();
  EXPECT_EQ(Did([&] { form.FormHide(); }), Calls{}) << "hidden during the run";
  form.inModal = false;
  form.active = false;
  EXPECT_EQ(Did([&] { form.FormHide(); }), (Calls{kFind, kShow, "Release"}));
  EXPECT_EQ(Did([&] { form.FormDeactivate(); }), Calls{});
}

TEST_F(DispImageTest, TheTaskbarComesBackOnEveryWayOut) {
  // A run that ends without any of the handlers (the loop was told to quit).
  form.FormActivate();
  form.inModal = false;
  EXPECT_EQ(Did([&] { form.FormHide(); }), (Calls{kFind, kShow}));
  EXPECT_EQ(Did([&] { form.RestoreTaskbar(); }), Calls{}) << "shown already";

  // Destroyed or the session ending while the taskbar is hidden.
  TTestDisp other(api.calls);
  other.FormActivate();
  EXPECT_EQ(Did([&] { other.RestoreTaskbar(); }), (Calls{kFind, kShow}));

  // A handler showed it: nothing more to do.
  TTestDisp third(api.calls);
  third.FormActivate();
  third.Timer1Timer();
  EXPECT_EQ(Did([&] { third.RestoreTaskbar(); }), Calls{});

  // Nothing was hidden: no taskbar at activation.
  api.taskbar = 0;
  TTestDisp fourth(api.calls);
  fourth.FormActivate();
  api.taskbar = 0x7A5C;
  EXPECT_EQ(Did([&] { fourth.RestoreTaskbar(); }), Calls{});
}

TEST(PictureTimerInterval, SecondsBecomeMillisecondsWithinWhatTheSystemTakes) {
  const std::pair<int32_t, uint32_t> cases[] = {
      {1, 1000u},
      {3, 3000u},
      {999, 999000u},
      {2147483, 2147483000u},
      {2147484, kUserTimerMaximum},  // fits 32 bits, but the system takes no more
      {4294967, kUserTimerMaximum},
      {4294968, kUserTimerMaximum},  // would wrap to 704 ms in 32 bits
      {INT32_MAX, kUserTimerMaximum},
      {0, 1u},  // never asked for: the window is shown only for times above 0
      {-3, 1u},
  };
  for (const auto& [seconds, interval] : cases) EXPECT_EQ(PictureTimerInterval(seconds), interval) << seconds;
}

TEST(PictureExtension, IsThePartAfterTheLastDotOfTheName) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"C:\\a\\End.jpg", u"jpg"},
      {u"C:\\a\\End.JPEG", u"JPEG"},
      {u"C:\\a\\End.tar.Gz", u"Gz"},
      {u"C:\\a.b\\End", u""},
      {u"C:\\a.b/End", u""},
      {u"C:End", u""},
      {u"C:\\a\\End.", u""},
      {u"End.png", u"png"},
      {u"", u""},
  };
  for (const auto& [name, extension] : cases) EXPECT_EQ(PictureExtension(name), extension) << ToUtf8(name);
}

// ---- the loader --------------------------------------------------------------

std::string Fixture(const char* name) {
  std::string path = __FILE__;
  path = path.substr(0, path.find_last_of("/\\") + 1) + "../fixtures/pictures/" + name;
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class PictureLoaderTest : public testing::Test {
protected:
  FakeFormsApi api;
  String Error(const String& fileName, TPictureSize target = {}) {
    try {
      DecodePictureFile(fileName, target);
    } catch (const Exception& e) {
      return e.Message();
    }
    return u"(no error)";
  }
};

TEST_F(PictureLoaderTest, TheExtensionChoosesTheDecoderWithoutRegardToCase) {
  api.AddFile(u"C:\\p\\photo.JPG", Fixture("jpeg_100x75.jpg"));
  api.AddFile(u"C:\\p\\photo.Jpeg", Fixture("jpeg_100x75.jpg"));
  api.AddFile(u"C:\\p\\plain.bMp", Fixture("bmp_info_24.bmp"));
  api.AddFile(u"C:\\p\\plain.PNG", Fixture("png_gray8.png"));
  EXPECT_EQ(DecodePictureFile(u"C:\\p\\photo.JPG", {}).Width(), 100);
  EXPECT_EQ(DecodePictureFile(u"C:\\p\\photo.Jpeg", {}).Height(), 75);
  EXPECT_FALSE(DecodePictureFile(u"C:\\p\\plain.bMp", {}).Empty());
  EXPECT_FALSE(DecodePictureFile(u"C:\\p\\plain.PNG", {}).Empty());
  // The size it will be shown at reaches the decoder: a smaller scale suffices.
  const TImage32 scaled = DecodePictureFile(u"C:\\p\\photo.JPG", {20, 15});
  EXPECT_LT(scaled.Width(), 100);
  EXPECT_GE(scaled.Width(), 20);
  EXPECT_GE(scaled.Height(), 15);
}

TEST_F(PictureLoaderTest, OtherExtensionsAreRefusedAsWrittenWithoutReadingTheFile) {
  api.AddFile(u"C:\\p\\anim.GIF", "GIF89a");
  EXPECT_EQ(Error(u"C:\\p\\anim.GIF"), u"拡張子 .GIF の画像形式は処理できません");
  EXPECT_EQ(Error(u"C:\\p\\anim.gif"), u"拡張子 .gif の画像形式は処理できません");
  EXPECT_EQ(Error(u"C:\\p.d\\noext"), u"拡張子 . の画像形式は処理できません");
  // Without the platform's decoders these kinds are not in the table either.
  EXPECT_EQ(Error(u"C:\\p\\scan.tif"), u"拡張子 .tif の画像形式は処理できません");
  for (const auto& call : api.calls) EXPECT_EQ(call.rfind("ReadFileBytes", 0), std::string::npos) << call;
}

TEST_F(PictureLoaderTest, UnreadableAndDamagedFilesGiveTheirOwnMessages) {
  api.AddFile(u"C:\\p\\locked.jpg", Fixture("jpeg_100x75.jpg"));
  api.files[u"C:\\p\\locked.jpg"].readError = 5;
  EXPECT_EQ(Error(u"C:\\p\\locked.jpg"), u"画像ファイル「C:\\p\\locked.jpg」を読み込めません。(アクセスが拒否されました。)");
  EXPECT_EQ(Error(u"C:\\p\\gone.png"), u"画像ファイル「C:\\p\\gone.png」を読み込めません。(エラー 2)");

  api.AddFile(u"C:\\p\\huge.bmp");
  api.files[u"C:\\p\\huge.bmp"].size = kMaxPictureFileSize + 1;
  EXPECT_EQ(Error(u"C:\\p\\huge.bmp"), u"画像ファイル「C:\\p\\huge.bmp」を読み込めません。(640 MB を超えるファイルは扱えません)");

  // Damaged data: the decoder's own words, whatever they are, not ours.
  api.AddFile(u"C:\\p\\broken.jpg", Fixture("jpeg_err_truncated.jpg"));
  api.AddFile(u"C:\\p\\broken.png", "\x89PNG\r\n\x1a\n broken");
  for (const char16_t* name : {u"C:\\p\\broken.jpg", u"C:\\p\\broken.png"}) {
    const String message = Error(name);
    EXPECT_NE(message, u"(no error)") << ToUtf8(name);
    EXPECT_EQ(message.find(u"拡張子"), String::npos) << ToUtf8(message);
    EXPECT_EQ(message.find(u"読み込めません"), String::npos) << ToUtf8(message);
  }
}


// ---- the picture decoded ahead, on a worker thread

TEST(PicturePreloadTest, TheWorkerDecodesAndTakeHandsThePictureOverOnce) {
  std::thread::id worker;
  TPicturePreload preload(u"C:\\p\\End.jpg", {1920, 1080}, [&] {
    worker = std::this_thread::get_id();
    return TImage32(3, 2);
  });
  EXPECT_TRUE(preload.Serves(u"C:\\p\\End.jpg", {1920, 1080}));
  EXPECT_FALSE(preload.Serves(u"C:\\p\\Other.jpg", {1920, 1080}));
  EXPECT_FALSE(preload.Serves(u"C:\\p\\End.jpg", {2880, 1620}));
  const TImage32 picture = preload.Take();
  EXPECT_EQ(picture.Width(), 3);
  EXPECT_EQ(picture.Height(), 2);
  EXPECT_NE(worker, std::this_thread::get_id());
  EXPECT_TRUE(preload.Take().Empty());
}

TEST(PicturePreloadTest, TakeWaitsForTheWorkerAndRaisesItsError) {
  std::promise<void> go;
  std::shared_future<void> started = go.get_future().share();
  TPicturePreload preload(u"C:\\p\\broken.jpg", {}, [started]() -> TImage32 {
    started.wait();
    throw Exception(u"Premature end of JPEG file");
  });
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    go.set_value();
  });
  try {
    preload.Take();
    ADD_FAILURE() << "no error";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), u"Premature end of JPEG file");
  }
  release.join();
}

TEST(PicturePreloadTest, DroppingDoesNotWaitForTheWorker) {
  auto go = std::make_shared<std::promise<void>>();
  std::shared_future<void> started = go->get_future().share();
  auto finished = std::make_shared<std::promise<void>>();
  std::future<void> done = finished->get_future();
  {
    TPicturePreload preload(u"C:\\p\\End.jpg", {}, [started, finished] {
      started.wait();
      TImage32 picture(4, 4);
      finished->set_value();
      return picture;
    });
  }  // dropped while the decode is still held up
  go->set_value();
  // The worker runs on to its end, and its result goes nowhere.
  EXPECT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

}  // namespace
