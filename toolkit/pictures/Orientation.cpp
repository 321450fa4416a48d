#include "toolkit/pictures/Orientation.h"

#include <algorithm>

namespace {

// Reads the TIFF block in its own byte order; every read outside it gives
// nothing, which ends the search.
class TTiffReader {
public:
  explicit TTiffReader(std::string_view data) : FData(data) {}

  bool Little() const { return FLittle; }
  void SetLittle(bool value) { FLittle = value; }

  bool U16(size_t at, uint32_t& value) const {
    if (at > FData.size() || FData.size() - at < 2) return false;
    const uint32_t a = Byte(at), b = Byte(at + 1);
    value = FLittle ? a | b << 8 : a << 8 | b;
    return true;
  }
  bool U32(size_t at, uint32_t& value) const {
    uint32_t low = 0, high = 0;
    if (!U16(at, FLittle ? low : high) || !U16(at + 2, FLittle ? high : low)) return false;
    value = high << 16 | low;
    return true;
  }

private:
  uint32_t Byte(size_t at) const { return static_cast<uint8_t>(FData[at]); }

  std::string_view FData;
  bool FLittle = false;
};

constexpr uint32_t kOrientationTag = 0x0112;
constexpr uint32_t kShort = 3;
constexpr uint32_t kLong = 4;

}  // namespace

int ExifOrientation(std::string_view block) {
  constexpr std::string_view kApp1Header("Exif\0\0", 6);
  if (block.starts_with(kApp1Header)) block.remove_prefix(kApp1Header.size());
  if (block.size() < 8) return 1;
  TTiffReader tiff(block);
  if (block.starts_with("II")) {
    tiff.SetLittle(true);
  } else if (!block.starts_with("MM")) {
    return 1;
  }
  uint32_t magic = 0, directory = 0, count = 0;
  if (!tiff.U16(2, magic) || magic != 42 || !tiff.U32(4, directory) || directory < 8) return 1;
  if (!tiff.U16(directory, count)) return 1;
  // Each entry: tag, type, count (4 bytes), value or its offset (4 bytes).
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = directory + 2 + static_cast<size_t>(i) * 12;
    uint32_t tag = 0, type = 0, values = 0, value = 0;
    if (!tiff.U16(entry, tag) || !tiff.U16(entry + 2, type) || !tiff.U32(entry + 4, values)) return 1;
    if (tag != kOrientationTag) continue;
    if (values != 1) return 1;
    // A short sits in the first two bytes of the value field; some writers
    // use a long.
    if (!(type == kShort ? tiff.U16(entry + 8, value) : type == kLong && tiff.U32(entry + 8, value))) return 1;
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
  }
  return 1;
}

void TOrientedRows::Put(int y, const uint32_t* row) {
  const int shownWidth = FImage.Width(), shownHeight = FImage.Height();
  switch (FOrientation) {
    case 2: std::reverse_copy(row, row + shownWidth, FImage.Row(y)); break;
    case 3: std::reverse_copy(row, row + shownWidth, FImage.Row(shownHeight - 1 - y)); break;
    case 4: std::copy(row, row + shownWidth, FImage.Row(shownHeight - 1 - y)); break;
    case 5:
    case 6:
    case 7:
    case 8: {
      // Stored row y is shown as a column: from the left for 5 and 8, from
      // the right for 6 and 7; read downwards for 5 and 6, upwards for 7 and 8.
      const int x = FOrientation == 5 || FOrientation == 8 ? y : shownWidth - 1 - y;
      const bool upwards = FOrientation == 7 || FOrientation == 8;
      for (int i = 0; i < shownHeight; ++i) FImage.Row(upwards ? shownHeight - 1 - i : i)[x] = row[i];
      break;
    }
    default: std::copy(row, row + shownWidth, FImage.Row(y)); break;
  }
}

TImage32 Oriented(TImage32 stored, int orientation) {
  const int width = stored.Width(), height = stored.Height();
  switch (orientation) {
    case 2:
      for (int y = 0; y < height; ++y) std::reverse(stored.Row(y), stored.Row(y) + width);
      return stored;
    case 3: std::reverse(stored.Pixels().begin(), stored.Pixels().end()); return stored;
    case 4:
      for (int y = 0; y < height / 2; ++y) std::swap_ranges(stored.Row(y), stored.Row(y) + width, stored.Row(height - 1 - y));
      return stored;
    case 5:
    case 6:
    case 7:
    case 8: {
      TImage32 shown(height, width);
      shown.SetHasAlpha(stored.HasAlpha());
      TOrientedRows rows(shown, orientation);
      for (int y = 0; y < height; ++y) rows.Put(y, stored.Row(y));
      return shown;
    }
    default: return stored;
  }
}
