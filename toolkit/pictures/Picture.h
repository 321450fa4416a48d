// Portable picture decoders: the bytes of a bmp, jpg/jpeg or png file in, one
// 32-bit image out. Nothing here touches the platform; the window side only
// resamples, composes and blits the result. Which decoder a file gets is the
// registry's choice (PictureFormats.h).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "toolkit/SysUtils.h"

// A decoded picture. Rows run top-down; each pixel is 0xAARRGGBB in a
// uint32_t, so on little-endian machines the bytes are B, G, R, A: the layout
// of a 32-bit top-down DIB section. Colours are premultiplied by alpha, so
// composing over a background is colour + background × (1 − alpha), and over
// black simply the RGB part.
class TImage32 {
public:
  TImage32() = default;
  // Width × height pixels, all zero (transparent black). Decoders check the
  // size against their limits before they get here.
  TImage32(int width, int height);

  int Width() const noexcept { return FWidth; }
  int Height() const noexcept { return FHeight; }
  bool Empty() const noexcept { return FPixels == nullptr; }

  // True when some pixel is not fully opaque: the view then composes the
  // picture over its background rather than copying it.
  bool HasAlpha() const noexcept { return FHasAlpha; }
  void SetHasAlpha(bool value) noexcept { FHasAlpha = value; }

  // The size of the picture in its file, as it is meant to be seen: larger
  // than this one's own when it was decoded smaller for a target.
  int SourceWidth() const noexcept { return FSourceWidth ? FSourceWidth : FWidth; }
  int SourceHeight() const noexcept { return FSourceHeight ? FSourceHeight : FHeight; }
  void SetSourceSize(int width, int height) noexcept {
    FSourceWidth = width;
    FSourceHeight = height;
  }

  uint32_t* Row(int y) noexcept { return FPixels.get() + static_cast<size_t>(y) * FWidth; }
  const uint32_t* Row(int y) const noexcept { return FPixels.get() + static_cast<size_t>(y) * FWidth; }
  uint32_t Pixel(int x, int y) const noexcept { return Row(y)[x]; }
  std::span<uint32_t> Pixels() noexcept { return {FPixels.get(), PixelCount()}; }
  std::span<const uint32_t> Pixels() const noexcept { return {FPixels.get(), PixelCount()}; }

private:
  size_t PixelCount() const noexcept { return static_cast<size_t>(FWidth) * static_cast<size_t>(FHeight); }

  int FWidth = 0;
  int FHeight = 0;
  int FSourceWidth = 0, FSourceHeight = 0;  // 0: this picture's own
  bool FHasAlpha = false;
  std::unique_ptr<uint32_t[]> FPixels;  // move-only: a picture is never copied by accident
};

// The largest picture a decoder accepts. Hostile files can claim any size in a
// few bytes, so every decoder checks the size it read from the header against
// these before it allocates anything in proportion to it.
struct TPictureLimits {
  int MaxSide = 16384;
  int64_t MaxPixels = 128'000'000;
};

// The size a picture will be shown at. A side of 0 means no target: the
// picture's own size. Fit: shown within it with its aspect ratio kept, rather
// than stretched over it.
struct TPictureSize {
  int Width = 0;
  int Height = 0;
  bool Fit = false;
};

// Raises the size-limit error unless 1 ≤ width, height ≤ MaxSide and
// width × height ≤ MaxPixels.
void CheckPictureSize(int64_t width, int64_t height, const TPictureLimits& limits);

// Windows bitmaps: core and info headers up to V5, 1/2/4/8/16/24/32 bits per
// pixel, RLE4, RLE8, bit fields, bottom-up and top-down rows.
TImage32 DecodeBmp(std::string_view bytes, const TPictureLimits& limits = {});

// PNG: every colour type and bit depth, palette transparency, Adam7; 16-bit
// samples are rounded to 8 bits. With a target, each side larger than the
// target's is reduced to it while the rows are read (ResizePicture's
// averaging), so a large picture shown small is never held whole; only an
// interlaced one, whose passes each cover the whole picture, is read whole
// first. A side no larger than the target's keeps its size.
TImage32 DecodePng(std::string_view bytes, TPictureSize target = {}, const TPictureLimits& limits = {});

// JPEG: grey, YCbCr, RGB, CMYK and YCCK; baseline and progressive. With a
// target, the picture is decoded at the smallest DCT scale n/8 whose result is
// at least as wide and as tall as the target, which saves most of the time and
// memory for a large photo shown on a screen; a picture no larger than the
// target is decoded at its own size. The limits apply to the picture's own
// size, since libjpeg's buffers for progressive files follow it.
TImage32 DecodeJpeg(std::string_view bytes, TPictureSize target = {}, const TPictureLimits& limits = {});

// The first checks of each decoder, made on the first bytes of a file without
// decoding it: its signature and header, the size it declares against the
// limits, and what the header alone decides (for a bitmap whether the file
// is long enough for its rows; for a JPEG of several scans whether libjpeg's
// whole-picture buffers fit its working memory). `head` is the file's start
// and `fileSize` its whole length. True when all of that is sound; false when
// the head ends before the header does, so only the decode can tell. A fault
// found raises exactly the message the whole decode raises for the file, so
// that a check and the decode after it report a file alike; damage further
// on, in the picture's data, is found by the decode alone.
bool CheckBmpHeader(std::string_view head, uint64_t fileSize, const TPictureLimits& limits = {});
bool CheckPngHeader(std::string_view head, uint64_t fileSize, const TPictureLimits& limits = {});
bool CheckJpegHeader(std::string_view head, uint64_t fileSize, TPictureSize target = {},
                     const TPictureLimits& limits = {});
