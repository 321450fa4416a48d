// The picture loader with the kinds Windows decodes, the picture view's
// drawing, and the picture window's modal run, in real windows. The picture
// files are made here with GDI and WIC, in a folder of their own.
#include <gtest/gtest.h>

#include <initguid.h>

#include <objbase.h>
#include <wincodec.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "forms/DispImageWin32.h"
#include "forms/FormsApi.h"
#include "toolkit/pictures/Image.h"


namespace {

// ---- picture files made on the spot ----------------------------------------------

void Put16(std::string& s, uint16_t v) { s.append(reinterpret_cast<const char*>(&v), 2); }
void Put32(std::string& s, uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); }

// An icon file with one 32-bit image per entry, each of one colour (0xAARRGGBB,
// straight alpha).
std::string IconFile(const std::vector<std::pair<int, uint32_t>>& images) {
  std::string out;
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, static_cast<uint16_t>(images.size()));
  std::vector<std::string> bodies;
  for (const auto& [size, argb] : images) {
    std::string body;
    Put32(body, 40);
    Put32(body, size);
    Put32(body, size * 2);  // colour rows, then the mask's
    Put16(body, 1);
    Put16(body, 32);
    Put32(body, BI_RGB);
    for (int i = 0; i < 5; ++i) Put32(body, 0);
    for (int i = 0; i < size * size; ++i) Put32(body, argb);
    body.append(static_cast<size_t>((size + 31) / 32 * 4 * size), '\0');
    bodies.push_back(body);
  }
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    out += static_cast<char>(images[i].first % 256);
    out += static_cast<char>(images[i].first % 256);
    out += '\0';
    out += '\0';
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, static_cast<uint32_t>(bodies[i].size()));
    Put32(out, offset);
    offset += static_cast<uint32_t>(bodies[i].size());
  }
  for (const auto& body : bodies) out += body;
  return out;
}

// An enhanced metafile of 20 × 10 mm whose left half is red; the right half
// is left undrawn.
std::string EmfFile() {
  const RECT frame{0, 0, 2000, 1000};
  const HDC dc = ::CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
  const int width = ::MulDiv(2000, ::GetDeviceCaps(dc, HORZRES), ::GetDeviceCaps(dc, HORZSIZE) * 100);
  const int height = ::MulDiv(1000, ::GetDeviceCaps(dc, VERTRES), ::GetDeviceCaps(dc, VERTSIZE) * 100);
  const HBRUSH red = ::CreateSolidBrush(RGB(255, 0, 0));
  const RECT left{0, 0, width / 2, height};
  ::FillRect(dc, &left, red);
  ::DeleteObject(red);
  const HENHMETAFILE emf = ::CloseEnhMetaFile(dc);
  std::string bytes(::GetEnhMetaFileBits(emf, 0, nullptr), '\0');
  ::GetEnhMetaFileBits(emf, static_cast<UINT>(bytes.size()), reinterpret_cast<BYTE*>(bytes.data()));
  ::DeleteEnhMetaFile(emf);
  return bytes;
}

// A placeable Windows metafile of 100 × 50 units at 96 units an inch whose
// left half is blue.
std::string WmfFile() {
  const HDC dc = ::CreateMetaFileW(nullptr);
  ::SetWindowOrgEx(dc, 0, 0, nullptr);
  ::SetWindowExtEx(dc, 100, 50, nullptr);
  const HBRUSH blue = ::CreateSolidBrush(RGB(0, 0, 255));
  ::SelectObject(dc, blue);
  ::SelectObject(dc, ::GetStockObject(NULL_PEN));
  ::Rectangle(dc, 0, 0, 51, 51);
  const HMETAFILE wmf = ::CloseMetaFile(dc);
  ::DeleteObject(blue);
  std::string records(::GetMetaFileBitsEx(wmf, 0, nullptr), '\0');
  ::GetMetaFileBitsEx(wmf, static_cast<UINT>(records.size()), records.data());
  ::DeleteMetaFile(wmf);
  std::string out;
  Put32(out, 0x9AC6CDD7);
  Put16(out, 0);
  for (uint16_t v : {0, 0, 100, 50}) Put16(out, v);
  Put16(out, 96);
  Put32(out, 0);
  uint16_t sum = 0;
  for (size_t i = 0; i < out.size(); i += 2) sum ^= static_cast<uint16_t>(uint8_t(out[i]) | uint8_t(out[i + 1]) << 8);
  Put16(out, sum);
  return out + records;
}

// A 24-bit TIFF, written by the imaging component: `width` × `height`, the
// left half green and the right half white.
std::string TiffFile(UINT width, UINT height) {
  IWICImagingFactory* factory = nullptr;
  IStream* stream = nullptr;
  IWICBitmapEncoder* encoder = nullptr;
  IWICBitmapFrameEncode* frame = nullptr;
  IPropertyBag2* options = nullptr;
  std::string out;
  if (SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                   reinterpret_cast<void**>(&factory))) &&
      SUCCEEDED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream)) &&
      SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatTiff, nullptr, &encoder)) &&
      SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
      SUCCEEDED(encoder->CreateNewFrame(&frame, &options)) && SUCCEEDED(frame->Initialize(options)) &&
      SUCCEEDED(frame->SetSize(width, height))) {
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    frame->SetPixelFormat(&format);
    const UINT stride = (width * 3 + 3) & ~3u;
    std::vector<BYTE> pixels(static_cast<size_t>(stride) * height, 0xFF);
    for (UINT y = 0; y < height; ++y)
      for (UINT x = 0; x < width / 2; ++x) pixels[y * stride + x * 3] = 0, pixels[y * stride + x * 3 + 2] = 0;
    if (SUCCEEDED(frame->WritePixels(height, stride, static_cast<UINT>(pixels.size()), pixels.data())) &&
        SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit())) {
      HGLOBAL memory = nullptr;
      STATSTG stat{};
      if (SUCCEEDED(::GetHGlobalFromStream(stream, &memory)) && SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) {
        const char* data = static_cast<const char*>(::GlobalLock(memory));
        out.assign(data, static_cast<size_t>(stat.cbSize.QuadPart));
        ::GlobalUnlock(memory);
      }
    }
  }
  for (IUnknown* p : std::initializer_list<IUnknown*>{options, frame, encoder, stream, factory})
    if (p) p->Release();
  return out;
}

// ---- fixtures -----------------------------------------------------------------

// A folder under the temporary one, removed with what it holds.
class TTempFolder {
public:
  TTempFolder() {
    wchar_t base[MAX_PATH];
    ::GetTempPathW(MAX_PATH, base);
    FPath = S(base) + u"tolvi-dispimage-" + IntToStr(::GetCurrentProcessId());
    ::CreateDirectoryW(W(FPath), nullptr);
  }
  ~TTempFolder() {
    for (const String& file : FFiles) ::DeleteFileW(W(file));
    ::RemoveDirectoryW(W(FPath));
  }
  String Path(const String& name) const { return FPath + u"\\" + name; }
  String Write(const String& name, const std::string& bytes) {
    const String path = Path(name);
    const HANDLE file = ::CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    FFiles.push_back(path);
    return path;
  }

private:
  String FPath;
  std::vector<String> FFiles;
};

uint32_t Argb(const TImage32& image, int x, int y) { return image.Pixel(x, y); }

class PictureFilesWin : public testing::Test {
protected:
  std::unique_ptr<TApplication> app;
  TTempFolder folder;
  TImage* view = nullptr;
  HRESULT com = E_FAIL;

  void SetUp() override {
    com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (!Application) app = std::make_unique<TApplication>();
    view = new TImage(nullptr);
    view->SetBounds(0, 0, 40, 20);
    view->SetStretch(true);
  }
  void TearDown() override {
    delete view;
    if (SUCCEEDED(com)) ::CoUninitialize();
  }
  String Error(const String& path) {
    try {
      LoadPictureFile(view, path);
    } catch (const Exception& e) {
      return e.Message();
    }
    return u"(no error)";
  }
};

TEST_F(PictureFilesWin, IconsGiveTheirLargestImageWithItsTransparency) {
  const String path = folder.Write(u"two.ico", IconFile({{16, 0xFF0000FFu}, {32, 0x80FF0000u}, {24, 0xFF00FF00u}}));
  view->SetBounds(0, 0, 64, 64);  // larger than the icon: a picture is kept at no more than its shown size
  LoadPictureFile(view, path);
  const TImage32& picture = view->Picture();
  ASSERT_EQ(picture.Width(), 32);
  ASSERT_EQ(picture.Height(), 32);
  EXPECT_TRUE(picture.HasAlpha());
  const uint32_t pixel = Argb(picture, 5, 5);  // red at half strength, premultiplied
  EXPECT_NEAR(int(pixel >> 24), 0x80, 1);
  EXPECT_NEAR(int((pixel >> 16) & 0xFF), 0x80, 1);
  EXPECT_EQ(pixel & 0xFFFF, 0u);
}

TEST_F(PictureFilesWin, EnhancedMetafilesAreDrawnAtTheViewsSizeWithTheirEmptyPartsClear) {
  const String path = folder.Write(u"half.EMF", EmfFile());
  LoadPictureFile(view, path);
  const TImage32& picture = view->Picture();
  ASSERT_EQ(picture.Width(), 40);
  ASSERT_EQ(picture.Height(), 20);
  EXPECT_EQ(Argb(picture, 4, 10), 0xFFFF0000u);
  EXPECT_EQ(Argb(picture, 36, 10), 0u);
  EXPECT_TRUE(picture.HasAlpha());
}

TEST_F(PictureFilesWin, PlaceableWindowsMetafilesKeepTheSizeTheyRecord) {
  const String path = folder.Write(u"half.wmf", WmfFile());
  const TImage32 own = DecodePictureFile(path, {});
  ASSERT_EQ(own.Width(), 100);
  ASSERT_EQ(own.Height(), 50);
  EXPECT_EQ(Argb(own, 10, 25), 0xFF0000FFu);
  EXPECT_EQ(Argb(own, 90, 25), 0u);
  LoadPictureFile(view, path);
  EXPECT_EQ(view->Picture().Width(), 40);
}

TEST_F(PictureFilesWin, TiffGoesThroughTheImagingComponentWhateverTheCase) {
  const std::string tiff = TiffFile(30, 12);
  ASSERT_FALSE(tiff.empty()) << "no TIFF encoder";
  for (const char16_t* name : {u"scan.tif", u"scan.TIFF", u"scan.Tif"}) {
    LoadPictureFile(view, folder.Write(name, tiff));
    const TImage32& picture = view->Picture();
    ASSERT_EQ(picture.Width(), 30) << ToUtf8(name);
    EXPECT_EQ(picture.Height(), 12);
    EXPECT_EQ(Argb(picture, 2, 6), 0xFF00FF00u);
    EXPECT_EQ(Argb(picture, 27, 6), 0xFFFFFFFFu);
    EXPECT_FALSE(picture.HasAlpha());
  }
}

TEST_F(PictureFilesWin, FailuresLeaveTheViewAsItWas) {
  LoadPictureFile(view, folder.Write(u"good.ico", IconFile({{16, 0xFF123456u}})));
  ASSERT_EQ(view->Picture().Width(), 16);

  EXPECT_EQ(Error(folder.Write(u"anim.Gif", "GIF89a")), u"拡張子 .Gif の画像形式は処理できません");
  // Damaged data of each kind: the decoder's own words.
  const std::pair<const char16_t*, const char16_t*> damaged[] = {
      {u"bad.tif", u"TIFF 画像を読み込めません"},
      {u"bad.ico", u"アイコン 画像を読み込めません"},
      {u"bad.emf", u"拡張メタファイルの形式が正しくありません"},
      {u"bad.wmf", u"メタファイルの形式が正しくありません"},
      {u"bad.jpg", u"JPEG"},
  };
  for (const auto& [name, words] : damaged) {
    const String message = Error(folder.Write(name, std::string(64, '\x5A')));
    EXPECT_NE(message.find(words), String::npos) << ToUtf8(name) << ": " << ToUtf8(message);
  }
  // A tiff that is really a png: the extension has chosen the decoder.
  const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x02\0\0\0\x90wS\xde", 33);
  EXPECT_NE(Error(folder.Write(u"png.tif", png)).find(u"TIFF"), String::npos);
  EXPECT_NE(Error(folder.Path(u"missing.png")).find(u"missing.png"), String::npos);

  EXPECT_EQ(view->Picture().Width(), 16);
  EXPECT_EQ(Argb(view->Picture(), 3, 3), 0xFF123456u);
}

// ---- the view's drawing ----------------------------------------------------------

class ImageViewWin : public testing::Test {
protected:
  std::unique_ptr<TApplication> app;
  TForm* form = nullptr;
  TImage* view = nullptr;

  void SetUp() override {
    if (!Application) app = std::make_unique<TApplication>();
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(50, 50, 120, 90);
    view = new TImage(form);
    view->SetParent(form);
    view->SetBounds(0, 0, 64, 48);
    view->SetColor(RGB(0, 0, 0));
    form->Show();
    ::ShowWindow(form->Handle(), SW_SHOW);
  }
  void TearDown() override { delete form; }

  COLORREF At(int x, int y) {
    ::RedrawWindow(view->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const HDC dc = ::GetDC(view->Handle());
    const COLORREF c = ::GetPixel(dc, x, y);
    ::ReleaseDC(view->Handle(), dc);
    return c;
  }
};

// 1-pixel black and white columns, shrunk to an eighth: averaging gives grey,
// dropping pixels would give pure black or pure white.
TEST_F(ImageViewWin, ShrinkingAveragesInsteadOfDroppingPixels) {
  TImage32 stripes(512, 384);
  for (int y = 0; y < 384; ++y)
    for (int x = 0; x < 512; ++x) stripes.Row(y)[x] = x % 2 ? 0xFFFFFFFFu : 0xFF000000u;
  view->SetStretch(true);
  view->SetPicture(std::move(stripes));
  for (int x : {10, 31, 50}) {
    const COLORREF c = At(x, 20);
    EXPECT_GT(GetRValue(c), 60) << x;
    EXPECT_LT(GetRValue(c), 195) << x;
  }
}

TEST_F(ImageViewWin, StretchedPictureFillsTheViewAndOtherwiseSitsTopLeft) {
  TImage32 red(8, 6);
  for (uint32_t& p : red.Pixels()) p = 0xFFFF0000u;
  view->SetPicture(std::move(red));
  EXPECT_EQ(At(2, 2), RGB(255, 0, 0));
  EXPECT_EQ(At(60, 44), RGB(0, 0, 0)) << "beside an unstretched picture: the view's colour";
  view->SetStretch(true);
  EXPECT_EQ(At(60, 44), RGB(255, 0, 0));
  EXPECT_EQ(view->DrawTarget().Width, view->Scale(64));
}

TEST_F(ImageViewWin, TransparencyIsComposedOverTheViewsColour) {
  TImage32 veil(4, 4);
  for (uint32_t& p : veil.Pixels()) p = 0x80000080u;  // blue at half strength, premultiplied
  veil.SetHasAlpha(true);
  view->SetColor(RGB(200, 0, 0));
  view->SetPicture(std::move(veil));
  const COLORREF c = At(1, 1);
  EXPECT_NEAR(GetRValue(c), 100, 2);
  EXPECT_NEAR(GetBValue(c), 128, 2);
}

// ---- the picture window's modal run --------------------------------------------------

// The real platform, with the taskbar calls and the pauses written down.
struct RecordingFormsApi final : FormsApi, SystemApi {
  FormsApi& real = RealSeam<FormsApi>();
  SystemApi& system = RealSeam<SystemApi>();
  std::vector<std::string> calls;
  TSeamInstall<SystemApi> systemSeam{this};
  RecordingFormsApi() { SetFormsPlatform(this); }
  ~RecordingFormsApi() override { SetFormsPlatform(nullptr); }

  void Sleep(uint32_t ms) override {
    calls.push_back("Sleep(" + std::to_string(ms) + ")");
    system.Sleep(ms);
  }
  uintptr_t FindWindowW(const String& c, const char16_t* n) override { return system.FindWindowW(c, n); }
  uint32_t GetFileAttributesW(const String& f) override { return system.GetFileAttributesW(f); }
  uint32_t GetLastError() override { return system.GetLastError(); }
  uintptr_t FindFirstFileW(const String& f, TFindData& d) override { return system.FindFirstFileW(f, d); }
  int32_t FindClose(uintptr_t h) override { return system.FindClose(h); }
  bool ReadFileBytes(const String& f, uint64_t max, std::string& bytes, uint32_t& error) override {
    return system.ReadFileBytes(f, max, bytes, error);
  }
  String SysErrorMessage(uint32_t error) override { return system.SysErrorMessage(error); }
  int32_t GetVersionExW(TOSVersionInfo& info) override { return system.GetVersionExW(info); }
  int32_t MessageBoxW(uintptr_t owner, const String& text, const String& caption, uint32_t type) override {
    return system.MessageBoxW(owner, text, caption, type);
  }
  int32_t MessageBoxWithOptions(uintptr_t owner, const String& text, const String& caption, uint32_t type,
                                const TMsgBoxOptions& options) override {
    return system.MessageBoxWithOptions(owner, text, caption, type, options);
  }
  int32_t ShowWindow(uintptr_t wnd, int32_t cmd) override {
    calls.push_back(cmd == kSwHide ? "HideTaskbar" : "ShowTaskbar");
    return real.ShowWindow(wnd, cmd);
  }
  int32_t GetSystemMetrics(int32_t i) override { return real.GetSystemMetrics(i); }
};

// Runs `act` once, from the message loop, as soon as `ready` holds.
struct TWhenReady {
  std::function<bool()> ready;
  std::function<void()> act;
  bool done = false;
};
thread_local TWhenReady* tWhen = nullptr;

void CALLBACK WhenReadyTick(HWND, UINT, UINT_PTR, DWORD) {
  if (tWhen && !tWhen->done && tWhen->ready()) {
    tWhen->done = true;
    tWhen->act();
  }
}

class TWhenScope {
public:
  explicit TWhenScope(TWhenReady& when) : FId(::SetTimer(nullptr, 0, 30, WhenReadyTick)) { tWhen = &when; }
  ~TWhenScope() {
    ::KillTimer(nullptr, FId);
    tWhen = nullptr;
  }

private:
  UINT_PTR FId;
};

// The texts of a message box's static controls, joined.
String BoxText(HWND box) {
  String text;
  ::EnumChildWindows(
      box,
      [](HWND wnd, LPARAM out) -> BOOL {
        wchar_t name[16] = {}, buffer[512] = {};
        ::GetClassNameW(wnd, name, 16);
        if (_wcsicmp(name, L"Static") == 0 && ::GetWindowTextW(wnd, buffer, 512) > 0)
          *reinterpret_cast<String*>(out) += S(buffer);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

HWND VisibleBoxOfThisThread() {
  HWND found = nullptr;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND wnd, LPARAM out) -> BOOL {
        wchar_t name[16] = {};
        ::GetClassNameW(wnd, name, 16);
        if (::IsWindowVisible(wnd) && std::wcscmp(name, L"#32770") == 0) {
          *reinterpret_cast<HWND*>(out) = wnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Clears the test's pointer when the window it belongs to is destroyed: the
// window owns it, so it goes with the window.
class TDestroyWatch : public TComponent {
public:
  TDestroyWatch(TComponent* window, TDispImageForm** slot) : TComponent(window), FSlot(slot) {}
  ~TDestroyWatch() override { *FSlot = nullptr; }

private:
  TDispImageForm** FSlot;
};

class PictureWindowWin : public testing::Test {
protected:
  std::unique_ptr<TApplication> app;
  TTempFolder folder;
  RecordingFormsApi api;
  String pictureFile;
  int32_t pictureTime = 1;
  TDispImageForm* form = nullptr;  // while the picture window exists
  int result = mrNone;             // what its last run gave

  void SetUp() override {
    if (!Application) app = std::make_unique<TApplication>();
    pictureFile = folder.Write(u"red.ico", IconFile({{32, 0xFFFF0000u}}));
  }
  void TearDown() override {
    delete form;  // when a test left it
  }
  void Create(std::unique_ptr<TPicturePreload> preload = nullptr) {
    form = new TDispImageForm(Application, pictureFile, pictureTime, std::move(preload));
    new TDestroyWatch(form, &form);
  }
  bool Cancelled() const { return result == kPictureCancelled; }
  // Runs the picture window modally, with `act` done on it once it is active.
  double RunPicture(std::function<void(HWND)> act = nullptr) {
    if (!form) Create();
    TWhenReady when{[this] { return form && form->Active(); },
                    [this, act] { if (act) act(form->Handle()); }};
    TWhenScope scope(when);
    const auto start = std::chrono::steady_clock::now();
    result = form->ShowModal();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  // Handles what is queued, the window's posted destruction among it.
  void Drain() {
    for (int i = 0; i < 20 && form; ++i) {
      Application->ProcessMessages();
      ::Sleep(10);
    }
  }
};

TEST_F(PictureWindowWin, CoversTheScreenAboveEverythingAndClosesOnTheTimer) {
  RECT shown{};
  DWORD style = 0, exStyle = 0;
  const double seconds = RunPicture([&](HWND wnd) {
    ::GetWindowRect(wnd, &shown);
    style = static_cast<DWORD>(::GetWindowLongW(wnd, GWL_STYLE));
    exStyle = static_cast<DWORD>(::GetWindowLongW(wnd, GWL_EXSTYLE));
  });
  EXPECT_EQ(shown.left, 0);
  EXPECT_EQ(shown.top, 0);
  EXPECT_EQ(shown.right, ::GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(shown.bottom, ::GetSystemMetrics(SM_CYSCREEN));
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU));
  EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
  // No main window owns it here, as in a run from the command line: a tool
  // window, so that it gets no taskbar button of its own.
  EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
  EXPECT_EQ(form->Image1->Picture().Width(), 32);
  // One second from activation, then the half-second pause.
  EXPECT_GE(seconds, 1.4);
  EXPECT_LT(seconds, 4.0);
  EXPECT_FALSE(Cancelled());
  EXPECT_EQ(api.calls, (std::vector<std::string>{"HideTaskbar", "ShowTaskbar", "Sleep(500)"}));
  EXPECT_FALSE(::IsWindowVisible(form->Handle()));
  Drain();
  EXPECT_EQ(form, nullptr) << "the window did not destroy itself after its run";
}

TEST_F(PictureWindowWin, EscapeCancelsAndEnterGoesOnAtOnce) {
  pictureTime = 30;
  const struct {
    WORD key;
    bool cancel;
  } cases[] = {{VK_ESCAPE, true}, {VK_RETURN, false}};
  for (const auto& c : cases) {
    api.calls.clear();
    const double seconds = RunPicture([&](HWND wnd) {
      ::PostMessageW(::GetFocus() ? ::GetFocus() : wnd, WM_KEYDOWN, c.key, 1);
    });
    EXPECT_LT(seconds, 5.0) << c.key;
    EXPECT_EQ(Cancelled(), c.cancel) << c.key;
    EXPECT_EQ(api.calls, (std::vector<std::string>{"HideTaskbar", "ShowTaskbar", "Sleep(500)"})) << c.key;
    Drain();
    EXPECT_EQ(form, nullptr);
  }
}

TEST_F(PictureWindowWin, MouseButtonsOnThePicture) {
  pictureTime = 30;
  const struct {
    UINT down;
    bool cancel;
  } cases[] = {{WM_RBUTTONDOWN, true}, {WM_LBUTTONDOWN, false}};
  for (const auto& c : cases) {
    RunPicture([&](HWND) {
      const HWND image = form->Image1->Handle();
      // The middle button only brings the taskbar back.
      ::PostMessageW(image, WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(100, 100));
      ::PostMessageW(image, c.down, 0, MAKELPARAM(100, 100));
    });
    EXPECT_EQ(Cancelled(), c.cancel);
    Drain();
  }
}

TEST_F(PictureWindowWin, ADamagedPictureIsReportedAndTheBlackWindowStillTakesItsTime) {
  pictureFile = folder.Write(u"broken.png", "\x89PNG\r\n\x1a\n broken");
  String reported;
  TWhenReady box{[] { return VisibleBoxOfThisThread() != nullptr; },
                 [&] {
                   const HWND wnd = VisibleBoxOfThisThread();
                   reported = BoxText(wnd);
                   ::PostMessageW(wnd, WM_COMMAND, IDOK, 0);
                 }};
  {
    TWhenScope scope(box);
    Create();
  }
  ASSERT_TRUE(box.done) << "no error box";
  EXPECT_FALSE(reported.empty());
  EXPECT_EQ(reported.find(u"拡張子"), String::npos) << ToUtf8(reported);
  EXPECT_TRUE(form->Image1->Picture().Empty());
  const double seconds = RunPicture();
  EXPECT_GE(seconds, 1.4);
  EXPECT_FALSE(Cancelled());
}

TEST_F(PictureWindowWin, TheTaskbarComesBackWhenTheWindowIsDestroyedUnexpectedly) {
  Create();
  form->Show();
  ::SetForegroundWindow(form->Handle());
  for (int i = 0; i < 50 && !form->Active(); ++i) {
    Application->ProcessMessages();
    ::Sleep(10);
  }
  ASSERT_EQ(api.calls, std::vector<std::string>{"HideTaskbar"});
  delete form;
  EXPECT_EQ(api.calls, (std::vector<std::string>{"HideTaskbar", "ShowTaskbar"}));
  EXPECT_EQ(form, nullptr);
}


TEST_F(PictureWindowWin, TakesThePictureDecodedAheadForItsFileAndSizeOnly) {
  const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN), screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
  auto ahead = [](String file, TPictureSize target) {
    return std::make_unique<TPicturePreload>(std::move(file), target, [] { return TImage32(7, 5); });
  };
  // The screen's size is the size the window draws at: the preload is taken.
  Create(ahead(pictureFile, {screenWidth, screenHeight}));
  EXPECT_EQ(form->Image1->Picture().Width(), 7);
  delete form;
  // Another size or another file: the window decodes the file itself.
  Create(ahead(pictureFile, {screenWidth / 2, screenHeight}));
  EXPECT_EQ(form->Image1->Picture().Width(), 32);
  delete form;
  Create(ahead(u"C:\\other.ico", {screenWidth, screenHeight}));
  EXPECT_EQ(form->Image1->Picture().Width(), 32);
  delete form;
}

TEST_F(PictureWindowWin, AnErrorOfTheDecodeAheadIsReportedWhereTheWindowLoads) {
  String reported;
  TWhenReady box{[] { return VisibleBoxOfThisThread() != nullptr; },
                 [&] {
                   const HWND wnd = VisibleBoxOfThisThread();
                   reported = BoxText(wnd);
                   ::PostMessageW(wnd, WM_COMMAND, IDOK, 0);
                 }};
  {
    TWhenScope scope(box);
    Create(std::make_unique<TPicturePreload>(
        pictureFile, TPictureSize{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)},
        []() -> TImage32 { throw Exception(u"Premature end of JPEG file"); }));
  }
  ASSERT_TRUE(box.done) << "no error box";
  EXPECT_NE(reported.find(u"Premature end of JPEG file"), String::npos) << ToUtf8(reported);
  EXPECT_TRUE(form->Image1->Picture().Empty());
  delete form;
}

}  // namespace
