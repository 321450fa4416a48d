// One owner for every kind of handle: THandleGuard holds one handle and closes
// it when it goes, moves but never copies. The traits name the handle type,
// its empty value and how it is closed; the Win32 kinds are in Win32.h, and
// the portable logic closes its integer handles through its seam.
#pragma once

#include <utility>

template <typename Traits>
class THandleGuard {
public:
  using H = typename Traits::Handle;
  THandleGuard() = default;
  explicit THandleGuard(H handle) : FHandle(handle) {}
  ~THandleGuard() { Reset(); }
  THandleGuard(THandleGuard&& other) noexcept : FHandle(std::exchange(other.FHandle, Traits::Invalid())) {}
  THandleGuard& operator=(THandleGuard&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.FHandle, Traits::Invalid()));
    return *this;
  }
  THandleGuard(const THandleGuard&) = delete;
  THandleGuard& operator=(const THandleGuard&) = delete;

  H Get() const { return FHandle; }
  explicit operator bool() const { return FHandle != Traits::Invalid(); }
  H Release() { return std::exchange(FHandle, Traits::Invalid()); }
  void Reset(H handle = Traits::Invalid()) {
    if (FHandle != Traits::Invalid()) Traits::Close(FHandle);
    FHandle = handle;
  }

private:
  H FHandle = Traits::Invalid();
};

// A handle whose empty value is nullptr, closed by CloseFn.
template <typename T, auto CloseFn>
struct TNullHandleTraits {
  using Handle = T;
  static T Invalid() { return nullptr; }
  static void Close(T h) { CloseFn(h); }
};

// A handle carried as a value (an integer through a seam) with the given empty
// value, closed by CloseFn.
template <typename T, T InvalidValue, auto CloseFn>
struct TValueHandleTraits {
  using Handle = T;
  static T Invalid() { return InvalidValue; }
  static void Close(T h) { CloseFn(h); }
};
