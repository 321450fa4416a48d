// The settings file: whatever bytes it holds, reading it, saving and reading
// again gives the same settings, and a second save writes the same bytes.
#include <cstdint>
#include <cstdlib>

#include "../native/FakeAppApi.h"
#include "app/ME.h"
#include "app/Ordane.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FakeAppApi api;
  UserDataDir = u"C:\\d\\";
  const String path = SettingsFilePath();
  api.files[path] = std::string(reinterpret_cast<const char*>(data), size);

  LoadSettings();
  const TRunSettings first = RunSettings;
  SaveSettings();
  const std::string saved = api.files.at(path);
  if (saved.size() < 2 || saved[0] != '\xFF' || saved[1] != '\xFE') abort();

  RunSettings = {};
  LoadSettings();
  if (RunSettings.ShowConfirm != first.ShowConfirm || RunSettings.PictureFile != first.PictureFile ||
      RunSettings.PictureTime != first.PictureTime)
    abort();
  SaveSettings();
  if (api.files.at(path) != saved) abort();
  return 0;
}
