// A recording stand-in for the exit engine's platform calls. Every call is
// written down with its arguments; handles are recorded by the name of what
// they stand for, so a call on the wrong handle shows up as "?".
#pragma once

#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "exitwin/ExitWin32.h"

// Answers the system's version query too. Where other fakes serve the
// system's calls, declare it before them: the last one installed answers.
struct FakeExitApi : ExitApi, SystemApi {
  std::vector<std::string> calls;

  // GetVersionExW: the record reported, and whether the call fills it at all.
  TOSVersionInfo version;
  bool versionFills = true;

  int32_t openTokenResult = 1, lookupResult = 1, adjustResult = 1;
  int32_t exitWindowsExResult = 1;

  std::set<String> missingLibraries;
  std::set<std::string> missingProcs;
  std::map<std::string, uint8_t> booleanResults{{"IsPwrSuspendAllowed", 1}, {"IsPwrHibernateAllowed", 1}};
  int32_t powerStateResult = 1;

  uint32_t user16Instance = 0x1234;  // below 32 is a load error
  uint32_t exitWindows16Proc = 0x01A70010;
  uint16_t exitWindows16Result = 1;

  // Shell32.dll's version data; none at all when empty.
  std::optional<uint32_t> shellVersionMS = 0x00050000;
  int32_t versionInfoResult = 1, verQueryResult = 1;
  uint32_t fixedInfoLength = sizeof(TFixedFileInfo);
  String decimalSeparator = u".";

  // What each search for the program manager finds, then `progmanOtherwise`.
  std::deque<ExitHandle> progmanSearches{kProgman};
  ExitHandle progmanOtherwise = 0;
  intptr_t shellExecuteResult = 42;
  bool closeMainFormThrows = false;

  static constexpr ExitHandle kProcess = 0xC, kToken = 0x70, kProgman = 0x50;

  TSeamInstall<SystemApi> systemSeam{this};

  FakeExitApi() { SetExitPlatform(this); }
  ~FakeExitApi() override { SetExitPlatform(nullptr); }

  // True when every library, 16-bit module and token handed out was released.
  bool AllReleased() const { return open.empty(); }

  int32_t GetVersionExW(TOSVersionInfo& info) override {
    Record("GetVersionExW(" + std::to_string(info.dwOSVersionInfoSize) + ")");
    if (!versionFills) return 0;
    const uint32_t size = info.dwOSVersionInfoSize;
    info = version;
    info.dwOSVersionInfoSize = size;
    return 1;
  }
  // The engine asks the system for nothing else.
  uint32_t GetFileAttributesW(const String&) override { throw Unexpected(); }
  uint32_t GetLastError() override { throw Unexpected(); }
  uintptr_t FindFirstFileW(const String&, TFindData&) override { throw Unexpected(); }
  int32_t FindClose(uintptr_t) override { throw Unexpected(); }
  bool ReadFileBytes(const String&, uint64_t, std::string&, uint32_t&) override { throw Unexpected(); }
  String SysErrorMessage(uint32_t) override { throw Unexpected(); }
  int32_t MessageBoxW(uintptr_t, const String&, const String&, uint32_t) override { throw Unexpected(); }
  int32_t MessageBoxWithOptions(uintptr_t, const String&, const String&, uint32_t, const TMsgBoxOptions&) override {
    throw Unexpected();
  }
  static std::logic_error Unexpected() { return std::logic_error("a system call the exit engine does not make"); }
  ExitHandle GetCurrentProcess() override {
    Record("GetCurrentProcess()");
    return kProcess;
  }
  int32_t OpenProcessToken(ExitHandle process, uint32_t access, ExitHandle& token) override {
    Record("OpenProcessToken(" + Hex(process) + "," + Hex(access) + ")");
    if (!openTokenResult) return 0;
    token = kToken;
    open.insert(kToken);
    return 1;
  }
  int32_t LookupPrivilegeValueW(const char16_t* systemName, const String& name, TLuid& luid) override {
    Record("LookupPrivilegeValueW(" + std::string(systemName ? ToUtf8(systemName) : "null") + "," + ToUtf8(name) + ")");
    luid = {name == u"SeShutdownPrivilege" ? 0x13u : 0x99u, 0};
    return lookupResult;
  }
  int32_t AdjustTokenPrivileges(ExitHandle token, bool disableAll, const TTokenPrivilege* newState,
                                uint32_t bufferLength, TTokenPrivilege* previousState,
                                uint32_t* returnLength) override {
    std::string state = "null";
    if (newState)
      state = "{" + std::to_string(newState->PrivilegeCount) + "," + Hex(newState->Luid.LowPart) + ":" +
              std::to_string(newState->Luid.HighPart) + "," + Hex(newState->Attributes) + "}";
    Record("AdjustTokenPrivileges(" + Hex(token) + "," + (disableAll ? "1" : "0") + "," + state + "," +
           std::to_string(bufferLength) + "," + (previousState ? "buffer" : "null") + "," +
           (returnLength ? "length" : "null") + ")");
    return adjustResult;
  }
  int32_t CloseHandle(ExitHandle handle) override {
    Record("CloseHandle(" + Hex(handle) + ")");
    return Release(handle);
  }
  int32_t ExitWindowsEx(uint32_t flags, uint32_t reason) override {
    Record("ExitWindowsEx(" + Hex(flags) + "," + Hex(reason) + ")");
    return exitWindowsExResult;
  }
  ExitHandle LoadSystemLibrary(const String& fileName) override {
    Record("LoadSystemLibrary(" + ToUtf8(fileName) + ")");
    if (missingLibraries.count(fileName)) return 0;
    return Open(ToUtf8(fileName));
  }
  ExitProc GetProcAddress(ExitHandle module, const std::string& name) override {
    Record("GetProcAddress(" + NameOf(module) + "," + name + ")");
    if (missingProcs.count(name) || !open.count(module)) return 0;
    return Name(name);
  }
  int32_t FreeLibrary(ExitHandle module) override {
    Record("FreeLibrary(" + NameOf(module) + ")");
    return Release(module);
  }
  uint8_t CallBooleanProc(ExitProc proc) override {
    const std::string name = NameOf(proc);
    Record("CallBooleanProc(" + name + ")");
    auto it = booleanResults.find(name);
    return it == booleanResults.end() ? 0 : it->second;
  }
  int32_t SetSystemPowerState(int32_t suspend, int32_t force) override {
    Record("SetSystemPowerState(" + Hex(static_cast<uint32_t>(suspend)) + "," + Hex(static_cast<uint32_t>(force)) + ")");
    return powerStateResult;
  }
  uint32_t LoadLibrary16(const std::string& moduleName) override {
    Record("LoadLibrary16(" + moduleName + ")");
    if (moduleName != "User.exe") return 2;  // file not found
    if (user16Instance < 32) return user16Instance;
    names[user16Instance] = moduleName;
    open.insert(user16Instance);
    return user16Instance;
  }
  uint32_t GetProcAddress16(uint32_t instance, const std::string& procName) override {
    Record("GetProcAddress16(" + NameOf(instance) + "," + procName + ")");
    if (!exitWindows16Proc || procName != "ExitWindows" || !open.count(instance)) return 0;
    names[exitWindows16Proc] = procName;
    return exitWindows16Proc;
  }
  void FreeLibrary16(uint32_t instance) override {
    Record("FreeLibrary16(" + NameOf(instance) + ")");
    Release(instance);
  }
  uint16_t QT_Thunk(ExitProc thunk, uint32_t procedure16, uint32_t arg1, uint16_t arg2) override {
    Record("QT_Thunk(" + NameOf(thunk) + "," + NameOf(procedure16) + "," + Hex(arg1) + "," + Hex(arg2) + ")");
    return exitWindows16Result;
  }
  uint32_t GetFileVersionInfoSizeW(const String& fileName, uint32_t& handle) override {
    Record("GetFileVersionInfoSizeW(" + ToUtf8(fileName) + ")");
    handle = 0;
    return shellVersionMS ? kVersionDataSize : 0;
  }
  int32_t GetFileVersionInfoW(const String& fileName, uint32_t handle, uint32_t size, void* data) override {
    Record("GetFileVersionInfoW(" + ToUtf8(fileName) + "," + std::to_string(handle) + "," + std::to_string(size) + ")");
    if (!versionInfoResult || !shellVersionMS) return 0;
    // The fixed information sits at an odd place inside the block, as it may.
    TFixedFileInfo fixed{};
    fixed.dwSignature = 0xFEEF04BD;
    fixed.dwFileVersionMS = *shellVersionMS;
    std::memset(data, 0xCD, size);
    std::memcpy(static_cast<uint8_t*>(data) + kFixedOffset, &fixed, sizeof fixed);
    return 1;
  }
  int32_t VerQueryValueW(const void* block, const String& subBlock, const void*& buffer, uint32_t& length) override {
    Record("VerQueryValueW(" + ToUtf8(subBlock) + ")");
    if (!verQueryResult || subBlock != u"\\") return 0;
    buffer = static_cast<const uint8_t*>(block) + kFixedOffset;
    length = fixedInfoLength;
    return 1;
  }
  String GetLocaleInfoW(uint32_t locale, uint32_t type) override {
    Record("GetLocaleInfoW(" + Hex(locale) + "," + Hex(type) + ")");
    return decimalSeparator;
  }
  ExitHandle FindWindowW(const String& className, const char16_t* windowName) override {
    Record("FindWindowW(" + ToUtf8(className) + "," + (windowName ? ToUtf8(windowName) : "null") + ")");
    if (className != u"Progman") return 0;
    if (progmanSearches.empty()) return progmanOtherwise;
    const ExitHandle found = progmanSearches.front();
    progmanSearches.pop_front();
    return found;
  }
  void Sleep(uint32_t milliseconds) override { Record("Sleep(" + std::to_string(milliseconds) + ")"); }
  int32_t PostMessageW(ExitHandle window, uint32_t msg, uintptr_t wParam, intptr_t lParam) override {
    Record("PostMessageW(" + Hex(window) + "," + Hex(msg) + "," + std::to_string(wParam) + "," +
           std::to_string(lParam) + ")");
    return 1;
  }
  intptr_t ShellExecuteW(ExitHandle owner, const String& verb, const String& file, const String& parameters,
                         const String& directory, int32_t showCmd) override {
    Record("ShellExecuteW(" + Hex(owner) + "," + ToUtf8(verb) + "," + ToUtf8(file) + "," + ToUtf8(parameters) + "," +
           ToUtf8(directory) + "," + std::to_string(showCmd) + ")");
    return shellExecuteResult;
  }
  // What the engine's owner closes, recorded with the platform calls.
  void CloseMainForm() {
    Record("CloseMainForm()");
    if (closeMainFormThrows) throw Exception(u"閉じられません");
  }
  void Own(TExitWin& engine) { engine.SetOnCloseMainForm([this] { CloseMainForm(); }); }

  static std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
  }

private:
  static constexpr uint32_t kVersionDataSize = 301;
  static constexpr size_t kFixedOffset = 41;

  void Record(std::string call) { calls.push_back(std::move(call)); }
  // Each name gets one handle value for the life of the fake.
  ExitHandle Name(const std::string& name) {
    for (const auto& [handle, n] : names)
      if (n == name) return handle;
    const ExitHandle handle = 0x10000 + 0x100 * names.size();
    names[handle] = name;
    return handle;
  }
  ExitHandle Open(const std::string& name) {
    const ExitHandle handle = Name(name);
    open.insert(handle);
    return handle;
  }
  int32_t Release(ExitHandle handle) {
    auto it = open.find(handle);
    if (it == open.end()) return 0;
    open.erase(it);
    return 1;
  }
  std::string NameOf(ExitHandle handle) const {
    auto it = names.find(handle);
    return it == names.end() ? "?" + Hex(handle) : it->second;
  }

  std::map<ExitHandle, std::string> names;
  std::multiset<ExitHandle> open;
};
