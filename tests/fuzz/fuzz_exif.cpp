// Feeds arbitrary bytes to the EXIF orientation reader: it gives 1 to 8 for
// anything, and the rows it orients land on every pixel exactly once.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "toolkit/pictures/Orientation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int orientation = ExifOrientation(std::string_view(reinterpret_cast<const char*>(data), size));
  if (orientation < 1 || orientation > 8) std::abort();

  // A 5 × 3 picture whose pixels are their own numbers, put in its place.
  constexpr int kWidth = 5, kHeight = 3;
  TImage32 shown = SwapsSides(orientation) ? TImage32(kHeight, kWidth) : TImage32(kWidth, kHeight);
  TOrientedRows rows(shown, orientation);
  for (int y = 0; y < kHeight; ++y) {
    uint32_t row[kWidth];
    for (int x = 0; x < kWidth; ++x) row[x] = 1 + static_cast<uint32_t>(y * kWidth + x);
    rows.Put(y, row);
  }
  std::vector<bool> seen(kWidth * kHeight + 1);
  for (uint32_t pixel : shown.Pixels()) {
    if (pixel == 0 || pixel > kWidth * kHeight || seen[pixel]) std::abort();
    seen[pixel] = true;
  }
  return 0;
}
