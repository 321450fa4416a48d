// The run settings: what the program does, read from the command line or
// kept between runs in the settings file.
#pragma once

#include <cstdint>
#include <vector>

#include "exitwin/ExitMode.h"
#include "toolkit/SysUtils.h"

struct TRunSettings {
  bool ShowConfirm = true;  // ask before acting
  TExitMode ExitMode = TExitMode::None;  // an action from the command line
  String PictureFile;       // shown before the action
  int32_t PictureTime = 3;  // seconds; the picture is shown only when above 0
  // Some parameter was given on the command line: the settings file then
  // stays out of the run, neither read nor written.
  bool CommandLineGiven = false;
};

extern TRunSettings RunSettings;

extern const String kSettingsFileName;     // "Tolvi.ini"
extern const String kCommandLineError;     // the message for an invalid command line

// Splits a raw command line: blanks (characters up to U+0020) separate
// parameters, double quotes group blanks and are dropped wherever they stand.
// The first entry is the program itself.
std::vector<String> SplitCommandLine(StringView commandLine);

// Resets RunSettings and reads the command line into them. On an invalid
// command line the error message has been shown when it returns false.
bool ParseCommandLine();
// Reads ShowConfirm, PictureFile and PictureTime from the settings file.
void LoadSettings();
// Writes ShowConfirm, PictureFile and PictureTime into the settings file,
// keeping whatever else the file holds. Raises Exception naming the file
// when it cannot be read or written.
void SaveSettings();

String SettingsFilePath();
