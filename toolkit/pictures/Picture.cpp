#include "toolkit/pictures/Picture.h"

#include <new>

TImage32::TImage32(int width, int height) {
  if (width <= 0 || height <= 0) throw Exception(u"画像の大きさが正しくありません");
  try {
    FPixels.reset(new uint32_t[static_cast<size_t>(width) * static_cast<size_t>(height)]());
  } catch (const std::bad_alloc&) {
    throw Exception(Format(u"画像 (%s × %s ピクセル) を読み込むためのメモリが足りません",
                           {IntToStr(width), IntToStr(height)}));
  }
  FWidth = width;
  FHeight = height;
}

void CheckPictureSize(int64_t width, int64_t height, const TPictureLimits& limits) {
  if (width < 1 || height < 1) throw Exception(u"画像の大きさが正しくありません");
  if (width > limits.MaxSide || height > limits.MaxSide || width * height > limits.MaxPixels)
    throw Exception(Format(u"画像が大きすぎます (%s × %s ピクセル)。"
                           u"扱えるのは一辺 %s ピクセル、全体で %s ピクセルまでです",
                           {IntToStr(width), IntToStr(height), IntToStr(limits.MaxSide), IntToStr(limits.MaxPixels)}));
}
