// What the picture benchmarks share: a photo-like picture made from a fixed
// seed, and the measure of one decoder on it (the median of the decoding
// thread's CPU time per decode, and the peak of heap bytes in use during one
// decode, counted by a malloc interposer where the C library allows one).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/pictures/Picture.h"

// The photo-like picture of PhotoPixels.h as RGB rows, top down.
std::vector<uint8_t> MakePhotoRgb(int width, int height);

// Whether the heap is counted in this build (glibc only).
bool HeapIsCounted();

struct TDecodeMeasure {
  double Seconds = 0;     // per decode: the median over every repetition so far
  int64_t PeakBytes = 0;  // above what was in use before the decode
};

// Runs `decode` once for its peak heap, then once per benchmark iteration for
// its time; `medians` collects each repetition's median. Sets the counters
// out_width, out_height, <label>_MB (the file's size) and peak_MB.
TDecodeMeasure MeasureDecode(benchmark::State& state, const std::string& file, const char* label,
                             const std::function<TImage32()>& decode, std::vector<double>& medians);
