// The real platform of the exit sequence and the picture window.
#include "forms/FormsApi.h"

#include "toolkit/Win32.h"

namespace {

struct WindowsFormsApi final : FormsApi {
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
