// The benchmarks' stand-in for a photograph: smooth light, a few large shapes
// with soft edges, and fine grain, so that it compresses as a real one does.
// Made row by row from a fixed seed: the same bytes on every run and machine.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

// Writes row `y` of a width × height picture as RGB into `rgb` (width × 3
// bytes). `seed` carries the grain from one row to the next: start it at
// kPhotoSeed and make the rows in order.
constexpr uint32_t kPhotoSeed = 2024;
inline void PhotoRow(int width, int height, int y, uint32_t& seed, uint8_t* rgb) {
  for (int x = 0; x < width; ++x) {
    seed = seed * 1664525u + 1013904223u;
    const int grain = static_cast<int>(seed >> 28) - 8;
    const double fx = x / double(width), fy = y / double(height);
    double r = 90 + 120 * fy + 30 * std::sin(fx * 9), g = 140 + 60 * fx - 40 * fy, b = 220 - 150 * fy;
    const double d1 = std::hypot(fx - 0.3, fy - 0.6), d2 = std::hypot(fx - 0.72, fy - 0.35);
    if (d1 < 0.18) r = 200 + 40 * std::cos(d1 * 40), g = 80, b = 60 + 30 * std::sin(fx * 80);
    if (d2 < 0.12) r = 40, g = 160 + 50 * std::sin(fy * 120), b = 70;
    auto put = [&](int c, double v) { rgb[x * 3 + c] = static_cast<uint8_t>(std::clamp(int(v) + grain, 0, 255)); };
    put(0, r), put(1, g), put(2, b);
  }
}
