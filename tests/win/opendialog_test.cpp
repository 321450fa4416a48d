// The open-file dialog on the system's real dialog: a name typed and read
// back, and the picture variant's preview pane.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/ExtDlgs.h"
#include "toolkit/pictures/PictureFormats.h"
#include "toolkit/Forms.h"
#include "WindowPicture.h"
#include "TestFiles.h"

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

namespace {

class OpenDialogWin : public testing::Test {
protected:
  std::unique_ptr<TApplication> app;
  TForm* form = nullptr;
  String folder;
  std::vector<String> errors;

  void SetUp() override {
    app = std::make_unique<TApplication>();
    app->OnException = [this](TComponent*, const Exception& e) { errors.push_back(e.Message()); };
    form = new TForm(app.get());
    app->CreateForm(form);
    form->Show();
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    folder = S(temp) + u"tolvi-open-" + IntToStr(static_cast<int>(::GetCurrentProcessId()));
    ::CreateDirectoryW(W(folder), nullptr);
    WriteFile(folder + u"\\red.bmp", SolidBmp(40, 20, RGB(255, 0, 0)));
    WriteFile(folder + u"\\broken.bmp", SolidBmp(40, 20, RGB(255, 0, 0)).substr(0, 70));
    WriteFile(folder + u"\\notes.txt", "not a picture");
  }
  void TearDown() override {
    for (const char16_t* name : {u"\\red.bmp", u"\\broken.bmp", u"\\notes.txt"}) ::DeleteFileW(W(folder + name));
    ::RemoveDirectoryW(W(folder));
    app.reset();
  }
  // Handles the dialog's messages until the preview's decode has arrived.
  static void Settle(TOpenPictureDialog& dialog) {
    for (int i = 0; i < 1000; ++i) {
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
      if (!dialog.PreviewLoading()) break;
      ::Sleep(5);
    }
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  }
  // Runs `step` from the dialog's own message loop, once it is up.
  void WhenShown(TOpenDialog& dialog, std::function<void(HWND)> step) {
    auto* timer = new TTimer(form);
    timer->SetInterval(100);
    timer->SetOnTimer([&dialog, timer, step](TComponent*) {
      if (!dialog.DialogWindow() || !::IsWindowVisible(dialog.DialogWindow())) return;
      timer->SetEnabled(false);
      step(dialog.DialogWindow());
    });
  }
};

TEST_F(OpenDialogWin, ANameTypedInTheInitialFolderIsReadBackAsAFullPath) {
  TOpenDialog dialog(form);
  dialog.SetFilter(u"画像ファイル|*.bmp;*.png|すべて|*.*");
  dialog.SetInitialDir(folder);
  dialog.SetOptions(ofHideReadOnly | ofPathMustExist | ofFileMustExist | ofEnableSizing);
  String shownFolder;
  bool readOnlyShown = true;
  WhenShown(dialog, [&](HWND dlg) {
    wchar_t path[MAX_PATH] = {};
    ::SendMessageW(dlg, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(path));
    shownFolder = S(path);
    const HWND readOnly = ::GetDlgItem(dlg, chx1);
    readOnlyShown = readOnly && ::IsWindowVisible(readOnly);
    ::SendMessageW(dlg, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>(L"red.bmp"));
    ::SendMessageW(dlg, CDM_SETCONTROLTEXT, edt1, reinterpret_cast<LPARAM>(L"red.bmp"));
    ::PostMessageW(dlg, WM_COMMAND, IDOK, 0);
  });
  ASSERT_TRUE(dialog.Execute(form->Handle()));
  EXPECT_TRUE(SameText(dialog.FileName(), folder + u"\\red.bmp")) << ToUtf8(dialog.FileName());
  EXPECT_TRUE(SameText(shownFolder, folder)) << ToUtf8(shownFolder);
  EXPECT_FALSE(readOnlyShown);
  EXPECT_TRUE(errors.empty());
}

TEST_F(OpenDialogWin, CancelChoosesNothing) {
  TOpenDialog dialog(form);
  dialog.SetFileName(u"kept.bmp");
  WhenShown(dialog, [](HWND dlg) { ::PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0); });
  EXPECT_FALSE(dialog.Execute(form->Handle()));
  EXPECT_EQ(dialog.FileName(), u"kept.bmp");
}

TEST_F(OpenDialogWin, ThePreviewShowsThePictureAndStaysBlankForADamagedFile) {
  TOpenPictureDialog dialog(form);
  dialog.SetInitialDir(folder);
  dialog.SetFilter(u"画像ファイル|*.bmp");
  std::vector<String> loaded;
  dialog.SetLoader([&](const String& name, TPictureSize target) {
    loaded.push_back(name);
    std::string bytes;
    uint32_t error = 0;
    if (!ReadWholeFile(name, 1 << 20, bytes, error)) throw Exception(u"読めません");
    return DecodePicture(bytes, u"bmp", target);
  });
  struct Seen { String text; int red = 0; };
  std::vector<Seen> seen;
  auto look = [&](TOpenPictureDialog& d) {
    ::UpdateWindow(d.PreviewWindow());
    RECT r{};
    ::GetClientRect(d.PreviewWindow(), &r);
    const HDC dc = ::GetDC(d.PreviewWindow());
    int red = 0;
    for (int y = 0; y < r.bottom; ++y)
      for (int x = 0; x < r.right; ++x) red += ::GetPixel(dc, x, y) == RGB(255, 0, 0);
    ::ReleaseDC(d.PreviewWindow(), dc);
    seen.push_back({d.PreviewText(), red});
  };
  WhenShown(dialog, [&](HWND dlg) {
    ASSERT_TRUE(dialog.PreviewWindow());
    dialog.ShowPreview(folder + u"\\red.bmp");
    Settle(dialog);
    look(dialog);
    dialog.ShowPreview(folder + u"\\broken.bmp");
    Settle(dialog);
    look(dialog);
    dialog.ShowPreview(folder);  // a folder: the loader fails on it, on the worker
    Settle(dialog);
    look(dialog);
    // A selection in the list previews by itself.
    HWND list = ::FindWindowExW(::FindWindowExW(dlg, nullptr, L"SHELLDLL_DefView", nullptr), nullptr,
                                L"SysListView32", nullptr);
    if (list) {
      LVFINDINFOW find{};
      find.flags = LVFI_STRING;
      find.psz = L"red.bmp";
      const int index = static_cast<int>(::SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1),
                                                        reinterpret_cast<LPARAM>(&find)));
      LVITEMW item{};
      item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
      if (index >= 0) ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
      for (int i = 0; i < 20; ++i) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::Sleep(10);
      }
      Settle(dialog);
      look(dialog);
    }
    if (const char* shots = std::getenv("TOLVI_SHOTS")) KeepPicture(dlg, shots, "open-picture-dialog");
    ::PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(dialog.Execute(form->Handle()));
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[0].text, u"40 × 20");
  EXPECT_GT(seen[0].red, 200);  // drawn whole: 40 × 20 fits the pane
  EXPECT_EQ(seen[1].text, u"");
  EXPECT_EQ(seen[1].red, 0);
  EXPECT_EQ(seen[2].red, 0);
  ASSERT_EQ(seen.size(), 4u) << "the dialog's file list was not found";
  EXPECT_EQ(seen[3].text, u"40 × 20");
  EXPECT_TRUE(errors.empty());  // browsing reports nothing
  // Every name goes to the loader on the worker, a folder's too (the dialog
  // names its folder when nothing is selected), which fails there.
  auto at = [&](const String& name) { return std::find(loaded.begin(), loaded.end(), name) - loaded.begin(); };
  EXPECT_LT(at(folder + u"\\red.bmp"), at(folder + u"\\broken.bmp"));
  EXPECT_LT(at(folder + u"\\broken.bmp"), static_cast<ptrdiff_t>(loaded.size()));
  EXPECT_LT(at(folder), static_cast<ptrdiff_t>(loaded.size()));
}

// A decode that waits at a gate stands for a large picture or a slow drive.
TEST_F(OpenDialogWin, ThePreviewNeverBlocksTheDialogAndTheNewestSelectionWins) {
  TOpenPictureDialog dialog(form);
  dialog.SetInitialDir(folder);
  dialog.SetFilter(u"画像ファイル|*.bmp");
  const HANDLE gate = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  dialog.SetLoader([gate](const String& name, TPictureSize target) {
    if (name.ends_with(u"slow.bmp")) ::WaitForSingleObject(gate, INFINITE);
    std::string bytes;
    uint32_t error = 0;
    if (!ReadWholeFile(name, 1 << 20, bytes, error)) throw Exception(u"読めません");
    return DecodePicture(bytes, u"bmp", target);
  });
  WriteFile(folder + u"\\slow.bmp", SolidBmp(40, 20, RGB(0, 0, 255)));
  bool loadingAtOnce = false;
  String textWhileLoading = u"?";
  String textAfter;
  COLORREF centre = 0;
  WhenShown(dialog, [&](HWND dlg) {
    dialog.ShowPreview(folder + u"\\slow.bmp");
    loadingAtOnce = dialog.PreviewLoading();  // back at once, the decode held at the gate
    textWhileLoading = dialog.PreviewText();
    dialog.ShowPreview(folder + u"\\red.bmp");  // supersedes it
    ::SetEvent(gate);
    Settle(dialog);
    textAfter = dialog.PreviewText();
    ::UpdateWindow(dialog.PreviewWindow());
    RECT r{};
    ::GetClientRect(dialog.PreviewWindow(), &r);
    const HDC dc = ::GetDC(dialog.PreviewWindow());
    centre = ::GetPixel(dc, r.right / 2, r.bottom / 2 - 8);
    ::ReleaseDC(dialog.PreviewWindow(), dc);
    ::PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(dialog.Execute(form->Handle()));
  ::CloseHandle(gate);
  ::DeleteFileW(W(folder + u"\\slow.bmp"));
  EXPECT_TRUE(loadingAtOnce);
  EXPECT_EQ(textWhileLoading, u"");
  EXPECT_EQ(textAfter, u"40 × 20");
  EXPECT_EQ(centre, RGB(255, 0, 0)) << "the newer selection's picture, never the older one's";
}

TEST_F(OpenDialogWin, TransparentPicturesShowThePanesOwnColour) {
  TOpenPictureDialog dialog(form);
  dialog.SetInitialDir(folder);
  dialog.SetFilter(u"画像ファイル|*.bmp");
  dialog.SetLoader([](const String&, TPictureSize) {
    TImage32 clear(40, 20);  // transparent black, premultiplied
    for (int x = 0; x < 20; ++x) clear.Row(10)[x] = 0xFFFF0000u;  // one opaque red half-row
    clear.SetHasAlpha(true);
    return clear;
  });
  COLORREF clearPixel = 0, redPixel = 0;
  int redRow = -1;
  WhenShown(dialog, [&](HWND dlg) {
    dialog.ShowPreview(folder + u"\\red.bmp");
    Settle(dialog);
    ::UpdateWindow(dialog.PreviewWindow());
    RECT r{};
    ::GetClientRect(dialog.PreviewWindow(), &r);
    const HDC dc = ::GetDC(dialog.PreviewWindow());
    // The picture is centred: find its red row, then look beside it.
    for (int y = 0; y < r.bottom && redRow < 0; ++y)
      if (::GetPixel(dc, r.right / 2 - 10, y) == RGB(255, 0, 0)) redRow = y;
    if (redRow >= 0) {
      redPixel = ::GetPixel(dc, r.right / 2 - 10, redRow);
      clearPixel = ::GetPixel(dc, r.right / 2 - 10, redRow - 5);
    }
    ::ReleaseDC(dialog.PreviewWindow(), dc);
    ::PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(dialog.Execute(form->Handle()));
  ASSERT_GE(redRow, 0) << "the picture was not drawn";
  EXPECT_EQ(redPixel, RGB(255, 0, 0));
  EXPECT_EQ(clearPixel, ::GetSysColor(COLOR_BTNFACE)) << "transparent parts over the pane's colour, not black";
}

}  // namespace
