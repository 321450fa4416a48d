#include "exitwin/ExitApi.h"

#include <stdexcept>

#ifdef _WIN32
ExitApi& RealExitPlatform();  // ExitApiWin32.cpp
#endif

namespace {
ExitApi* gInstalled = nullptr;
}

ExitApi& ExitPlatform() {
  if (gInstalled) return *gInstalled;
#ifdef _WIN32
  return RealExitPlatform();
#else
  throw std::logic_error("no exit platform installed");
#endif
}

void SetExitPlatform(ExitApi* api) { gInstalled = api; }
