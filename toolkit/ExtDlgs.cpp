#include "toolkit/ExtDlgs.h"

#include <algorithm>
#include <vector>

#include <commdlg.h>
#include <dlgs.h>

namespace {

constexpr int kPreviewId = 0x5101;

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
      ShowPreview(String());
      break;
    case WM_DESTROY:
      FPreview = nullptr;
      FImage = TImage32();
      FPreviewText.clear();
      break;
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

void TOpenPictureDialog::ShowPreview(const String& fileName) {
  FImage = TImage32();
  FPreviewText.clear();
  const DWORD attributes = fileName.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(W(fileName));
  if (FLoader && attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    RECT r{};
    if (FPreview) ::GetClientRect(FPreview, &r);
    try {
      FImage = FLoader(fileName, TPictureSize{std::max<int>(1, r.right), std::max<int>(1, r.bottom)});
    } catch (...) {
      // A file that is no picture, or a damaged one: the pane stays blank.
      FImage = TImage32();
    }
    if (!FImage.Empty())
      FPreviewText = IntToStr(FImage.Width()) + u" × " + IntToStr(FImage.Height());
  }
  if (FPreview) ::InvalidateRect(FPreview, nullptr, TRUE);
}

void TOpenPictureDialog::DrawPreview(const DRAWITEMSTRUCT& item) {
  const HDC dc = item.hDC;
  RECT r = item.rcItem;
  TBrushHandle back(::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE)));
  ::FillRect(dc, &r, back.Get());
  ::DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
  ::InflateRect(&r, -::GetSystemMetrics(SM_CXEDGE) - 2, -::GetSystemMetrics(SM_CYEDGE) - 2);
  // A line of text at the bottom: the size in pixels.
  TSelectObject font(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(::GetParent(item.hwndItem), WM_GETFONT, 0, 0)));
  TEXTMETRICW tm{};
  ::GetTextMetricsW(dc, &tm);
  RECT text{r.left, r.bottom - tm.tmHeight, r.right, r.bottom};
  r.bottom = text.top - 2;
  if (FImage.Empty() || r.right <= r.left || r.bottom <= r.top) return;
  // Shrunk to fit (never enlarged), aspect ratio kept, centred.
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
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = FImage.Width();
  bi.bmiHeader.biHeight = -FImage.Height();  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  ::SetStretchBltMode(dc, HALFTONE);
  ::SetBrushOrgEx(dc, 0, 0, nullptr);
  ::StretchDIBits(dc, x, y, w, h, 0, 0, FImage.Width(), FImage.Height(), FImage.Row(0), &bi, DIB_RGB_COLORS,
                  SRCCOPY);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
  ::DrawTextW(dc, W(FPreviewText), -1, &text, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
}
