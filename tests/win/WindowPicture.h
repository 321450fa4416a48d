// Keeps a picture of a window as it is on the screen, as a BMP file in a
// folder, for a person to look at the layout.
#pragma once

#include <cstdio>
#include <string>

#include "toolkit/Win32.h"

inline void KeepPicture(HWND wnd, const std::string& folder, const std::string& name) {
  RECT r{};
  ::GetWindowRect(wnd, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  TWindowDC screen(nullptr);
  const HDC mem = ::CreateCompatibleDC(screen.Get());
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  TBitmapHandle bmp(::CreateDIBSection(screen.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  {
    TSelectObject select(mem, bmp.Get());
    ::BitBlt(mem, 0, 0, w, h, screen.Get(), r.left, r.top, SRCCOPY);
    ::GdiFlush();
  }
  ::DeleteDC(mem);
  const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u, size = stride * static_cast<DWORD>(h);
  const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  BITMAPFILEHEADER fh{0x4D42, offset + size, 0, 0, offset};
  if (FILE* f = std::fopen((folder + "\\\\" + name + ".bmp").c_str(), "wb")) {
    std::fwrite(&fh, sizeof(fh), 1, f);
    std::fwrite(&bi.bmiHeader, sizeof(BITMAPINFOHEADER), 1, f);
    if (bits) std::fwrite(bits, 1, size, f);
    std::fclose(f);
  }
}
