// The decoders' header checks against the decoders themselves: a damaged
// header is refused with exactly the message the whole decode gives for the
// file, damage in the picture's data passes the check (the decode finds it),
// and the start of a file either passes, asks for more, or already fails as
// the whole file does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "PictureFixtures.h"
#include "FakeFormsApi.h"
#include "toolkit/pictures/PictureFormats.h"

namespace {

std::string Extension(const std::string& name) { return name.substr(name.find_last_of('.') + 1); }

// The decode's message; nothing when it decodes.
std::optional<std::string> DecodeError(const std::string& bytes, const std::string& extension) {
  try {
    DecodePicture(bytes, FromUtf8(extension));
  } catch (const Exception& e) {
    return ToUtf8(e.Message());
  }
  return std::nullopt;
}

// The check's verdict: "sound", "more" (the head ended first), or its message.
std::string Check(std::string_view head, uint64_t fileSize, const std::string& extension) {
  try {
    return CheckPictureHeader(head, fileSize, FromUtf8(extension)) ? "sound" : "more";
  } catch (const Exception& e) {
    return ToUtf8(e.Message());
  }
}

enum class TDamage { None, Header, Data };

struct TFileCase {
  std::string File;  // a fixture, or an inline name for Bytes
  TDamage Damage;
  const char* Message = "";  // the start of the decode's message, for a damaged file
  std::string Bytes = {};    // the file itself, when not a fixture
};

// Names with a space are files made here; the others are fixtures.
std::string BytesOf(const TFileCase& c) { return c.File.find(' ') == std::string::npos ? ReadFixture(c.File) : c.Bytes; }

const char* const kBmpTruncated = "ビットマップ画像のデータが途中で切れています";
const char* const kPngTruncated = "PNG 画像のデータが途中で切れています";

// A bitmap whose pixel data offset points past the end of the file.
std::string BmpOffsetBeyond() {
  std::string bytes = ReadFixture("bmp_info_24.bmp");
  bytes[10] = static_cast<char>(0xF0);
  return bytes;
}

// The fixtures, and a few files made here.
std::vector<TFileCase> Cases() {
  return {
      // Sound files of every decoder.
      {"bmp_info_24.bmp", TDamage::None},
      {"bmp_rle8.bmp", TDamage::None},
      {"bmp_core_8.bmp", TDamage::None},
      {"bmp_info_8_short_table.bmp", TDamage::None},
      {"png_rgba8.png", TDamage::None},
      {"png_pal4_interlaced.png", TDamage::None},
      {"png_orient_6.png", TDamage::None},
      {"png_rgb16.png", TDamage::None},
      {"jpeg_baseline.jpg", TDamage::None},
      {"jpeg_progressive.jpg", TDamage::None},
      {"jpeg_cmyk.jpg", TDamage::None},
      {"jpeg_orient_6.jpg", TDamage::None},
      // Wrong signatures, unsupported kinds and broken headers.
      {"bmp_err_signature.bmp", TDamage::Header, "ビットマップ画像ではありません"},
      {"bmp_err_header_size.bmp", TDamage::Header, "このビットマップ画像のヘッダー (20 バイト)"},
      {"bmp_err_compression.bmp", TDamage::Header, "このビットマップ画像の圧縮形式 (4)"},
      {"bmp_err_bitcount.bmp", TDamage::Header, "このビットマップ画像の色の深さ (7 ビット)"},
      {"bmp_err_zero_width.bmp", TDamage::Header, "ビットマップ画像が壊れています"},
      {"bmp_err_rle_topdown.bmp", TDamage::Header, "ビットマップ画像が壊れています"},
      {"png_rgb8.png as .bmp", TDamage::Header, "ビットマップ画像ではありません", ReadFixture("png_rgb8.png")},
      {"png_err_crc.png", TDamage::Header, "IHDR: CRC error"},
      {"png_err_bit_depth.png", TDamage::Header, "Invalid IHDR data"},
      {"png_err_chunk_length.png", TDamage::Header, "PNG unsigned integer out of range"},
      {"bmp_info_24.bmp as .png", TDamage::Header, "Not a PNG file", ReadFixture("bmp_info_24.bmp")},
      {"jpeg_err_12bit.jpg", TDamage::Header, "Unsupported JPEG data precision 12"},
      {"jpeg_err_huffman.jpg", TDamage::Header, "Bogus Huffman table definition"},
      {"png_rgb8.png as .jpg", TDamage::Header, "Not a JPEG file: starts with 0x89 0x50", ReadFixture("png_rgb8.png")},
      // Truncated headers, and files of no bytes at all.
      {"14 bytes of a bitmap .bmp", TDamage::Header, kBmpTruncated, ReadFixture("bmp_info_24.bmp").substr(0, 14)},
      {"a bitmap without its whole palette .bmp", TDamage::Header, kBmpTruncated,
       ReadFixture("bmp_info_8.bmp").substr(0, 54 + 100)},
      {"a bitmap whose data starts past its end .bmp", TDamage::Header, kBmpTruncated, BmpOffsetBeyond()},
      {"png_err_huge_pcal.png", TDamage::Header, kPngTruncated},
      {"20 bytes of a PNG .png", TDamage::Header, kPngTruncated, ReadFixture("png_rgb8.png").substr(0, 20)},
      {"jpeg_err_truncated.jpg", TDamage::Header, "Premature end of JPEG file"},
      {"40 bytes of a JPEG .jpg", TDamage::Header, "Premature end of JPEG file",
       ReadFixture("jpeg_baseline.jpg").substr(0, 40)},
      {"zero bytes .bmp", TDamage::Header, "ビットマップ画像ではありません", ""},
      {"zero bytes .png", TDamage::Header, kPngTruncated, ""},
      {"zero bytes .jpg", TDamage::Header, "Empty input file", ""},
      // Sizes beyond the limits, declared in a few bytes.
      {"bmp_err_wide.bmp", TDamage::Header, "画像が大きすぎます (16385 × 1 ピクセル)"},
      {"bmp_err_area.bmp", TDamage::Header, "画像が大きすぎます (12000 × 12000 ピクセル)"},
      {"png_err_wide.png", TDamage::Header, "画像が大きすぎます (16385 × 1 ピクセル)"},
      {"png_err_area.png", TDamage::Header, "画像が大きすぎます (12000 × 12000 ピクセル)"},
      {"jpeg_err_wide.jpg", TDamage::Header, "画像が大きすぎます (16385 × 48 ピクセル)"},
      {"jpeg_err_area.jpg", TDamage::Header, "画像が大きすぎます (12000 × 12000 ピクセル)"},
      {"jpeg_err_cut_progressive_16384x7812.jpg", TDamage::Header,
       "画像が大きすぎます (16384 × 7812 ピクセル)。この JPEG 画像を読み込むには 128 MB を超える作業メモリが要ります"},
      // An uncompressed bitmap's rows have a length its header decides.
      {"bmp_err_truncated.bmp", TDamage::Header, kBmpTruncated},
      // Damage in the data only: the header is sound.
      {"bmp_err_rle_no_end.bmp", TDamage::Data, kBmpTruncated},
      {"png_err_zlib.png", TDamage::Data, "IDAT: "},
      {"png_err_truncated.png", TDamage::Data, kPngTruncated},
      {"jpeg_err_cut_progressive_4096x4096.jpg", TDamage::Data, "Premature end of JPEG file"},
  };
}

TEST(PictureHeader, DamagedHeadersGiveTheDecodesOwnMessageAndDamagedDataIsLeftToIt) {
  for (const TFileCase& c : Cases()) {
    const std::string bytes = BytesOf(c);
    const std::string extension = Extension(c.File);
    const std::optional<std::string> decoded = DecodeError(bytes, extension);
    const std::string checked = Check(bytes, bytes.size(), extension);
    switch (c.Damage) {
      case TDamage::None:
        EXPECT_EQ(decoded, std::nullopt) << c.File;
        EXPECT_EQ(checked, "sound") << c.File;
        break;
      case TDamage::Header:
        ASSERT_TRUE(decoded.has_value()) << c.File;
        EXPECT_THAT(*decoded, testing::StartsWith(c.Message)) << c.File;
        EXPECT_EQ(checked, *decoded) << c.File;
        break;
      case TDamage::Data:
        ASSERT_TRUE(decoded.has_value()) << c.File;
        EXPECT_THAT(*decoded, testing::StartsWith(c.Message)) << c.File;
        EXPECT_EQ(checked, "sound") << c.File;
        break;
    }
  }
}

// The check sees only the start of a large file. Whatever its length, the
// start either passes, asks for more, or fails as the whole file fails.
TEST(PictureHeader, TheStartOfAFileNeverGivesAVerdictTheWholeFileDoesNot) {
  for (const TFileCase& c : Cases()) {
    const std::string bytes = BytesOf(c);
    const std::string extension = Extension(c.File);
    const std::optional<std::string> decoded = DecodeError(bytes, extension);
    for (size_t length = 0; length < bytes.size(); length += length < 600 ? 1 : 97) {
      const std::string checked = Check(std::string_view(bytes).substr(0, length), bytes.size(), extension);
      if (checked == "sound" || checked == "more") continue;
      EXPECT_EQ(checked, decoded.value_or("(decodes)")) << c.File << " cut to " << length;
    }
    // A sound file followed by more: its header is all there.
    if (c.Damage == TDamage::None) {
      EXPECT_EQ(Check(bytes, bytes.size() + 1000, extension), "sound") << c.File;
    }
  }
}

// The file-level check reads only the start of the file and reports a file it
// cannot read, a kind it does not take and a damaged header as the decode of
// the file does.
class PictureFileHeaderTest : public testing::Test {
protected:
  FakeFormsApi api;
  static std::string Error(auto&& call) {
    try {
      call();
    } catch (const Exception& e) {
      return ToUtf8(e.Message());
    }
    return "(no error)";
  }
  void ExpectSameError(const String& fileName) {
    const std::string checked = Error([&] { CheckPictureFileHeader(fileName, {80, 45}); });
    EXPECT_NE(checked, "(no error)") << ToUtf8(fileName);
    EXPECT_EQ(checked, Error([&] { DecodePictureFile(fileName, {80, 45}); })) << ToUtf8(fileName);
  }
};

TEST_F(PictureFileHeaderTest, UnreadableUnsupportedAndDamagedFilesRaiseTheDecodesMessage) {
  api.AddFile(u"C:\\p\\locked.jpg", ReadFixture("jpeg_baseline.jpg"));
  api.files[u"C:\\p\\locked.jpg"].readError = 5;
  api.AddFile(u"C:\\p\\huge.png", ReadFixture("png_rgb8.png"));
  api.files[u"C:\\p\\huge.png"].size = kMaxPictureFileSize + 1;
  api.AddFile(u"C:\\p\\anim.gif", "GIF89a");
  api.AddFile(u"C:\\p\\broken.png", ReadFixture("png_err_crc.png"));
  api.AddFile(u"C:\\p\\cut.bmp", ReadFixture("bmp_err_truncated.bmp"));
  for (const String name : {u"C:\\p\\locked.jpg", u"C:\\p\\gone.jpg", u"C:\\p\\huge.png", u"C:\\p\\anim.gif",
                            u"C:\\p\\broken.png", u"C:\\p\\cut.bmp"})
    ExpectSameError(name);
}

TEST_F(PictureFileHeaderTest, SoundFilesAndDamageInTheDataPass) {
  api.AddFile(u"C:\\p\\photo.jpg", ReadFixture("jpeg_progressive.jpg"));
  api.AddFile(u"C:\\p\\zlib.png", ReadFixture("png_err_zlib.png"));
  EXPECT_NO_THROW(CheckPictureFileHeader(u"C:\\p\\photo.jpg", {80, 45}));
  EXPECT_NO_THROW(CheckPictureFileHeader(u"C:\\p\\zlib.png", {80, 45}));
}

// Nearly every header is judged from the short first look; one that runs on
// past it is looked at again, further, and its damage is still found there.
TEST_F(PictureFileHeaderTest, AHeaderPastTheFirstLookIsReadFurther) {
  api.AddFile(u"C:\\p\\photo.jpg", ReadFixture("jpeg_baseline.jpg"));
  EXPECT_NO_THROW(CheckPictureFileHeader(u"C:\\p\\photo.jpg", {80, 45}));
  EXPECT_EQ(api.headSizes, std::vector<size_t>{kPictureFirstLook});

  const std::string jpeg = ReadFixture("jpeg_baseline.jpg");
  std::string padded = jpeg.substr(0, 2);  // SOI, then APP15 segments past the first look
  while (padded.size() < kPictureFirstLook + 100) {
    padded += "\xFF\xEF\xFF\xFF";
    padded += std::string(0xFFFF - 2, 'x');
  }
  api.AddFile(u"C:\\p\\far.jpg", padded + jpeg.substr(2));
  api.AddFile(u"C:\\p\\farbroken.jpg", padded + "\xFF\xC4\x00\x03\x00" + jpeg.substr(2));
  api.headSizes.clear();
  EXPECT_NO_THROW(CheckPictureFileHeader(u"C:\\p\\far.jpg", {80, 45}));
  EXPECT_EQ(api.headSizes, (std::vector<size_t>{kPictureFirstLook, kPictureHeadSize}));
  ExpectSameError(u"C:\\p\\farbroken.jpg");
}

// A header that begins beyond the bytes read (here a JPEG whose first
// segment is padded past the head) is left to the decode, whatever follows.
TEST_F(PictureFileHeaderTest, AHeaderLongerThanTheHeadReadIsLeftToTheDecode) {
  const std::string jpeg = ReadFixture("jpeg_baseline.jpg");
  std::string padded = jpeg.substr(0, 2);  // SOI
  // APP15 segments of 64 KiB each, past the head.
  while (padded.size() < kPictureHeadSize + 100) {
    padded += "\xFF\xEF\xFF\xFF";
    padded += std::string(0xFFFF - 2, 'x');
  }
  padded += jpeg.substr(2);
  api.AddFile(u"C:\\p\\padded.jpg", padded);
  EXPECT_NO_THROW(CheckPictureFileHeader(u"C:\\p\\padded.jpg", {80, 45}));
  EXPECT_NO_THROW(DecodePictureFile(u"C:\\p\\padded.jpg", {80, 45}));
  std::string broken = padded.substr(0, padded.size() - jpeg.size() + 2) + "\xFF\xC4\x00\x03\x00" + jpeg.substr(2);
  api.AddFile(u"C:\\p\\broken.jpg", broken);
  EXPECT_NO_THROW(CheckPictureFileHeader(u"C:\\p\\broken.jpg", {80, 45}));
  EXPECT_THROW(DecodePictureFile(u"C:\\p\\broken.jpg", {80, 45}), Exception);
}

}  // namespace
