#include "exitwin/ExitWin32.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "toolkit/Handle.h"

TOSVersionInfo OSVerInfo;

namespace {

constexpr uint32_t kPlatformWin32Windows = 1;  // VER_PLATFORM_WIN32_WINDOWS
constexpr uint32_t kPlatformWin32NT = 2;       // VER_PLATFORM_WIN32_NT

constexpr uint32_t kTokenAdjustPrivileges = 0x20;
constexpr uint32_t kTokenQuery = 0x08;
constexpr uint32_t kSePrivilegeEnabled = 0x2;

constexpr uint32_t kEwxLogoff = 0x0;
constexpr uint32_t kEwxShutdown = 0x1;
constexpr uint32_t kEwxReboot = 0x2;
constexpr uint32_t kEwxForce = 0x4;
constexpr uint32_t kEwxPoweroff = 0x8;
constexpr uint32_t kEwxForceIfHung = 0x10;
constexpr uint32_t kEwRestartWindows = 0x42;  // 16-bit ExitWindows: restart Windows only

constexpr int32_t kBoolTrue = -1;  // TRUE with every bit set, as the power call receives it
constexpr uint32_t kLocaleUserDefault = 0x400;
constexpr uint32_t kLocaleSDecimal = 0x0E;
constexpr uint32_t kWmQuit = 0x12;
constexpr int32_t kSwShow = 5;

constexpr uint32_t kShellPollMs = 500;
constexpr int kShellPollLimit = 60;  // 30 seconds of polls, then go on without the shell

const char16_t kPrivilegeFailed[] = u"特権の取得に失敗しました。";
const char16_t kRebootFailed[] = u"Windows を再起動できませんでした。";
const char16_t kDosModeFailed[] =
    u"MS-DOSモードで再起動できませんでした。\r\n\r\n"
    u"一度スタートメニューから「MS-DOSモードで再起動する」を\r\n"
    u"実行すれば、次回からこの機能が使えるようになります。";

// Handles of the engine, given back through the seam when the scope ends
// whatever happens.
void CloseExitHandle(ExitHandle handle) { ExitPlatform().CloseHandle(handle); }
void FreeExitLibrary(ExitHandle module) { ExitPlatform().FreeLibrary(module); }
void FreeModule16(uint32_t instance) { ExitPlatform().FreeLibrary16(instance); }
using TOwnedHandle = THandleGuard<TValueHandleTraits<ExitHandle, 0, CloseExitHandle>>;
using TLoadedLibrary = THandleGuard<TValueHandleTraits<ExitHandle, 0, FreeExitLibrary>>;
// A 16-bit module; instance values below 32 are load errors and own nothing.
using TLoadedModule16 = THandleGuard<TValueHandleTraits<uint32_t, 0, FreeModule16>>;

TComponent* RefreshVersionInfo(TComponent* owner) {
  OSVerInfo.dwOSVersionInfoSize = sizeof(TOSVersionInfo);
  SystemPlatform().GetVersionExW(OSVerInfo);  // a failed query keeps what was there
  return owner;
}

// One exit request, with the privilege step on NT when asked for.
void RequestExit(uint32_t flags, bool privileged, const char16_t* failure) {
  const bool accepted = privileged ? ExitWindowsPrivileged(flags) : ExitPlatform().ExitWindowsEx(flags, 0) != 0;
  if (!accepted) throw EExitError(failure);
}

// dwFileVersionMS of Shell32.dll, or 0 when the version data cannot be read.
uint32_t ShellFileVersionMS(ExitApi& api) {
  const String file = u"Shell32.dll";
  uint32_t handle = 0;
  const uint32_t size = api.GetFileVersionInfoSizeW(file, handle);
  if (size == 0) return 0;
  std::vector<uint8_t> data;
  try {
    data.resize(size);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  if (!api.GetFileVersionInfoW(file, handle, size, data.data())) return 0;
  const void* info = nullptr;
  uint32_t length = 0;
  if (!api.VerQueryValueW(data.data(), u"\\", info, length) || !info || length < sizeof(TFixedFileInfo))
    return 0;
  TFixedFileInfo fixed;
  std::memcpy(&fixed, info, sizeof fixed);  // the block gives no alignment promise
  return fixed.dwFileVersionMS;
}

// Reads digits with at most one decimal separator, written the way the user's
// locale writes numbers.
bool TryTextToFloat(StringView text, char16_t separator, double& value) {
  std::string ascii;
  bool digits = false, separated = false;
  for (char16_t c : text) {
    if (c >= u'0' && c <= u'9') {
      ascii += static_cast<char>(c);
      digits = true;
    } else if (c == separator && !separated) {
      ascii += '.';
      separated = true;
    } else {
      return false;
    }
  }
  if (!digits) return false;
  // The C library's reading: the program keeps the "C" locale, whose
  // separator is ".".
  char* end = nullptr;
  errno = 0;
  value = std::strtod(ascii.c_str(), &end);
  return errno != ERANGE && end == ascii.c_str() + ascii.size();
}

char16_t UserDecimalSeparator(ExitApi& api) {
  const String text = api.GetLocaleInfoW(kLocaleUserDefault, kLocaleSDecimal);
  return text.empty() ? u'.' : text[0];
}

// Searches for the program manager's window, sleeping after every search,
// until it is there (or gone, when `present` is false). Gives up after 30
// seconds and returns the last search's result.
ExitHandle WaitForShell(ExitApi& api, bool present) {
  ExitHandle window = 0;
  for (int i = 0; i < kShellPollLimit; ++i) {
    window = SystemPlatform().FindWindowW(u"Progman", nullptr);
    SystemPlatform().Sleep(kShellPollMs);
    if ((window != 0) == present) break;
  }
  return window;
}

void CloseMainFormQuietly(const std::function<void()>& closeMainForm) {
  if (!closeMainForm) return;
  try {
    closeMainForm();
  } catch (...) {
    // The log-off is under way; a failure to close changes nothing.
  }
}

// Older shells stay behind after a log-off on Windows 95/98/Me, so the shell
// is ended and started again before the program closes.
void FinishLogOffWithoutNT(ExitApi& api, const std::function<void()>& closeMainForm) {
  if (!IsShell472OrLater()) {
    const ExitHandle shell = WaitForShell(api, true);
    // Posting to no window would quit this thread's own loop instead.
    if (shell) api.PostMessageW(shell, kWmQuit, 0, 0);
    WaitForShell(api, false);
    api.ShellExecuteW(0, u"open", u"explorer.exe", u"", u"", kSwShow);
  }
  CloseMainFormQuietly(closeMainForm);
}

}  // namespace

bool IsWinNT() { return OSVerInfo.dwPlatformId == kPlatformWin32NT; }

int NTMajorVersion() { return IsWinNT() ? static_cast<int>(OSVerInfo.dwMajorVersion) : -1; }

bool IsWin95() {
  return OSVerInfo.dwPlatformId == kPlatformWin32Windows && OSVerInfo.dwMajorVersion == 4 &&
         OSVerInfo.dwMinorVersion == 0;
}

void EnableShutdownPrivilege() {
  ExitApi& api = ExitPlatform();
  ExitHandle opened = 0;
  if (!api.OpenProcessToken(api.GetCurrentProcess(), kTokenAdjustPrivileges | kTokenQuery, opened))
    throw EExitError(kPrivilegeFailed);
  const TOwnedHandle token(opened);
  TTokenPrivilege privilege;
  if (!api.LookupPrivilegeValueW(nullptr, u"SeShutdownPrivilege", privilege.Luid))
    throw EExitError(kPrivilegeFailed);
  privilege.PrivilegeCount = 1;
  privilege.Attributes = kSePrivilegeEnabled;
  // Success here does not prove the privilege was assigned; the exit request
  // that follows is the real test.
  if (!api.AdjustTokenPrivileges(token.Get(), false, &privilege, 0, nullptr, nullptr))
    throw EExitError(kPrivilegeFailed);
}

bool ExitWindowsPrivileged(uint32_t flags) {
  EnableShutdownPrivilege();
  return ExitPlatform().ExitWindowsEx(flags, 0) != 0;
}

bool IsPowerStateAllowed(const std::string& functionName) {
  if (IsWin95() || NTMajorVersion() == 4) return false;
  ExitApi& api = ExitPlatform();
  const TLoadedLibrary powrprof(api.LoadSystemLibrary(u"Powrprof.dll"));
  if (!powrprof) return false;
  const ExitProc query = api.GetProcAddress(powrprof.Get(), functionName);
  return query && api.CallBooleanProc(query) != 0;
}

bool EnterPowerState(bool suspend, bool force) {
  if (IsWinNT()) {
    if (NTMajorVersion() < 5) throw EExitError(u"WindowsNT4は電源管理をサポートしていません。");
    EnableShutdownPrivilege();
  }
  return ExitPlatform().SetSystemPowerState(suspend ? kBoolTrue : 0, force ? kBoolTrue : 0) != 0;
}

uint16_t ExitWindows16(uint32_t returnCode, uint16_t reserved) {
  ExitApi& api = ExitPlatform();
  // Declared in this order so that Kernel32.dll is freed before User.exe.
  const uint32_t instance = api.LoadLibrary16("User.exe");
  const TLoadedModule16 user(instance >= 32 ? instance : 0);
  if (!user) throw Exception(u"User.exe の呼び出しに失敗しました。");
  const uint32_t exitWindows = api.GetProcAddress16(user.Get(), "ExitWindows");
  if (!exitWindows) throw Exception(u"ExitWindows の呼び出しに失敗しました。");
  const TLoadedLibrary kernel(api.LoadSystemLibrary(u"Kernel32.dll"));
  if (!kernel) throw Exception(u"Kernel32.dll の呼び出しに失敗しました。");
  const ExitProc thunk = api.GetProcAddress(kernel.Get(), "QT_Thunk");
  if (!thunk) throw Exception(u"QT_Thunk の呼び出しに失敗しました。");
  return api.QT_Thunk(thunk, exitWindows, returnCode, reserved);
}

bool IsShell472OrLater() {
  ExitApi& api = ExitPlatform();
  const uint32_t version = ShellFileVersionMS(api);
  const String text = IntToStr(version >> 16) + u"." + IntToStr(version & 0xFFFF);
  double number = 0;
  if (!TryTextToFloat(text, UserDecimalSeparator(api), number)) return false;
  return number >= 4.72;
}

TExitWin::TExitWin(TComponent* AOwner) : TComponent(RefreshVersionInfo(AOwner)) {}

void TExitWin::PowerOffWindows() {
  RequestExit(kEwxShutdown | kEwxPoweroff, IsWinNT(), u"コンピュータの電源を切ることができませんでした。");
}

void TExitWin::ShutdownWindows() {
  RequestExit(kEwxShutdown, IsWinNT(), u"Windows の電源を切れる状態にできませんでした。");
}

void TExitWin::RebootWindows() { RequestExit(kEwxReboot, IsWinNT(), kRebootFailed); }

void TExitWin::RestartWindows() {
  if (IsWinNT()) {
    RequestExit(kEwxReboot, true, kRebootFailed);
  } else if (ExitWindows16(kEwRestartWindows, 0) == 0) {
    throw EExitError(kRebootFailed);
  }
}

void TExitWin::LogOffWindows() {
  RequestExit(kEwxLogoff, false, u"Windows をログオフできませんでした。");
  if (!IsWinNT()) FinishLogOffWithoutNT(ExitPlatform(), FOnCloseMainForm);
}

void TExitWin::ForceWindows() {
  RequestExit(kEwxLogoff | kEwxForce, false, u"Windows の強制終了が出来ませんでした。");
}

void TExitWin::ForceHungWindows() {
  if (NTMajorVersion() < 5) throw EExitError(u"このOSでは、設定を残して強制終了できません。");
  RequestExit(kEwxLogoff | kEwxForceIfHung, false, u"ハングアップしたアプリケーションを終了できませんでした。");
}

void TExitWin::ExitToDosMode() {
  if (IsWinNT()) throw EExitError(u"このOSでは、MS-DOSモードで再起動できません。");
  const intptr_t result = ExitPlatform().ShellExecuteW(0, u"open", u"MS-DOS~1.pif", u"", u"", kSwShow);
  if (result <= 32) throw EExitError(kDosModeFailed);
}

void TExitWin::Suspend() {
  if (!IsWin95() && !IsPowerStateAllowed("IsPwrSuspendAllowed"))
    throw EExitError(u"サスペンドは許可されていません。");
  if (!EnterPowerState(true, false)) throw EExitError(u"サスペンドに移行できませんでした。");
}

void TExitWin::Hibernate() {
  if (!IsPowerStateAllowed("IsPwrHibernateAllowed")) throw EExitError(u"休止状態は許可されていません。");
  if (!EnterPowerState(false, false)) throw EExitError(u"休止状態に移行できませんでした。");
}
