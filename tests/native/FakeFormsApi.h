// A recording stand-in for the platform calls of the exit sequence and the
// picture window (FormsApi and the system's calls): a small file table, a taskbar, a screen and scripted answers
// of message boxes. Calls that matter for order go into `calls`.
#pragma once

#include <cstdio>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "FakeAppApi.h"
#include "forms/FormsApi.h"

struct FakeFormsApi : FormsApi, SystemApi {
  struct File {
    uint32_t attributes = 0x20;    // FILE_ATTRIBUTE_ARCHIVE
    std::string bytes;
    uint32_t attributeError = 0;  // when set, the attribute query fails with it
    uint32_t readError = 0;       // when set, reading fails with it
    uint64_t size = 0;            // when set, the size the file claims instead of its bytes
  };
  std::map<String, File> files;
  uint32_t missingError = kErrorFileNotFound;  // what a query for an unknown name fails with
  uint32_t lastError = 0;

  uintptr_t taskbar = 0x7A5C;  // 0: no taskbar running
  int32_t screenWidth = 1280, screenHeight = 800;
  TOSVersionInfo version = FakeAppApi::NT10();  // what the version query reports

  struct Box {
    String text, caption;
    uint32_t type = 0;
    bool custom = false;
    TMsgBoxOptions options;
    uintptr_t owner = 0;
  };
  std::vector<Box> boxes;
  std::deque<int32_t> answers;  // what the boxes answer, in turn; then kIdYes

  std::vector<std::string> calls;
  std::vector<size_t> headSizes;  // ReadFileHead: how much of a file each look asked for
  std::multiset<uintptr_t> openSearches;

  TSeamInstall<SystemApi> systemSeam{this};

  FakeFormsApi() { SetFormsPlatform(this); }
  ~FakeFormsApi() override { SetFormsPlatform(nullptr); }

  void AddFile(const String& name, std::string bytes = {}) { files[name].bytes = std::move(bytes); }
  void AddFolder(const String& name) { files[name].attributes = kFileAttributeDirectory; }

  uint32_t GetFileAttributesW(const String& fileName) override {
    calls.push_back("GetFileAttributesW(" + ToUtf8(fileName) + ")");
    auto it = files.find(fileName);
    if (it == files.end()) return lastError = missingError, kInvalidFileAttributes;
    if (it->second.attributeError) return lastError = it->second.attributeError, kInvalidFileAttributes;
    return it->second.attributes;
  }
  uint32_t GetLastError() override { return lastError; }
  uintptr_t FindFirstFileW(const String& fileName, TFindData& data) override {
    calls.push_back("FindFirstFileW(" + ToUtf8(fileName) + ")");
    auto it = files.find(fileName);
    if (it == files.end()) return lastError = kErrorFileNotFound, kInvalidHandleValue;
    data.FileAttributes = it->second.attributes;
    data.FileName = fileName.substr(fileName.find_last_of(u'\\') + 1);
    openSearches.insert(kSearch);
    return kSearch;
  }
  int32_t FindClose(uintptr_t findFile) override {
    calls.push_back("FindClose(" + Hex(findFile) + ")");
    auto it = openSearches.find(findFile);
    if (it == openSearches.end()) return 0;
    openSearches.erase(it);
    return 1;
  }
  bool ReadFileBytes(const String& fileName, uint64_t maxSize, std::string& bytes, uint32_t& error) override {
    calls.push_back("ReadFileBytes(" + ToUtf8(fileName) + ")");
    auto it = files.find(fileName);
    if (it == files.end()) return error = kErrorFileNotFound, false;
    if (it->second.readError) return error = it->second.readError, false;
    const uint64_t size = it->second.size ? it->second.size : it->second.bytes.size();
    if (size > maxSize) return error = 223, false;  // ERROR_FILE_TOO_LARGE
    bytes = it->second.bytes;
    return true;
  }
  bool ReadFileHead(const String& fileName, uint64_t maxSize, size_t headSize, std::string& head, uint64_t& fileSize,
                    uint32_t& error) override {
    headSizes.push_back(headSize);
    return SystemApi::ReadFileHead(fileName, maxSize, headSize, head, fileSize, error);
  }
  String SysErrorMessage(uint32_t error) override {
    if (error == 5) return u"アクセスが拒否されました。\r\n";
    return String();
  }
  void Sleep(uint32_t milliseconds) override { calls.push_back("Sleep(" + std::to_string(milliseconds) + ")"); }

  uintptr_t FindWindowW(const String& className, const char16_t* windowName) override {
    calls.push_back("FindWindowW(" + ToUtf8(className) + "," + (windowName ? ToUtf8(windowName) : "null") + ")");
    return className == u"Shell_TrayWnd" ? taskbar : 0;
  }
  int32_t ShowWindow(uintptr_t wnd, int32_t cmdShow) override {
    calls.push_back("ShowWindow(" + Hex(wnd) + "," + std::to_string(cmdShow) + ")");
    return 1;
  }
  int32_t GetSystemMetrics(int32_t index) override {
    calls.push_back("GetSystemMetrics(" + std::to_string(index) + ")");
    return index == kSmCxScreen ? screenWidth : index == kSmCyScreen ? screenHeight : 0;
  }
  int32_t MessageBoxW(uintptr_t owner, const String& text, const String& caption, uint32_t type) override {
    calls.push_back("MessageBoxW(" + ToUtf8(text) + ")");
    boxes.push_back({text, caption, type, false, {}, owner});
    return Answer();
  }
  int32_t MessageBoxWithOptions(uintptr_t owner, const String& text, const String& caption, uint32_t type,
                                const TMsgBoxOptions& options) override {
    calls.push_back("MessageBoxW(" + ToUtf8(text) + ")");
    boxes.push_back({text, caption, type, true, options, owner});
    return Answer();
  }
  int32_t GetVersionExW(TOSVersionInfo& info) override {
    const uint32_t size = info.dwOSVersionInfoSize;
    info = version;
    info.dwOSVersionInfoSize = size;
    return 1;
  }

  static std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
  }

  static constexpr uintptr_t kSearch = 0x5EA;

private:
  int32_t Answer() {
    if (answers.empty()) return kIdYes;
    const int32_t answer = answers.front();
    answers.pop_front();
    return answer;
  }
};
