// A picture view: a window that shows one decoded picture, at its own size in
// the top left corner or stretched over the whole view. Stretching resamples
// (ResizePicture), so a large photo shown small keeps its detail instead of
// dropping pixels; a picture with transparency is composed over the view's
// colour. The result is kept for the next paint of the same size.
#pragma once

#include "toolkit/Controls.h"
#include "toolkit/pictures/Picture.h"

class TImage : public TWinControl {
public:
  explicit TImage(TComponent* owner = nullptr);

  // Stretched: the picture fills the view in both directions, its aspect
  // ratio not kept.
  bool Stretch() const { return FStretch; }
  void SetStretch(bool value);

  const TImage32& Picture() const { return FPicture; }
  void SetPicture(TImage32 picture);
  void ClearPicture() { SetPicture(TImage32()); }

  // The size in pixels a picture would be drawn at: the view's own size when
  // stretched, otherwise none (the picture's own size). A decoder given this
  // as its target need not produce more pixels than will be seen.
  TPictureSize DrawTarget();

protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;

private:
  void Paint(HDC dc);
  // The picture at the size it is shown, over the background, made once for
  // each size and colour.
  HBITMAP Rendered(HDC dc, int width, int height, COLORREF background);
  void DropRendered() { FRendered.Reset(); }
  COLORREF Background() const;

  TImage32 FPicture;
  bool FStretch = false;
  TBitmapHandle FRendered;
  int FRenderedWidth = 0, FRenderedHeight = 0;
  COLORREF FRenderedBackground = 0;
};
