// The real platform of the application core.
#include "app/AppApi.h"

#include <shlobj.h>

#include "toolkit/Win32.h"

namespace {

struct WindowsAppApi final : AppApi {
  int32_t SHGetFolderPathW(int32_t csidl, uint32_t flags, char16_t* path) override {
    return ::SHGetFolderPathW(nullptr, csidl, nullptr, flags, W(path));
  }
  uint32_t GetWindowsDirectoryW(char16_t* buffer, uint32_t size) override {
    return ::GetWindowsDirectoryW(W(buffer), size);
  }
  int32_t CreateDirectoryW(const String& path) override { return ::CreateDirectoryW(W(path), nullptr); }
  uintptr_t CreateMutexW(bool initialOwner, const String& name) override {
    return reinterpret_cast<uintptr_t>(::CreateMutexW(nullptr, initialOwner, W(name)));
  }
  String GetCommandLineW() override { return S(::GetCommandLineW()); }
  String GetModuleFileNameW() override {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
      const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
      if (n < buffer.size()) return S(buffer.data(), n);
      buffer.resize(buffer.size() * 2);
    }
  }
  String MultiByteToWideChar(const std::string& ansi) override {
    if (ansi.empty()) return String();
    const int n = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), out.data(), n);
    return S(out.data(), out.size());
  }
  bool WriteFileBytes(const String& path, const std::string& bytes, uint32_t& error) override {
    TFileHandle file(
        ::CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return error = ::GetLastError(), false;
    DWORD written = 0;
    if (!::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size() || !::FlushFileBuffers(file.Get()))
      return error = ::GetLastError(), false;
    return true;
  }
  bool MoveFileExW(const String& from, const String& to, uint32_t flags, uint32_t& error) override {
    if (::MoveFileExW(W(from), W(to), flags)) return true;
    error = ::GetLastError();
    return false;
  }
  bool ReplaceFileW(const String& replaced, const String& replacement, uint32_t& error) override {
    if (::ReplaceFileW(W(replaced), W(replacement), nullptr, REPLACEFILE_WRITE_THROUGH, nullptr, nullptr)) return true;
    error = ::GetLastError();
    return false;
  }
  bool SetFileAttributesW(const String& path, uint32_t attributes) override {
    return ::SetFileAttributesW(W(path), attributes);
  }
  bool DeleteFileW(const String& path) override { return ::DeleteFileW(W(path)); }
};

}  // namespace

template <>
AppApi& RealSeam<AppApi>() {
  static WindowsAppApi api;
  return api;
}
