// A picture view: a window that shows one decoded picture, at its own size in
// the top left corner or stretched over the whole view. Stretching resamples
// (ResizePicture), so a large photo shown small keeps its detail instead of
// dropping pixels; a picture with transparency is composed over the view's
// colour. The result is kept for the next paint of the same size.
//
// A picture can also be loaded in the background (LoadPicture): it is decoded
// on the worker thread for the size the view is drawn at, and shown when it
// arrives; until then the view shows what it showed before, or its background.
#pragma once

#include <functional>

#include "toolkit/Controls.h"
#include "toolkit/pictures/Picture.h"
#include "toolkit/pictures/PictureWorker.h"

// Posted to the view by the worker: the decode of generation WParam is done.
constexpr UINT CM_PICTUREREADY = WM_APP + 0x3F10;

class TImage : public TWinControl {
public:
  explicit TImage(TComponent* owner = nullptr);

  // Stretched: the picture fills the view in both directions, its aspect
  // ratio not kept.
  bool Stretch() const { return FStretch; }
  void SetStretch(bool value);

  const TImage32& Picture() const { return FPicture; }
  // Shows `picture` at once; a background load still under way is dropped.
  void SetPicture(TImage32 picture);
  void ClearPicture() { SetPicture(TImage32()); }

  // Decodes a picture for the view's drawn size.
  using TSizedDecode = std::function<TImage32(TPictureSize target)>;
  // What a background load that failed reports, on the view's thread, at
  // the point it would have shown the picture; without one the error is
  // raised there, for the general error report. The view keeps what it had.
  using TLoadFailed = std::function<void(const Exception& error)>;
  // A quick look at the picture for the view's drawn size, made on the
  // caller's thread before the decode starts (its header, say); it raises
  // what the decode would raise for what it finds.
  using TSizedCheck = std::function<void(TPictureSize target)>;
  // Starts `decode` on the worker for DrawTarget(), superseding any load
  // under way; the picture replaces the shown one when it arrives. The
  // decode starts once the window's messages and paints are done, so a
  // window being made is up and drawn before it and never shares the
  // processor with it while it goes up. The view
  // keeps `decode` and calls it again when it is later drawn larger than
  // what it holds (a change of DPI), so it never holds more than it shows.
  // With `check`, that runs first, here: what it raises leaves LoadPicture
  // for the caller to report, the load under way is superseded all the same,
  // and the view keeps what it shows.
  void LoadPicture(TSizedDecode decode, TLoadFailed failed, TSizedCheck check = nullptr);
  // True while a background load has not arrived.
  bool Loading() { return FLoadQueued || FWorker.Busy(); }

  // The size in pixels a picture would be drawn at: the view's own size when
  // stretched, otherwise none (the picture's own size). A decoder given this
  // as its target need not produce more pixels than will be seen.
  TPictureSize DrawTarget();

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateHandleDone() override;
  void HandleDestroyed() override;
  void WndProc(TMessage& message) override;

private:
  void QueueLoad();
  void StartLoad();
  void PictureReady(uint64_t generation);
  void Paint(HDC dc);
  // The picture at the size it is shown, over the background, made once for
  // each size and colour.
  HBITMAP Rendered(HDC dc, int width, int height, COLORREF background);
  void DropRendered() { FRendered.Reset(); }
  COLORREF Background() const;

  TImage32 FPicture;
  TPictureWorker FWorker;
  TSizedDecode FDecode;  // the source of a loaded picture, for a larger size
  TLoadFailed FFailed;
  // The source of the picture shown, which a failed check falls back to.
  TSizedDecode FShownDecode;
  TLoadFailed FShownFailed;
  TPictureSize FShownFor;
  TPictureSize FLoadedFor;  // the target the picture was decoded for
  bool FStretch = false;
  bool FLoadQueued = false;  // asked for, not yet given to the worker
  TBitmapHandle FRendered;
  int FRenderedWidth = 0, FRenderedHeight = 0;
  COLORREF FRenderedBackground = 0;
};
