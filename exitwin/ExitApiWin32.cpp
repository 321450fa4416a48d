// The exit engine's platform calls on Windows.
#include "toolkit/Win32.h"  // windows.h first: the headers below build on it

#include <shellapi.h>
#include <winver.h>

#include "exitwin/ExitApi.h"

namespace {

template <typename T>
T As(uintptr_t value) {
  return reinterpret_cast<T>(value);
}
template <typename T>
uintptr_t Raw(T value) {
  return reinterpret_cast<uintptr_t>(value);
}
const wchar_t* WOrNull(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

struct RealExitApi final : ExitApi {
  ExitHandle GetCurrentProcess() override { return Raw(::GetCurrentProcess()); }
  int32_t OpenProcessToken(ExitHandle process, uint32_t desiredAccess, ExitHandle& token) override {
    HANDLE opened = nullptr;
    if (!::OpenProcessToken(As<HANDLE>(process), desiredAccess, &opened)) return 0;
    token = Raw(opened);
    return 1;
  }
  int32_t LookupPrivilegeValueW(const char16_t* systemName, const String& name, TLuid& luid) override {
    LUID value{};
    if (!::LookupPrivilegeValueW(WOrNull(systemName), W(name), &value)) return 0;
    luid = {value.LowPart, value.HighPart};
    return 1;
  }
  int32_t AdjustTokenPrivileges(ExitHandle token, bool disableAll, const TTokenPrivilege* newState,
                                uint32_t bufferLength, TTokenPrivilege* previousState,
                                uint32_t* returnLength) override {
    TOKEN_PRIVILEGES next{}, previous{};
    if (newState) {
      next.PrivilegeCount = newState->PrivilegeCount;
      next.Privileges[0].Luid = {newState->Luid.LowPart, newState->Luid.HighPart};
      next.Privileges[0].Attributes = newState->Attributes;
    }
    DWORD length = 0;
    const BOOL done = ::AdjustTokenPrivileges(As<HANDLE>(token), disableAll, newState ? &next : nullptr,
                                              previousState ? sizeof previous : 0,
                                              previousState ? &previous : nullptr,
                                              returnLength ? &length : nullptr);
    if (previousState) {
      previousState->PrivilegeCount = previous.PrivilegeCount;
      previousState->Luid = {previous.Privileges[0].Luid.LowPart, previous.Privileges[0].Luid.HighPart};
      previousState->Attributes = previous.Privileges[0].Attributes;
    }
    if (returnLength) *returnLength = length;
    return done;
  }
  int32_t CloseHandle(ExitHandle handle) override { return ::CloseHandle(As<HANDLE>(handle)); }

  int32_t ExitWindowsEx(uint32_t flags, uint32_t reason) override { return ::ExitWindowsEx(flags, reason); }

  ExitHandle LoadSystemLibrary(const String& fileName) override { return Raw(::LoadSystemLibrary(W(fileName))); }
  ExitProc GetProcAddress(ExitHandle module, const std::string& name) override {
    return Raw(::GetProcAddress(As<HMODULE>(module), name.c_str()));
  }
  int32_t FreeLibrary(ExitHandle module) override { return ::FreeLibrary(As<HMODULE>(module)); }
  uint8_t CallBooleanProc(ExitProc proc) override {
    using BooleanProc = BOOLEAN(WINAPI*)();
    return As<BooleanProc>(proc)();
  }

  int32_t SetSystemPowerState(int32_t suspend, int32_t force) override {
    return ::SetSystemPowerState(suspend, force);
  }

  // The 16-bit loader and QT_Thunk exist only in the 32-bit kernel32 of
  // Windows 95/98/Me. A 64-bit program never runs there, and the ordinals
  // 35 to 37 of a 64-bit kernel32 are unrelated functions, so they are never
  // looked up: the load reports failure and nothing else is reached.
  uint32_t LoadLibrary16(const std::string&) override { return 0; }
  uint32_t GetProcAddress16(uint32_t, const std::string&) override { return 0; }
  void FreeLibrary16(uint32_t) override {}
  uint16_t QT_Thunk(ExitProc, uint32_t, uint32_t, uint16_t) override { return 0; }

  uint32_t GetFileVersionInfoSizeW(const String& fileName, uint32_t& handle) override {
    DWORD value = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(W(fileName), &value);
    handle = value;
    return size;
  }
  int32_t GetFileVersionInfoW(const String& fileName, uint32_t handle, uint32_t size, void* data) override {
    return ::GetFileVersionInfoW(W(fileName), handle, size, data);
  }
  int32_t VerQueryValueW(const void* block, const String& subBlock, const void*& buffer,
                         uint32_t& length) override {
    void* found = nullptr;
    UINT size = 0;
    if (!::VerQueryValueW(block, W(subBlock), &found, &size)) return 0;
    buffer = found;
    length = size;
    return 1;
  }

  String GetLocaleInfoW(uint32_t locale, uint32_t type) override {
    const int size = ::GetLocaleInfoW(locale, type, nullptr, 0);
    if (size <= 0) return String();
    String text(static_cast<size_t>(size), u'\0');
    const int written = ::GetLocaleInfoW(locale, type, W(text.data()), size);
    if (written <= 0) return String();
    text.resize(static_cast<size_t>(written - 1));  // the count includes the closing NUL
    return text;
  }

  int32_t PostMessageW(ExitHandle window, uint32_t msg, uintptr_t wParam, intptr_t lParam) override {
    return ::PostMessageW(As<HWND>(window), msg, wParam, lParam);
  }
  intptr_t ShellExecuteW(ExitHandle owner, const String& verb, const String& file, const String& parameters,
                         const String& directory, int32_t showCmd) override {
    return reinterpret_cast<intptr_t>(
        ::ShellExecuteW(As<HWND>(owner), W(verb), W(file), W(parameters), W(directory), showCmd));
  }

};

}  // namespace

template <>
ExitApi& RealSeam<ExitApi>() {
  static RealExitApi api;
  return api;
}
