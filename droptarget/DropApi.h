// What the hook and the drop target ask of the world around them, one call
// for one call: the toolkit's windowed controls and the shell's drag-and-drop
// functions. Handles travel as integers
// so that the logic builds without <windows.h>. The real implementation lives
// in DropApiWin32.cpp; tests install a fake.
#pragma once

#include <cstdint>

#include "toolkit/Classes.h"
#include "toolkit/Messages.h"
#include "toolkit/Seam.h"

class TWinControl;  // toolkit/Controls.h; the logic only passes it around

constexpr uint32_t kWmCreate = 0x0001;
constexpr uint32_t kWmDestroy = 0x0002;
constexpr uint32_t kWmDropFiles = 0x0233;
// DragQueryFileW's index that asks for the number of dropped items.
constexpr uint32_t kDragQueryCount = 0xFFFFFFFFu;

struct TDropPoint {
  int32_t X = 0;
  int32_t Y = 0;
};

struct DropApi {
  virtual ~DropApi() = default;

  // The toolkit.
  virtual TWinControl* AsWinControl(TComponent* component) = 0;  // nullptr unless it is one
  virtual TComponent* AsComponent(TWinControl* control) = 0;
  virtual bool IsForm(TWinControl* control) = 0;
  virtual TWinControl* Parent(TWinControl* control) = 0;
  virtual uintptr_t Handle(TWinControl* control) = 0;  // makes the window when there is none
  virtual bool HandleAllocated(TWinControl* control) = 0;
  virtual TWndMethod WindowProc(TWinControl* control) = 0;
  virtual void SetWindowProc(TWinControl* control, TWndMethod proc) = 0;

  // shell32 and user32.
  virtual void DragAcceptFiles(uintptr_t wnd, int32_t accept) = 0;
  virtual uint32_t DragQueryFileW(uintptr_t drop, uint32_t index, char16_t* buffer, uint32_t size) = 0;
  virtual bool DragQueryPoint(uintptr_t drop, TDropPoint& point) = 0;
  virtual void DragFinish(uintptr_t drop) = 0;
  virtual bool IsWindow(uintptr_t wnd) = 0;
};

// The platform in use. The Windows build starts with the real one; tests swap
// in a fake for their lifetime.
template <>
DropApi& RealSeam<DropApi>();

inline DropApi& DropPlatform() { return TSeam<DropApi>::Get(); }
// Installs `api` for the calls that follow; nullptr restores the real platform.
inline void SetDropPlatform(DropApi* api) { TSeam<DropApi>::Install(api); }
