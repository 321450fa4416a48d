// The heap counter behind the decoders' memory limits (HeapPeak.h), and a check
// that it really sees what happens inside the shared codecs.
#include <gtest/gtest.h>

#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "PictureFixtures.h"
#include "HeapPeak.h"
#include "toolkit/pictures/Picture.h"

#if defined(__SANITIZE_ADDRESS__)
#define TOLVI_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOLVI_ASAN 1
#endif
#endif

namespace {

std::atomic<int64_t> gInUse{0};
std::atomic<int64_t> gPeak{0};

void Added(int64_t bytes) {
  const int64_t now = gInUse.fetch_add(bytes, std::memory_order_relaxed) + bytes;
  int64_t peak = gPeak.load(std::memory_order_relaxed);
  while (now > peak && !gPeak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
  }
}

void Removed(int64_t bytes) { gInUse.fetch_sub(bytes, std::memory_order_relaxed); }

}  // namespace

THeapPeak::THeapPeak() : FStart(gInUse.load()) { gPeak.store(FStart); }

int64_t THeapPeak::Bytes() const { return gPeak.load() - FStart; }

#ifdef TOLVI_ASAN

// The hooks run before a block is released, so its size can still be asked.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
extern "C" size_t __sanitizer_get_allocated_size(const volatile void*);

namespace {
void OnMalloc(const volatile void*, size_t size) { Added(static_cast<int64_t>(size)); }
void OnFree(const volatile void* p) {
  if (p) Removed(static_cast<int64_t>(__sanitizer_get_allocated_size(p)));
}
const int kHooked = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
}  // namespace

#else

// glibc lets a program replace malloc; the shared libraries' calls then reach
// these, which count each block at its usable size and pass it to glibc's own.
extern "C" {
void* __libc_malloc(size_t);
void __libc_free(void*);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void* __libc_valloc(size_t);
void* __libc_pvalloc(size_t);
}

namespace {
void* Counted(void* p) {
  if (p) Added(static_cast<int64_t>(malloc_usable_size(p)));
  return p;
}
}  // namespace

extern "C" {
void* malloc(size_t size) noexcept { return Counted(__libc_malloc(size)); }
void* calloc(size_t count, size_t size) noexcept { return Counted(__libc_calloc(count, size)); }
void* memalign(size_t alignment, size_t size) noexcept { return Counted(__libc_memalign(alignment, size)); }
void* aligned_alloc(size_t alignment, size_t size) noexcept { return Counted(__libc_memalign(alignment, size)); }
void* valloc(size_t size) noexcept { return Counted(__libc_valloc(size)); }
void* pvalloc(size_t size) noexcept { return Counted(__libc_pvalloc(size)); }

int posix_memalign(void** out, size_t alignment, size_t size) noexcept {
  if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
  void* p = Counted(__libc_memalign(alignment, size));
  if (!p) return ENOMEM;
  *out = p;
  return 0;
}

void free(void* p) noexcept {
  if (p) Removed(static_cast<int64_t>(malloc_usable_size(p)));
  __libc_free(p);
}

// Counted as a new block before the old one goes, as a moving realloc holds both.
void* realloc(void* p, size_t size) noexcept {
  const int64_t old = p ? static_cast<int64_t>(malloc_usable_size(p)) : 0;
  void* q = __libc_realloc(p, size);
  if (q) {
    Counted(q);
    Removed(old);
  } else if (p && size == 0) {
    Removed(old);  // glibc freed it
  }
  return q;
}
}  // extern "C"

#endif

namespace {

TEST(HeapPeak, CountsTheHighestUseNotTheSum) {
  void* (*volatile allocate)(size_t) = std::malloc;  // not optimised away
  const THeapPeak peak;
  for (int i = 0; i < 3; ++i) {
    void* block = allocate(8 << 20);
    ASSERT_NE(block, nullptr);
    std::free(block);
  }
  EXPECT_GE(peak.Bytes(), 8 << 20);
  EXPECT_LT(peak.Bytes(), (8 << 20) + (64 << 10));
}

TEST(HeapPeak, SeesWhatTheSharedCodecsAllocate) {
  // A 512 × 512 progressive colour JPEG shown at 1/8: the output is 16 KiB,
  // but libjpeg keeps the coefficients of the whole picture, 768 KiB in 4:2:0.
  const std::string bytes = ReadFixture("jpeg_progressive_512.jpg");
  const THeapPeak peak;
  const TImage32 image = DecodeJpeg(bytes, {64, 64});
  EXPECT_EQ(image.Width(), 64);
  EXPECT_GE(peak.Bytes(), 768 << 10);
  EXPECT_LT(peak.Bytes(), 2 << 20);
}

}  // namespace
