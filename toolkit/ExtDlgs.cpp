#include "toolkit/ExtDlgs.h"

#include <algorithm>
#include <vector>

#include <commdlg.h>
#include <dlgs.h>

#include "toolkit/pictures/Alpha.h"

namespace {

constexpr int kPreviewId = 0x5101;
// Posted to the hook dialog by the worker: the preview of generation WParam is done.
constexpr UINT kPreviewReady = WM_APP + 0x3F11;

// Where the picture goes in the pane: inside its sunken edge, above the line
// of text that gives the size.
RECT PictureArea(HWND pane, HDC dc, RECT r, RECT* text) {
  ::InflateRect(&r, -::GetSystemMetrics(SM_CXEDGE) - 2, -::GetSystemMetrics(SM_CYEDGE) - 2);
  TSelectObject font(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(::GetParent(pane), WM_GETFONT, 0, 0)));
  TEXTMETRICW tm{};
  ::GetTextMetricsW(dc, &tm);
  if (text) *text = RECT{r.left, r.bottom - tm.tmHeight, r.right, r.bottom};
  r.bottom -= tm.tmHeight + 2;
  return r;
}

// The window that dialogs belong to when no owner is given.
HWND DefaultOwner() {
  const HWND active = ::GetActiveWindow();
  return active ? active : nullptr;
}

}  // namespace

// ---- TOpenDialog ------------------------------------------------------------------

TOpenDialog::TOpenDialog(TComponent* owner) : TComponent(owner) {}

bool TOpenDialog::Execute(HWND owner) {
  // "a|b|c|d" → "a\0b\0c\0d\0\0"
  String filter = FFilter;
  std::replace(filter.begin(), filter.end(), u'|', u'\0');
  filter.append(2, u'\0');
  std::vector<wchar_t> buffer(32768, L'\0');
  std::copy_n(FFileName.begin(), std::min(FFileName.size(), buffer.size() - 1),
              reinterpret_cast<char16_t*>(buffer.data()));

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner ? owner : DefaultOwner();
  ofn.lpstrFilter = FFilter.empty() ? nullptr : W(filter);
  ofn.nFilterIndex = static_cast<DWORD>(std::max(1, FFilterIndex));
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrInitialDir = FInitialDir.empty() ? nullptr : W(FInitialDir);
  ofn.lpstrTitle = FTitle.empty() ? nullptr : W(FTitle);
  ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_NOCHANGEDIR;
  if (FOptions & ofHideReadOnly) ofn.Flags |= OFN_HIDEREADONLY;
  if (FOptions & ofPathMustExist) ofn.Flags |= OFN_PATHMUSTEXIST;
  if (FOptions & ofFileMustExist) ofn.Flags |= OFN_FILEMUSTEXIST;
  if (FOptions & ofEnableSizing) ofn.Flags |= OFN_ENABLESIZING;
  ofn.lpfnHook = HookProc;
  ofn.lCustData = reinterpret_cast<LPARAM>(this);
  if (const void* custom = CustomTemplate()) {
    ofn.Flags |= OFN_ENABLETEMPLATEHANDLE;
    ofn.hInstance = reinterpret_cast<HINSTANCE>(const_cast<void*>(custom));
  }
  using TGetOpenFileName = BOOL(WINAPI*)(OPENFILENAMEW*);
  static const auto getOpenFileName = SystemFunction<TGetOpenFileName>(L"comdlg32.dll", "GetOpenFileNameW");
  using TExtendedError = DWORD(WINAPI*)();
  static const auto extendedError = SystemFunction<TExtendedError>(L"comdlg32.dll", "CommDlgExtendedError");
  if (!getOpenFileName || !extendedError) throw Exception(u"ファイルを開くダイアログを表示できません (comdlg32.dll)。");
  const BOOL chosen = getOpenFileName(&ofn);
  FDialog = nullptr;
  if (chosen) {
    FFileName = S(buffer.data());
    FFilterIndex = static_cast<int>(ofn.nFilterIndex);
    return true;
  }
  if (const DWORD error = extendedError())
    throw Exception(u"ファイルを開くダイアログを表示できません (" + IntToStr(static_cast<int>(error)) + u")。");
  return false;
}

UINT_PTR CALLBACK TOpenDialog::HookProc(HWND hook, UINT msg, WPARAM wparam, LPARAM lparam) {
  // The same barrier as every window procedure of the toolkit.
  try {
    if (msg == WM_INITDIALOG) {
      auto* self = reinterpret_cast<TOpenDialog*>(reinterpret_cast<OPENFILENAMEW*>(lparam)->lCustData);
      ::SetWindowLongPtrW(hook, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
      self->FDialog = ::GetParent(hook);
    }
    auto* self = reinterpret_cast<TOpenDialog*>(::GetWindowLongPtrW(hook, DWLP_USER));
    return self ? self->HookMessage(hook, msg, wparam, lparam) : 0;
  } catch (...) {
    ApplicationHandleException();
    return 0;
  }
}

UINT_PTR TOpenDialog::HookMessage(HWND, UINT msg, WPARAM, LPARAM lparam) {
  if (msg == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lparam)->code == CDN_INITDONE && OnShow) OnShow(this);
  return 0;
}

// ---- TOpenPictureDialog -------------------------------------------------------------

TOpenPictureDialog::TOpenPictureDialog(TComponent* owner) : TOpenDialog(owner) {}

// The standard controls go where "stc32" is; the pane sits to its right and
// moves with it.
const void* TOpenPictureDialog::CustomTemplate() {
  if (!FTemplate.empty()) return FTemplate.data();
  std::vector<WORD> t;
  auto dword = [&](DWORD v) {
    t.push_back(LOWORD(v));
    t.push_back(HIWORD(v));
  };
  auto align = [&] {
    if (t.size() % 2) t.push_back(0);
  };
  auto item = [&](DWORD style, short x, short y, short cx, short cy, WORD id) {
    align();
    dword(style);
    dword(0);  // extended style
    for (short v : {x, y, cx, cy}) t.push_back(static_cast<WORD>(v));
    t.push_back(id);
    t.push_back(0xFFFF);
    t.push_back(0x0082);  // the STATIC class
    t.push_back(0);       // no text
    t.push_back(0);       // no creation data
  };
  dword(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | DS_3DLOOK | DS_CONTROL);
  dword(0);
  t.push_back(2);  // items
  for (short v : {0, 0, 330, 160}) t.push_back(static_cast<WORD>(v));
  t.push_back(0);  // menu
  t.push_back(0);  // class
  t.push_back(0);  // title
  item(WS_CHILD | SS_LEFT, 0, 0, 200, 150, stc32);
  item(WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 206, 16, 120, 130, kPreviewId);
  align();
  FTemplate.assign((t.size() + 1) / 2, 0);
  std::copy(t.begin(), t.end(), reinterpret_cast<WORD*>(FTemplate.data()));
  return FTemplate.data();
}

UINT_PTR TOpenPictureDialog::HookMessage(HWND hook, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_INITDIALOG:
      FPreview = ::GetDlgItem(hook, kPreviewId);
      FWorker.SetReady([hook](uint64_t generation) { ::PostMessageW(hook, kPreviewReady, generation, 0); });
      ShowPreview(String());
      break;
    case WM_DESTROY:
      // Nothing more is posted to the dialog; a decode under way ends on its own.
      FWorker.SetReady(nullptr);
      FWorker.Cancel();
      FPreview = nullptr;
      FImage = TImage32();
      FPreviewText.clear();
      break;
    case kPreviewReady:
      PreviewReady(static_cast<uint64_t>(wparam));
      return TRUE;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item->CtlID != kPreviewId) break;
      DrawPreview(*item);
      ::SetWindowLongPtrW(hook, DWLP_MSGRESULT, TRUE);
      return TRUE;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->code == CDN_SELCHANGE) {
        wchar_t path[MAX_PATH * 4] = {};
        const LRESULT n = ::SendMessageW(::GetParent(hook), CDM_GETFILEPATH, MAX_PATH * 4, reinterpret_cast<LPARAM>(path));
        ShowPreview(n > 0 ? S(path) : String());
      } else if (header->code == CDN_FOLDERCHANGE) {
        ShowPreview(String());
      }
      break;
    }
    default:
      break;
  }
  return TOpenDialog::HookMessage(hook, msg, wparam, lparam);
}

// The file is not looked at here: a folder, a missing file or a drive that
// does not answer fails or waits on the worker, never in the dialog.
void TOpenPictureDialog::ShowPreview(const String& fileName) {
  FImage = TImage32();
  FPreviewText.clear();
  if (FLoader && !fileName.empty()) {
    TPictureSize target{1, 1, true};
    if (FPreview) {
      RECT client{};
      ::GetClientRect(FPreview, &client);
      const HDC dc = ::GetDC(FPreview);
      const RECT area = PictureArea(FPreview, dc, client, nullptr);
      ::ReleaseDC(FPreview, dc);
      target.Width = std::max<int>(1, area.right - area.left);
      target.Height = std::max<int>(1, area.bottom - area.top);
    }
    FWorker.Start([loader = FLoader, fileName, target] { return loader(fileName, target); });
  } else {
    FWorker.Cancel();
  }
  if (FPreview) ::InvalidateRect(FPreview, nullptr, TRUE);
}

void TOpenPictureDialog::PreviewReady(uint64_t generation) {
  TImage32 picture;
  std::exception_ptr error;
  if (!FWorker.Take(generation, picture, error)) return;  // superseded
  // A file that is no picture, or a damaged one: the pane stays blank.
  if (error || picture.Empty()) return;
  FImage = std::move(picture);
  FPreviewText = IntToStr(FImage.SourceWidth()) + u" × " + IntToStr(FImage.SourceHeight());
  if (FPreview) ::InvalidateRect(FPreview, nullptr, TRUE);
}

void TOpenPictureDialog::DrawPreview(const DRAWITEMSTRUCT& item) {
  const HDC dc = item.hDC;
  const COLORREF background = ::GetSysColor(COLOR_BTNFACE);
  RECT client = item.rcItem;
  TBrushHandle back(::CreateSolidBrush(background));
  ::FillRect(dc, &client, back.Get());
  ::DrawEdge(dc, &client, EDGE_SUNKEN, BF_RECT);
  RECT text{};
  const RECT r = PictureArea(item.hwndItem, dc, client, &text);
  if (FImage.Empty() || r.right <= r.left || r.bottom <= r.top) return;
  // Shrunk to fit (never enlarged), aspect ratio kept, centred. The worker
  // decoded it for this area, so it is normally drawn as it is.
  const int areaW = r.right - r.left, areaH = r.bottom - r.top;
  int w = FImage.Width(), h = FImage.Height();
  if (w > areaW || h > areaH) {
    if (static_cast<int64_t>(w) * areaH > static_cast<int64_t>(h) * areaW) {
      h = std::max(1, static_cast<int>(static_cast<int64_t>(h) * areaW / w));
      w = areaW;
    } else {
      w = std::max(1, static_cast<int>(static_cast<int64_t>(w) * areaH / h));
      h = areaH;
    }
  }
  const int x = r.left + (areaW - w) / 2, y = r.top + (areaH - h) / 2;
  // Transparent parts show the pane's own colour.
  const std::vector<uint32_t> pixels =
      FImage.HasAlpha() ? ComposedOver(FImage, GetRValue(background), GetGValue(background), GetBValue(background))
                        : std::vector<uint32_t>();
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = FImage.Width();
  bi.bmiHeader.biHeight = -FImage.Height();  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  ::SetStretchBltMode(dc, HALFTONE);
  ::SetBrushOrgEx(dc, 0, 0, nullptr);
  ::StretchDIBits(dc, x, y, w, h, 0, 0, FImage.Width(), FImage.Height(), pixels.empty() ? FImage.Row(0) : pixels.data(),
                  &bi, DIB_RGB_COLORS, SRCCOPY);
  TSelectObject font(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(::GetParent(item.hwndItem), WM_GETFONT, 0, 0)));
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
  ::DrawTextW(dc, W(FPreviewText), -1, &text, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
}
