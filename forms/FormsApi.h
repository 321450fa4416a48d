// The platform calls of the main window's exit sequence and of the picture
// window, one for one with Win32. Handles travel as integers so that the
// logic builds without <windows.h>. The real implementation lives in
// FormsApiWin32.cpp (Windows build only); tests install a recording fake.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/Seam.h"
#include "toolkit/SysUtils.h"
#include "toolkit/SystemApi.h"

constexpr int32_t kSwHide = 0;
constexpr int32_t kSwShow = 5;
constexpr int32_t kSmCxScreen = 0;
constexpr int32_t kSmCyScreen = 1;

constexpr uint32_t kMbYesNo = 0x4;
constexpr uint32_t kMbIconInformation = 0x40;
constexpr uint32_t kMbDefButton1 = 0x0;
constexpr uint32_t kMbSetForeground = 0x10000;
constexpr int32_t kIdYes = 6;
constexpr int32_t kIdNo = 7;

// A button of a message box and the text it is to carry.
struct TBoxButton {
  int32_t Id = 0;
  String Caption;
};

// How a message box with our own button texts is to behave.
struct TBoxSetup {
  std::vector<TBoxButton> Buttons;
  int32_t EscapeResult = 0;     // what Esc and closing the box answer; 0 leaves the system's way
  bool CenterOnScreen = false;  // on the primary screen rather than over its owner
};

struct FormsApi {
  virtual ~FormsApi() = default;

  // kernel32 (files and errors are SystemApi's)
  virtual void Sleep(uint32_t milliseconds) = 0;

  // user32
  virtual uintptr_t FindWindowW(const String& className, const char16_t* windowName) = 0;
  virtual int32_t ShowWindow(uintptr_t wnd, int32_t cmdShow) = 0;
  virtual int32_t GetSystemMetrics(int32_t index) = 0;
  // A message box owned by the application's active window, with the button
  // texts and the behaviour of `setup` (plain boxes are SystemApi's).
  virtual int32_t MessageBoxW(const String& text, const String& caption, uint32_t type, const TBoxSetup& setup) = 0;
};

// The platform in use. The Windows build starts with the real one; tests swap
// in a fake for their lifetime.
template <>
FormsApi& RealSeam<FormsApi>();

inline FormsApi& FormsPlatform() { return TSeam<FormsApi>::Get(); }
// Installs `api` for the calls that follow; nullptr restores the real platform.
inline void SetFormsPlatform(FormsApi* api) { TSeam<FormsApi>::Install(api); }
