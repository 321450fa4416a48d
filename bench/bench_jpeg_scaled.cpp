// A 6000 × 4000 photo shown on a 1920 × 1080 screen: decoding it at the
// smallest DCT scale that still covers the screen, against decoding it at full
// size, in the same run. Time is the median of the decoding thread's CPU time
// per decode, so that other work on the machine does not move it; memory is
// the peak of heap bytes in use during one decode above what was in use before
// it, counted by a malloc interposer (libjpeg's buffers and the image alike).
//
// The time ratio depends on the library and the picture, not on the build
// of our own code (libjpeg writes straight into the picture's rows): a Debug
// build measured 0.60, RelWithDebInfo 0.58. DCT scaling saves the inverse
// transform, upsampling and colour conversion of the pixels it drops, never
// the entropy decoding of the whole file, which for this grainy photo is most
// of a scaled decode: at 1/8, where only each block's DC coefficient is
// transformed, the decode still costs about 0.39 of a full one. A library
// with SIMD (Debian's shared libjpeg-turbo) makes the full-size transform
// and conversion cheap and so gives the larger ratio; the same library with
// JSIMD_FORCENONE=1 measured 0.33 (full 238 ms, scaled 78 ms), as a library
// built without its SIMD code would. libjpeg-turbo has SIMD code for
// the 1/2 and 1/4 transforms but not for 3/8, the screen's scale here: 4/8
// decodes faster (65 ms against 74 ms) but its picture is 1.8 times larger.
// The summary names the build, the library and whether SIMD was on.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>  // jpeglib.h needs size_t and FILE first
#include <cstdlib>
#include <string>
#include <vector>
#include <ctime>

#include <jpeglib.h>

#define TOLVI_STR2(x) #x
#define TOLVI_STR(x) TOLVI_STR2(x)
#define LIBJPEG_TURBO_VERSION_TEXT TOLVI_STR(LIBJPEG_TURBO_VERSION)

#include "bench/DecodeMeasure.h"
#include "toolkit/pictures/Picture.h"

namespace {

constexpr int kWidth = 6000, kHeight = 4000;
constexpr TPictureSize kScreen{1920, 1080};

// Something like a photograph: smooth light, a few large shapes with soft
// edges, and fine grain, at a camera's usual quality and 4:2:0 sampling.
std::string MakePhoto() {
  std::vector<uint8_t> rgb = MakePhotoRgb(kWidth, kHeight);
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);  // a failure here ends the benchmark, which is fine
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = kWidth;
  info.image_height = kHeight;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 90, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = reinterpret_cast<JSAMPROW>(rgb.data()) + static_cast<size_t>(info.next_scanline) * kWidth * 3;
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  std::string jpeg(reinterpret_cast<const char*>(buffer), size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return jpeg;
}

const std::string& Photo() {
  static const std::string photo = MakePhoto();
  return photo;
}

std::vector<double> gFullTimes, gScaledTimes, gSmallestTimes;

TDecodeMeasure gFull, gScaled, gSmallest;

TDecodeMeasure Run(benchmark::State& state, TPictureSize target, std::vector<double>& medians) {
  return MeasureDecode(state, Photo(), "jpeg", [target] { return DecodeJpeg(Photo(), target); }, medians);
}

void BM_JpegFullSize(benchmark::State& state) { gFull = Run(state, {}, gFullTimes); }

// The least any scaled decode of this file costs: at 1/8 only the DC
// coefficient of each block is transformed, but every coefficient is still
// entropy-decoded. What the screen's scale costs above it is the transform,
// upsampling and colour conversion of the pixels kept.
void BM_JpegSmallestScale(benchmark::State& state) {
  gSmallest = Run(state, {1, 1}, gSmallestTimes);
  if (gFull.Seconds > 0) state.counters["time_ratio"] = gSmallest.Seconds / gFull.Seconds;
}

void BM_JpegScaledForScreen(benchmark::State& state) {
  gScaled = Run(state, kScreen, gScaledTimes);
  if (gFull.Seconds > 0) state.counters["time_ratio"] = gScaled.Seconds / gFull.Seconds;
  if (HeapIsCounted() && gFull.PeakBytes > 0)
    state.counters["memory_ratio"] = double(gScaled.PeakBytes) / double(gFull.PeakBytes);
}

// The baseline first: the scaled run reads its results.
BENCHMARK(BM_JpegFullSize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegSmallestScale)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegScaledForScreen)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  if (gFull.Seconds > 0 && gScaled.Seconds > 0) {
    const double time = gScaled.Seconds / gFull.Seconds;
    std::printf("summary: 6000x4000 JPEG for a 1920x1080 screen: time ratio %.3f (goal <= 0.35, %s)", time,
                time <= 0.35 ? "met" : "missed");
    if (HeapIsCounted()) {
      const double memory = double(gScaled.PeakBytes) / double(gFull.PeakBytes);
      std::printf(", memory ratio %.3f (goal <= 0.15, %s)", memory, memory <= 0.15 ? "met" : "missed");
    }
    std::printf("\n");
    if (gSmallest.Seconds > 0)
      std::printf("the least a scaled decode of this file costs (1/8 scale, all of it still entropy-decoded): "
                  "time ratio %.3f\n",
                  gSmallest.Seconds / gFull.Seconds);
    if (HeapIsCounted()) {
      const double memory = double(gScaled.PeakBytes) / double(gFull.PeakBytes);
      std::printf("goal 8 scaled JPEG decode: time %.2fx, memory %.3fx (goal time <= 0.35x, memory <= 0.15x) %s\n",
                  time, memory, time <= 0.35 && memory <= 0.15 ? "met" : "missed");
    }
    const char* simd = std::getenv("JSIMD_FORCENONE");
    std::printf("build: %s, libjpeg-turbo %s (%s), SIMD %s\n", TOLVI_BUILD_TYPE, LIBJPEG_TURBO_VERSION_TEXT,
                TOLVI_JPEG_LIBRARY, simd && std::string(simd) == "1" ? "off (JSIMD_FORCENONE=1)" : "as the library has it");
  }
  benchmark::Shutdown();
  return 0;
}
