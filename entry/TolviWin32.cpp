// The program entry of Tolvi.exe.
#include <cstdlib>

#include "app/Tolvi.h"
#include "forms/TolviMainWin32.h"
#include "toolkit/SystemApi.h"
#include "toolkit/Win32.h"

// The C++ runtime's default answer to an exception that nothing catches
// names the exception's type on the standard error, which a program without
// a console does not have; that handler alone brings the runtime's
// 45 KB symbol demangler into the program. This one just ends it, as the
// default does after its message.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace {

struct WindowsStartup : StartupUi {
  TApplication& app;
  explicit WindowsStartup(TApplication& a) : app(a) {}

  void InitializeApplication(const String& title) override {
    app.SetTitle(title);
    // The program's message boxes belong to its active window, or to the main
    // window while it shows.
    SetMessageBoxOwner([&app = app] { return reinterpret_cast<uintptr_t>(app.ActiveWindow()); });
  }
  void CreateMainForm(bool show) override {
    app.SetShowMainForm(show);
    app.CreateForm(new TTolviMainForm(&app));
  }
  void Run() override { app.Run(); }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  RestrictLibrarySearch();  // before the first library the program loads
  try {
    TApplication app;
    WindowsStartup startup(app);
    RunTolvi(startup);
    SetMessageBoxOwner(nullptr);
  } catch (...) {
    // Nothing is left to report to; the exit code stays 0 on every path.
  }
  return 0;
}
