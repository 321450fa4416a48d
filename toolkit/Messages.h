// The message record that a control's replaceable handler receives.
#pragma once

#include <cstdint>
#include <functional>

struct TMessage {
  uint32_t Msg = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
  intptr_t Result = 0;
};

// A control's message handler. It is replaceable, so that another component can
// put itself in front of the control's own handling.
using TWndMethod = std::function<void(TMessage&)>;
