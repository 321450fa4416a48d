// Files the Windows tests write: any bytes under a name, and a plain BMP of
// one colour.
#pragma once

#include <string>

#include "toolkit/Win32.h"

inline void WriteFile(const String& name, const std::string& bytes) {
  TFileHandle file(::CreateFileW(W(name), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// A 24-bit bottom-up BMP of one colour.
inline std::string SolidBmp(int width, int height, COLORREF color) {
  const int stride = (width * 3 + 3) & ~3;
  std::string pixels(static_cast<size_t>(stride * height), '\0');
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      char* p = &pixels[static_cast<size_t>(y * stride + x * 3)];
      p[0] = static_cast<char>(GetBValue(color));
      p[1] = static_cast<char>(GetGValue(color));
      p[2] = static_cast<char>(GetRValue(color));
    }
  BITMAPFILEHEADER fh{0x4D42, static_cast<DWORD>(14 + 40 + pixels.size()), 0, 0, 14 + 40};
  BITMAPINFOHEADER ih{};
  ih.biSize = 40;
  ih.biWidth = width;
  ih.biHeight = height;
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  return std::string(reinterpret_cast<const char*>(&fh), 14) + std::string(reinterpret_cast<const char*>(&ih), 40) +
         pixels;
}
