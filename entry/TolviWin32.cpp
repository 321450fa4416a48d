// The program entry of Tolvi.exe.
#include "app/Tolvi.h"
#include "forms/TolviMainWin32.h"

namespace {

struct WindowsStartup : StartupUi {
  TApplication& app;
  explicit WindowsStartup(TApplication& a) : app(a) {}

  void InitializeApplication(const String& title) override {
    app.Initialize();
    app.SetTitle(title);
  }
  void CreateMainForm(bool show) override {
    app.SetShowMainForm(show);
    app.CreateForm(new TTolviMainForm(&app));
  }
  void Run() override { app.Run(); }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  try {
    TApplication app;
    WindowsStartup startup(app);
    RunTolvi(startup);
  } catch (...) {
    // Nothing is left to report to; the exit code stays 0 on every path.
  }
  return 0;
}
