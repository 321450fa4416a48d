// A non-visual component that puts itself in front of the message handling of
// one windowed control: the control named by Control, or the form that holds
// it, or the form that owns the component. Every message of the hooked
// control reaches TargetWndProc first and goes on from there to the
// control's own handling. Only the control's WindowProc is swapped, so the
// hook outlives the control's window and follows it when it is made anew.
#pragma once

#include <cstdint>

#include "droptarget/DropApi.h"
#include "toolkit/Classes.h"
#include "toolkit/Messages.h"

// What to hook: the control named by Control, or the form holding it (the
// form owning the hook when no control is named).
enum THookTarget : uint8_t { htControl = 0, htForm = 1 };

class TControlHook : public TComponent {
public:
  explicit TControlHook(TComponent* owner = nullptr);
  ~TControlHook() override;

  // Assigning either one moves the hook: it is removed, the value stored and
  // the hook installed again, also when the value is the same. With htForm,
  // a missing form is an error; the new value stays and nothing is hooked.
  TWinControl* Control() const { return FControl; }
  void SetControl(TWinControl* value);
  THookTarget Target() const { return FTargetType; }
  void SetTarget(THookTarget value);

  void Loaded() override;

  // The form of a component: a form itself, the outermost form of a control,
  // or else the form of its owner. nullptr when there is none.
  static TWinControl* FindOwnerForm(TComponent* component);
  // The control the hook belongs on, by Target and Control; may be nullptr.
  TWinControl* GetHookTarget();

  // The control whose WindowProc is replaced now, and its window. The window
  // is 0 after it was destroyed, and kRecreatingHandle between the creation
  // of a new one and its next message.
  TWinControl* HookTarget() const { return FHookTarget; }
  uintptr_t HookTargetHandle() const { return FHWndHookTarget; }
  static constexpr uintptr_t kRecreatingHandle = ~uintptr_t{0};

  // TargetHandleChanged's codes.
  static constexpr uint8_t kHandleDestroyed = 1;
  static constexpr uint8_t kHandleRecreated = 2;

protected:
  void Notification(TComponent* component, TOperation operation) override;

  // Installs the hook on GetHookTarget() or removes it. Does nothing in a
  // designer.
  void SetHook(bool enable);
  // The handler that stands in for the hooked control's WindowProc.
  void HookWndProc(TMessage& message);

  // The hooked window is gone (kHandleDestroyed) or a new one is ready
  // (kHandleRecreated); the base keeps HookTargetHandle() up to date.
  virtual void TargetHandleChanged(uint8_t code);
  // Every message of the hooked control. The base passes it on to the
  // control's own handling; derived hooks pass on what they leave alone.
  virtual void TargetWndProc(TMessage& message);

private:
  // The hook as it sits in a control's WindowProc. Being a type of its own
  // lets a hook recognise the hooks installed on top of it.
  struct THookProc {
    TControlHook* Hook;
    void operator()(TMessage& message) const { Hook->HookWndProc(message); }
  };
  void Unchain();

  THookTarget FTargetType = htControl;
  TWinControl* FControl = nullptr;
  TWinControl* FHookTarget = nullptr;
  // The same two as components, taken while they are whole: by the time a
  // control's end is announced (from ~TComponent) it is no longer a
  // TWinControl to convert from.
  TComponent* FControlComponent = nullptr;
  TComponent* FHookTargetComponent = nullptr;
  uintptr_t FHWndHookTarget = 0;
  TWndMethod FOrgHookWndProc;
};
