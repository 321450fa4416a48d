// PNG through libpng. libpng reports errors by longjmp: every call that can
// fail runs inside one of the small Read* functions below, which set the jump
// target, hold nothing with a destructor, and turn an error into `false`. Only
// after they have returned does a C++ exception leave this file.
#include <png.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "toolkit/pictures/Alpha.h"
#include "toolkit/pictures/Orientation.h"
#include "toolkit/pictures/Picture.h"
#include "toolkit/pictures/Resize.h"

namespace {

const char kTruncated[] = "PNG 画像のデータが途中で切れています";

// All a decode may hold at once: the largest picture the size limit allows
// (512 MB) and room beside it.
constexpr int64_t kMaxTotalMemory = 640LL * 1000 * 1000;

struct TPngSource {
  const uint8_t* Data;
  size_t Size;
  size_t Pos;
  char Message[256];  // the error libpng reported, UTF-8
  bool RanOut;        // the error was the end of the bytes
};

void ReadFromMemory(png_structp png, png_bytep out, size_t length) {
  auto* source = static_cast<TPngSource*>(png_get_io_ptr(png));
  if (source->Size - source->Pos < length) {
    source->RanOut = true;
    png_error(png, kTruncated);
  }
  std::memcpy(out, source->Data + source->Pos, length);
  source->Pos += length;
}

void OnError(png_structp png, png_const_charp message) {
  auto* source = static_cast<TPngSource*>(png_get_error_ptr(png));
  std::snprintf(source->Message, sizeof source->Message, "%s", message ? message : "");
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}  // recoverable: the picture still decodes

bool ReadInfo(png_structp png, png_infop info) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  return true;
}

// Whether the picture has no transparency of any kind.
bool IsOpaque(png_structp png, png_infop info) {
  return (png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) == 0 && png_get_valid(png, info, PNG_INFO_tRNS) == 0;
}

// Asks libpng for 8-bit B, G, R, A pixels (0xAARRGGBB words) whatever the file
// holds; with `rgb`, for an opaque picture, for 8-bit R, G, B bytes instead.
bool SetUpTransforms(png_structp png, png_infop info, bool rgb = false) {
  if (setjmp(png_jmpbuf(png))) return false;
  const int colorType = png_get_color_type(png, info);
  const int bitDepth = png_get_bit_depth(png, info);
  const bool transparentColor = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (transparentColor) png_set_tRNS_to_alpha(png);
  if (bitDepth == 16) {
#ifdef PNG_READ_SCALE_16_TO_8_SUPPORTED
    png_set_scale_16(png);
#else
    png_set_strip_16(png);
#endif
  }
  if ((colorType & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
  const bool little = std::endian::native == std::endian::little;
  if (!rgb) {
    if ((colorType & PNG_COLOR_MASK_ALPHA) == 0 && !transparentColor)
      png_set_add_alpha(png, 0xFF, little ? PNG_FILLER_AFTER : PNG_FILLER_BEFORE);
    if (little) {
      png_set_bgr(png);
    } else {
      png_set_swap_alpha(png);
    }
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<size_t>(png_get_image_width(png, info)) * (rgb ? 3 : 4))
    png_error(png, "PNG 画像の画素の形式を変換できません");
  return true;
}

bool ReadImage(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  return true;
}

// A picture without interlacing, one row at a time into `row`, each put in
// its place.
bool ReadRows(png_structp png, png_bytep row, int height, TOrientedRows* oriented) {
  if (setjmp(png_jmpbuf(png))) return false;
  for (int y = 0; y < height; ++y) {
    png_read_row(png, row, nullptr);
    oriented->Put(y, reinterpret_cast<const uint32_t*>(row));
  }
  return true;
}

// Where the rows of a reduced decode go: each read into Row, premultiplied
// there, then handed to the reducer.
struct TPngRows {
  uint32_t* Row;
  int Width;
  TRowReducer* Reducer;
  bool* Translucent;
};

// Premultiplies one row in place; the reducer averages premultiplied colours.
void Premultiplied(TPngRows* sink) {
  for (int x = 0; x < sink->Width; ++x) {
    uint32_t& pixel = sink->Row[x];
    if (pixel < 0xFF000000u) {
      pixel = Premultiply(pixel);
      *sink->Translucent = true;
    }
  }
}

// An opaque picture without interlacing, one row of R, G, B bytes at a time
// into the reducer: nothing to premultiply, no alpha to add.
bool ReadReducedRgbRows(png_structp png, int height, png_bytep row, TRowReducer* reducer) {
  if (setjmp(png_jmpbuf(png))) return false;
  for (int y = 0; y < height; ++y) {
    png_read_row(png, row, nullptr);
    reducer->PutRgb(row);
  }
  return true;
}

// A picture without interlacing, one row at a time into the reducer. The
// reducer allocates nothing after its construction, so nothing here can throw.
bool ReadReducedRows(png_structp png, int height, TPngRows* sink) {
  if (setjmp(png_jmpbuf(png))) return false;
  for (int y = 0; y < height; ++y) {
    png_read_row(png, reinterpret_cast<png_bytep>(sink->Row), nullptr);
    Premultiplied(sink);
    sink->Reducer->Put(sink->Row);
  }
  return true;
}

// The orientation an eXIf chunk before the image data records; 1 without one.
int PngOrientation(png_structp png, png_infop info) {
  png_unknown_chunkp chunks = nullptr;
  const int count = png_get_unknown_chunks(png, info, &chunks);
  for (int i = 0; i < count; ++i)
    if (std::memcmp(chunks[i].name, "eXIf", 4) == 0)
      return ExifOrientation({reinterpret_cast<const char*>(chunks[i].data), chunks[i].size});
  return 1;
}

class TPngReader {
public:
  explicit TPngReader(TPngSource& source) {
    FPng = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, OnError, OnWarning);
    if (FPng) FInfo = png_create_info_struct(FPng);
    if (!FPng || !FInfo) {
      png_destroy_read_struct(&FPng, nullptr, nullptr);
      throw Exception(u"PNG 画像を読み込む準備ができません");
    }
    png_set_read_fn(FPng, &source, ReadFromMemory);
    // The size is checked by us once the header is in, against the caller's limits.
    png_set_user_limits(FPng, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    // Only the eXIf chunk is ever kept in memory; EXIF fits in 64 KiB.
    png_set_chunk_malloc_max(FPng, 64 * 1024);
    // The chunks kept stay until the end; libpng keeps two fewer than this
    // count, so one: the first eXIf.
    png_set_chunk_cache_max(FPng, 3);
    // Only IHDR, PLTE, tRNS, IDAT and IEND matter for the pixels. Every other
    // chunk, known to libpng or not, is stepped over unread: libpng would
    // otherwise allocate and zero whatever length a chunk claims before it
    // finds the file too short for it, and inflate text and profiles too.
    png_set_keep_unknown_chunks(FPng, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    // Except the orientation's eXIf, kept up to the size limit above.
    static const png_byte kExif[] = "eXIf";
    png_set_keep_unknown_chunks(FPng, PNG_HANDLE_CHUNK_ALWAYS, kExif, 1);
  }
  ~TPngReader() { png_destroy_read_struct(&FPng, FInfo ? &FInfo : nullptr, nullptr); }
  TPngReader(const TPngReader&) = delete;
  TPngReader& operator=(const TPngReader&) = delete;

  png_structp Png() const { return FPng; }
  png_infop Info() const { return FInfo; }

private:
  png_structp FPng = nullptr;
  png_infop FInfo = nullptr;
};

Exception Failed(const TPngSource& source) { return Exception(FromUtf8(source.Message)); }

// Everything up to the image data: the signature, the chunks before the first
// IDAT and the size against the limits. False when the bytes end first and
// were only the start of the file.
bool ReadHeaderInfo(png_structp png, png_infop info, const TPngSource& source, bool partial,
                    const TPictureLimits& limits) {
  if (!ReadInfo(png, info)) {
    if (partial && source.RanOut) return false;
    throw Failed(source);
  }
  CheckPictureSize(png_get_image_width(png, info), png_get_image_height(png, info), limits);
  return true;
}

}  // namespace

bool CheckPngHeader(std::string_view head, uint64_t fileSize, const TPictureLimits& limits) {
  TPngSource source{reinterpret_cast<const uint8_t*>(head.data()), head.size(), 0, {}, false};
  TPngReader reader(source);
  if (!ReadHeaderInfo(reader.Png(), reader.Info(), source, head.size() < fileSize, limits)) return false;
  // The pixel format asked of libpng, which refuses what it cannot convert.
  if (!SetUpTransforms(reader.Png(), reader.Info())) throw Failed(source);
  return true;
}

TImage32 DecodePng(std::string_view bytes, TPictureSize target, const TPictureLimits& limits) {
  TPngSource source{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 0, {}, false};
  TPngReader reader(source);
  png_structp png = reader.Png();
  png_infop info = reader.Info();
  auto failed = [&source] { return Failed(source); };

  ReadHeaderInfo(png, info, source, false, limits);
  const int orientation = PngOrientation(png, info);
  const bool interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;

  const int width = static_cast<int>(png_get_image_width(png, info));
  const int height = static_cast<int>(png_get_image_height(png, info));
  // The target is the shown size; turned a quarter, the stored picture's
  // width is shown as its height.
  if (SwapsSides(orientation)) std::swap(target.Width, target.Height);
  const TPictureSize kept = ReducedSize({width, height}, target);
  const bool reduced = kept.Width != width || kept.Height != height;
  // An opaque picture reduced row by row is read as it is stored, three bytes
  // a pixel: libpng's passes adding alpha and turning the bytes round, and
  // ours premultiplying, would all be for nothing.
  const bool rgbRows = reduced && !interlaced && IsOpaque(png, info);
  if (!SetUpTransforms(png, info, rgbRows)) throw failed();

  auto readWhole = [&] {
    TImage32 whole(width, height);
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) rows[y] = reinterpret_cast<png_bytep>(whole.Row(y));
    if (!ReadImage(png, rows.data())) throw failed();
    return whole;
  };
  TImage32 image;
  if (interlaced) {
    // Each pass adds to rows of the earlier ones: the stored picture is needed
    // whole before anything can be made of it (within the decoders' memory
    // budget, as the size limit keeps it). It is then reduced and turned; a
    // quarter turn of an unreduced picture holds two pictures for a moment,
    // and when they would pass the budget the picture is shown as stored
    // rather than not at all.
    image = readWhole();
    FinishAlpha(image);
    if (reduced) image = ReducedToTarget(std::move(image), target);
    const int64_t bytes = int64_t{image.Width()} * image.Height() * 4;
    if (!SwapsSides(orientation) || 2 * bytes <= kMaxTotalMemory) {
      image = Oriented(std::move(image), orientation);
      if (SwapsSides(orientation)) image.SetSourceSize(height, width);
      else image.SetSourceSize(width, height);
    }
    return image;
  }
  if (reduced) {
    // Row by row into the reduced picture: the stored picture is never held,
    // only the result, one row of it as read and the reducer's sums.
    TRowReducer reducer(width, height, kept.Width, kept.Height);
    std::vector<uint32_t> row(static_cast<size_t>(width));
    bool translucent = false;
    if (rgbRows) {
      if (!ReadReducedRgbRows(png, height, reinterpret_cast<png_bytep>(row.data()), &reducer)) throw failed();
    } else {
      TPngRows sink{row.data(), width, &reducer, &translucent};
      if (!ReadReducedRows(png, height, &sink)) throw failed();
    }
    image = reducer.Take();
    image.SetHasAlpha(translucent);
    if (orientation != 1) image = Oriented(std::move(image), orientation);
    if (SwapsSides(orientation)) image.SetSourceSize(height, width);
    else image.SetSourceSize(width, height);
    return image;
  }
  if (orientation == 1) {
    image = readWhole();
  } else {
    image = SwapsSides(orientation) ? TImage32(height, width) : TImage32(width, height);
    TOrientedRows oriented(image, orientation);
    std::vector<uint32_t> row(static_cast<size_t>(width));
    if (!ReadRows(png, reinterpret_cast<png_bytep>(row.data()), height, &oriented)) throw failed();
  }
  FinishAlpha(image);
  return image;
}
