// JPEG is lossy: the fixtures are four flat quadrants, checked away from
// their edges with a tolerance.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "PictureFixtures.h"
#include "HeapPeak.h"
#include "toolkit/pictures/Picture.h"

namespace {

struct TRgb {
  int R, G, B;
};
// Top-left, top-right, bottom-left, bottom-right, as the fixture maker paints them.
constexpr TRgb kQuadrants[4] = {{230, 30, 30}, {30, 200, 40}, {40, 60, 220}, {250, 250, 250}};

TRgb Gray(TRgb c) {
  const int y = (c.R * 299 + c.G * 587 + c.B * 114 + 500) / 1000;
  return {y, y, y};
}

// Shown quadrant q holds the fixture's quadrant order[q].
testing::AssertionResult ShowsQuadrants(const TImage32& image, bool gray, const int (&order)[4] = {0, 1, 2, 3}) {
  for (int q = 0; q < 4; ++q) {
    const int x = image.Width() / 4 + (q % 2) * image.Width() / 2;
    const int y = image.Height() / 4 + (q / 2) * image.Height() / 2;
    const uint32_t p = image.Pixel(x, y);
    const TRgb want = gray ? Gray(kQuadrants[order[q]]) : kQuadrants[order[q]];
    const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    if (p >> 24 != 0xFF || std::abs(r - want.R) > 10 || std::abs(g - want.G) > 10 || std::abs(b - want.B) > 10)
      return testing::AssertionFailure() << "quadrant " << q << " at (" << x << "," << y << ") is A" << (p >> 24)
                                         << " R" << r << " G" << g << " B" << b << ", expected R" << want.R << " G"
                                         << want.G << " B" << want.B;
  }
  if (image.HasAlpha()) return testing::AssertionFailure() << "a JPEG claims transparency";
  return testing::AssertionSuccess();
}

std::string ErrorOf(const std::string& bytes, const TPictureLimits& limits = {}) {
  try {
    DecodeJpeg(bytes, {}, limits);
  } catch (const Exception& e) {
    return ToUtf8(e.Message());
  }
  return "(no error)";
}

TEST(DecodeJpeg, EveryColourSpaceAndCodingGivesOpaqueRgb) {
  const struct {
    const char* File;
    bool Gray;
  } cases[] = {
      {"jpeg_baseline.jpg", false}, {"jpeg_progressive.jpg", false}, {"jpeg_444.jpg", false},
      {"jpeg_rgb.jpg", false},      {"jpeg_cmyk.jpg", false},        {"jpeg_ycck.jpg", false},
      {"jpeg_gray.jpg", true},
  };
  for (const auto& c : cases) {
    const TImage32 image = DecodeJpeg(ReadFixture(c.File));
    ASSERT_EQ(image.Width(), 64) << c.File;
    ASSERT_EQ(image.Height(), 48) << c.File;
    EXPECT_TRUE(ShowsQuadrants(image, c.Gray)) << c.File;
  }
}

TEST(DecodeJpeg, ScalesToTheSmallestEighthThatCoversTheTarget) {
  // 100 × 75 at n/8 is ceil(100n/8) × ceil(75n/8).
  const struct {
    TPictureSize Target;
    int Width, Height;
  } cases[] = {
      {{0, 0}, 100, 75},    {{1, 1}, 13, 10},     {{13, 10}, 13, 10},     {{14, 10}, 25, 19},
      {{13, 11}, 25, 19},   {{50, 38}, 50, 38},   {{51, 38}, 63, 47},     {{88, 66}, 88, 66},
      {{89, 10}, 100, 75},  {{100, 75}, 100, 75}, {{1920, 1080}, 100, 75},  // never enlarged
      {{0, 40}, 100, 75},   {{40, 0}, 100, 75},   // a side of 0: no target, its own size
  };
  const std::string bytes = ReadFixture("jpeg_100x75.jpg");
  for (const auto& c : cases) {
    const TImage32 image = DecodeJpeg(bytes, c.Target);
    EXPECT_EQ(image.Width(), c.Width) << c.Target.Width << "x" << c.Target.Height;
    EXPECT_EQ(image.Height(), c.Height) << c.Target.Width << "x" << c.Target.Height;
  }
  for (const char* file : {"jpeg_progressive.jpg", "jpeg_cmyk.jpg", "jpeg_gray.jpg"}) {
    const TImage32 small = DecodeJpeg(ReadFixture(file), {16, 12});
    EXPECT_EQ(small.Width(), 16) << file;
    EXPECT_TRUE(ShowsQuadrants(small, file == std::string("jpeg_gray.jpg"))) << file;
  }
}

TEST(DecodeJpeg, TheExifOrientationTurnsThePictureAsItIsDecoded) {
  // The 64 × 48 quadrants picture; which of its quadrants is shown top left,
  // top right, bottom left and bottom right.
  const struct {
    int Orientation;
    int Order[4];
  } cases[] = {
      {1, {0, 1, 2, 3}}, {2, {1, 0, 3, 2}}, {3, {3, 2, 1, 0}}, {4, {2, 3, 0, 1}},
      {5, {0, 2, 1, 3}}, {6, {2, 0, 3, 1}}, {7, {3, 1, 2, 0}}, {8, {1, 3, 0, 2}},
  };
  for (const auto& c : cases) {
    const std::string file = "jpeg_orient_" + std::to_string(c.Orientation) + ".jpg";
    const TImage32 image = DecodeJpeg(ReadFixture(file));
    const bool turned = c.Orientation >= 5;
    EXPECT_EQ(image.Width(), turned ? 48 : 64) << file;
    EXPECT_EQ(image.Height(), turned ? 64 : 48) << file;
    EXPECT_TRUE(ShowsQuadrants(image, false, c.Order)) << file;
  }
  // The target is the shown size: 24 × 32 shown is 32 × 24 stored, half size.
  const TImage32 small = DecodeJpeg(ReadFixture("jpeg_orient_6.jpg"), {24, 32});
  EXPECT_EQ(small.Width(), 24);
  EXPECT_EQ(small.Height(), 32);
  EXPECT_TRUE(ShowsQuadrants(small, false, {2, 0, 3, 1}));
  // An EXIF block cut before its orientation leaves the picture as stored.
  const TImage32 damaged = DecodeJpeg(ReadFixture("jpeg_orient_damaged.jpg"));
  EXPECT_EQ(damaged.Width(), 64);
  EXPECT_TRUE(ShowsQuadrants(damaged, false));
}

TEST(DecodeJpeg, DamagedFilesGiveLibjpegsOwnMessageOrOursWithinTheirMemory) {
  constexpr int64_t MiB = 1024 * 1024;
  const struct {
    const char* File;
    const char* Message;  // the start of it
    int64_t MaxHeap;      // the most the heap may grow while the decoder finds out
  } cases[] = {
      {"jpeg_err_12bit.jpg", "Unsupported JPEG data precision 12", 1 * MiB},
      // Cut short, a JPEG would otherwise come out with its missing part grey.
      {"jpeg_err_truncated.jpg", "Premature end of JPEG file", 1 * MiB},
      {"jpeg_err_huffman.jpg", "Bogus Huffman table definition", 1 * MiB},
      {"png_rgb8.png", "Not a JPEG file: starts with 0x89 0x50", 1 * MiB},
      {"jpeg_err_wide.jpg", "画像が大きすぎます (16385 × 48 ピクセル)", 1 * MiB},
      {"jpeg_err_area.jpg", "画像が大きすぎます (12000 × 12000 ピクセル)", 1 * MiB},
      // 249 bytes whose header asks for 768 MB of coefficient buffers: more
      // than libjpeg may have, so refused before anything is read or allocated.
      {"jpeg_err_cut_progressive_16384x7812.jpg",
       "画像が大きすぎます (16384 × 7812 ピクセル)。この JPEG 画像を読み込むには 128 MB を超える作業メモリが要ります",
       1 * MiB},
      // 101 MB of buffers is within libjpeg's allowance; the missing data is
      // noticed before the 67 MB output picture is allocated.
      {"jpeg_err_cut_progressive_4096x4096.jpg", "Premature end of JPEG file", 100 * MiB},
  };
  for (const auto& c : cases) {
    const std::string bytes = ReadFixture(c.File);
    const THeapPeak peak;
    EXPECT_THAT(ErrorOf(bytes), testing::StartsWith(c.Message)) << c.File;
    EXPECT_LE(peak.Bytes(), c.MaxHeap) << c.File;
    std::printf("heap peak %-40s %9lld bytes\n", c.File, static_cast<long long>(peak.Bytes()));
  }
  EXPECT_EQ(ErrorOf(""), "Empty input file");
}

TEST(DecodeJpeg, LimitsApplyToThePicturesOwnSizeEvenWhenScaledDown) {
  // libjpeg keeps a progressive file's coefficients at full size whatever the
  // output size, so a small target must not let a huge picture through.
  const std::string bytes = ReadFixture("jpeg_progressive.jpg");
  EXPECT_NO_THROW(DecodeJpeg(bytes, {8, 6}, {64, 64 * 48}));
  EXPECT_THROW(DecodeJpeg(bytes, {8, 6}, {63, 1 << 20}), Exception);
  EXPECT_THROW(DecodeJpeg(bytes, {8, 6}, {64, 64 * 48 - 1}), Exception);
}

TEST(DecodeJpeg, AFileWithEndlessScansIsRefused) {
  // The first scan of a progressive file repeated 600 times: each repeat is
  // another pass over the picture, so the count is capped.
  const std::string bytes = ReadFixture("jpeg_progressive.jpg");
  const size_t sos = bytes.find("\xFF\xDA");
  ASSERT_NE(sos, std::string::npos);
  size_t end = sos + 2 + (static_cast<uint8_t>(bytes[sos + 2]) << 8 | static_cast<uint8_t>(bytes[sos + 3]));
  while (end + 1 < bytes.size()) {
    const auto next = static_cast<uint8_t>(bytes[end + 1]);
    if (static_cast<uint8_t>(bytes[end]) == 0xFF && next != 0 && (next < 0xD0 || next > 0xD7)) break;
    ++end;
  }
  std::string hostile = bytes.substr(0, end);
  for (int i = 0; i < 600; ++i) hostile += bytes.substr(sos, end - sos);
  hostile += bytes.substr(end);
  EXPECT_THAT(ErrorOf(hostile), testing::HasSubstr("スキャンが多すぎます"));
  EXPECT_NO_THROW(DecodeJpeg(bytes.substr(0, end) + bytes.substr(sos, end - sos) + bytes.substr(end)));
}

}  // namespace
