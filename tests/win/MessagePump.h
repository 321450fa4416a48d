// Handles the messages waiting in this thread's queue, as the message loop
// would, and returns once there are none.
#pragma once

#include <windows.h>

inline void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}
