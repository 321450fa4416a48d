// An in-memory stand-in for the application core's platform calls: a small
// file system, a command line, a mutex table and a record of message boxes.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/AppApi.h"

struct FakeAppApi : AppApi, SystemApi {
  String appData = u"C:\\Users\\u\\AppData\\Roaming";
  String windowsDir = u"C:\\Windows";
  String commandLine = u"C:\\Program Files\\Tolvi\\Tolvi.exe";
  String moduleFile = u"C:\\Program Files\\Tolvi\\Tolvi.exe";
  TOSVersionInfo version = NT10();  // what the version query reports
  std::set<String> dirs{u"C:\\Users\\u\\AppData\\Roaming"};
  std::map<String, std::string> files;
  std::map<String, uint32_t> attributes;  // of files; FILE_ATTRIBUTE_ARCHIVE when not listed
  std::set<String> unreadable, unwritable;  // paths whose access fails with error 5
  std::set<String> mutexes;
  std::set<String> deniedMutexes;  // held by an elevated instance: opening them is refused
  std::vector<std::string> calls;  // the calls that matter for order, in order
  struct Box { uintptr_t owner; String text, caption; uint32_t flags; };
  std::vector<Box> boxes;
  uint32_t lastError = 0;

  TSeamInstall<SystemApi> systemSeam{this};

  static TOSVersionInfo NT10() {
    TOSVersionInfo v;
    v.dwPlatformId = 2;
    v.dwMajorVersion = 10;
    return v;
  }

  FakeAppApi() { SetPlatform(this); }
  ~FakeAppApi() override { SetPlatform(nullptr); }

  int32_t SHGetFolderPathW(int32_t csidl, uint32_t flags, char16_t* path) override {
    calls.push_back("SHGetFolderPathW(" + std::to_string(csidl) + ")");
    const String value = csidl == 0x1A ? appData : String();
    std::copy(value.begin(), value.end(), path);
    path[value.size()] = 0;
    return value.empty() ? 1 : 0;
  }
  uint32_t GetWindowsDirectoryW(char16_t* buffer, uint32_t size) override {
    std::copy(windowsDir.begin(), windowsDir.end(), buffer);
    buffer[windowsDir.size()] = 0;
    return static_cast<uint32_t>(windowsDir.size());
  }
  int32_t GetVersionExW(TOSVersionInfo& info) override {
    calls.push_back("GetVersionExW(" + std::to_string(info.dwOSVersionInfoSize) + ")");
    const uint32_t size = info.dwOSVersionInfoSize;
    info = version;
    info.dwOSVersionInfoSize = size;
    return 1;
  }
  uint32_t GetFileAttributesW(const String& path) override {
    if (dirs.count(path)) return kFileAttributeDirectory;
    if (files.count(path)) return attributes.count(path) ? attributes[path] : 0x20;
    lastError = kErrorFileNotFound;
    return kInvalidFileAttributes;
  }
  int32_t CreateDirectoryW(const String& path) override {
    calls.push_back("CreateDirectoryW(" + ToUtf8(path) + ")");
    const String parent = path.substr(0, path.rfind(u'\\'));
    if (dirs.count(path) || files.count(path) || !(parent.empty() || dirs.count(parent))) return 0;
    dirs.insert(path);
    return 1;
  }
  uintptr_t CreateMutexW(bool initialOwner, const String& name) override {
    calls.push_back("CreateMutexW(" + ToUtf8(name) + ")");
    if (deniedMutexes.count(name)) return lastError = kErrorAccessDenied, 0;
    lastError = mutexes.insert(name).second ? 0 : kErrorAlreadyExists;
    return 0x40;
  }
  uint32_t GetLastError() override { return lastError; }
  String GetCommandLineW() override { return commandLine; }
  String GetModuleFileNameW() override { return moduleFile; }
  String MultiByteToWideChar(const std::string& ansi) override {
    String out;  // Latin-1 stands in for the ANSI page
    for (unsigned char c : ansi) out += static_cast<char16_t>(c);
    return out;
  }
  String SysErrorMessage(uint32_t error) override { return u"アクセスが拒否されました。"; }
  uintptr_t FindFirstFileW(const String& path, TFindData& data) override {
    return lastError = kErrorFileNotFound, kInvalidHandleValue;
  }
  int32_t FindClose(uintptr_t) override { return 0; }
  bool ReadFileBytes(const String& path, uint64_t maxSize, std::string& bytes, uint32_t& error) override {
    if (unreadable.count(path)) { error = 5; return false; }
    auto it = files.find(path);
    if (it == files.end()) { error = kErrorFileNotFound; return false; }
    bytes = it->second;
    return true;
  }
  bool WriteFileBytes(const String& path, const std::string& bytes, uint32_t& error) override {
    calls.push_back("WriteFileBytes(" + ToUtf8(path) + ")");
    if (unwritable.count(path)) { error = 5; files[path] = bytes.substr(0, bytes.size() / 2); return false; }
    files[path] = bytes;
    return true;
  }
  bool MoveFileExW(const String& from, const String& to, uint32_t flags, uint32_t& error) override {
    calls.push_back("MoveFileExW(" + ToUtf8(from) + "," + ToUtf8(to) + "," + std::to_string(flags) + ")");
    if (unwritable.count(to) || !files.count(from)) { error = 5; return false; }
    files[to] = files[from];
    files.erase(from);
    attributes.erase(to);
    return true;
  }
  // As Wine's: the replaced file's attributes are not carried over.
  bool ReplaceFileW(const String& replaced, const String& replacement, uint32_t& error) override {
    calls.push_back("ReplaceFileW(" + ToUtf8(replaced) + "," + ToUtf8(replacement) + ")");
    if (!files.count(replaced)) { error = kErrorFileNotFound; return false; }
    if (unwritable.count(replaced) || !files.count(replacement)) { error = 5; return false; }
    files[replaced] = files[replacement];
    attributes.erase(replaced);
    files.erase(replacement);
    return true;
  }
  bool SetFileAttributesW(const String& path, uint32_t value) override {
    calls.push_back("SetFileAttributesW(" + ToUtf8(path) + "," + std::to_string(value) + ")");
    if (!files.count(path)) return false;
    attributes[path] = value;
    return true;
  }
  bool DeleteFileW(const String& path) override {
    calls.push_back("DeleteFileW(" + ToUtf8(path) + ")");
    return files.erase(path) > 0;
  }
  int32_t MessageBoxW(uintptr_t owner, const String& text, const String& caption, uint32_t flags) override {
    calls.push_back("MessageBoxW");
    boxes.push_back({owner, text, caption, flags});
    return 1;
  }
  int32_t MessageBoxWithOptions(uintptr_t, const String&, const String&, uint32_t, const TMsgBoxOptions&) override {
    calls.push_back("MessageBoxWithOptions");
    return 1;
  }
  // The application core finds no windows and never waits.
  uintptr_t FindWindowW(const String&, const char16_t*) override { return 0; }
  void Sleep(uint32_t) override {}
};

