#include "numedit/NumEditApi.h"

#include <stdexcept>

#ifdef _WIN32
NumEditApi& RealNumEditPlatform();  // NumEditApiWin32.cpp
#endif

namespace {
NumEditApi* gInstalled = nullptr;
}

NumEditApi& NumEditPlatform() {
  if (gInstalled) return *gInstalled;
#ifdef _WIN32
  return RealNumEditPlatform();
#else
  throw std::logic_error("no numeric edit platform installed");
#endif
}

void SetNumEditPlatform(NumEditApi* api) { gInstalled = api; }
