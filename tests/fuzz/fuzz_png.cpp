// Feeds arbitrary bytes to the PNG decoder, whole and for a target: it may refuse them with an
// Exception, nothing else, and its header check must agree with it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "HeaderAgreement.h"
#include "toolkit/pictures/Picture.h"

namespace {
// A header can claim any size in a few bytes; small limits keep each run about
// the parsing rather than about filling a huge image.
const TPictureLimits kLimits{2048, 1024 * 1024};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The last byte picks a target, so the row-by-row reduction gets its
  // share; 0 decodes the whole picture.
  const int scale = size ? data[size - 1] & 15 : 0;
  const TPictureSize target{scale * 8, scale * 6};
  ExpectHeaderAgreement(
      bytes, [&](std::string_view head, uint64_t fileSize) { return CheckPngHeader(head, fileSize, kLimits); },
      [&](std::string_view b) { DecodePng(b, target, kLimits); });
  return 0;
}
