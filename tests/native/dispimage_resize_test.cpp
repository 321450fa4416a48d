// Resampling a picture to the size it is shown at: averages when shrinking,
// interpolation when enlarging, exact weights, premultiplied transparency.
#include <gtest/gtest.h>

#include <vector>

#include "toolkit/pictures/Resize.h"

namespace {

TImage32 Picture(int width, int height, const std::vector<uint32_t>& pixels) {
  TImage32 image(width, height);
  for (int i = 0; i < width * height; ++i) image.Pixels()[static_cast<size_t>(i)] = pixels[static_cast<size_t>(i)];
  return image;
}

TImage32 Filled(int width, int height, uint32_t pixel) {
  TImage32 image(width, height);
  for (uint32_t& p : image.Pixels()) p = pixel;
  return image;
}

std::vector<uint32_t> Pixels(const TImage32& image) { return {image.Pixels().begin(), image.Pixels().end()}; }

uint32_t Grey(uint32_t v) { return 0xFF000000u | v << 16 | v << 8 | v; }

TEST(ResizePicture, ShrinkingAveragesWhatEachPixelCovers) {
  // Fine stripes become their mean, not one of their colours.
  std::vector<uint32_t> stripes;
  for (int x = 0; x < 8; ++x) stripes.push_back(Grey(x % 2 ? 255 : 0));
  EXPECT_EQ(Pixels(ResizePicture(Picture(8, 1, stripes), 1, 1)), std::vector<uint32_t>{Grey(128)});
  EXPECT_EQ(Pixels(ResizePicture(Picture(8, 1, stripes), 2, 1)), (std::vector<uint32_t>{Grey(128), Grey(128)}));
  // A ratio of 1.5: each target pixel takes one whole source pixel and half of the middle one.
  EXPECT_EQ(Pixels(ResizePicture(Picture(3, 1, {Grey(0), Grey(255), Grey(0)}), 2, 1)),
            (std::vector<uint32_t>{Grey(85), Grey(85)}));
  // The same down the columns.
  EXPECT_EQ(Pixels(ResizePicture(Picture(1, 3, {Grey(0), Grey(255), Grey(0)}), 1, 2)),
            (std::vector<uint32_t>{Grey(85), Grey(85)}));
  // A checkerboard in both directions at once.
  const TImage32 checker = Picture(4, 4, {Grey(0), Grey(255), Grey(0), Grey(255),  //
                                          Grey(255), Grey(0), Grey(255), Grey(0),  //
                                          Grey(0), Grey(255), Grey(0), Grey(255),  //
                                          Grey(255), Grey(0), Grey(255), Grey(0)});
  EXPECT_EQ(Pixels(ResizePicture(checker, 2, 2)), std::vector<uint32_t>(4, Grey(128)));
}

TEST(ResizePicture, EnlargingInterpolatesBetweenPixelCentres) {
  EXPECT_EQ(Pixels(ResizePicture(Picture(2, 1, {Grey(0), Grey(255)}), 4, 1)),
            (std::vector<uint32_t>{Grey(0), Grey(64), Grey(191), Grey(255)}));
  // A single pixel simply fills the new size.
  EXPECT_EQ(Pixels(ResizePicture(Picture(1, 1, {0xFF336699u}), 3, 2)), std::vector<uint32_t>(6, 0xFF336699u));
}

TEST(ResizePicture, AnEvenColourStaysExactlyItselfAtAnyRatio) {
  const uint32_t colour = 0x80402010u;  // premultiplied, half transparent
  const std::pair<int, int> sizes[][2] = {
      {{7, 5}, {3, 2}}, {{3, 2}, {7, 5}}, {{1000, 1}, {3, 1}}, {{1, 999}, {1, 7}}, {{13, 11}, {13, 11}},
      {{2250, 3}, {1920, 2}},
  };
  for (const auto& [from, to] : sizes) {
    TImage32 source = Filled(from.first, from.second, colour);
    source.SetHasAlpha(true);
    const TImage32 result = ResizePicture(source, to.first, to.second);
    ASSERT_EQ(result.Width(), to.first);
    ASSERT_EQ(result.Height(), to.second);
    EXPECT_TRUE(result.HasAlpha());
    EXPECT_EQ(Pixels(result), std::vector<uint32_t>(static_cast<size_t>(to.first * to.second), colour))
        << from.first << "x" << from.second << " -> " << to.first << "x" << to.second;
  }
}

TEST(ResizePicture, TransparentEdgesAverageOnPremultipliedColours) {
  // Clear next to opaque red: half-covered red, not a darkened opaque one.
  const TImage32 result = ResizePicture(Picture(2, 1, {0x00000000u, 0xFFFF0000u}), 1, 1);
  EXPECT_EQ(Pixels(result), std::vector<uint32_t>{0x80800000u});
}

TEST(ResizePicture, SameSizeKeepsEveryPixel) {
  const std::vector<uint32_t> pixels{0xFF010203u, 0xFF040506u, 0xFF070809u, 0xFF0A0B0Cu, 0xFF0D0E0Fu, 0xFF101112u};
  EXPECT_EQ(Pixels(ResizePicture(Picture(3, 2, pixels), 3, 2)), pixels);
}

}  // namespace
