// Feeds arbitrary bytes to the bitmap decoder and its header check: the
// decoder may refuse them with an Exception, nothing else, and the check must
// agree with it.
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
  ExpectHeaderAgreement(
      bytes, [&](std::string_view head, uint64_t fileSize) { return CheckBmpHeader(head, fileSize, kLimits); },
      [&](std::string_view b) { DecodeBmp(b, kLimits); });
  return 0;
}
