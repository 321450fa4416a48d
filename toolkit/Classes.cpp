#include "toolkit/Classes.h"

#include <algorithm>

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  FState |= csDestroying;
  // Everyone who holds a reference to this component hears of its end once.
  while (!FFreeNotifies.empty()) {
    TComponent* other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    other->RemoveNotifiee(this);
    other->Notification(this, opRemove);
  }
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::operator delete(TComponent* component, std::destroying_delete_t) {
  void* whole = dynamic_cast<void*>(component);
  component->FState |= csDestroying;
  component->BeforeDestruction();
  component->~TComponent();
  ::operator delete(whole);
}

TComponent* TComponent::FindComponent(StringView name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : FComponents)
    if (SameText(c->FName, name)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (component->FOwner) component->FOwner->RemoveComponent(component);
  Insert(component);
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  Notification(component, opRemove);
  Remove(component);
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) {
    TComponent* c = FComponents.back();
    Remove(c);
    // Siblings may still refer to it.
    Notification(c, opRemove);
    delete c;
  }
}

void TComponent::SetDesigning(bool value) {
  if (value) FState |= csDesigning;
  else FState &= ~static_cast<uint32_t>(csDesigning);
  for (TComponent* c : FComponents) c->SetDesigning(value);
}

void TComponent::Loaded() { FState &= ~static_cast<uint32_t>(csLoading); }

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end())
    FFreeNotifies.push_back(component);
  auto& theirs = component->FFreeNotifies;
  if (std::find(theirs.begin(), theirs.end(), this) == theirs.end()) theirs.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (!component) return;
  RemoveNotifiee(component);
  component->RemoveNotifiee(this);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component) RemoveFreeNotification(component);
  // Owned components hear what their owner hears, so siblings learn of each other.
  const auto children = FComponents;
  for (TComponent* c : children)
    if (c != component) c->Notification(component, operation);
}

void TComponent::Insert(TComponent* component) {
  FComponents.push_back(component);
  component->FOwner = this;
}

void TComponent::Remove(TComponent* component) {
  FComponents.erase(std::remove(FComponents.begin(), FComponents.end(), component), FComponents.end());
  component->FOwner = nullptr;
}

void TComponent::RemoveNotifiee(TComponent* component) {
  FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), component),
                      FFreeNotifies.end());
}
