#include "app/Tolvi.h"

#include "app/AppApi.h"
#include "app/ME.h"
#include "app/Ordane.h"

int RunTolvi(StartupUi& ui) {
  if (!PrepareDataDir(kProductFolder, false)) return 0;

  // Creating the mutex is the single-instance test too: when it existed
  // already, another instance holds it; when it may not even be opened, an
  // elevated instance holds it. The handle stays open until the end.
  const uintptr_t mutex = Platform().CreateMutexW(false, kMutexName);
  const uint32_t error = SystemPlatform().GetLastError();
  if (mutex != 0 ? error == kErrorAlreadyExists : error == kErrorAccessDenied) return 0;

  ui.InitializeApplication(kAppTitle);
  if (!ParseCommandLine()) return 0;
  ui.CreateMainForm(RunSettings.ExitMode == TExitMode::None);
  ui.Run();
  return 0;
}
