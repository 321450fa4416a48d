// Resampling a picture to the size it is shown at. Shrinking averages every
// source pixel under a target pixel by the area it covers, so fine detail
// turns into its true mean instead of whichever pixel happens to be picked;
// enlarging interpolates linearly between the nearest source pixels. Both
// work on the premultiplied colours, which is what makes averaging across
// transparent edges right.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/pictures/Picture.h"

// A new picture of width × height (both at least 1); the transparency flag
// carries over.
TImage32 ResizePicture(const TImage32& source, int width, int height);

// The size a picture of `source` pixels is kept at when shown at `target`:
// each side reduced to the target's where it is larger, left as it is where
// not (enlarging is left to the view, which interpolates at its own size).
// With Fit, the whole picture is reduced within the target, its aspect ratio
// kept. No target (a side of 0) keeps the source's size.
TPictureSize ReducedSize(TPictureSize source, TPictureSize target);

// Shrinks a picture that arrives one row at a time, top to bottom, to a size
// no larger than its own on either side, with the same area averaging and
// the same rounding as ResizePicture: rows first, then columns. It holds the
// result and two or three rows of sums, never the source, so a decoder can
// hand over each row as it is read and drop it.
class TRowReducer {
public:
  // width ≤ sourceWidth, height ≤ sourceHeight, all at least 1.
  TRowReducer(int sourceWidth, int sourceHeight, int width, int height);
  ~TRowReducer();
  TRowReducer(const TRowReducer&) = delete;
  TRowReducer& operator=(const TRowReducer&) = delete;

  // The next source row, sourceWidth premultiplied pixels.
  void Put(const uint32_t* row);
  // The next source row of an opaque picture, sourceWidth pixels of three
  // bytes each: red, green, blue.
  void PutRgb(const uint8_t* row);
  // The result, once every source row is in; the transparency flag is the
  // caller's to set.
  TImage32 Take();

private:
  // Sums the row reduced across into the target rows it feeds.
  void PutReduced();
  struct TPlan;
  std::unique_ptr<TPlan> FPlan;
  TImage32 FTarget;
  int FSourceRow = 0;
};

// `picture` itself when it is no larger than ReducedSize of `target`,
// otherwise reduced to that size.
TImage32 ReducedToTarget(TImage32 picture, TPictureSize target);
