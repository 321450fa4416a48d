#include "toolkit/SystemApi.h"

namespace {

// Closes a search handle on every way out.
class TFindGuard {
public:
  explicit TFindGuard(uintptr_t handle) : FHandle(handle) {}
  ~TFindGuard() {
    if (FHandle != kInvalidHandleValue) SystemPlatform().FindClose(FHandle);
  }
  TFindGuard(const TFindGuard&) = delete;
  TFindGuard& operator=(const TFindGuard&) = delete;

private:
  uintptr_t FHandle;
};

}  // namespace

bool FileExists(const String& fileName) {
  // A search would take wildcards as patterns and find some other file.
  if (fileName.empty() || fileName.find_first_of(u"*?") != String::npos) return false;
  SystemApi& api = SystemPlatform();
  const uint32_t attributes = api.GetFileAttributesW(fileName);
  if (attributes != kInvalidFileAttributes) return (attributes & kFileAttributeDirectory) == 0;
  const uint32_t error = api.GetLastError();
  if (error == kErrorFileNotFound || error == kErrorPathNotFound || error == kErrorInvalidName) return false;
  // The attribute query fails on a file that is held open without sharing;
  // a directory search still lists it.
  TFindData data;
  const uintptr_t search = api.FindFirstFileW(fileName, data);
  if (search == kInvalidHandleValue) return false;
  TFindGuard guard(search);
  return (data.FileAttributes & kFileAttributeDirectory) == 0;
}

String SystemErrorText(uint32_t error) {
  String text = Trim(SystemPlatform().SysErrorMessage(error));
  return text.empty() ? u"エラー " + IntToStr(error) : text;
}
