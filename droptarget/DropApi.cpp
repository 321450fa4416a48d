#include "droptarget/DropApi.h"

#include <stdexcept>

#ifdef _WIN32
DropApi& RealDropPlatform();  // DropApiWin32.cpp
#endif

namespace {
DropApi* gInstalled = nullptr;
}

DropApi& DropPlatform() {
  if (gInstalled) return *gInstalled;
#ifdef _WIN32
  return RealDropPlatform();
#else
  throw std::logic_error("no drop target platform installed");
#endif
}

void SetDropPlatform(DropApi* api) { gInstalled = api; }
