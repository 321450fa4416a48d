// The real platform of the shared file and error calls.
#include "toolkit/SystemApi.h"
#include "toolkit/Forms.h"
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
  String SysErrorMessage(uint32_t error) override { return ::SysErrorMessage(error); }
  int32_t MessageBoxW(const String& text, const String& caption, uint32_t type) override {
    if (Application) return Application->MessageBox(text, caption, type);
    return ::MessageBoxW(nullptr, W(text), W(caption), type);
  }
};

}  // namespace

template <>
SystemApi& RealSeam<SystemApi>() {
  static WindowsSystemApi api;
  return api;
}
