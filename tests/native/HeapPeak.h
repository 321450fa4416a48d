// The most the test program's heap held during a stretch of code, counting
// every allocation: ours, the C++ library's, and those made inside the shared
// libpng and libjpeg, which allocate with malloc. The plain build replaces
// malloc and its relatives for the whole program; under AddressSanitizer,
// which owns malloc, its allocation hooks do the counting.
#pragma once

#include <cstdint>

class THeapPeak {
public:
  // Starts measuring from the heap's present use. One at a time.
  THeapPeak();
  // The highest use since the start, less the use at the start, in bytes.
  int64_t Bytes() const;

private:
  int64_t FStart;
};
