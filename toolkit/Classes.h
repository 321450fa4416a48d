// The component model: owners that destroy what they own, names, the layout
// state, and free notifications for references between components.
#pragma once

#include <cstdint>
#include <functional>
#include <new>
#include <vector>

#include "toolkit/SysUtils.h"

// GCC 12 takes the destroying `operator delete` below for one that does not
// match the `operator new` beside it, at every derived destructor.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

enum TOperation { opInsert, opRemove };

enum TComponentStateFlag : uint32_t {
  csLoading = 1u << 0,     // its layout is being read; cleared by Loaded
  csDesigning = 1u << 1,   // it lives in a designer, not in a running program
  csDestroying = 1u << 2,  // its destructor has begun
};

class TComponent {
public:
  explicit TComponent(TComponent* owner = nullptr);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  // `delete` on a component runs BeforeDestruction while the whole object,
  // its most derived part included, is still alive, and only then the
  // destructors. A component on the stack or in a member has no such step:
  // its destructor does the same work, later.
  static void operator delete(TComponent* component, std::destroying_delete_t);
  // The pair for a constructor that throws (no object to destroy yet).
  static void* operator new(size_t size) { return ::operator new(size); }
  static void operator delete(void* memory) { ::operator delete(memory); }
  // The first step of the end of a component deleted with `delete`; a
  // derived class ends what must not outlive its own parts (windows that
  // still send messages to its handlers). Runs once.
  virtual void BeforeDestruction() {}

  TComponent* Owner() const { return FOwner; }
  const String& Name() const { return FName; }
  void SetName(const String& name) { FName = name; }

  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int index) const { return FComponents.at(static_cast<size_t>(index)); }
  TComponent* FindComponent(StringView name) const;

  // Ownership moves with these; the owner destroys its components.
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  // Destroys the owned components now, newest first. Classes whose components
  // need the owner's own parts alive call this from their destructor.
  void DestroyComponents();

  bool InState(TComponentStateFlag flag) const { return (FState & flag) != 0; }
  uint32_t ComponentState() const { return FState; }
  // Marks this component and the ones it owns as living in a designer.
  void SetDesigning(bool value);
  // A layout reader calls this before setting properties, and Loaded after.
  void BeginLoading() { FState |= csLoading; }
  virtual void Loaded();

  // Asks for Notification(this, opRemove) on `component` when this one goes,
  // and the other way round: references between components are kept in step.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

protected:
  // Told about components inserted into or removed from the owner, and about
  // the destruction of components this one asked to hear of.
  virtual void Notification(TComponent* component, TOperation operation);

private:
  void Insert(TComponent* component);
  void Remove(TComponent* component);
  void RemoveNotifiee(TComponent* component);

  TComponent* FOwner = nullptr;
  String FName;
  uint32_t FState = 0;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
};
