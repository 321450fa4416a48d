#include "toolkit/pictures/Resize.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The source pixels behind one target pixel and their weights in 1/65536,
// which add up to exactly 65536.
struct TTaps {
  int First = 0;
  std::vector<uint32_t> Weights;
};

constexpr uint32_t kOne = 65536;

std::vector<TTaps> PlanAxis(int from, int to) {
  std::vector<TTaps> plan(static_cast<size_t>(to));
  const double scale = double(from) / double(to);
  for (int i = 0; i < to; ++i) {
    TTaps& taps = plan[static_cast<size_t>(i)];
    std::vector<double> weights;
    if (scale >= 1.0) {
      // Area: the source span [i·scale, (i+1)·scale) and each pixel's share of it.
      const double begin = i * scale, end = std::min<double>((i + 1) * scale, from);
      taps.First = std::min(static_cast<int>(std::floor(begin)), from - 1);
      for (int s = taps.First; s < from && s < end; ++s)
        weights.push_back(std::min<double>(s + 1, end) - std::max<double>(s, begin));
    } else {
      // Linear, with pixel centres lined up.
      const double centre = std::clamp((i + 0.5) * scale - 0.5, 0.0, double(from - 1));
      taps.First = std::min(static_cast<int>(centre), std::max(from - 2, 0));
      const double t = centre - taps.First;
      weights = from > 1 ? std::vector<double>{1.0 - t, t} : std::vector<double>{1.0};
    }
    // Rounded along the running sum, so that the weights never go below 0
    // and always add up to exactly kOne.
    double total = 0;
    for (double w : weights) total += w;
    double running = 0;
    uint32_t given = 0;
    for (double w : weights) {
      running += w;
      const uint32_t upTo = static_cast<uint32_t>(std::lround(std::min(running / total, 1.0) * kOne));
      taps.Weights.push_back(upTo - given);
      given = upTo;
    }
    taps.Weights.back() += kOne - given;
  }
  return plan;
}

uint32_t Blend(const uint32_t* pixels, size_t stride, const TTaps& taps) {
  uint32_t sum[4] = {kOne / 2, kOne / 2, kOne / 2, kOne / 2};  // rounds to nearest
  const uint32_t* p = pixels + static_cast<size_t>(taps.First) * stride;
  for (uint32_t w : taps.Weights) {
    const uint32_t v = *p;
    for (int c = 0; c < 4; ++c) sum[c] += ((v >> (8 * c)) & 0xFF) * w;
    p += stride;
  }
  uint32_t out = 0;
  for (int c = 0; c < 4; ++c) out |= std::min<uint32_t>(sum[c] >> 16, 255) << (8 * c);
  return out;
}

}  // namespace

TImage32 ResizePicture(const TImage32& source, int width, int height) {
  TImage32 target(width, height);
  target.SetHasAlpha(source.HasAlpha());
  if (source.Empty()) return target;
  const std::vector<TTaps> across = PlanAxis(source.Width(), width);
  const std::vector<TTaps> down = PlanAxis(source.Height(), height);

  // Rows first, into a picture as wide as the target and as tall as the source.
  TImage32 rows(width, source.Height());
  for (int y = 0; y < source.Height(); ++y) {
    const uint32_t* in = source.Row(y);
    uint32_t* out = rows.Row(y);
    for (int x = 0; x < width; ++x) out[x] = Blend(in, 1, across[static_cast<size_t>(x)]);
  }
  for (int y = 0; y < height; ++y) {
    uint32_t* out = target.Row(y);
    for (int x = 0; x < width; ++x) out[x] = Blend(rows.Row(0) + x, static_cast<size_t>(width), down[static_cast<size_t>(y)]);
  }
  return target;
}
