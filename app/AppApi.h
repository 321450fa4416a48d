// The platform calls of the application core, one for one with Win32. The real
// implementation lives in AppApiWin32.cpp; tests install a fake. The file
// queries, errors, version and message boxes it shares with the rest of the
// program are SystemApi's.
#pragma once

#include <cstdint>
#include <string>

#include "toolkit/Seam.h"
#include "toolkit/SysUtils.h"
#include "toolkit/SystemApi.h"

constexpr uint32_t kMaxPath = 260;
constexpr uint32_t kMoveFileReplaceExisting = 0x1;
constexpr uint32_t kMoveFileWriteThrough = 0x8;


struct AppApi {
  virtual ~AppApi() = default;

  // shell32 / kernel32
  virtual int32_t SHGetFolderPathW(int32_t csidl, uint32_t flags, char16_t* path) = 0;
  virtual uint32_t GetWindowsDirectoryW(char16_t* buffer, uint32_t size) = 0;
  virtual int32_t CreateDirectoryW(const String& path) = 0;
  virtual uintptr_t CreateMutexW(bool initialOwner, const String& name) = 0;
  virtual String GetCommandLineW() = 0;
  virtual String GetModuleFileNameW() = 0;  // of the program itself
  virtual String MultiByteToWideChar(const std::string& ansiText) = 0;  // the ANSI code page

  // Whole-file writes (CreateFileW, WriteFile, CloseHandle). False with
  // `error` set when the platform refuses. Reads and the error text go
  // through the system seam (toolkit/SystemApi.h).
  virtual bool WriteFileBytes(const String& path, const std::string& bytes, uint32_t& error) = 0;
  virtual bool MoveFileExW(const String& from, const String& to, uint32_t flags, uint32_t& error) = 0;
  // ReplaceFileW without a backup: `replacement` takes the place of
  // `replaced`, which must exist.
  virtual bool ReplaceFileW(const String& replaced, const String& replacement, uint32_t& error) = 0;
  virtual bool SetFileAttributesW(const String& path, uint32_t attributes) = 0;
  virtual bool DeleteFileW(const String& path) = 0;

};

// The platform in use. The Windows build starts with the real one; tests swap
// in a fake for their lifetime.
template <>
AppApi& RealSeam<AppApi>();

inline AppApi& Platform() { return TSeam<AppApi>::Get(); }
// Installs `api` for the calls that follow; nullptr restores the real platform.
inline void SetPlatform(AppApi* api) { TSeam<AppApi>::Install(api); }
