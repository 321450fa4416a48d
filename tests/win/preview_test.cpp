// The main window's preview decoded in the background, on real windows: the
// window shows first, the preview follows, a newer choice wins, and closing
// never waits. A slow file system is stood in for by the system seam: reading
// the saved picture waits at a gate the test opens.
#include <gtest/gtest.h>

#include "MessagePump.h"
#include "TestFiles.h"

#include <algorithm>
#include <atomic>
#include <vector>
#include <memory>
#include <string>

#include "app/ME.h"
#include "forms/TolviMainWin32.h"
#include "numedit/ZuNumEditWin32.h"
#include "toolkit/StringList.h"
#include "toolkit/SystemApi.h"
#include "toolkit/Win32.h"
#include "toolkit/pictures/Image.h"
#include "toolkit/pictures/PictureFormats.h"

namespace {

// The real system, but reading a file whose name ends in "slow.bmp" waits
// until the gate opens. Reading the start of a file, as the header check
// does while the window is made, does not wait: only the decode is slow.
struct TSlowFiles : SystemApi {
  SystemApi& real = RealSeam<SystemApi>();
  HANDLE gate = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE readDone = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> slowReads{0};
  TSeamInstall<SystemApi> install{this};

  ~TSlowFiles() override {
    ::CloseHandle(gate);
    ::CloseHandle(readDone);
  }
  bool ReadFileBytes(const String& fileName, uint64_t maxSize, std::string& bytes, uint32_t& error) override {
    const bool slow = fileName.ends_with(u"slow.bmp");
    if (slow) {
      ++slowReads;
      ::WaitForSingleObject(gate, INFINITE);
    }
    const bool read = real.ReadFileBytes(fileName, maxSize, bytes, error);
    if (slow) ::SetEvent(readDone);
    return read;
  }
  bool ReadFileHead(const String& fileName, uint64_t maxSize, size_t headSize, std::string& head, uint64_t& fileSize,
                    uint32_t& error) override {
    return real.ReadFileHead(fileName, maxSize, headSize, head, fileSize, error);
  }
  uint32_t GetFileAttributesW(const String& fileName) override { return real.GetFileAttributesW(fileName); }
  uint32_t GetLastError() override { return real.GetLastError(); }
  uintptr_t FindFirstFileW(const String& fileName, TFindData& data) override {
    return real.FindFirstFileW(fileName, data);
  }
  int32_t FindClose(uintptr_t findFile) override { return real.FindClose(findFile); }
  String SysErrorMessage(uint32_t error) override { return real.SysErrorMessage(error); }
  int32_t GetVersionExW(TOSVersionInfo& info) override { return real.GetVersionExW(info); }
  int32_t MessageBoxW(uintptr_t owner, const String& text, const String& caption, uint32_t type) override {
    return real.MessageBoxW(owner, text, caption, type);
  }
  int32_t MessageBoxWithOptions(uintptr_t owner, const String& text, const String& caption, uint32_t type,
                                const TMsgBoxOptions& options) override {
    return real.MessageBoxWithOptions(owner, text, caption, type, options);
  }
  uintptr_t FindWindowW(const String& className, const char16_t* windowName) override {
    return real.FindWindowW(className, windowName);
  }
  void Sleep(uint32_t milliseconds) override { real.Sleep(milliseconds); }
};


// A 4 × 4 RLE8 bitmap whose data ends after its first run: a sound header,
// damage that only the decode finds.
std::string CutRleBmp() {
  const std::string palette = std::string("\x00\xFF\x00\x00", 4) + std::string(12, '\0');
  const std::string data("\x04\x00", 2);
  BITMAPFILEHEADER fh{0x4D42, static_cast<DWORD>(14 + 40 + palette.size() + data.size()), 0, 0,
                      static_cast<DWORD>(14 + 40 + palette.size())};
  BITMAPINFOHEADER ih{};
  ih.biSize = 40;
  ih.biWidth = 4;
  ih.biHeight = 4;
  ih.biPlanes = 1;
  ih.biBitCount = 8;
  ih.biCompression = BI_RLE8;
  ih.biClrUsed = 4;
  return std::string(reinterpret_cast<const char*>(&fh), 14) + std::string(reinterpret_cast<const char*>(&ih), 40) +
         palette + data;
}


class PreviewWin : public testing::Test {
protected:
  TSlowFiles files;
  std::unique_ptr<TApplication> app;
  TTolviMainForm* form = nullptr;
  std::vector<String> errors;
  String folder, slow, blue;

  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    folder = S(temp) + u"tolvi-preview-" + IntToStr(static_cast<int>(::GetCurrentProcessId()));
    ::CreateDirectoryW(W(folder), nullptr);
    slow = folder + u"\\slow.bmp";
    blue = folder + u"\\blue.bmp";
    WriteFile(slow, SolidBmp(640, 360, RGB(255, 0, 0)));
    WriteFile(blue, SolidBmp(640, 360, RGB(0, 0, 255)));
    RunSettings = TRunSettings{};
    RunSettings.CommandLineGiven = true;  // the settings file stays out of the test
    RunSettings.PictureFile = slow;
    RunSettings.PictureTime = 5;
    app = std::make_unique<TApplication>();
    app->SetTitle(u"Tolvi");
    app->OnException = [this](TComponent*, const Exception& e) { errors.push_back(e.Message()); };
    form = new TTolviMainForm(app.get());
    app->CreateForm(form);
    form->Show();
    // The decode begins once the window is up and drawn: each test starts
    // with it under way, held at the gate.
    for (int i = 0; i < 400 && files.slowReads == 0; ++i) {
      Pump();
      ::Sleep(5);
    }
  }
  void TearDown() override {
    ::SetEvent(files.gate);
    app.reset();
    Pump();
    // A decode let go of runs to its end: wait for it before the files go.
    if (files.slowReads) ::WaitForSingleObject(files.readDone, 10000);
    ::Sleep(50);
    for (const String& name : {slow, blue}) ::DeleteFileW(W(name));
    ::RemoveDirectoryW(W(folder));
    RunSettings = TRunSettings{};
  }
  // Handles messages until the preview's decode has arrived (bounded, so a
  // fault fails the test rather than hanging it).
  void Settle() {
    for (int i = 0; i < 2000 && form->Image1->Loading(); ++i) {
      Pump();
      ::Sleep(5);
    }
    Pump();
  }
  COLORREF ViewCentre() {
    ::RedrawWindow(form->Image1->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    RECT r{};
    ::GetClientRect(form->Image1->Handle(), &r);
    const HDC dc = ::GetDC(form->Image1->Handle());
    const COLORREF c = ::GetPixel(dc, r.right / 2, r.bottom / 2);
    ::ReleaseDC(form->Image1->Handle(), dc);
    return c;
  }
};

TEST_F(PreviewWin, TheWindowShowsBeforeThePreviewAndThePreviewFollows) {
  // The decode is held at the gate: the window is up all the same.
  EXPECT_TRUE(::IsWindowVisible(form->Handle()));
  EXPECT_TRUE(form->Image1->Loading());
  EXPECT_TRUE(form->Image1->Picture().Empty());
  const COLORREF background = ViewCentre();
  EXPECT_NE(background, RGB(255, 0, 0)) << "nothing of the picture before it is decoded";
  EXPECT_TRUE(errors.empty());

  ::SetEvent(files.gate);
  Settle();
  EXPECT_FALSE(form->Image1->Loading());
  // Kept at the size it is shown, not the file's 640 × 360.
  RECT r{};
  ::GetClientRect(form->Image1->Handle(), &r);
  EXPECT_EQ(form->Image1->Picture().Width(), r.right);
  EXPECT_EQ(form->Image1->Picture().Height(), r.bottom);
  EXPECT_EQ(ViewCentre(), RGB(255, 0, 0));
  EXPECT_TRUE(errors.empty());
}

// The decode is asked for by the window being made, and begins only once it
// is up: the window never shares the processor with it while it goes up.
TEST_F(PreviewWin, TheDecodeBeginsOnceTheWindowIsUp) {
  const int before = files.slowReads;
  app.reset();
  Pump();
  app = std::make_unique<TApplication>();
  app->OnException = [this](TComponent*, const Exception& e) { errors.push_back(e.Message()); };
  form = new TTolviMainForm(app.get());
  app->CreateForm(form);
  EXPECT_TRUE(form->Image1->Loading());
  ::Sleep(100);
  EXPECT_EQ(files.slowReads, before) << "no read while the window is being made";
  form->Show();
  for (int i = 0; i < 400 && files.slowReads == before; ++i) {
    Pump();
    ::Sleep(5);
  }
  EXPECT_EQ(files.slowReads, before + 1);
  EXPECT_TRUE(errors.empty());
}

TEST_F(PreviewWin, ADropDuringTheDecodeWins) {
  ASSERT_TRUE(form->Image1->Loading());
  TStringList dropped;
  dropped.Add(blue);
  form->DropDstFileDrop(dropped);
  ::SetEvent(files.gate);  // the older decode ends now, after the newer choice
  ASSERT_EQ(::WaitForSingleObject(files.readDone, 10000), WAIT_OBJECT_0);
  Settle();
  EXPECT_EQ(ViewCentre(), RGB(0, 0, 255));
  EXPECT_EQ(RunSettings.PictureFile, blue);
  EXPECT_TRUE(errors.empty());
}

// A drop whose header is damaged (rows the file is too short for) is
// reported by the drop itself; damage only the decode finds, when the decode
// ends. Either way the preview keeps the picture it had.
TEST_F(PreviewWin, ADamagedDropIsReportedAtOnceOrWhenItsDecodeEnds) {
  ::SetEvent(files.gate);
  Settle();
  const String header = folder + u"\\header.bmp", data = folder + u"\\data.bmp";
  WriteFile(header, SolidBmp(40, 20, RGB(0, 255, 0)).substr(0, 70));
  WriteFile(data, CutRleBmp());
  TStringList dropped;
  dropped.Add(header);
  EXPECT_THROW(form->DropDstFileDrop(dropped), Exception) << "raised for the general error report";
  EXPECT_FALSE(form->Image1->Loading());
  EXPECT_EQ(RunSettings.PictureFile, header);
  EXPECT_EQ(ViewCentre(), RGB(255, 0, 0)) << "the preview keeps the picture it had";
  EXPECT_TRUE(form->TXTStartTime->Enabled());

  dropped.Clear();
  dropped.Add(data);
  form->DropDstFileDrop(dropped);
  EXPECT_TRUE(errors.empty());
  Settle();
  ::DeleteFileW(W(header));
  ::DeleteFileW(W(data));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], u"ビットマップ画像のデータが途中で切れています");
  EXPECT_EQ(ViewCentre(), RGB(255, 0, 0)) << "the preview keeps the picture it had";
  EXPECT_TRUE(form->TXTStartTime->Enabled());
}

// A damaged drop while an older picture is still being decoded: the older
// one is superseded all the same and never shown.
TEST_F(PreviewWin, ADamagedDropSupersedesADecodeUnderWay) {
  ASSERT_TRUE(form->Image1->Loading());
  const String broken = folder + u"\\broken.bmp";
  WriteFile(broken, "BM");
  TStringList dropped;
  dropped.Add(broken);
  EXPECT_THROW(form->DropDstFileDrop(dropped), Exception);
  ::SetEvent(files.gate);
  ASSERT_EQ(::WaitForSingleObject(files.readDone, 10000), WAIT_OBJECT_0);
  ::Sleep(50);
  Pump();
  ::DeleteFileW(W(broken));
  EXPECT_TRUE(form->Image1->Picture().Empty());
  EXPECT_NE(ViewCentre(), RGB(255, 0, 0));
}

TEST_F(PreviewWin, ClosingDuringTheDecodeEndsAtOnce) {
  ASSERT_TRUE(form->Image1->Loading());
  // If closing waited for the decode, this would never return: the gate
  // opens only afterwards.
  app.reset();
  Pump();
  EXPECT_EQ(::WaitForSingleObject(files.readDone, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the read is still held";
  ::SetEvent(files.gate);
  ASSERT_EQ(::WaitForSingleObject(files.readDone, 10000), WAIT_OBJECT_0);
  ::Sleep(50);  // the worker finishes its decode with nobody to tell
  Pump();
}

// The error report's box while the window is made: its texts, and whether
// the main window was visible then. Read and closed from a timer of the
// thread, which the box's own message loop runs.
struct TCreationBox {
  std::vector<String> Texts;
  bool FormVisible = false;
};
TCreationBox gCreationBox;
TTolviMainForm* gCreating = nullptr;

void CALLBACK ReadAndCloseBox(HWND, UINT, UINT_PTR, DWORD) {
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND wnd, LPARAM) -> BOOL {
        wchar_t name[32] = {};
        ::GetClassNameW(wnd, name, 32);
        if (S(name) != u"#32770" || !::IsWindowVisible(wnd)) return TRUE;
        ::EnumChildWindows(
            wnd,
            [](HWND child, LPARAM) -> BOOL {
              wchar_t text[512] = {};
              ::GetWindowTextW(child, text, 512);
              gCreationBox.Texts.push_back(S(text));
              return TRUE;
            },
            0);
        gCreationBox.FormVisible =
            gCreating && gCreating->HandleAllocated() && ::IsWindowVisible(gCreating->Handle());
        ::PostMessageW(wnd, WM_COMMAND, IDOK, 0);
        return FALSE;
      },
      0);
}

// A saved picture that cannot be shown is reported while the window is made,
// before it is shown, with the message its decode gives: a damaged header,
// a file that cannot be read. The controls end as for a picture shown: the
// time controls enabled, the preview empty, nothing left to decode.
TEST(PreviewCreationWin, ASavedPictureWithADamagedHeaderIsReportedWhileTheWindowIsMade) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  const String folder = S(temp) + u"tolvi-creation-" + IntToStr(static_cast<int>(::GetCurrentProcessId()));
  ::CreateDirectoryW(W(folder), nullptr);
  const String locked = folder + u"\\locked.jpg";
  WriteFile(locked, "\xFF\xD8\xFF");
  // Held open without sharing: the file exists but cannot be read.
  const HANDLE hold = ::CreateFileW(W(locked), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(hold, INVALID_HANDLE_VALUE);
  struct TCase {
    String File;
    std::string Bytes;
  } cases[] = {
      {folder + u"\\signature.bmp", "XM" + SolidBmp(8, 8, RGB(0, 0, 255)).substr(2)},
      {folder + u"\\rows.bmp", SolidBmp(40, 20, RGB(0, 255, 0)).substr(0, 70)},
      {folder + u"\\header.png", std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0", 18)},
      {folder + u"\\cut.jpg", std::string("\xFF\xD8\xFF\xC0\0\x0B\x08\x40\0\x40\x01\x01\x01\x11\0", 15)},
      {locked, {}},
  };
  for (const TCase& c : cases) {
    if (!c.Bytes.empty()) WriteFile(c.File, c.Bytes);
    String expected;
    try {
      DecodePictureFile(c.File, {});
    } catch (const Exception& e) {
      expected = e.Message();
    }
    ASSERT_FALSE(expected.empty()) << ToUtf8(c.File);

    RunSettings = TRunSettings{};
    RunSettings.CommandLineGiven = true;
    RunSettings.PictureFile = c.File;
    RunSettings.PictureTime = 5;
    auto app = std::make_unique<TApplication>();
    app->SetTitle(u"Tolvi");
    std::vector<String> later;
    app->OnException = [&](TComponent*, const Exception& e) { later.push_back(e.Message()); };
    auto* form = new TTolviMainForm(app.get());
    gCreating = form;
    gCreationBox = {};
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, ReadAndCloseBox);
    app->CreateForm(form);
    ::KillTimer(nullptr, timer);
    gCreating = nullptr;
    EXPECT_EQ(std::count(gCreationBox.Texts.begin(), gCreationBox.Texts.end(), ErrorReportText(expected)), 1)
        << ToUtf8(c.File) << ": the report's box while the window is made";
    EXPECT_FALSE(gCreationBox.FormVisible);
    form->Show();
    for (int i = 0; i < 20; ++i) {
      Pump();
      ::Sleep(5);
    }
    EXPECT_TRUE(later.empty()) << ToUtf8(c.File) << ": nothing more once it is shown";
    EXPECT_FALSE(form->Image1->Loading());
    EXPECT_TRUE(form->Image1->Picture().Empty());
    EXPECT_TRUE(form->TXTStartTime->Enabled());
    EXPECT_EQ(form->UDStartTime->Position(), 5) << "creation went on after the report";
    app.reset();
    Pump();
    ::DeleteFileW(W(c.File));
  }
  ::CloseHandle(hold);
  ::DeleteFileW(W(locked));
  RunSettings = TRunSettings{};
  ::RemoveDirectoryW(W(folder));
}

}  // namespace

namespace {

// The view asks for its picture again when it is drawn larger than what it
// holds (a move to a higher DPI), never enlarging what it kept.
TEST(ImageLoadWin, ADrawnSizeLargerThanTheLoadedOneDecodesAgain) {
  std::unique_ptr<TApplication> app;
  if (!Application) app = std::make_unique<TApplication>();
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetBounds(50, 50, 200, 150);
  auto* view = new TImage(&form);
  view->SetParent(&form);
  view->SetBounds(0, 0, 80, 45);
  view->SetStretch(true);
  form.Show();
  Pump();
  std::vector<TPictureSize> asked;
  view->LoadPicture(
      [&asked](TPictureSize target) {
        asked.push_back(target);  // one decode at a time: the worker runs them in turn
        TImage32 picture(target.Width, target.Height);
        for (uint32_t& p : picture.Pixels()) p = 0xFF00FF00u;
        return picture;
      },
      nullptr);
  for (int i = 0; i < 2000 && view->Loading(); ++i) {
    Pump();
    ::Sleep(5);
  }
  Pump();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].Width, view->Scale(80));
  EXPECT_EQ(view->Picture().Width(), view->Scale(80));

  view->SetBounds(0, 0, 160, 90);  // drawn twice as large
  Pump();
  for (int i = 0; i < 2000 && view->Loading(); ++i) {
    Pump();
    ::Sleep(5);
  }
  Pump();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1].Width, view->Scale(160));
  EXPECT_EQ(view->Picture().Width(), view->Scale(160));

  view->SetBounds(0, 0, 40, 20);  // smaller: what is kept is resampled down, not decoded again
  Pump();
  EXPECT_FALSE(view->Loading());
  EXPECT_EQ(asked.size(), 2u);
}

}  // namespace
