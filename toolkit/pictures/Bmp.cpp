// Our own reader of Windows bitmap files. Every offset and length read from
// the file is checked against the bytes actually there before it is used.
#include <algorithm>
#include <array>
#include <bit>

#include "toolkit/pictures/Alpha.h"
#include "toolkit/pictures/Picture.h"

namespace {

const char16_t kNotBitmap[] = u"ビットマップ画像ではありません";
const char16_t kDamaged[] = u"ビットマップ画像が壊れています";
const char16_t kTruncated[] = u"ビットマップ画像のデータが途中で切れています";

enum : uint32_t { biRgb = 0, biRle8 = 1, biRle4 = 2, biBitfields = 3, biAlphaBitfields = 6 };

constexpr size_t kFileHeaderSize = 14;

// Thrown instead of the truncation message when the bytes are only the start
// of a longer file: the rest of it may hold what was missing.
struct TNeedMore {};

class TBytes {
public:
  // `partial`: the bytes are the start of a longer file.
  explicit TBytes(std::string_view bytes, bool partial = false)
      : FData(reinterpret_cast<const uint8_t*>(bytes.data())), FSize(bytes.size()), FPartial(partial) {}
  size_t Size() const { return FSize; }
  bool Partial() const { return FPartial; }
  // What is missing is missing from the file, or only from the bytes at hand.
  [[noreturn]] void Truncated() const {
    if (FPartial) throw TNeedMore{};
    throw Exception(kTruncated);
  }
  const uint8_t* At(size_t offset) const { return FData + offset; }
  bool Has(uint64_t offset, uint64_t length) const { return offset <= FSize && length <= FSize - offset; }
  uint8_t U8(size_t offset) const { return FData[offset]; }
  uint16_t U16(size_t offset) const { return static_cast<uint16_t>(FData[offset] | FData[offset + 1] << 8); }
  uint32_t U32(size_t offset) const {
    return static_cast<uint32_t>(FData[offset]) | static_cast<uint32_t>(FData[offset + 1]) << 8 |
           static_cast<uint32_t>(FData[offset + 2]) << 16 | static_cast<uint32_t>(FData[offset + 3]) << 24;
  }

private:
  const uint8_t* FData;
  size_t FSize;
  bool FPartial;
};

// One colour channel of a bit-field pixel, scaled to 0..255.
class TChannel {
public:
  TChannel() = default;
  explicit TChannel(uint32_t mask)
      : FMask(mask), FShift(mask ? std::countr_zero(mask) : 0), FMax(mask ? mask >> FShift : 0) {}
  bool Present() const { return FMask != 0; }
  uint32_t Get(uint32_t pixel) const {
    if (FMax == 0) return 0;
    const uint64_t v = (pixel & FMask) >> FShift;
    return static_cast<uint32_t>((v * 255 + FMax / 2) / FMax);
  }

private:
  uint32_t FMask = 0;
  int FShift = 0;
  uint32_t FMax = 0;
};

struct TBmpHeader {
  int64_t Width = 0;
  int64_t Height = 0;  // always positive; TopDown tells the row order
  bool TopDown = false;
  int BitCount = 0;
  uint32_t Compression = biRgb;
  std::array<uint32_t, 4> Masks{};  // red, green, blue, alpha
  size_t PaletteOffset = 0;
  size_t PaletteEntrySize = 4;
  size_t PaletteCount = 0;
  size_t DataOffset = 0;
};

TBmpHeader ReadHeader(const TBytes& in) {
  if (in.Size() < 2 && in.Partial()) in.Truncated();
  if (in.Size() < 2 || in.U8(0) != 'B' || in.U8(1) != 'M') throw Exception(kNotBitmap);
  if (!in.Has(0, kFileHeaderSize + 4)) in.Truncated();
  TBmpHeader h;
  const uint32_t offBits = in.U32(10);
  const uint32_t infoSize = in.U32(kFileHeaderSize);
  const size_t info = kFileHeaderSize;
  uint32_t colorsUsed = 0;
  size_t headerEnd;
  if (infoSize == 12) {
    if (!in.Has(info, 12)) in.Truncated();
    h.Width = in.U16(info + 4);
    h.Height = in.U16(info + 6);
    h.BitCount = in.U16(info + 10);
    h.PaletteEntrySize = 3;
    headerEnd = info + 12;
  } else if (infoSize == 40 || infoSize == 52 || infoSize == 56 || infoSize == 108 || infoSize == 124) {
    if (!in.Has(info, infoSize)) in.Truncated();
    h.Width = static_cast<int32_t>(in.U32(info + 4));
    const int64_t height = static_cast<int32_t>(in.U32(info + 8));
    h.TopDown = height < 0;
    h.Height = h.TopDown ? -height : height;
    h.BitCount = in.U16(info + 14);
    h.Compression = in.U32(info + 16);
    colorsUsed = in.U32(info + 32);
    headerEnd = info + infoSize;
    size_t maskCount = infoSize >= 56 ? 4 : infoSize >= 52 ? 3 : 0;
    size_t maskOffset = info + 40;
    if (infoSize == 40 && (h.Compression == biBitfields || h.Compression == biAlphaBitfields)) {
      // The plain info header keeps its masks just after itself.
      maskCount = h.Compression == biAlphaBitfields ? 4 : 3;
      if (!in.Has(headerEnd, maskCount * 4)) in.Truncated();
      headerEnd += maskCount * 4;
    }
    for (size_t i = 0; i < maskCount; ++i) h.Masks[i] = in.U32(maskOffset + i * 4);
  } else {
    throw Exception(
        Format(u"このビットマップ画像のヘッダー (%s バイト) には対応していません", {IntToStr(infoSize)}));
  }

  if (h.Width <= 0 || h.Height <= 0) throw Exception(kDamaged);

  const int bits = h.BitCount;
  bool supported;
  switch (h.Compression) {
    case biRgb:
      supported = bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
      break;
    case biRle8: supported = bits == 8; break;
    case biRle4: supported = bits == 4; break;
    case biBitfields:
    case biAlphaBitfields: supported = bits == 16 || bits == 32; break;
    default:
      throw Exception(
          Format(u"このビットマップ画像の圧縮形式 (%s) には対応していません", {IntToStr(h.Compression)}));
  }
  if (!supported)
    throw Exception(
        Format(u"このビットマップ画像の色の深さ (%s ビット) には対応していません", {IntToStr(bits)}));
  // Compressed rows are always stored bottom-up.
  if (h.TopDown && (h.Compression == biRle8 || h.Compression == biRle4)) throw Exception(kDamaged);

  if (h.Compression == biRgb && bits == 16) h.Masks = {0x7C00, 0x03E0, 0x001F, 0};
  if (h.Compression == biRgb && bits == 32) h.Masks = {0xFF0000, 0xFF00, 0xFF, 0};

  h.PaletteOffset = headerEnd;
  if (bits <= 8) {
    const size_t most = size_t{1} << bits;
    h.PaletteCount = colorsUsed == 0 ? most : std::min<size_t>(colorsUsed, most);
    // Some writers leave out part of the colour table; the pixel data's offset tells.
    if (offBits > h.PaletteOffset && offBits < h.PaletteOffset + h.PaletteCount * h.PaletteEntrySize)
      h.PaletteCount = (offBits - h.PaletteOffset) / h.PaletteEntrySize;
    if (!in.Has(h.PaletteOffset, h.PaletteCount * h.PaletteEntrySize)) in.Truncated();
  }
  if (offBits == 0) {
    h.DataOffset = h.PaletteOffset + h.PaletteCount * h.PaletteEntrySize;
  } else if (offBits < headerEnd) {
    throw Exception(kDamaged);
  } else {
    h.DataOffset = offBits;
  }
  if (h.DataOffset > in.Size()) in.Truncated();
  return h;
}

using TPalette = std::array<uint32_t, 256>;

TPalette ReadPalette(const TBytes& in, const TBmpHeader& h) {
  TPalette palette;
  palette.fill(0xFF000000u);  // indices past the table show black
  for (size_t i = 0; i < h.PaletteCount; ++i) {
    const uint8_t* p = in.At(h.PaletteOffset + i * h.PaletteEntrySize);
    palette[i] = 0xFF000000u | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
  }
  return palette;
}

// Whether a file of `fileSize` bytes holds every row of uncompressed pixels
// the header describes. The last row may come without its padding.
bool RowsFit(const TBmpHeader& h, uint64_t fileSize) {
  const uint64_t rowBits = static_cast<uint64_t>(h.Width) * h.BitCount;
  const uint64_t stride = (rowBits + 31) / 32 * 4;
  const uint64_t length = stride * static_cast<uint64_t>(h.Height - 1) + (rowBits + 7) / 8;
  return h.DataOffset <= fileSize && length <= fileSize - h.DataOffset;
}

bool Compressed(const TBmpHeader& h) { return h.Compression == biRle8 || h.Compression == biRle4; }

void DecodeRows(const TBytes& in, const TBmpHeader& h, TImage32& image) {
  const int width = image.Width();
  const int height = image.Height();
  const uint64_t rowBits = static_cast<uint64_t>(width) * h.BitCount;
  const uint64_t stride = (rowBits + 31) / 32 * 4;
  if (!RowsFit(h, in.Size())) throw Exception(kTruncated);

  const TPalette palette = ReadPalette(in, h);
  const TChannel red(h.Masks[0]), green(h.Masks[1]), blue(h.Masks[2]), alpha(h.Masks[3]);
  bool anyAlpha = false;
  for (int r = 0; r < height; ++r) {
    const uint8_t* src = in.At(h.DataOffset + static_cast<size_t>(stride) * r);
    uint32_t* dst = image.Row(h.TopDown ? r : height - 1 - r);
    switch (h.BitCount) {
      case 1:
      case 2:
      case 4:
      case 8: {
        const int bits = h.BitCount;
        const int perByte = 8 / bits;
        const uint32_t mask = (1u << bits) - 1;
        for (int x = 0; x < width; ++x) {
          const int shift = 8 - bits * (x % perByte + 1);
          dst[x] = palette[(src[x / perByte] >> shift) & mask];
        }
        break;
      }
      case 24:
        for (int x = 0; x < width; ++x, src += 3)
          dst[x] = 0xFF000000u | uint32_t{src[2]} << 16 | uint32_t{src[1]} << 8 | src[0];
        break;
      default: {  // 16 and 32 bits through the masks
        const bool wide = h.BitCount == 32;
        for (int x = 0; x < width; ++x) {
          uint32_t v = uint32_t{src[0]} | uint32_t{src[1]} << 8;
          if (wide) v |= uint32_t{src[2]} << 16 | uint32_t{src[3]} << 24;
          src += wide ? 4 : 2;
          const uint32_t a = alpha.Present() ? alpha.Get(v) : 255;
          anyAlpha |= a != 0;
          dst[x] = a << 24 | red.Get(v) << 16 | green.Get(v) << 8 | blue.Get(v);
        }
      }
    }
  }
  // An alpha mask over nothing but zeros is a writer that never filled it in,
  // not an invisible picture.
  if (alpha.Present() && !anyAlpha)
    for (uint32_t& pixel : image.Pixels()) pixel |= 0xFF000000u;
}

// RLE data paints a bottom-up image two bytes at a time; what it never paints
// stays transparent.
void DecodeRle(const TBytes& in, const TBmpHeader& h, TImage32& image) {
  const TPalette palette = ReadPalette(in, h);
  const bool rle4 = h.Compression == biRle4;
  const int64_t width = image.Width();
  const int64_t height = image.Height();
  int64_t x = 0, y = 0;
  auto put = [&](uint32_t index) {
    if (x < width && y < height) image.Row(static_cast<int>(height - 1 - y))[x] = palette[index];
    ++x;
  };
  size_t pos = h.DataOffset;
  const size_t end = in.Size();
  while (y < height) {
    if (end - pos < 2) throw Exception(kTruncated);
    const uint8_t count = in.U8(pos), value = in.U8(pos + 1);
    pos += 2;
    if (count > 0) {
      for (int i = 0; i < count; ++i) put(rle4 ? (i % 2 == 0 ? value >> 4 : value & 15) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {  // move right and up
      if (end - pos < 2) throw Exception(kTruncated);
      x += in.U8(pos);
      y += in.U8(pos + 1);
      pos += 2;
    } else {  // a literal run of `value` pixels, padded to a 16-bit boundary
      const size_t length = rle4 ? (value + 1u) / 2 : value;
      if (end - pos < length) throw Exception(kTruncated);
      for (int i = 0; i < value; ++i) {
        const uint8_t b = in.U8(pos + (rle4 ? i / 2 : i));
        put(rle4 ? (i % 2 == 0 ? b >> 4 : b & 15) : b);
      }
      pos += std::min(end - pos, length + (length & 1));
    }
  }
  FinishAlpha(image);
}

}  // namespace

TImage32 DecodeBmp(std::string_view bytes, const TPictureLimits& limits) {
  const TBytes in(bytes);
  const TBmpHeader h = ReadHeader(in);
  CheckPictureSize(h.Width, h.Height, limits);
  TImage32 image(static_cast<int>(h.Width), static_cast<int>(h.Height));
  if (Compressed(h)) {
    DecodeRle(in, h, image);
  } else {
    DecodeRows(in, h, image);
    FinishAlpha(image);
  }
  return image;
}

bool CheckBmpHeader(std::string_view head, uint64_t fileSize, const TPictureLimits& limits) {
  const TBytes in(head, head.size() < fileSize);
  TBmpHeader h;
  try {
    h = ReadHeader(in);
  } catch (const TNeedMore&) {
    return false;
  }
  CheckPictureSize(h.Width, h.Height, limits);
  // Uncompressed rows have a length the header decides; run-length data is
  // known only as it is read.
  if (!Compressed(h) && !RowsFit(h, fileSize)) throw Exception(kTruncated);
  return true;
}
