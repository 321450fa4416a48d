#include "app/AppApi.h"

#include <stdexcept>

#ifdef _WIN32
AppApi& RealPlatform();  // AppApiWin32.cpp
#endif

namespace {
AppApi* gInstalled = nullptr;
}

AppApi& Platform() {
  if (gInstalled) return *gInstalled;
#ifdef _WIN32
  return RealPlatform();
#else
  throw std::logic_error("no platform installed");
#endif
}

void SetPlatform(AppApi* api) { gInstalled = api; }
