#include "forms/FormsApi.h"

#include <stdexcept>

#ifdef _WIN32
FormsApi& RealFormsPlatform();  // FormsApiWin32.cpp
#endif

namespace {
FormsApi* gInstalled = nullptr;
}

FormsApi& FormsPlatform() {
  if (gInstalled) return *gInstalled;
#ifdef _WIN32
  return RealFormsPlatform();
#else
  throw std::logic_error("no forms platform installed");
#endif
}

void SetFormsPlatform(FormsApi* api) { gInstalled = api; }
