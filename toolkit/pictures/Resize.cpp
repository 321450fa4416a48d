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

// The reducer sums two channels in one 64-bit word, 32 bits apart: a
// channel times a weight takes 24 bits, and a sum of them with weights
// adding up to kOne stays below 256 × kOne, so neither spills into the other.
// Spread takes the channels at bits 0 and 16 of a pixel (blue and red; after
// a shift by 8, green and alpha).
inline uint64_t Spread(uint32_t pixel) { return (pixel & 0xFF) | uint64_t{pixel & 0xFF0000} << 16; }

// Both lanes start at half a unit: the sums then round to nearest, as Blend's.
constexpr uint64_t kHalfPair = uint64_t{kOne / 2} << 32 | kOne / 2;

// The pixel from blue and red sums and green and alpha sums, each lane's
// sum at most 255.5 × kOne.
inline uint32_t Pack(uint64_t br, uint64_t ga) {
  return static_cast<uint32_t>((br >> 16 & 0xFF) | (ga >> 16 & 0xFF) << 8 | (br >> 48 & 0xFF) << 16 |
                               (ga >> 48 & 0xFF) << 24);
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

TPictureSize ReducedSize(TPictureSize source, TPictureSize target) {
  if (target.Width <= 0 || target.Height <= 0) return source;
  if (!target.Fit) return {std::min(source.Width, target.Width), std::min(source.Height, target.Height)};
  if (source.Width <= target.Width && source.Height <= target.Height) return source;
  // The side that meets its bound first decides; the other follows, rounded.
  if (int64_t{source.Width} * target.Height >= int64_t{source.Height} * target.Width)
    return {target.Width, std::max(1, static_cast<int>((int64_t{source.Height} * target.Width + source.Width / 2) /
                                                       source.Width))};
  return {std::max(1, static_cast<int>((int64_t{source.Width} * target.Height + source.Height / 2) / source.Height)),
          target.Height};
}

// The plans of both axes and the running sums of the target rows that have
// some of their source rows in and some still to come.
struct TRowReducer::TPlan {
  std::vector<TTaps> Across, Down;
  // Across again, flat: target pixel x takes Counts[x] weights from Weights
  // in turn, starting at source pixel Firsts[x].
  std::vector<int> Firsts, Counts;
  std::vector<uint32_t> Weights;
  std::vector<uint32_t> Reduced;  // the current source row, reduced across
  std::vector<uint64_t> Sums;     // Ring rows of width × 2 channel pairs (see Spread)
  int Ring = 1;
  int FirstOpen = 0;  // target rows [FirstOpen, NextOpen) are being summed
  int NextOpen = 0;
};

TRowReducer::TRowReducer(int sourceWidth, int sourceHeight, int width, int height)
    : FPlan(std::make_unique<TPlan>()), FTarget(width, height) {
  if (width > sourceWidth || height > sourceHeight) throw Exception(u"画像の縮小先が元の画像より大きくなっています");
  TPlan& plan = *FPlan;
  plan.Across = PlanAxis(sourceWidth, width);
  plan.Down = PlanAxis(sourceHeight, height);
  plan.Reduced.resize(static_cast<size_t>(width));
  for (const TTaps& taps : plan.Across) {
    plan.Firsts.push_back(taps.First);
    plan.Counts.push_back(static_cast<int>(taps.Weights.size()));
    plan.Weights.insert(plan.Weights.end(), taps.Weights.begin(), taps.Weights.end());
  }
  // How many target rows one source row feeds at most: that many sums are
  // open at once.
  std::vector<int> open(static_cast<size_t>(sourceHeight) + 1, 0);
  for (const TTaps& taps : plan.Down) {
    ++open[static_cast<size_t>(taps.First)];
    --open[static_cast<size_t>(taps.First) + taps.Weights.size()];
  }
  int running = 0;
  for (int count : open) plan.Ring = std::max(plan.Ring, running += count);
  plan.Sums.resize(static_cast<size_t>(plan.Ring) * static_cast<size_t>(width) * 2);
}

TRowReducer::~TRowReducer() = default;

void TRowReducer::Put(const uint32_t* row) {
  TPlan& plan = *FPlan;
  const uint32_t* weight = plan.Weights.data();
  const int width = FTarget.Width();
  for (int x = 0; x < width; ++x) {
    const uint32_t* p = row + plan.Firsts[static_cast<size_t>(x)];
    uint64_t br = kHalfPair, ga = kHalfPair;
    for (int k = plan.Counts[static_cast<size_t>(x)]; k > 0; --k) {
      const uint32_t v = *p++, w = *weight++;
      br += Spread(v) * w;
      ga += Spread(v >> 8) * w;
    }
    plan.Reduced[static_cast<size_t>(x)] = Pack(br, ga);
  }
  PutReduced();
}

void TRowReducer::PutRgb(const uint8_t* row) {
  TPlan& plan = *FPlan;
  const uint32_t* weight = plan.Weights.data();
  const int width = FTarget.Width();
  for (int x = 0; x < width; ++x) {
    const uint8_t* p = row + 3 * static_cast<size_t>(plan.Firsts[static_cast<size_t>(x)]);
    uint64_t br = kHalfPair;
    uint32_t g = kOne / 2;
    for (int k = plan.Counts[static_cast<size_t>(x)]; k > 0; --k, p += 3) {
      const uint32_t w = *weight++;
      br += (p[2] | uint64_t{p[0]} << 32) * w;
      g += p[1] * w;
    }
    plan.Reduced[static_cast<size_t>(x)] = Pack(br, g | uint64_t{255} << 48);  // opaque
  }
  PutReduced();
}

void TRowReducer::PutReduced() {
  TPlan& plan = *FPlan;
  const int y = FSourceRow++;
  const int width = FTarget.Width();
  auto sums = [&plan, width](int target) {
    return plan.Sums.data() + static_cast<size_t>(target % plan.Ring) * static_cast<size_t>(width) * 2;
  };
  const int height = FTarget.Height();
  while (plan.NextOpen < height && plan.Down[static_cast<size_t>(plan.NextOpen)].First <= y) {
    uint64_t* s = sums(plan.NextOpen++);
    std::fill(s, s + static_cast<size_t>(width) * 2, kHalfPair);  // rounds to nearest, as Blend
  }
  for (int t = plan.FirstOpen; t < plan.NextOpen; ++t) {
    const TTaps& taps = plan.Down[static_cast<size_t>(t)];
    const size_t k = static_cast<size_t>(y - taps.First);
    if (k >= taps.Weights.size()) continue;
    const uint32_t w = taps.Weights[k];
    uint64_t* s = sums(t);
    const uint32_t* v = plan.Reduced.data();
    for (int x = 0; x < width; ++x, s += 2, ++v) {
      s[0] += Spread(*v) * w;
      s[1] += Spread(*v >> 8) * w;
    }
  }
  // Rows whose last source row this was are done, in order.
  while (plan.FirstOpen < plan.NextOpen) {
    const TTaps& taps = plan.Down[static_cast<size_t>(plan.FirstOpen)];
    if (taps.First + static_cast<int>(taps.Weights.size()) - 1 > y) break;
    const uint64_t* s = sums(plan.FirstOpen);
    uint32_t* out = FTarget.Row(plan.FirstOpen);
    for (int x = 0; x < width; ++x, s += 2) out[x] = Pack(s[0], s[1]);
    ++plan.FirstOpen;
  }
}

TImage32 TRowReducer::Take() { return std::move(FTarget); }

TImage32 ReducedToTarget(TImage32 picture, TPictureSize target) {
  if (picture.Empty()) return picture;
  const TPictureSize size = ReducedSize({picture.Width(), picture.Height()}, target);
  if (size.Width == picture.Width() && size.Height == picture.Height()) return picture;
  TRowReducer reducer(picture.Width(), picture.Height(), size.Width, size.Height);
  for (int y = 0; y < picture.Height(); ++y) reducer.Put(picture.Row(y));
  TImage32 reduced = reducer.Take();
  reduced.SetHasAlpha(picture.HasAlpha());
  reduced.SetSourceSize(picture.SourceWidth(), picture.SourceHeight());
  return reduced;
}
