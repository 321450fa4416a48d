// The lossless decoders against reference images: every BMP and PNG fixture
// has a PAM file beside it (straight RGBA) holding exactly what it must become.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "PictureFixtures.h"
#include "HeapPeak.h"
#include "toolkit/pictures/Picture.h"

namespace {

// A PAM reference image as the decoder must deliver it: 0xAARRGGBB, premultiplied.
TImage32 ReadReference(const std::string& name) {
  std::istringstream in(ReadFixture(name));
  std::string word;
  int width = 0, height = 0;
  while (in >> word && word != "ENDHDR") {
    if (word == "WIDTH") in >> width;
    if (word == "HEIGHT") in >> height;
  }
  in.get();
  TImage32 image(width, height);
  bool translucent = false;
  for (uint32_t& pixel : image.Pixels()) {
    unsigned char rgba[4];
    in.read(reinterpret_cast<char*>(rgba), 4);
    const uint32_t a = rgba[3];
    auto pre = [a](uint32_t c) { return (c * a + 127) / 255; };
    pixel = a << 24 | pre(rgba[0]) << 16 | pre(rgba[1]) << 8 | pre(rgba[2]);
    translucent |= a != 255;
  }
  if (!in) throw std::runtime_error("short reference " + name);
  image.SetHasAlpha(translucent);
  return image;
}

std::string Hex(uint32_t v) {
  char text[12];
  std::snprintf(text, sizeof text, "%08X", v);
  return text;
}

// Compares whole images and names the first pixel that differs.
testing::AssertionResult SameImage(const TImage32& actual, const TImage32& expected) {
  if (actual.Width() != expected.Width() || actual.Height() != expected.Height())
    return testing::AssertionFailure() << "size " << actual.Width() << "x" << actual.Height() << ", expected "
                                       << expected.Width() << "x" << expected.Height();
  for (int y = 0; y < expected.Height(); ++y)
    for (int x = 0; x < expected.Width(); ++x)
      if (actual.Pixel(x, y) != expected.Pixel(x, y))
        return testing::AssertionFailure() << "pixel (" << x << "," << y << ") is " << Hex(actual.Pixel(x, y))
                                           << ", expected " << Hex(expected.Pixel(x, y));
  if (actual.HasAlpha() != expected.HasAlpha())
    return testing::AssertionFailure() << "HasAlpha " << actual.HasAlpha() << ", expected " << expected.HasAlpha();
  return testing::AssertionSuccess();
}

std::string ErrorOf(TImage32 (*decode)(std::string_view, const TPictureLimits&), const std::string& bytes) {
  try {
    decode(bytes, {});
  } catch (const Exception& e) {
    return ToUtf8(e.Message());
  }
  return "(no error)";
}

struct TCase {
  const char* File;
  const char* Reference;
};

// A file the decoder must refuse: the start of its message, and the most the
// heap may grow while it finds out.
struct TErrorCase {
  const char* File;
  const char* Message;
  int64_t MaxHeap;
};

constexpr int64_t KiB = 1024;
constexpr int64_t MiB = 1024 * KiB;

void ExpectRefused(TImage32 (*decode)(std::string_view, const TPictureLimits&), const TErrorCase& c) {
  const std::string bytes = ReadFixture(c.File);
  const THeapPeak peak;
  EXPECT_THAT(ErrorOf(decode, bytes), testing::StartsWith(c.Message)) << c.File;
  EXPECT_LE(peak.Bytes(), c.MaxHeap) << c.File;
  std::printf("heap peak %-32s %9lld bytes\n", c.File, static_cast<long long>(peak.Bytes()));
}

TEST(DecodeBmp, EveryHeaderDepthAndCompressionMatchesItsReference) {
  const TCase cases[] = {
      {"bmp_core_24.bmp", "rgb.pam"},
      {"bmp_info_24.bmp", "rgb.pam"},
      {"bmp_info_24_topdown.bmp", "rgb.pam"},
      {"bmp_info_32.bmp", "rgb.pam"},  // the reserved fourth byte holds varied alpha: ignored
      {"bmp_v5_32_alpha.bmp", "argb.pam"},
      {"bmp_v4_32_alpha_all_zero.bmp", "rgb.pam"},
      {"bmp_info_32_bitfields_rgbx.bmp", "rgb.pam"},
      {"bmp_info_16_555.bmp", "rgb555.pam"},
      {"bmp_info_16_565.bmp", "rgb565.pam"},
      {"bmp_info_16_4444_alphabitfields.bmp", "argb4444.pam"},
      {"bmp_info_1.bmp", "bmp_info_1.pam"},
      {"bmp_info_2.bmp", "bmp_info_2.pam"},
      {"bmp_info_4.bmp", "bmp_info_4.pam"},
      {"bmp_info_8.bmp", "bmp_info_8.pam"},
      {"bmp_core_8.bmp", "bmp_core_8.pam"},
      {"bmp_info_8_short_table.bmp", "bmp_info_8_short_table.pam"},
      {"bmp_rle8.bmp", "bmp_rle8.pam"},  // runs, odd literals, delta, clipped run; the rest transparent
      {"bmp_rle4.bmp", "bmp_rle4.pam"},
  };
  for (const auto& c : cases) EXPECT_TRUE(SameImage(DecodeBmp(ReadFixture(c.File)), ReadReference(c.Reference))) << c.File;
}

TEST(DecodeBmp, DamagedAndUnsupportedFilesSayWhatIsWrong) {
  const char* truncated = "ビットマップ画像のデータが途中で切れています";
  const char* damaged = "ビットマップ画像が壊れています";
  const TCase cases[] = {
      {"bmp_err_truncated.bmp", truncated},
      {"bmp_err_rle_no_end.bmp", truncated},
      {"bmp_err_zero_width.bmp", damaged},
      {"bmp_err_rle_topdown.bmp", damaged},
      {"bmp_err_signature.bmp", "ビットマップ画像ではありません"},
      {"bmp_err_header_size.bmp", "このビットマップ画像のヘッダー (20 バイト) には対応していません"},
      {"bmp_err_compression.bmp", "このビットマップ画像の圧縮形式 (4) には対応していません"},
      {"bmp_err_bitcount.bmp", "このビットマップ画像の色の深さ (7 ビット) には対応していません"},
      // Both claim sizes over the limit in files far too short for them: the
      // size is refused before anything is allocated or read.
      {"bmp_err_wide.bmp", "画像が大きすぎます (16385 × 1 ピクセル)"},
      {"bmp_err_area.bmp", "画像が大きすぎます (12000 × 12000 ピクセル)"},
  };
  for (const auto& c : cases) EXPECT_THAT(ErrorOf(DecodeBmp, ReadFixture(c.File)), testing::StartsWith(c.Reference)) << c.File;
  EXPECT_EQ(ErrorOf(DecodeBmp, ""), "ビットマップ画像ではありません");
  EXPECT_EQ(ErrorOf(DecodeBmp, "BM"), truncated);
}

TEST(DecodeBmp, PixelDataOffsetIsHonouredAndCheckedAgainstTheFile) {
  std::string bytes = ReadFixture("bmp_info_24.bmp");
  // Pixel data moved four bytes further, with the offset telling so.
  std::string moved = bytes.substr(0, 54) + "gap!" + bytes.substr(54);
  moved[10] = 58;
  EXPECT_TRUE(SameImage(DecodeBmp(moved), ReadReference("rgb.pam")));
  std::string beyond = bytes;
  beyond[10] = static_cast<char>(0xF0);  // past the end of the file
  EXPECT_EQ(ErrorOf(DecodeBmp, beyond), "ビットマップ画像のデータが途中で切れています");
  std::string inside = bytes;
  inside[10] = 20;  // inside the headers
  EXPECT_EQ(ErrorOf(DecodeBmp, inside), "ビットマップ画像が壊れています");
}

TEST(DecodePng, EveryColourTypeAndBitDepthMatchesItsReference) {
  const TCase cases[] = {
      {"png_gray1.png", "png_gray1.pam"},
      {"png_gray2.png", "png_gray2.pam"},
      {"png_gray4.png", "png_gray4.pam"},
      {"png_gray8.png", "png_gray8.pam"},
      {"png_gray16.png", "png_gray8.pam"},  // 16-bit samples round to the nearest 8-bit value
      {"png_gray8_trns.png", "png_gray8_trns.pam"},
      {"png_graya8.png", "png_graya.pam"},
      {"png_graya16.png", "png_graya.pam"},
      {"png_rgb8.png", "rgb.pam"},
      {"png_rgb16.png", "rgb.pam"},
      {"png_rgb16_trns.png", "png_rgb16_trns.pam"},  // the key matches all sixteen bits
      {"png_rgba8.png", "argb.pam"},
      {"png_rgba16.png", "argb.pam"},
      {"png_pal1.png", "png_pal1.pam"},
      {"png_pal2.png", "png_pal2.pam"},
      {"png_pal4.png", "png_pal4.pam"},
      {"png_pal8.png", "png_pal8.pam"},
      {"png_pal4_trns.png", "png_pal4_trns.pam"},
      {"png_rgba8_interlaced.png", "argb.pam"},
      {"png_pal4_interlaced.png", "png_pal4.pam"},
      {"png_rgb8_interlaced_3x2.png", "png_rgb8_3x2.pam"},  // most Adam7 passes empty
  };
  for (const auto& c : cases) EXPECT_TRUE(SameImage(DecodePng(ReadFixture(c.File)), ReadReference(c.Reference))) << c.File;
}

TEST(DecodePng, TheExifOrientationTurnsThePictureAsItIsDecoded) {
  // The translucent 7 × 5 picture with an eXIf chunk; each reference is it
  // turned and mirrored by the fixture maker.
  for (int o = 1; o <= 8; ++o) {
    const std::string name = "png_orient_" + std::to_string(o);
    EXPECT_TRUE(SameImage(DecodePng(ReadFixture(name + ".png")), ReadReference(name + ".pam"))) << name;
  }
  EXPECT_TRUE(SameImage(DecodePng(ReadFixture("png_orient_6_then_3.png")), ReadReference("png_orient_6.pam")));
  // Interlaced, the stored picture is needed whole before it is turned.
  EXPECT_TRUE(SameImage(DecodePng(ReadFixture("png_orient_3_interlaced.png")), ReadReference("png_orient_3.pam")));
  EXPECT_TRUE(SameImage(DecodePng(ReadFixture("png_orient_6_interlaced_long.png")), ReadReference("png_orient_6.pam")));
}

TImage32 DecodeWholePng(std::string_view bytes, const TPictureLimits& limits) { return DecodePng(bytes, {}, limits); }
// The row-by-row path for a small target meets the same damage the same way.
TImage32 DecodeSmallPng(std::string_view bytes, const TPictureLimits& limits) { return DecodePng(bytes, {2, 2}, limits); }

TEST(DecodePng, DamagedFilesGiveLibpngsOwnMessageOrOurs) {
  const char* truncated = "PNG 画像のデータが途中で切れています";
  const TErrorCase cases[] = {
      {"png_err_crc.png", "IHDR: CRC error", 1 * MiB},
      {"png_err_truncated.png", truncated, 1 * MiB},
      {"png_err_chunk_length.png", "PNG unsigned integer out of range", 1 * MiB},
      {"png_err_bit_depth.png", "Invalid IHDR data", 1 * MiB},
      {"png_err_wide.png", "画像が大きすぎます (16385 × 1 ピクセル)", 1 * MiB},
      {"png_err_area.png", "画像が大きすぎます (12000 × 12000 ピクセル)", 1 * MiB},
      // Ancillary chunks claiming 1 GiB and 2 GiB in 57 bytes are stepped
      // over unread instead of being allocated and zeroed.
      {"png_err_huge_pcal.png", truncated, 1 * MiB},
      {"png_err_huge_scal.png", truncated, 1 * MiB},
      {"png_err_huge_scal_2g.png", truncated, 1 * MiB},
  };
  for (auto* decode : {DecodeWholePng, DecodeSmallPng}) {
    for (const auto& c : cases) ExpectRefused(decode, c);
    // Whatever zlib says about a broken stream, it is said about the image data.
    EXPECT_THAT(ErrorOf(decode, ReadFixture("png_err_zlib.png")), testing::StartsWith("IDAT: "));
    EXPECT_EQ(ErrorOf(decode, ReadFixture("bmp_info_24.bmp")), "Not a PNG file");
    EXPECT_EQ(ErrorOf(decode, ""), "PNG 画像のデータが途中で切れています");
  }
}

}  // namespace
