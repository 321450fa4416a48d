// The platform calls of the exit engine, one for one with Win32. The real
// implementation lives in ExitApiWin32.cpp (Windows build only); tests install
// a recording fake. Handles and addresses travel as plain integers.
#pragma once

#include <cstdint>
#include <string>

#include "toolkit/Seam.h"
#include "toolkit/SysUtils.h"
#include "toolkit/SystemApi.h"

using ExitHandle = uintptr_t;  // HANDLE, HMODULE, HWND
using ExitProc = uintptr_t;    // FARPROC; zero when missing

// LUID
struct TLuid {
  uint32_t LowPart = 0;
  int32_t HighPart = 0;
};

// TOKEN_PRIVILEGES holding exactly one privilege.
struct TTokenPrivilege {
  uint32_t PrivilegeCount = 0;
  TLuid Luid;
  uint32_t Attributes = 0;
};

// VS_FIXEDFILEINFO
struct TFixedFileInfo {
  uint32_t dwSignature;
  uint32_t dwStrucVersion;
  uint32_t dwFileVersionMS;
  uint32_t dwFileVersionLS;
  uint32_t dwProductVersionMS;
  uint32_t dwProductVersionLS;
  uint32_t dwFileFlagsMask;
  uint32_t dwFileFlags;
  uint32_t dwFileOS;
  uint32_t dwFileType;
  uint32_t dwFileSubtype;
  uint32_t dwFileDateMS;
  uint32_t dwFileDateLS;
};
static_assert(sizeof(TFixedFileInfo) == 52);

struct ExitApi {
  virtual ~ExitApi() = default;

  // kernel32 / advapi32: the process token (the version is SystemApi's)
  virtual ExitHandle GetCurrentProcess() = 0;
  virtual int32_t OpenProcessToken(ExitHandle process, uint32_t desiredAccess, ExitHandle& token) = 0;
  virtual int32_t LookupPrivilegeValueW(const char16_t* systemName, const String& name, TLuid& luid) = 0;
  virtual int32_t AdjustTokenPrivileges(ExitHandle token, bool disableAll, const TTokenPrivilege* newState,
                                        uint32_t bufferLength, TTokenPrivilege* previousState,
                                        uint32_t* returnLength) = 0;
  virtual int32_t CloseHandle(ExitHandle handle) = 0;

  // user32
  virtual int32_t ExitWindowsEx(uint32_t flags, uint32_t reason) = 0;

  // Libraries loaded at run time, from the system folder only (a file of the
  // same name beside the program or in the current folder is never taken).
  // `name` is 8-bit text, as GetProcAddress takes it.
  virtual ExitHandle LoadSystemLibrary(const String& fileName) = 0;
  virtual ExitProc GetProcAddress(ExitHandle module, const std::string& name) = 0;
  virtual int32_t FreeLibrary(ExitHandle module) = 0;
  // Calls a procedure of the form `BOOLEAN WINAPI f(void)` found above.
  virtual uint8_t CallBooleanProc(ExitProc proc) = 0;

  // kernel32: BOOL arguments as passed, so TRUE may be any nonzero value.
  virtual int32_t SetSystemPowerState(int32_t suspend, int32_t force) = 0;

  // The 16-bit loader of kernel32 (exports 35, 37 and 36) and the thunk that
  // calls into 16-bit code. Instance handles below 32 are errors; procedure
  // addresses are 16:16 and zero when missing.
  virtual uint32_t LoadLibrary16(const std::string& moduleName) = 0;
  virtual uint32_t GetProcAddress16(uint32_t instance, const std::string& procName) = 0;
  virtual void FreeLibrary16(uint32_t instance) = 0;
  // Calls `WORD FAR PASCAL proc(DWORD, WORD)` through QT_Thunk at `thunk`.
  virtual uint16_t QT_Thunk(ExitProc thunk, uint32_t procedure16, uint32_t arg1, uint16_t arg2) = 0;

  // version.dll
  virtual uint32_t GetFileVersionInfoSizeW(const String& fileName, uint32_t& handle) = 0;
  virtual int32_t GetFileVersionInfoW(const String& fileName, uint32_t handle, uint32_t size, void* data) = 0;
  virtual int32_t VerQueryValueW(const void* block, const String& subBlock, const void*& buffer,
                                 uint32_t& length) = 0;

  // kernel32: the locale setting as text; empty when the call fails.
  virtual String GetLocaleInfoW(uint32_t locale, uint32_t type) = 0;

  // user32 / kernel32 / shell32
  virtual int32_t PostMessageW(ExitHandle window, uint32_t msg, uintptr_t wParam, intptr_t lParam) = 0;
  virtual intptr_t ShellExecuteW(ExitHandle owner, const String& verb, const String& file,
                                 const String& parameters, const String& directory, int32_t showCmd) = 0;
};

// The platform in use. The Windows build starts with the real one; tests swap
// in a fake for their lifetime.
template <>
ExitApi& RealSeam<ExitApi>();

inline ExitApi& ExitPlatform() { return TSeam<ExitApi>::Get(); }
// Installs `api` for the calls that follow; nullptr restores the real platform.
inline void SetExitPlatform(ExitApi* api) { TSeam<ExitApi>::Install(api); }
