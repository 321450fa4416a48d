// A 6000 × 4000 PNG shown on a 1920 × 1080 screen: decoded row by row into
// the target (what the program does) against decoded whole (what it did), in
// the same run. Goal 11: the targeted decode's peak heap at most 16 MB and its
// time at most that of the whole decode. Time is the median of the decoding
// thread's CPU time per decode; memory is the peak of heap bytes in use during
// one decode above what was in use before it, counted by a malloc interposer
// (libpng's buffers and the image alike). The picture is made here: seeded
// grain over gradients and soft shapes, so that it compresses as a photo
// saved as PNG does (about 2 bytes a pixel), not as a flat test card.
#include <benchmark/benchmark.h>

#include <png.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "bench/DecodeMeasure.h"
#include "toolkit/pictures/Picture.h"

namespace {

constexpr int kWidth = 6000, kHeight = 4000;
constexpr TPictureSize kScreen{1920, 1080};

void Append(png_structp png, png_bytep data, size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}
void Flush(png_structp) {}

bool Write(png_structp png, png_infop info, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 6);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  return true;
}

std::string MakePicture() {
  std::vector<uint8_t> rgb = MakePhotoRgb(kWidth, kHeight);
  std::vector<png_bytep> rows(kHeight);
  for (int y = 0; y < kHeight; ++y) rows[y] = rgb.data() + static_cast<size_t>(y) * kWidth * 3;
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, Append, Flush);
  const bool written = Write(png, info, rows.data());
  png_destroy_write_struct(&png, &info);
  if (!written) std::abort();
  return out;
}

const std::string& Picture() {
  static const std::string picture = MakePicture();
  return picture;
}

TDecodeMeasure gWhole, gTarget;
std::vector<double> gWholeTimes, gTargetTimes;

TDecodeMeasure Run(benchmark::State& state, TPictureSize target, std::vector<double>& medians) {
  return MeasureDecode(state, Picture(), "png", [target] { return DecodePng(Picture(), target); }, medians);
}

void BM_PngWhole(benchmark::State& state) { gWhole = Run(state, {}, gWholeTimes); }

void BM_PngForScreen(benchmark::State& state) {
  gTarget = Run(state, kScreen, gTargetTimes);
  if (gWhole.Seconds > 0) state.counters["time_ratio"] = gTarget.Seconds / gWhole.Seconds;
}

// The baseline first: the targeted run reads its results.
BENCHMARK(BM_PngWhole)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_PngForScreen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  if (gWhole.Seconds > 0 && gTarget.Seconds > 0) {
    const double time = gTarget.Seconds / gWhole.Seconds;
    const double peakMb = gTarget.PeakBytes / 1e6;
    const bool met = time <= 1.0 && (!HeapIsCounted() || gTarget.PeakBytes <= 16'000'000);
    std::printf("goal 11 PNG decoded for 1920x1080: time %.2fx the whole decode, peak heap %.1f MB (whole: %.1f MB) "
                "(goal time <= 1.0x, peak <= 16 MB) %s\n",
                time, peakMb, gWhole.PeakBytes / 1e6, met ? "met" : "missed");
    std::printf("build: %s\n", TOLVI_BUILD_TYPE);
  }
  benchmark::Shutdown();
  return 0;
}
