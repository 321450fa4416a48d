// The platform calls of the main window's exit sequence and of the picture
// window, one for one with Win32. Handles travel as integers so that the
// logic builds without <windows.h>. The real implementation lives in
// FormsApiWin32.cpp (Windows build only); tests install a recording fake.
#pragma once

#include <cstdint>
#include <string>

#include "toolkit/Seam.h"
#include "toolkit/SysUtils.h"
#include "toolkit/SystemApi.h"

constexpr int32_t kSwHide = 0;
constexpr int32_t kSwShow = 5;
constexpr int32_t kSmCxScreen = 0;
constexpr int32_t kSmCyScreen = 1;

struct FormsApi {
  virtual ~FormsApi() = default;

  // kernel32 (files, errors and message boxes are SystemApi's)

  // user32
  virtual int32_t ShowWindow(uintptr_t wnd, int32_t cmdShow) = 0;
  virtual int32_t GetSystemMetrics(int32_t index) = 0;
};

// The platform in use. The Windows build starts with the real one; tests swap
// in a fake for their lifetime.
template <>
FormsApi& RealSeam<FormsApi>();

inline FormsApi& FormsPlatform() { return TSeam<FormsApi>::Get(); }
// Installs `api` for the calls that follow; nullptr restores the real platform.
inline void SetFormsPlatform(FormsApi* api) { TSeam<FormsApi>::Install(api); }
