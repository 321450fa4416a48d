// Transparency: shared by the decoders that can meet it and the views that
// draw it.
#pragma once

#include <cstdint>
#include <vector>

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

// The picture's premultiplied pixels composed over an opaque background of
// red, green, blue: colour + background × (1 − alpha), every pixel opaque.
inline std::vector<uint32_t> ComposedOver(const TImage32& image, uint8_t red, uint8_t green, uint8_t blue) {
  std::vector<uint32_t> out(image.Pixels().begin(), image.Pixels().end());
  const uint32_t background[3] = {blue, green, red};
  for (uint32_t& pixel : out) {
    const uint32_t rest = 255 - (pixel >> 24);
    uint32_t composed = 0xFF000000u;
    for (int c = 0; c < 3; ++c) {
      const uint32_t value = ((pixel >> (8 * c)) & 0xFF) + (background[c] * rest + 127) / 255;
      composed |= (value > 255 ? 255 : value) << (8 * c);
    }
    pixel = composed;
  }
  return out;
}
