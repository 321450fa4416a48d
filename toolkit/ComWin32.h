// COM for the toolkit's users: an owning interface pointer and a scope of COM
// initialisation. Windows build only.
#pragma once

#include <objbase.h>

#include <utility>

#include "toolkit/Win32.h"

// Holds one COM interface and releases it; moves, never copies.
template <typename T>
class TComPtr {
public:
  TComPtr() = default;
  ~TComPtr() { Reset(); }
  TComPtr(TComPtr&& other) noexcept : FPtr(std::exchange(other.FPtr, nullptr)) {}
  TComPtr& operator=(TComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      FPtr = std::exchange(other.FPtr, nullptr);
    }
    return *this;
  }
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;

  T* operator->() const { return FPtr; }
  T* Get() const { return FPtr; }
  explicit operator bool() const { return FPtr != nullptr; }
  // Releases what it holds and gives the place for a function that returns
  // a new interface through a T** argument.
  T** Put() {
    Reset();
    return &FPtr;
  }
  void Reset() {
    if (FPtr) std::exchange(FPtr, nullptr)->Release();
  }

private:
  T* FPtr = nullptr;
};

// COM for the length of a scope, unless the thread has it already in another
// mode, which serves as well. ole32 is looked up when a scope is first made,
// so a program that never needs COM does not load it at start.
class TComScope {
public:
  TComScope() : FResult(Ole32().Initialize ? Ole32().Initialize(nullptr, COINIT_APARTMENTTHREADED) : E_NOTIMPL) {}
  ~TComScope() {
    if (SUCCEEDED(FResult)) Ole32().Uninitialize();
  }
  TComScope(const TComScope&) = delete;
  TComScope& operator=(const TComScope&) = delete;

private:
  struct TOle32 {
    decltype(&::CoInitializeEx) Initialize = SystemFunction<decltype(&::CoInitializeEx)>(L"ole32.dll", "CoInitializeEx");
    decltype(&::CoUninitialize) Uninitialize = SystemFunction<decltype(&::CoUninitialize)>(L"ole32.dll", "CoUninitialize");
  };
  static const TOle32& Ole32() {
    static const TOle32 functions;
    return functions;
  }
  HRESULT FResult;
};
