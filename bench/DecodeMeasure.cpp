#include "bench/DecodeMeasure.h"

#include "bench/PhotoPixels.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <ctime>

#if defined(__GLIBC__)
#include <malloc.h>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {
std::atomic<int64_t> gLiveBytes{0};
std::atomic<int64_t> gPeakBytes{0};

void* Counted(void* block) {
  if (block) {
    const int64_t now = gLiveBytes.fetch_add(malloc_usable_size(block)) + malloc_usable_size(block);
    int64_t peak = gPeakBytes.load();
    while (now > peak && !gPeakBytes.compare_exchange_weak(peak, now)) {
    }
  }
  return block;
}

void Uncount(void* block) {
  if (block) gLiveBytes.fetch_sub(malloc_usable_size(block));
}
}  // namespace

extern "C" {
void* malloc(size_t size) { return Counted(__libc_malloc(size)); }
void* calloc(size_t count, size_t size) { return Counted(__libc_calloc(count, size)); }
void free(void* block) {
  Uncount(block);
  __libc_free(block);
}
void* realloc(void* block, size_t size) {
  Uncount(block);
  return Counted(__libc_realloc(block, size));
}
void* memalign(size_t alignment, size_t size) { return Counted(__libc_memalign(alignment, size)); }
void* aligned_alloc(size_t alignment, size_t size) { return Counted(__libc_memalign(alignment, size)); }
int posix_memalign(void** out, size_t alignment, size_t size) {
  void* block = Counted(__libc_memalign(alignment, size));
  if (!block) return 12;  // ENOMEM
  *out = block;
  return 0;
}
}

bool HeapIsCounted() { return true; }

namespace {
int64_t PeakBytesDuring(const std::function<void()>& work) {
  const int64_t before = gLiveBytes.load();
  gPeakBytes.store(before);
  work();
  return gPeakBytes.load() - before;
}
}  // namespace
#else
bool HeapIsCounted() { return false; }

namespace {
int64_t PeakBytesDuring(const std::function<void()>& work) {
  work();
  return 0;
}
}  // namespace
#endif

namespace {
double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) + now.tv_nsec / 1e9;
}
}  // namespace

std::vector<uint8_t> MakePhotoRgb(int width, int height) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  uint32_t seed = kPhotoSeed;
  for (int y = 0; y < height; ++y) PhotoRow(width, height, y, seed, rgb.data() + static_cast<size_t>(y) * width * 3);
  return rgb;
}

TDecodeMeasure MeasureDecode(benchmark::State& state, const std::string& file, const char* label,
                             const std::function<TImage32()>& decode, std::vector<double>& medians) {
  TDecodeMeasure m;
  int outWidth = 0, outHeight = 0;
  m.PeakBytes = PeakBytesDuring([&] {
    const TImage32 image = decode();
    outWidth = image.Width();
    outHeight = image.Height();
  });
  std::vector<double> times;
  for (auto _ : state) {
    const double start = ThreadCpuSeconds();
    TImage32 image = decode();
    benchmark::DoNotOptimize(image.Pixels().data());
    times.push_back(ThreadCpuSeconds() - start);
  }
  std::sort(times.begin(), times.end());
  medians.push_back(times.empty() ? 0 : times[times.size() / 2]);
  std::sort(medians.begin(), medians.end());
  m.Seconds = medians[medians.size() / 2];
  state.counters["out_width"] = outWidth;
  state.counters["out_height"] = outHeight;
  state.counters[std::string(label) + "_MB"] = file.size() / 1e6;
  if (HeapIsCounted()) state.counters["peak_MB"] = m.PeakBytes / 1e6;
  return m;
}
