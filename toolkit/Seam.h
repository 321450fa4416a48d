// How a unit reaches the platform: through a seam, an interface of virtual
// functions that mirror the Win32 calls one for one. TSeam<Api>::Get() gives
// the installed implementation: in the Windows build the real one
// (RealSeam<Api>, defined beside the unit in its *Win32.cpp) until a test
// installs a fake. The native build has no real platform, so a call through
// a seam nobody installed is a fault of the test.
#pragma once

#include <stdexcept>

template <class Api>
Api& RealSeam();

template <class Api>
class TSeam {
public:
  static Api& Get() {
    if (FInstalled) return *FInstalled;
#ifdef _WIN32
    return RealSeam<Api>();
#else
    throw std::logic_error("no platform installed");
#endif
  }
  // Installs `api` (nullptr: the real platform again) and gives back what was
  // installed before, so that a fake can put it back when it goes.
  static Api* Install(Api* api) noexcept {
    Api* previous = FInstalled;
    FInstalled = api;
    return previous;
  }

private:
  inline static Api* FInstalled = nullptr;
};

// Installs a fake for the lifetime of this object and then puts back what
// was installed before.
template <class Api>
class TSeamInstall {
public:
  explicit TSeamInstall(Api* api) noexcept : FPrevious(TSeam<Api>::Install(api)) {}
  ~TSeamInstall() { TSeam<Api>::Install(FPrevious); }
  TSeamInstall(const TSeamInstall&) = delete;
  TSeamInstall& operator=(const TSeamInstall&) = delete;

private:
  Api* FPrevious;
};
