// Shared by the decoders that can meet transparency.
#pragma once

#include <cstdint>

#include "toolkit/pictures/Picture.h"

// 0xAARRGGBB with straight colour to the same with colour × alpha, rounded.
inline uint32_t Premultiply(uint32_t argb) noexcept {
  const uint32_t a = argb >> 24;
  if (a == 255) return argb;
  if (a == 0) return 0;
  auto scale = [a](uint32_t c) { return (c * a + 127) / 255; };
  return (a << 24) | (scale((argb >> 16) & 0xFF) << 16) | (scale((argb >> 8) & 0xFF) << 8) |
         scale(argb & 0xFF);
}

// Turns an image of straight colours into the premultiplied form TImage32
// promises, and records whether any pixel is less than opaque.
inline void FinishAlpha(TImage32& image) noexcept {
  bool translucent = false;
  for (uint32_t& pixel : image.Pixels()) {
    if (pixel < 0xFF000000u) {
      pixel = Premultiply(pixel);
      translucent = true;
    }
  }
  image.SetHasAlpha(translucent);
}
