// The command line: any text splits and parses without harm, and splitting
// is stable: parameters quoted and joined again split into the same list.
#include <cstdint>
#include <cstdlib>

#include "../native/FakeAppApi.h"
#include "app/ME.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  String line;
  for (size_t i = 0; i + 1 < size; i += 2) line += static_cast<char16_t>(data[i] | (data[i + 1] << 8));

  const auto params = SplitCommandLine(line);
  String joined;
  for (const auto& p : params) {
    if (p.find(u'"') != String::npos) abort();  // quotes never survive
    joined += u"\"" + p + u"\" ";
  }
  if (SplitCommandLine(joined) != params) abort();

  FakeAppApi api;
  api.files[u"a.jpg"] = "x";
  api.commandLine = u"Tolvi.exe " + line;
  const bool valid = ParseCommandLine();
  if (valid != api.boxes.empty()) abort();  // the message shows exactly when invalid
  if (RunSettings.ExitMode != TExitMode::None && !FindExitMode(RunSettings.ExitMode)) abort();
  if (!RunSettings.PictureFile.empty() && RunSettings.PictureFile != u"a.jpg") abort();
  return 0;
}
