#include "app/Ordane.h"

#include "app/AppApi.h"

String UserDataDir;
String CommonDataDir;

const String kMakerFolder = u"\\Ordane";
const String kProductFolder = u"Quv";
const String kMutexName = u"Tolvi/Ordane";
const String kAppTitle = u"Tolvi";

namespace {

constexpr int32_t kFolderIds[] = {
    0x05,  // CSIDL_PERSONAL
    0x1A,  // CSIDL_APPDATA
    0x1C,  // CSIDL_LOCAL_APPDATA
    0x23,  // CSIDL_COMMON_APPDATA
    0x27,  // CSIDL_MYPICTURES
    0x2E,  // CSIDL_COMMON_DOCUMENTS
};

String UpToNul(const char16_t* buffer, size_t size) {
  size_t n = 0;
  while (n < size && buffer[n] != 0) ++n;
  return String(buffer, n);
}

bool DirectoryExists(const String& path) {
  const uint32_t attributes = SystemPlatform().GetFileAttributesW(path);
  return attributes != kInvalidFileAttributes && (attributes & kFileAttributeDirectory) != 0;
}

}  // namespace

String GetSpecialFolder(uint8_t index) {
  if (index >= std::size(kFolderIds)) return String();
  char16_t buffer[kMaxPath] = {};
  Platform().SHGetFolderPathW(kFolderIds[index], 0, buffer);
  return UpToNul(buffer, kMaxPath);
}

String GetWindowsDir() {
  char16_t buffer[kMaxPath] = {};
  Platform().GetWindowsDirectoryW(buffer, kMaxPath);
  return UpToNul(buffer, kMaxPath);
}

bool PrepareDataDir(const String& name, bool common) {
  const String base = GetSpecialFolder(common ? 3 : 1) + kMakerFolder;
  if (!DirectoryExists(base)) Platform().CreateDirectoryW(base);
  const String path = base + u"\\" + name;
  if (!DirectoryExists(path)) Platform().CreateDirectoryW(path);
  (common ? CommonDataDir : UserDataDir) = path + u"\\";
  return DirectoryExists(path);
}

bool IsVistaOrLater() {
  TOSVersionInfo info;
  info.dwOSVersionInfoSize = sizeof(TOSVersionInfo);
  SystemPlatform().GetVersionExW(info);
  return info.dwMajorVersion > 5;
}
