// The real platform of the shared calls.
#include "toolkit/SystemApi.h"

#include <cstring>

#include "toolkit/Dialogs.h"
#include "toolkit/Win32.h"

namespace {

struct WindowsSystemApi final : SystemApi {
  uint32_t GetFileAttributesW(const String& fileName) override { return ::GetFileAttributesW(W(fileName)); }
  uint32_t GetLastError() override { return ::GetLastError(); }
  uintptr_t FindFirstFileW(const String& fileName, TFindData& data) override {
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(W(fileName), &found);
    if (search != INVALID_HANDLE_VALUE) {
      data.FileAttributes = found.dwFileAttributes;
      data.FileName = S(found.cFileName);
    }
    return reinterpret_cast<uintptr_t>(search);
  }
  int32_t FindClose(uintptr_t findFile) override { return ::FindClose(reinterpret_cast<HANDLE>(findFile)); }
  bool ReadFileBytes(const String& fileName, uint64_t maxSize, std::string& bytes, uint32_t& error) override {
    return ReadWholeFile(fileName, maxSize, bytes, error);
  }
  bool ReadFileHead(const String& fileName, uint64_t maxSize, size_t headSize, std::string& head,
                    uint64_t& fileSize, uint32_t& error) override {
    return ::ReadFileHead(fileName, maxSize, headSize, head, fileSize, error);
  }
  String SysErrorMessage(uint32_t error) override { return ::SysErrorMessage(error); }
  int32_t GetVersionExW(TOSVersionInfo& info) override {
    OSVERSIONINFOW os{};
    os.dwOSVersionInfoSize = info.dwOSVersionInfoSize;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(&os)) return 0;
#pragma GCC diagnostic pop
    info.dwMajorVersion = os.dwMajorVersion;
    info.dwMinorVersion = os.dwMinorVersion;
    info.dwBuildNumber = os.dwBuildNumber;
    info.dwPlatformId = os.dwPlatformId;
    static_assert(sizeof info.szCSDVersion == sizeof os.szCSDVersion);
    std::memcpy(info.szCSDVersion, os.szCSDVersion, sizeof info.szCSDVersion);
    return 1;
  }
  uintptr_t FindWindowW(const String& className, const char16_t* windowName) override {
    return reinterpret_cast<uintptr_t>(
        ::FindWindowW(W(className), windowName ? reinterpret_cast<const wchar_t*>(windowName) : nullptr));
  }
  void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }
  int32_t MessageBoxW(uintptr_t owner, const String& text, const String& caption, uint32_t type) override {
    return ::MessageBoxW(reinterpret_cast<HWND>(owner), W(text), W(caption), type);
  }
  int32_t MessageBoxWithOptions(uintptr_t owner, const String& text, const String& caption, uint32_t type,
                                const TMsgBoxOptions& options) override {
    return ::MessageBoxWithOptions(reinterpret_cast<HWND>(owner), text, caption, type, options);
  }
};

}  // namespace

template <>
SystemApi& RealSeam<SystemApi>() {
  static WindowsSystemApi api;
  return api;
}
