#include "toolkit/SystemApi.h"

#include "toolkit/Handle.h"

namespace {

std::function<uintptr_t()>& BoxOwner() {
  static std::function<uintptr_t()> owner;
  return owner;
}

void CloseSearch(uintptr_t search) { SystemPlatform().FindClose(search); }
using TSearchHandle = THandleGuard<TValueHandleTraits<uintptr_t, kInvalidHandleValue, CloseSearch>>;

// Whether a directory search would take part of the name as a pattern. The
// "\\?\" that starts a long path (\\?\C:\... and \\?\UNC\...) is
// not one: the system takes the rest of the name as it is written.
bool HasWildcards(StringView fileName) {
  if (fileName.starts_with(u"\\\\?\\")) fileName.remove_prefix(4);
  return fileName.find_first_of(u"*?") != StringView::npos;
}

}  // namespace

bool FileExists(const String& fileName) {
  if (fileName.empty()) return false;
  SystemApi& api = SystemPlatform();
  const uint32_t attributes = api.GetFileAttributesW(fileName);
  if (attributes != kInvalidFileAttributes) return (attributes & kFileAttributeDirectory) == 0;
  const uint32_t error = api.GetLastError();
  if (error == kErrorFileNotFound || error == kErrorPathNotFound || error == kErrorInvalidName) return false;
  // The attribute query fails on a file that is held open without sharing;
  // a directory search still lists it. A search would take wildcards as
  // patterns and find some other file.
  if (HasWildcards(fileName)) return false;
  TFindData data;
  const TSearchHandle search(api.FindFirstFileW(fileName, data));
  if (!search) return false;
  return (data.FileAttributes & kFileAttributeDirectory) == 0;
}

String SystemErrorText(uint32_t error) {
  String text = Trim(SystemPlatform().SysErrorMessage(error));
  return text.empty() ? u"エラー " + IntToStr(error) : text;
}

void SetMessageBoxOwner(std::function<uintptr_t()> owner) { BoxOwner() = std::move(owner); }

uintptr_t MessageBoxOwner() { return BoxOwner() ? BoxOwner()() : 0; }
