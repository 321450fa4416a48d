// Folders and small system queries used across the program.
#pragma once

#include <cstdint>

#include "toolkit/SysUtils.h"

// The per-user data folder with a trailing backslash; empty until
// PrepareDataDir has run for it.
extern String UserDataDir;
// The same for all users; only PrepareDataDir(..., true) sets it.
extern String CommonDataDir;

extern const String kMakerFolder;     // "\Ordane"
extern const String kProductFolder;   // "Quv"
extern const String kMutexName;       // "Tolvi/Ordane"
extern const String kAppTitle;        // "Tolvi"

// A shell folder by its index into a fixed table (0 documents, 1 roaming
// application data, 2 local application data, 3 common application data,
// 4 pictures, 5 common documents). No trailing backslash; empty when the
// system gives no path or the index is outside the table.
String GetSpecialFolder(uint8_t index);
// The Windows directory, without a trailing backslash.
String GetWindowsDir();
// Creates <application data>\Ordane\<name>, sets UserDataDir (or
// CommonDataDir) to it with a trailing backslash, and tells whether it exists.
bool PrepareDataDir(const String& name, bool common);
// True on Windows Vista and later (major version 6 and above).
bool IsVistaOrLater();
