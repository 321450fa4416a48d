// Choosing the decoder, the size limit, and every fixture cut short and
// mangled: a damaged picture ends in an Exception, never in a crash, a hang, a
// stray exception type or a silently different picture.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "toolkit/pictures/Picture.h"
#include "toolkit/pictures/PictureFormats.h"

namespace {

const auto kFixtures = std::filesystem::path(__FILE__).parent_path() / "../fixtures/pictures";

std::string ReadFixture(const std::string& name) {
  std::ifstream in(kFixtures / name, std::ios::binary);
  if (!in) throw std::runtime_error("missing fixture " + name);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ErrorOf(const std::string& bytes, StringView extension) {
  try {
    DecodePicture(bytes, extension);
  } catch (const Exception& e) {
    return ToUtf8(e.Message());
  }
  return "(no error)";
}

TEST(DecodePicture, TheExtensionChoosesTheDecoderWithoutRegardToCase) {
  const struct {
    const char16_t* Extension;
    const char* File;
  } cases[] = {
      {u"bmp", "bmp_info_24.bmp"}, {u"BMP", "bmp_info_24.bmp"}, {u".Bmp", "bmp_info_24.bmp"},
      {u"jpg", "jpeg_baseline.jpg"}, {u"JPG", "jpeg_baseline.jpg"}, {u".jpeg", "jpeg_baseline.jpg"},
      {u"JpEg", "jpeg_baseline.jpg"}, {u"png", "png_rgb8.png"}, {u".PNG", "png_rgb8.png"},
  };
  for (const auto& c : cases) {
    const TImage32 image = DecodePicture(ReadFixture(c.File), c.Extension);
    EXPECT_FALSE(image.Empty()) << ToUtf8(c.Extension);
  }
  // The extension decides, not the content: a bitmap named .png is a bad PNG.
  EXPECT_EQ(ErrorOf(ReadFixture("bmp_info_24.bmp"), u"png"), "Not a PNG file");
  EXPECT_THAT(ErrorOf(ReadFixture("bmp_info_24.bmp"), u"jpg"), testing::StartsWith("Not a JPEG file"));
  // The target reaches the JPEG decoder.
  EXPECT_EQ(DecodePicture(ReadFixture("jpeg_baseline.jpg"), u"jpg", {8, 6}).Width(), 8);
}

TEST(DecodePicture, AnyOtherExtensionIsRefusedWithItsOwnSpelling) {
  const struct {
    const char16_t* Extension;
    const char* Message;
  } cases[] = {
      {u"gif", "拡張子 .gif の画像形式は処理できません"},
      {u"GiF", "拡張子 .GiF の画像形式は処理できません"},
      {u".TIFF", "拡張子 .TIFF の画像形式は処理できません"},
      {u"", "拡張子 . の画像形式は処理できません"},
      {u"bmp ", "拡張子 .bmp  の画像形式は処理できません"},
      {u"jpe", "拡張子 .jpe の画像形式は処理できません"},
      {u"ＢＭＰ", "拡張子 .ＢＭＰ の画像形式は処理できません"},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorOf(ReadFixture("bmp_info_24.bmp"), c.Extension), c.Message);
}

TEST(CheckPictureSize, RefusesSidesAndAreasOverTheLimit) {
  const struct {
    int64_t Width, Height;
    bool Accepted;
  } cases[] = {
      {1, 1, true},          {16384, 1, true},       {1, 16384, true},      {16384, 7812, true},
      {16385, 1, false},     {1, 16385, false},      {16384, 7813, false},  {16384, 16384, false},
      {0, 5, false},         {5, 0, false},          {-1, 5, false},        {1LL << 32, 1, false},
  };
  for (const auto& c : cases) {
    if (c.Accepted) {
      EXPECT_NO_THROW(CheckPictureSize(c.Width, c.Height, {})) << c.Width << "x" << c.Height;
    } else {
      EXPECT_THROW(CheckPictureSize(c.Width, c.Height, {}), Exception) << c.Width << "x" << c.Height;
    }
  }
  try {
    CheckPictureSize(20000, 10, {});
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), u"画像が大きすぎます (20000 × 10 ピクセル)。扱えるのは一辺 16384 ピクセル、全体で 128000000 ピクセルまでです");
  }
}

TEST(CheckPictureSize, EveryDecoderAppliesTheCallersLimits) {
  for (const char* file : {"bmp_info_24.bmp", "bmp_rle8.bmp", "png_rgb8.png", "png_rgba8_interlaced.png"}) {
    const std::string bytes = ReadFixture(file);
    const StringView ext = std::string(file).ends_with(".png") ? u"png" : u"bmp";
    const TImage32 image = DecodePicture(bytes, ext);
    const int w = image.Width(), h = image.Height();
    EXPECT_NO_THROW(DecodePicture(bytes, ext, {}, {std::max(w, h), w * h})) << file;
    EXPECT_THROW(DecodePicture(bytes, ext, {}, {std::max(w, h) - 1, w * h}), Exception) << file;
    EXPECT_THROW(DecodePicture(bytes, ext, {}, {std::max(w, h), w * h - 1}), Exception) << file;
  }
}

std::vector<std::string> GoodFixtures() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(kFixtures)) {
    const std::string name = entry.path().filename().string();
    const std::string ext = entry.path().extension().string();
    if ((ext == ".bmp" || ext == ".png" || ext == ".jpg") && name.find("_err_") == std::string::npos)
      names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

StringView ExtensionOf(const std::string& name) {
  return name.ends_with(".bmp") ? u"bmp" : name.ends_with(".png") ? u"png" : u"jpg";
}

// Small limits keep a mangled header that claims a huge picture cheap.
const TPictureLimits kSweepLimits{512, 512 * 512};

bool SameImage(const TImage32& a, const TImage32& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() &&
         std::equal(a.Pixels().begin(), a.Pixels().end(), b.Pixels().begin());
}

TEST(HostileInput, EveryPrefixOfEveryFixtureFailsCleanlyOrDecodesTheWholePicture) {
  const auto names = GoodFixtures();
  ASSERT_GT(names.size(), 40u);
  for (const auto& name : names) {
    const std::string bytes = ReadFixture(name);
    const TImage32 whole = DecodePicture(bytes, ExtensionOf(name), {}, kSweepLimits);
    int failures = 0;
    for (size_t length = 0; length < bytes.size(); ++length) {
      try {
        const TImage32 part = DecodePicture(std::string_view(bytes).substr(0, length), ExtensionOf(name), {}, kSweepLimits);
        // Only trailing bytes the picture does not need may go missing.
        EXPECT_TRUE(SameImage(part, whole)) << name << " cut to " << length << " bytes decoded to something else";
      } catch (const Exception& e) {
        EXPECT_FALSE(e.Message().empty()) << name << " cut to " << length;
        ++failures;
      }
    }
    // Cutting into the header or the pixel data must always be noticed.
    EXPECT_GE(failures, static_cast<int>(bytes.size() * 3 / 4)) << name;
  }
}

TEST(HostileInput, MangledBytesNeverCrashOrThrowAnythingButException) {
  // Under the sanitizer build this is also a check on every read and write.
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  for (const auto& name : GoodFixtures()) {
    const std::string bytes = ReadFixture(name);
    for (int round = 0; round < 300; ++round) {
      std::string mangled = bytes;
      const int changes = 1 + static_cast<int>(next() >> 29);
      for (int i = 0; i < changes; ++i) {
        const uint32_t r = next();
        // Most changes land in the first 128 bytes, where the headers are.
        const size_t span = (r & 1) ? std::min<size_t>(128, mangled.size()) : mangled.size();
        mangled[(r >> 8) % span] = static_cast<char>(next() >> 24);
      }
      try {
        DecodePicture(mangled, ExtensionOf(name), {}, kSweepLimits);
      } catch (const Exception&) {
      }
    }
  }
}

}  // namespace

namespace {

TEST(PictureFormats, EachPlaceTakesItsOwnExtensionsInAnyCase) {
  const struct {
    const char16_t* Name;
    bool CommandLine, MainWindow, PictureWindow;
  } cases[] = {
      {u"C:\\p\\a.bmp", true, true, true},     {u"C:\\p\\a.JPG", true, true, true},
      {u"C:\\p\\a.jpeg", false, true, true},   {u"C:\\p\\a.Png", false, true, true},
      {u"C:\\p\\a.gif", false, false, false},  {u"C:\\p.jpg\\noext", false, false, false},
      {u"C:\\p\\a.jpg.txt", false, false, false}, {u"a.", false, false, false},
      // Only through the platform's decoders, which the native build has not.
      {u"C:\\p\\a.tif", false, false, false},  {u"C:\\p\\a.ico", false, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsPictureFileName(c.Name, puCommandLine), c.CommandLine) << ToUtf8(c.Name);
    EXPECT_EQ(IsPictureFileName(c.Name, puMainWindow), c.MainWindow) << ToUtf8(c.Name);
    EXPECT_EQ(IsPictureFileName(c.Name, puPictureWindow), c.PictureWindow) << ToUtf8(c.Name);
  }
}

TEST(PictureFormats, TheOpenDialogFilterAndTheRefusal) {
  EXPECT_EQ(kPictureFilterName, u"画像ファイル");
  EXPECT_EQ(PictureFilterMask(puMainWindow), u"*.bmp;*.jpg;*.jpeg;*.png");
  EXPECT_EQ(UnsupportedPictureMessage(u".Gif"), u"拡張子 .Gif の画像形式は処理できません");
  EXPECT_EQ(UnsupportedPictureMessage(u"gif"), u"拡張子 .gif の画像形式は処理できません");
}

}  // namespace
