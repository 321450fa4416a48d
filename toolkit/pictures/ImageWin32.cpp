#include "toolkit/pictures/Image.h"

#include <new>
#include <vector>

#include "toolkit/pictures/Alpha.h"
#include "toolkit/pictures/Resize.h"

TImage::TImage(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 105, 105); }

void TImage::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WinClassName = u"Tolvi.Image";
}

void TImage::SetStretch(bool value) {
  if (value == FStretch) return;
  FStretch = value;
  DropRendered();
  Invalidate();
}

void TImage::SetPicture(TImage32 picture) {
  FWorker.Cancel();
  FLoadQueued = false;
  FDecode = FShownDecode = nullptr;
  FFailed = FShownFailed = nullptr;
  FPicture = std::move(picture);
  DropRendered();
  Invalidate();
}

void TImage::LoadPicture(TSizedDecode decode, TLoadFailed failed, TSizedCheck check) {
  if (check) {
    try {
      check(DrawTarget());
    } catch (...) {
      // As a decode that failed would: the newer choice still supersedes the
      // older load, whose picture never arrives, and nothing else changes.
      FWorker.Cancel();
      FLoadQueued = false;
      FDecode = FShownDecode;
      FFailed = FShownFailed;
      FLoadedFor = FShownFor;
      throw;
    }
  }
  FDecode = std::move(decode);
  FFailed = std::move(failed);
  QueueLoad();
}

namespace {
// The one-shot timer that starts a queued load. A timer's message comes
// only when no other message and no paint is waiting: the window being made
// has been shown and drawn by then.
constexpr UINT_PTR kStartLoadTimer = 1;
}  // namespace

// The older load is superseded now; the new one starts from the message
// loop once it is idle, or once there is a window for the timer.
void TImage::QueueLoad() {
  FWorker.Cancel();
  FLoadQueued = true;
  if (HandleAllocated()) ::SetTimer(Handle(), kStartLoadTimer, USER_TIMER_MINIMUM, nullptr);
}

void TImage::StartLoad() {
  FLoadQueued = false;
  FLoadedFor = DrawTarget();
  FWorker.Start([decode = FDecode, target = FLoadedFor] { return decode(target); });
}

// The worker posts to the window it has; a result that came before the
// window was made is announced once it is.
void TImage::CreateHandleDone() {
  TWinControl::CreateHandleDone();
  const HWND wnd = Handle();
  FWorker.SetReady([wnd](uint64_t generation) { ::PostMessageW(wnd, CM_PICTUREREADY, generation, 0); });
  if (FLoadQueued) ::SetTimer(wnd, kStartLoadTimer, USER_TIMER_MINIMUM, nullptr);
}

void TImage::HandleDestroyed() {
  FWorker.SetReady(nullptr);
  TWinControl::HandleDestroyed();
}

void TImage::PictureReady(uint64_t generation) {
  TImage32 picture;
  std::exception_ptr error;
  if (!FWorker.Take(generation, picture, error)) return;  // superseded, or taken already
  if (error) {
    // Without a handler the error leaves this message's handling and reaches
    // the general error report, as one raised by any other handler does.
    if (!FFailed) std::rethrow_exception(error);
    try {
      std::rethrow_exception(error);
    } catch (const Exception& e) {
      FFailed(e);
    } catch (const std::bad_alloc&) {
      FFailed(Exception(u"画像を読み込むためのメモリが足りません"));
    }
    return;
  }
  FPicture = std::move(picture);
  FShownDecode = FDecode;
  FShownFailed = FFailed;
  FShownFor = FLoadedFor;
  DropRendered();
  Invalidate();
}

TPictureSize TImage::DrawTarget() {
  if (!FStretch) return {};
  if (HandleAllocated()) {
    RECT r{};
    ::GetClientRect(Handle(), &r);
    return {r.right, r.bottom};
  }
  return {Scale(Width()), Scale(Height())};
}

COLORREF TImage::Background() const {
  return ColorToRgb(EffectiveColor(), ::GetSysColor(COLOR_BTNFACE));
}

void TImage::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_ERASEBKGND:
      message.Result = 1;  // WM_PAINT covers every pixel
      return;
    case WM_PAINT: {
      const TPaintSession paint(Handle());
      if (paint.Get()) Paint(paint.Get());
      message.Result = 0;
      return;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(message.WParam));
      message.Result = 0;
      return;
    case WM_SIZE:
      if (FStretch) {
        DropRendered();
        Invalidate();
        // Drawn larger than the picture was decoded for (a change of DPI):
        // decoded again from its source, not enlarged from what is kept.
        const TPictureSize now = DrawTarget();
        if (FDecode && (now.Width > FLoadedFor.Width || now.Height > FLoadedFor.Height)) StartLoad();
      }
      break;
    case WM_TIMER:
      if (message.WParam != kStartLoadTimer) break;
      ::KillTimer(Handle(), kStartLoadTimer);
      if (FLoadQueued) StartLoad();
      message.Result = 0;
      return;
    case CM_PICTUREREADY:
      PictureReady(static_cast<uint64_t>(message.WParam));
      message.Result = 0;
      return;
    default:
      break;
  }
  TWinControl::WndProc(message);
}

void TImage::Paint(HDC dc) {
  RECT client{};
  ::GetClientRect(Handle(), &client);
  const COLORREF background = Background();
  int width = 0, height = 0;
  if (!FPicture.Empty()) {
    width = FStretch ? client.right : FPicture.Width();
    height = FStretch ? client.bottom : FPicture.Height();
  }
  HBITMAP picture = width > 0 && height > 0 ? Rendered(dc, width, height, background) : nullptr;
  if (picture) {
    const TMemoryDC memory(::CreateCompatibleDC(dc));
    if (memory) {
      TSelectObject select(memory.Get(), picture);
      ::BitBlt(dc, 0, 0, width, height, memory.Get(), 0, 0, SRCCOPY);
    }
  } else {
    width = height = 0;
  }
  // The rest of the view, when the picture does not cover it.
  TBrushHandle brush(::CreateSolidBrush(background));
  const RECT right{width, 0, client.right, client.bottom};
  const RECT below{0, height, width, client.bottom};
  if (right.left < right.right) ::FillRect(dc, &right, brush.Get());
  if (below.top < below.bottom) ::FillRect(dc, &below, brush.Get());
}

HBITMAP TImage::Rendered(HDC dc, int width, int height, COLORREF background) {
  if (FRendered && FRenderedWidth == width && FRenderedHeight == height && FRenderedBackground == background)
    return FRendered.Get();
  DropRendered();

  // Resampled here rather than by StretchBlt: HALFTONE is not honoured
  // everywhere, and every other stretch mode drops pixels.
  TImage32 shown = FPicture.Width() == width && FPicture.Height() == height ? TImage32()
                                                                            : ResizePicture(FPicture, width, height);
  const TImage32& source = shown.Empty() ? FPicture : shown;
  const uint32_t* pixels = source.Pixels().data();

  // Premultiplied colours over the background: colour + background × (1 − alpha).
  std::vector<uint32_t> composed;
  if (source.HasAlpha()) {
    composed = ComposedOver(source, GetRValue(background), GetGValue(background), GetBValue(background));
    pixels = composed.data();
  }

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;

  TBitmapHandle bitmap(::CreateCompatibleBitmap(dc, width, height));
  if (!bitmap) return nullptr;
  if (!::SetDIBits(dc, bitmap.Get(), 0, static_cast<UINT>(height), pixels, &info, DIB_RGB_COLORS)) return nullptr;
  FRendered = std::move(bitmap);
  FRenderedWidth = width;
  FRenderedHeight = height;
  FRenderedBackground = background;
  return FRendered.Get();
}
