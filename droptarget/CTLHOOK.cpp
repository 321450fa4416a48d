#include "droptarget/CTLHOOK.h"

TControlHook::TControlHook(TComponent* owner) : TComponent(owner) {}

TControlHook::~TControlHook() { SetHook(false); }

void TControlHook::SetControl(TWinControl* value) {
  SetHook(false);
  FControl = value;
  FControlComponent = value ? DropPlatform().AsComponent(value) : nullptr;
  // Heard of when it goes, so that a later move of the hook never reaches
  // a control that no longer exists.
  if (FControlComponent) FreeNotification(FControlComponent);
  SetHook(true);
}

void TControlHook::SetTarget(THookTarget value) {
  SetHook(false);
  FTargetType = value;
  SetHook(true);
}

void TControlHook::Loaded() {
  TComponent::Loaded();
  // The hook goes where the final property values say.
  SetControl(FControl);
}

void TControlHook::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove || !component || (!FHookTarget && !FControl)) return;
  const bool isTarget = FHookTarget && component == FHookTargetComponent;
  const bool isControl = FControl && component == FControlComponent;
  if (!isTarget && !isControl) return;
  if (!component->InState(csDestroying)) {
    // It only leaves its owner and lives on, and so do the references to it.
    // The base has just dropped the link that tells of its end: renew it.
    FreeNotification(component);
    return;
  }
  if (isTarget) {
    // The control is on its way out: its WindowProc is left as it is.
    TargetHandleChanged(kHandleDestroyed);
    FHookTarget = nullptr;
    FHookTargetComponent = nullptr;
  }
  if (isControl) {
    FControl = nullptr;
    FControlComponent = nullptr;
  }
}

TWinControl* TControlHook::FindOwnerForm(TComponent* component) {
  DropApi& api = DropPlatform();
  for (; component; component = component->Owner()) {
    TWinControl* control = api.AsWinControl(component);
    if (!control) continue;
    if (api.IsForm(control)) return control;
    while (TWinControl* parent = api.Parent(control)) control = parent;
    return api.IsForm(control) ? control : nullptr;
  }
  return nullptr;
}

TWinControl* TControlHook::GetHookTarget() {
  if (FTargetType == htForm)
    return FindOwnerForm(FControl ? FControlComponent : this);
  return FControl;
}

void TControlHook::SetHook(bool enable) {
  if (InState(csDesigning)) return;
  if (!enable) {
    if (!FHookTarget) return;
    Unchain();
    FHWndHookTarget = 0;
    FHookTarget = nullptr;
    FHookTargetComponent = nullptr;
    return;
  }
  // Hooking twice would make the hook its own successor.
  if (FHookTarget) SetHook(false);
  DropApi& api = DropPlatform();
  TWinControl* target = GetHookTarget();
  const uintptr_t wnd = target ? api.Handle(target) : 0;
  if (!wnd) {
    if (FTargetType == htForm) throw Exception(u"フック先を特定できません。");
    return;
  }
  FHWndHookTarget = wnd;
  FHookTarget = target;
  FHookTargetComponent = api.AsComponent(target);
  FreeNotification(FHookTargetComponent);
  FOrgHookWndProc = api.WindowProc(target);
  api.SetWindowProc(target, THookProc{this});
}

// Gives back the handler this hook replaced. When hooks were installed on the
// same control after this one, the next one up takes it over instead, so that
// hooks can go in any order and none is left calling a destroyed one.
void TControlHook::Unchain() {
  DropApi& api = DropPlatform();
  const TWndMethod current = api.WindowProc(FHookTarget);
  const THookProc* above = current.target<THookProc>();
  while (above && above->Hook != this) {
    TWndMethod& below = above->Hook->FOrgHookWndProc;
    const THookProc* next = below.target<THookProc>();
    if (next && next->Hook == this) {
      below = std::move(FOrgHookWndProc);
      FOrgHookWndProc = nullptr;
      return;
    }
    above = next;
  }
  // On top, or the chain is not made of hooks alone: the saved handler goes
  // back into the control.
  api.SetWindowProc(FHookTarget, std::move(FOrgHookWndProc));
  FOrgHookWndProc = nullptr;
}

void TControlHook::HookWndProc(TMessage& message) {
  if (message.Msg == kWmCreate) {
    FHWndHookTarget = kRecreatingHandle;
  } else if (message.Msg == kWmDestroy) {
    TargetHandleChanged(kHandleDestroyed);
  } else if (FHWndHookTarget == kRecreatingHandle && FHookTarget &&
             DropPlatform().HandleAllocated(FHookTarget)) {
    TargetHandleChanged(kHandleRecreated);
  }
  TargetWndProc(message);
}

void TControlHook::TargetHandleChanged(uint8_t code) {
  if (code == kHandleDestroyed) FHWndHookTarget = 0;
  else FHWndHookTarget = FHookTarget ? DropPlatform().Handle(FHookTarget) : 0;
}

void TControlHook::TargetWndProc(TMessage& message) {
  if (FOrgHookWndProc) FOrgHookWndProc(message);
}
