// PNG decoded for a target size, row by row: the same pixels as the whole
// picture decoded and then resampled the way the view does it, with a peak
// heap of the result and a few rows whatever the picture's own size.
#include <gtest/gtest.h>

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "HeapPeak.h"
#include "toolkit/pictures/Picture.h"
#include "toolkit/pictures/Resize.h"

namespace {

struct TPngShape {
  int Width, Height;
  int ColorType;  // PNG_COLOR_TYPE_*
  int BitDepth;
  bool Interlaced = false;
  bool Transparency = false;  // a tRNS chunk (palette or key colour)
};

// Seeded noise over a gradient, so that compression is realistic and every
// pixel differs from its neighbours.
std::vector<uint8_t> Samples(const TPngShape& shape, size_t rowBytes, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> data(rowBytes * static_cast<size_t>(shape.Height));
  for (int y = 0; y < shape.Height; ++y)
    for (size_t i = 0; i < rowBytes; ++i)
      data[static_cast<size_t>(y) * rowBytes + i] =
          static_cast<uint8_t>((i * 255 / rowBytes + static_cast<size_t>(y) * 3) / 2 + random() % 128);
  return data;
}

void AppendBytes(png_structp png, png_bytep data, size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

void FlushNothing(png_structp) {}

// libpng's write side, all inside one function with no C++ objects to clean up.
bool WritePng(png_structp png, png_infop info, const TPngShape& shape, png_bytepp rows, png_colorp palette,
              png_bytep alphas, int paletteSize) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, static_cast<png_uint_32>(shape.Width), static_cast<png_uint_32>(shape.Height), shape.BitDepth,
               shape.ColorType, shape.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (shape.ColorType == PNG_COLOR_TYPE_PALETTE) {
    png_set_PLTE(png, info, palette, paletteSize);
    if (shape.Transparency) png_set_tRNS(png, info, alphas, paletteSize, nullptr);
  } else if (shape.Transparency) {
    png_color_16 key{};
    key.red = key.green = key.blue = key.gray = 0;
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  png_set_compression_level(png, 1);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  return true;
}

std::string MakePng(const TPngShape& shape, uint32_t seed = 7) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendBytes, FlushNothing);
  const int channels = shape.ColorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                       : shape.ColorType == PNG_COLOR_TYPE_RGB     ? 3
                       : shape.ColorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                     : 1;
  const size_t rowBytes = (static_cast<size_t>(shape.Width) * channels * shape.BitDepth + 7) / 8;
  std::vector<uint8_t> data = Samples(shape, rowBytes, seed);
  std::vector<png_bytep> rows(static_cast<size_t>(shape.Height));
  for (int y = 0; y < shape.Height; ++y) rows[static_cast<size_t>(y)] = data.data() + static_cast<size_t>(y) * rowBytes;
  const int paletteSize = shape.ColorType == PNG_COLOR_TYPE_PALETTE ? 1 << shape.BitDepth : 0;
  std::vector<png_color> palette(static_cast<size_t>(paletteSize));
  std::vector<png_byte> alphas(static_cast<size_t>(paletteSize));
  for (int i = 0; i < paletteSize; ++i) {
    palette[static_cast<size_t>(i)] = {static_cast<png_byte>(i * 37), static_cast<png_byte>(255 - i * 11),
                                       static_cast<png_byte>(i * 91)};
    alphas[static_cast<size_t>(i)] = static_cast<png_byte>(i * 53);
  }
  const bool written = WritePng(png, info, shape, rows.data(), palette.data(), alphas.data(), paletteSize);
  png_destroy_write_struct(&png, &info);
  if (!written) throw std::runtime_error("the test's PNG could not be written");
  return out;
}

// The largest difference in any channel of any pixel, or -1 for another size.
int LargestDifference(const TImage32& a, const TImage32& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return -1;
  int largest = 0;
  for (size_t i = 0; i < a.Pixels().size(); ++i)
    for (int c = 0; c < 4; ++c) {
      const int va = static_cast<int>(a.Pixels()[i] >> (8 * c) & 0xFF);
      const int vb = static_cast<int>(b.Pixels()[i] >> (8 * c) & 0xFF);
      largest = std::max(largest, std::abs(va - vb));
    }
  return largest;
}

TEST(DecodePngForTarget, RowByRowGivesWhatTheWholeDecodeResampledGives) {
  const struct {
    const char* Name;
    TPngShape Shape;
    TPictureSize Target;
  } cases[] = {
      {"rgb 8", {97, 61, PNG_COLOR_TYPE_RGB, 8}, {20, 15}},
      {"rgba 8", {97, 61, PNG_COLOR_TYPE_RGB_ALPHA, 8}, {20, 15}},
      {"rgb 16", {64, 48, PNG_COLOR_TYPE_RGB, 16}, {9, 7}},
      {"rgba 16", {64, 48, PNG_COLOR_TYPE_RGB_ALPHA, 16}, {9, 7}},
      {"grey 8", {80, 45, PNG_COLOR_TYPE_GRAY, 8}, {33, 21}},
      {"grey 16 with a key colour", {80, 45, PNG_COLOR_TYPE_GRAY, 16, false, true}, {33, 21}},
      {"grey 1", {123, 77, PNG_COLOR_TYPE_GRAY, 1}, {11, 11}},
      {"grey and alpha 8", {80, 45, PNG_COLOR_TYPE_GRAY_ALPHA, 8}, {16, 9}},
      {"palette 8 with alpha", {90, 90, PNG_COLOR_TYPE_PALETTE, 8, false, true}, {17, 13}},
      {"palette 4", {91, 33, PNG_COLOR_TYPE_PALETTE, 4}, {30, 10}},
      {"interlaced rgba", {97, 61, PNG_COLOR_TYPE_RGB_ALPHA, 8, true}, {20, 15}},
      {"interlaced palette", {65, 35, PNG_COLOR_TYPE_PALETTE, 2, true, true}, {8, 8}},
      {"odd sizes, odd ratios", {101, 37, PNG_COLOR_TYPE_RGB, 8}, {13, 5}},
      {"one column", {1, 257, PNG_COLOR_TYPE_RGB_ALPHA, 8}, {10, 10}},
      {"one row", {257, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8}, {10, 10}},
      {"to a single pixel", {50, 40, PNG_COLOR_TYPE_RGB_ALPHA, 8}, {1, 1}},
      {"taller than the target only", {40, 200, PNG_COLOR_TYPE_RGB, 8}, {100, 20}},
      {"larger than the target: kept whole", {30, 20, PNG_COLOR_TYPE_RGB, 8}, {80, 45}},
  };
  for (const auto& c : cases) {
    const std::string bytes = MakePng(c.Shape);
    const TImage32 whole = DecodePng(bytes);
    ASSERT_EQ(whole.Width(), c.Shape.Width) << c.Name;
    const TPictureSize kept = ReducedSize({whole.Width(), whole.Height()}, c.Target);
    const TImage32 expected = ResizePicture(whole, kept.Width, kept.Height);
    const TImage32 reduced = DecodePng(bytes, c.Target);
    EXPECT_EQ(reduced.Width(), std::min(c.Shape.Width, c.Target.Width)) << c.Name;
    EXPECT_EQ(reduced.Height(), std::min(c.Shape.Height, c.Target.Height)) << c.Name;
    EXPECT_EQ(LargestDifference(reduced, expected), 0) << c.Name;
    EXPECT_EQ(reduced.HasAlpha(), whole.HasAlpha()) << c.Name;
    // What the view then draws at the target is the same either way, but for
    // rounding where one side is enlarged: the whole picture is enlarged
    // across before it is reduced down, the kept one after.
    const int drawn = LargestDifference(ResizePicture(reduced, c.Target.Width, c.Target.Height),
                                        ResizePicture(whole, c.Target.Width, c.Target.Height));
    EXPECT_GE(drawn, 0) << c.Name;
    EXPECT_LE(drawn, 1) << c.Name;
  }
}

TEST(DecodePngForTarget, ATurnedPictureIsReducedToTheShownSize) {
  // A 60 × 20 stored picture with orientation 6 is shown 20 wide and 60 tall.
  std::string bytes = MakePng({60, 20, PNG_COLOR_TYPE_RGB, 8});
  // An eXIf chunk before IDAT: big-endian TIFF, one entry, tag 0x0112 = 6.
  const std::string exif("MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 26);
  std::string chunk = std::string("\0\0\0\x1A", 4) + "eXIf" + exif;
  const uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(chunk.data() + 4), 30));
  for (int shift = 24; shift >= 0; shift -= 8) chunk += static_cast<char>(crc >> shift);
  bytes.insert(8 + 25, chunk);  // after the signature and IHDR
  const TImage32 whole = DecodePng(bytes);
  ASSERT_EQ(whole.Width(), 20);
  ASSERT_EQ(whole.Height(), 60);
  const TImage32 reduced = DecodePng(bytes, {10, 15});
  ASSERT_EQ(reduced.Width(), 10);
  ASSERT_EQ(reduced.Height(), 15);
  // Reduced before it is turned: the same averages, rounded in the other order.
  EXPECT_LE(LargestDifference(reduced, ResizePicture(whole, 10, 15)), 1);
}

TEST(DecodePngForTarget, PeakHeapIsTheResultAndAFewRows) {
  // 2400 × 1600 RGBA: 15 MB whole; shown at 160 × 90.
  const TPngShape shape{2400, 1600, PNG_COLOR_TYPE_RGB_ALPHA, 8};
  const std::string bytes = MakePng(shape);
  const int64_t whole = int64_t{shape.Width} * shape.Height * 4;
  {
    const THeapPeak peak;
    const TImage32 image = DecodePng(bytes, {160, 90});
    ASSERT_EQ(image.Width(), 160);
    // The result (56 KB), a few source rows (9.6 KB each), the sums and
    // libpng's own buffers.
    EXPECT_LT(peak.Bytes(), 1 << 20) << "whole picture: " << whole;
  }
  {
    // Interlaced, the stored picture is held whole once, never twice.
    const std::string interlaced = MakePng({shape.Width, shape.Height, shape.ColorType, 8, true});
    const THeapPeak peak;
    const TImage32 image = DecodePng(interlaced, {160, 90});
    ASSERT_EQ(image.Width(), 160);
    EXPECT_LT(peak.Bytes(), whole + (2 << 20));
  }
}

TEST(RowReducer, RefusesToEnlarge) {
  EXPECT_THROW(TRowReducer(10, 10, 11, 5), Exception);
  EXPECT_THROW(TRowReducer(10, 10, 5, 11), Exception);
}

}  // namespace
