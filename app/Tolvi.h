// The start of the process: data folder, single instance, application, command
// line, main window, message loop.
#pragma once

#include "toolkit/SysUtils.h"

// The windowing steps of start-up. The real one drives the toolkit's
// application; tests record the calls.
struct StartupUi {
  virtual ~StartupUi() = default;
  virtual void InitializeApplication(const String& title) = 0;
  // Creates the main window; it is not shown when `show` is false.
  virtual void CreateMainForm(bool show) = 0;
  // Runs the message loop until the end of the program is requested.
  virtual void Run() = 0;
};

// Runs the program and gives the process exit code, which is always 0.
int RunTolvi(StartupUi& ui);
