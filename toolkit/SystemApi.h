// The platform calls that every part of the program shares (files, errors,
// plain message boxes), one for one with Win32. Handles travel as integers so that the
// logic builds without <windows.h>. The real implementation lives in
// SystemApiWin32.cpp; tests install a fake through TSeamInstall<SystemApi>.
#pragma once

#include <cstdint>
#include <string>

#include "toolkit/Seam.h"
#include "toolkit/SysUtils.h"

constexpr uintptr_t kInvalidHandleValue = static_cast<uintptr_t>(-1);
constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr uint32_t kFileAttributeDirectory = 0x10;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidName = 123;
constexpr uint32_t kErrorAlreadyExists = 183;
constexpr uint32_t kErrorFileTooLarge = 223;
constexpr uint32_t kMbOk = 0x0;
constexpr uint32_t kMbIconError = 0x10;

// OSVERSIONINFOW, field for field.
struct TOSVersionInfo {
  uint32_t dwOSVersionInfoSize = 0;
  uint32_t dwMajorVersion = 0;
  uint32_t dwMinorVersion = 0;
  uint32_t dwBuildNumber = 0;
  uint32_t dwPlatformId = 0;
  char16_t szCSDVersion[128] = {};
};
static_assert(sizeof(TOSVersionInfo) == 276);

// WIN32_FIND_DATAW, as far as it is read.
struct TFindData {
  uint32_t FileAttributes = 0;
  String FileName;
};

struct SystemApi {
  virtual ~SystemApi() = default;

  virtual uint32_t GetFileAttributesW(const String& fileName) = 0;
  virtual uint32_t GetLastError() = 0;
  virtual uintptr_t FindFirstFileW(const String& fileName, TFindData& data) = 0;
  virtual int32_t FindClose(uintptr_t findFile) = 0;
  // The whole of a file (CreateFileW, GetFileSizeEx, ReadFile, CloseHandle).
  // False with `error` set when the platform refuses, or ERROR_FILE_TOO_LARGE
  // when the file holds more than `maxSize` bytes.
  virtual bool ReadFileBytes(const String& fileName, uint64_t maxSize, std::string& bytes, uint32_t& error) = 0;
  // FormatMessageW's text of a system error code, as the system words it.
  virtual String SysErrorMessage(uint32_t error) = 0;
  // A message box owned by the application's active window.
  virtual int32_t MessageBoxW(const String& text, const String& caption, uint32_t type) = 0;
};

template <>
SystemApi& RealSeam<SystemApi>();

inline SystemApi& SystemPlatform() { return TSeam<SystemApi>::Get(); }

// Whether `fileName` names an existing file, not a folder. A file the system
// holds open without sharing (the hibernation and paging files) counts too.
// The one existence check of the program.
bool FileExists(const String& fileName);

// The system's text of `error`, without the line break it ends with; "エラー
// <n>" when the system has no text for it.
String SystemErrorText(uint32_t error);
