#include "app/Tolvi.h"

#include "app/AppApi.h"
#include "app/ME.h"
#include "app/Ordane.h"

int RunTolvi(StartupUi& ui) {
  if (!PrepareDataDir(kProductFolder, false)) return 0;

  // Creating the mutex is the single-instance test too: when it existed
  // already, another instance holds it. The handle stays open until the end.
  const uintptr_t mutex = Platform().CreateMutexW(false, kMutexName);
  if (mutex != 0 && Platform().GetLastError() == kErrorAlreadyExists) return 0;

  ui.InitializeApplication(kAppTitle);
  if (!ParseCommandLine()) return 0;
  ui.CreateMainForm(RunSettings.ExitMode <= 0);
  ui.Run();
  return 0;
}
