// The platform calls that every part of the program shares (files, errors,
// the system version, message boxes), one for one with Win32. Handles travel
// as integers so that the logic builds without <windows.h>. The real
// implementation lives in SystemApiWin32.cpp; tests install a fake through
// TSeamInstall<SystemApi>.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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
constexpr uint32_t kMbYesNo = 0x4;
constexpr uint32_t kMbIconError = 0x10;
constexpr uint32_t kMbIconInformation = 0x40;
constexpr uint32_t kMbDefButton1 = 0x0;
constexpr uint32_t kMbSetForeground = 0x10000;
constexpr int32_t kIdYes = 6;
constexpr int32_t kIdNo = 7;

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

// A button of a message box and the text it is to carry.
struct TMsgBoxButton {
  int Id = 0;  // IDYES, IDNO, ...
  String Caption;
};

// How a message box with our own button texts is to behave
// (MessageBoxWithOptions, toolkit/Dialogs.h).
struct TMsgBoxOptions {
  std::vector<TMsgBoxButton> Buttons;  // new texts for the box's buttons
  int EscapeResult = 0;                // when set: what Esc and closing the box answer
  bool CenterOnScreen = false;         // on the primary screen rather than over the owner
};

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
  // The first `headSize` bytes of a file (all of it when shorter) and its
  // whole size, with ReadFileBytes's refusals, ERROR_FILE_TOO_LARGE included.
  // The platform reads only the head; this stand-in reads the whole file.
  virtual bool ReadFileHead(const String& fileName, uint64_t maxSize, size_t headSize, std::string& head,
                            uint64_t& fileSize, uint32_t& error) {
    if (!ReadFileBytes(fileName, maxSize, head, error)) return false;
    fileSize = head.size();
    if (head.size() > headSize) head.resize(headSize);
    return true;
  }
  // FormatMessageW's text of a system error code, as the system words it.
  virtual String SysErrorMessage(uint32_t error) = 0;
  // The deprecated query, as it is: on Windows 8.1 and later it tells the
  // version the program's manifest declares.
  virtual int32_t GetVersionExW(TOSVersionInfo& info) = 0;
  // user32's MessageBoxW; `owner` is an HWND, 0 for none.
  virtual int32_t MessageBoxW(uintptr_t owner, const String& text, const String& caption, uint32_t type) = 0;
  // MessageBoxW with our own button texts and behaviour: the toolkit's
  // MessageBoxWithOptions (toolkit/Dialogs.h), the Win32 side of the toolkit.
  virtual int32_t MessageBoxWithOptions(uintptr_t owner, const String& text, const String& caption, uint32_t type,
                                        const TMsgBoxOptions& options) = 0;
  // user32's FindWindowW: a top-level window by class (and title, when not
  // null); an HWND, 0 when there is none.
  virtual uintptr_t FindWindowW(const String& className, const char16_t* windowName) = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
};

template <>
SystemApi& RealSeam<SystemApi>();

inline SystemApi& SystemPlatform() { return TSeam<SystemApi>::Get(); }

// Whether `fileName` names an existing file, not a folder. A file the system
// holds open without sharing (the hibernation and paging files) counts too.
// The one existence check of the program.
bool FileExists(const String& fileName);

// The window that is to own the program's message boxes (an HWND, 0 for
// none). The application installs where it comes from once, at start-up (its
// active window); until then, and after `owner` is set to nullptr, it is 0.
void SetMessageBoxOwner(std::function<uintptr_t()> owner);
uintptr_t MessageBoxOwner();

// The system's text of `error`, without the line break it ends with; "エラー
// <n>" when the system has no text for it.
String SystemErrorText(uint32_t error);
