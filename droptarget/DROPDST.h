// A non-visual component that lets a window take files dropped from the
// shell. It hooks the window's message handling (TControlHook), registers
// the window as a drop target and turns each drop into one OnFileDrop call
// with the dropped names and the drop point.
#pragma once

#include <cstdint>
#include <functional>

#include "droptarget/CTLHOOK.h"
#include "toolkit/StringList.h"

// Files holds one full name per dropped item, folders included, in the
// shell's order; it lives only for the call. X and Y are the drop point in
// client coordinates of the hooked window.
using TFileDropEvent = std::function<void(TComponent* sender, const TStrings& files, int32_t x, int32_t y)>;
// Reports what OnFileDrop raised. It is called inside the catch block, before
// the drop is released, so `throw;` gives it the error in flight. It gets no
// sender: the handler that failed may have destroyed the drop target.
using TDropErrorEvent = std::function<void()>;

class TDropDst : public TControlHook {
public:
  explicit TDropDst(TComponent* owner = nullptr);
  ~TDropDst() override;

  const TFileDropEvent& OnFileDrop() const { return FOnFileDrop; }
  void SetOnFileDrop(TFileDropEvent handler) { FOnFileDrop = std::move(handler); }
  // Without a report the error goes on to the hooked window's own message
  // handling once the drop is released.
  const TDropErrorEvent& OnDropError() const { return FOnDropError; }
  void SetOnDropError(TDropErrorEvent handler) { FOnDropError = std::move(handler); }
  // Whether the hooked window takes drops; it follows a change at once.
  bool AcceptDrop() const { return FAcceptDrop; }
  void SetAcceptDrop(bool value);

  void Loaded() override;
  // Registers the hooked window with the shell, or unregisters it, by
  // AcceptDrop. Without a live hooked window it does nothing.
  void UpdateDragAccept();

protected:
  void TargetHandleChanged(uint8_t code) override;
  // Takes WM_DROPFILES for itself; every other message goes on.
  void TargetWndProc(TMessage& message) override;
  // Collects the names of a drop and calls OnFileDrop.
  void DoFileDrop(uintptr_t drop);

private:
  TFileDropEvent FOnFileDrop;
  TDropErrorEvent FOnDropError;
  bool FAcceptDrop = true;
};
