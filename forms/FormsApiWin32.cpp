// The real platform of the exit sequence and the picture window.
#include "forms/FormsApi.h"

#include "toolkit/Win32.h"

namespace {

struct WindowsFormsApi final : FormsApi {
  void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }

  uintptr_t FindWindowW(const String& className, const char16_t* windowName) override {
    return reinterpret_cast<uintptr_t>(
        ::FindWindowW(W(className), windowName ? reinterpret_cast<const wchar_t*>(windowName) : nullptr));
  }
  int32_t ShowWindow(uintptr_t wnd, int32_t cmdShow) override {
    return ::ShowWindow(reinterpret_cast<HWND>(wnd), cmdShow);
  }
  int32_t GetSystemMetrics(int32_t index) override { return ::GetSystemMetrics(index); }
};

}  // namespace

template <>
FormsApi& RealSeam<FormsApi>() {
  static WindowsFormsApi api;
  return api;
}
