// The run settings: what the program does, read from the command line or
// kept between runs in the settings file.
#pragma once

#include <cstdint>
#include <vector>

#include "toolkit/SysUtils.h"

struct TRunSettings {
  bool ShowConfirm = true;  // ask before acting
  int32_t ExitMode = 0;     // 0 none; 1 shut down, 2 restart, 3 log off, 4 sleep, 5 hibernate
  String PictureFile;       // shown before the action
  int32_t PictureTime = 3;  // seconds; the picture is shown only when above 0
};

extern TRunSettings RunSettings;

extern const String kSettingsFileName;     // "Tolvi.ini"
extern const String kCommandLineError;     // the message for an invalid command line

// Splits a raw command line: blanks (characters up to U+0020) separate
// parameters, double quotes group blanks and are dropped wherever they stand.
// The first entry is the program itself.
std::vector<String> SplitCommandLine(StringView commandLine);
// The parameters after the program's own name.
int ParamCount();
String ParamStr(int index);  // 0 is the program; empty past the end

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
