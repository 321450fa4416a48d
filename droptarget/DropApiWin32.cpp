#include "droptarget/DropApi.h"

#include "toolkit/Forms.h"  // windows.h first; TForm

#include <shellapi.h>

namespace {

HWND Wnd(uintptr_t wnd) { return reinterpret_cast<HWND>(wnd); }
HDROP Drop(uintptr_t drop) { return reinterpret_cast<HDROP>(drop); }

struct RealDropApi final : DropApi {
  TWinControl* AsWinControl(TComponent* component) override { return dynamic_cast<TWinControl*>(component); }
  TComponent* AsComponent(TWinControl* control) override { return control; }
  bool IsForm(TWinControl* control) override { return dynamic_cast<TForm*>(control) != nullptr; }
  TWinControl* Parent(TWinControl* control) override { return control->Parent(); }
  uintptr_t Handle(TWinControl* control) override { return reinterpret_cast<uintptr_t>(control->Handle()); }
  bool HandleAllocated(TWinControl* control) override { return control->HandleAllocated(); }
  TWndMethod WindowProc(TWinControl* control) override { return control->WindowProc(); }
  void SetWindowProc(TWinControl* control, TWndMethod proc) override { control->SetWindowProc(std::move(proc)); }

  void DragAcceptFiles(uintptr_t wnd, int32_t accept) override { ::DragAcceptFiles(Wnd(wnd), accept); }
  uint32_t DragQueryFileW(uintptr_t drop, uint32_t index, char16_t* buffer, uint32_t size) override {
    return ::DragQueryFileW(Drop(drop), index, W(buffer), size);
  }
  bool DragQueryPoint(uintptr_t drop, TDropPoint& point) override {
    POINT p{};
    const bool inClient = ::DragQueryPoint(Drop(drop), &p) != FALSE;
    point.X = p.x;
    point.Y = p.y;
    return inClient;
  }
  void DragFinish(uintptr_t drop) override { ::DragFinish(Drop(drop)); }
  bool IsWindow(uintptr_t wnd) override { return ::IsWindow(Wnd(wnd)) != FALSE; }
};

}  // namespace

template <>
DropApi& RealSeam<DropApi>() {
  static RealDropApi api;
  return api;
}
