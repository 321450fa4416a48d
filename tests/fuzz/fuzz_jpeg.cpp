// Feeds arbitrary bytes to the JPEG decoder, for a small target: it may
// refuse them with an Exception, nothing else, and its header check must
// agree with it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "HeaderAgreement.h"
#include "toolkit/pictures/Picture.h"

namespace {
// A header can claim any size in a few bytes. As the codecs' own harnesses
// do, a low pixel limit and a small target keep each run about the headers
// and the entropy data rather than about filling a large image: libjpeg's
// whole-picture buffers follow the limit, the output follows the target.
const TPictureLimits kLimits{1024, 64 * 1024};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The last byte picks a target of up to 128 × 96, so every DCT scale gets
  // its share; a picture smaller than the target is decoded at its own size.
  const int scale = size ? (data[size - 1] & 15) + 1 : 1;
  const TPictureSize target{scale * 8, scale * 6};
  ExpectHeaderAgreement(
      bytes, [&](std::string_view head, uint64_t fileSize) { return CheckJpegHeader(head, fileSize, target, kLimits); },
      [&](std::string_view b) { DecodeJpeg(b, target, kLimits); });
  return 0;
}
