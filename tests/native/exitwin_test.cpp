#include <gtest/gtest.h>

#include <algorithm>

#include "FakeExitApi.h"
#include "exitwin/ExitWin32.h"

namespace {

using Calls = std::vector<std::string>;

Calls operator+(Calls a, const Calls& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

enum class Sys { Win95, Win98, NT351, NT4, NT5, NT10, Unfilled };
enum class Op {
  PowerOff, Shutdown, Reboot, Restart, LogOff, Force, ForceHung, DosMode, Suspend, Hibernate
};

TOSVersionInfo VersionOf(Sys sys) {
  TOSVersionInfo v;
  switch (sys) {
    case Sys::Win95: v.dwPlatformId = 1, v.dwMajorVersion = 4, v.dwMinorVersion = 0; break;
    case Sys::Win98: v.dwPlatformId = 1, v.dwMajorVersion = 4, v.dwMinorVersion = 10; break;
    case Sys::NT351: v.dwPlatformId = 2, v.dwMajorVersion = 3, v.dwMinorVersion = 51; break;
    case Sys::NT4: v.dwPlatformId = 2, v.dwMajorVersion = 4, v.dwMinorVersion = 0; break;
    case Sys::NT5: v.dwPlatformId = 2, v.dwMajorVersion = 5, v.dwMinorVersion = 0; break;
    case Sys::NT10: v.dwPlatformId = 2, v.dwMajorVersion = 10, v.dwMinorVersion = 0; break;
    case Sys::Unfilled: break;
  }
  return v;
}

const char* SysName(Sys sys) {
  const char* names[] = {"Win95", "Win98", "NT351", "NT4", "NT5", "NT10", "Unfilled"};
  return names[static_cast<int>(sys)];
}

const char* OpName(Op op) {
  const char* names[] = {"PowerOff", "Shutdown", "Reboot", "Restart", "LogOff",
                         "Force", "ForceHung", "DosMode", "Suspend", "Hibernate"};
  return names[static_cast<int>(op)];
}

void Invoke(TExitWin& engine, Op op) {
  switch (op) {
    case Op::PowerOff: engine.PowerOffWindows(); break;
    case Op::Shutdown: engine.ShutdownWindows(); break;
    case Op::Reboot: engine.RebootWindows(); break;
    case Op::Restart: engine.RestartWindows(); break;
    case Op::LogOff: engine.LogOffWindows(); break;
    case Op::Force: engine.ForceWindows(); break;
    case Op::ForceHung: engine.ForceHungWindows(); break;
    case Op::DosMode: engine.ExitToDosMode(); break;
    case Op::Suspend: engine.Suspend(); break;
    case Op::Hibernate: engine.Hibernate(); break;
  }
}

// What an operation ended with: a normal return, EExitError, or the general
// Exception that is not an EExitError.
struct Outcome {
  std::string kind;
  String message;
  bool operator==(const Outcome&) const = default;
};
void PrintTo(const Outcome& o, std::ostream* os) { *os << o.kind << " " << ToUtf8(o.message); }

Outcome Ok() { return {"returns", u""}; }
Outcome Raises(const char16_t* message) { return {"EExitError", message}; }
Outcome RaisesBase(const char16_t* message) { return {"Exception", message}; }

// Platform call sequences that several rows share.
const Calls kPrivilege = {
    "GetCurrentProcess()", "OpenProcessToken(0xc,0x28)", "LookupPrivilegeValueW(null,SeShutdownPrivilege)",
    "AdjustTokenPrivileges(0x70,0,{1,0x13:0,0x2},0,null,null)", "CloseHandle(0x70)"};
Calls Exit(uint32_t flags) { return {"ExitWindowsEx(" + FakeExitApi::Hex(flags) + ",0x0)"}; }
Calls Query(const std::string& function) {
  return {"LoadSystemLibrary(Powrprof.dll)", "GetProcAddress(Powrprof.dll," + function + ")",
          "CallBooleanProc(" + function + ")", "FreeLibrary(Powrprof.dll)"};
}
const Calls kSuspendQuery = Query("IsPwrSuspendAllowed");
const Calls kHibernateQuery = Query("IsPwrHibernateAllowed");
const Calls kSuspendState = {"SetSystemPowerState(0xffffffff,0x0)"};
const Calls kHibernateState = {"SetSystemPowerState(0x0,0x0)"};
const Calls kRestart16 = {"LoadLibrary16(User.exe)",        "GetProcAddress16(User.exe,ExitWindows)",
                          "LoadSystemLibrary(Kernel32.dll)",     "GetProcAddress(Kernel32.dll,QT_Thunk)",
                          "QT_Thunk(QT_Thunk,ExitWindows,0x42,0x0)", "FreeLibrary(Kernel32.dll)",
                          "FreeLibrary16(User.exe)"};
const Calls kShellCheck = {"GetFileVersionInfoSizeW(Shell32.dll)", "GetFileVersionInfoW(Shell32.dll,0,301)",
                           "VerQueryValueW(\\)", "GetLocaleInfoW(0x400,0xe)"};
const Calls kShellRestart = {"FindWindowW(Progman,null)", "Sleep(500)", "PostMessageW(0x50,0x12,0,0)",
                             "FindWindowW(Progman,null)", "Sleep(500)",
                             "ShellExecuteW(0x0,open,explorer.exe,,,5)"};
const Calls kCloseMain = {"CloseMainForm()"};
const Calls kDosMode = {"ShellExecuteW(0x0,open,MS-DOS~1.pif,,,5)"};

const char16_t kPrivilegeFailed[] = u"特権の取得に失敗しました。";
const char16_t kPowerOffFailed[] = u"コンピュータの電源を切ることができませんでした。";
const char16_t kShutdownFailed[] = u"Windows の電源を切れる状態にできませんでした。";
const char16_t kRebootFailed[] = u"Windows を再起動できませんでした。";
const char16_t kLogOffFailed[] = u"Windows をログオフできませんでした。";
const char16_t kForceFailed[] = u"Windows の強制終了が出来ませんでした。";
const char16_t kHungFailed[] = u"ハングアップしたアプリケーションを終了できませんでした。";
const char16_t kNoHungHere[] = u"このOSでは、設定を残して強制終了できません。";
const char16_t kNoDosHere[] = u"このOSでは、MS-DOSモードで再起動できません。";
const char16_t kSuspendDenied[] = u"サスペンドは許可されていません。";
const char16_t kHibernateDenied[] = u"休止状態は許可されていません。";
const char16_t kNT4NoPower[] = u"WindowsNT4は電源管理をサポートしていません。";
const char16_t kSuspendFailed[] = u"サスペンドに移行できませんでした。";
const char16_t kHibernateFailed[] = u"休止状態に移行できませんでした。";
const char16_t kDosFailed[] =
    u"MS-DOSモードで再起動できませんでした。\r\n\r\n"
    u"一度スタートメニューから「MS-DOSモードで再起動する」を\r\n"
    u"実行すれば、次回からこの機能が使えるようになります。";

using Tweak = void (*)(FakeExitApi&);
void Refused(FakeExitApi& a) { a.exitWindowsExResult = 0; }
void NoToken(FakeExitApi& a) { a.openTokenResult = 0; }
void NoLookup(FakeExitApi& a) { a.lookupResult = 0; }
void NoAdjust(FakeExitApi& a) { a.adjustResult = 0; }
void NoPowrprof(FakeExitApi& a) { a.missingLibraries.insert(u"Powrprof.dll"); }
void NoPowerFunctions(FakeExitApi& a) { a.missingProcs = {"IsPwrSuspendAllowed", "IsPwrHibernateAllowed"}; }
void PowerSaysNo(FakeExitApi& a) { a.booleanResults.clear(); }
void PowerRefused(FakeExitApi& a) { a.powerStateResult = 0; }
void NoUser16(FakeExitApi& a) { a.user16Instance = 2; }
void NoExitWindows16(FakeExitApi& a) { a.exitWindows16Proc = 0; }
void NoKernel32(FakeExitApi& a) { a.missingLibraries.insert(u"Kernel32.dll"); }
void NoThunk(FakeExitApi& a) { a.missingProcs.insert("QT_Thunk"); }
void Restart16Refused(FakeExitApi& a) { a.exitWindows16Result = 0; }
void Shell471(FakeExitApi& a) { a.shellVersionMS = 0x00040047; }
void CloseThrows(FakeExitApi& a) { a.closeMainFormThrows = true; }
void DosResult32(FakeExitApi& a) { a.shellExecuteResult = 32; }
void DosResult33(FakeExitApi& a) { a.shellExecuteResult = 33; }
void DosResultNegative(FakeExitApi& a) { a.shellExecuteResult = -5; }

struct Row {
  Sys sys;
  Op op;
  const char* variant;  // "" for the platform saying yes to everything
  Tweak tweak;
  Calls calls;
  Outcome outcome;
};

// Windows 98/Me and a record that was never filled take the same roads.
std::vector<Row> NonNTRows(Sys sys) {
  return {
      {sys, Op::PowerOff, "", nullptr, Exit(0x9), Ok()},
      {sys, Op::Shutdown, "", nullptr, Exit(0x1), Ok()},
      {sys, Op::Reboot, "", nullptr, Exit(0x2), Ok()},
      {sys, Op::Restart, "", nullptr, kRestart16, Ok()},
      {sys, Op::LogOff, "", nullptr, Exit(0x0) + kShellCheck + kCloseMain, Ok()},
      {sys, Op::Force, "", nullptr, Exit(0x4), Ok()},
      {sys, Op::ForceHung, "", nullptr, {}, Raises(kNoHungHere)},
      {sys, Op::DosMode, "", nullptr, kDosMode, Ok()},
      {sys, Op::Suspend, "", nullptr, kSuspendQuery + kSuspendState, Ok()},
      {sys, Op::Hibernate, "", nullptr, kHibernateQuery + kHibernateState, Ok()},
  };
}

std::vector<Row> NTRows(Sys sys) {
  const bool power = sys == Sys::NT5 || sys == Sys::NT10;
  const bool nt4 = sys == Sys::NT4;
  return {
      {sys, Op::PowerOff, "", nullptr, kPrivilege + Exit(0x9), Ok()},
      {sys, Op::Shutdown, "", nullptr, kPrivilege + Exit(0x1), Ok()},
      {sys, Op::Reboot, "", nullptr, kPrivilege + Exit(0x2), Ok()},
      {sys, Op::Restart, "", nullptr, kPrivilege + Exit(0x2), Ok()},
      {sys, Op::LogOff, "", nullptr, Exit(0x0), Ok()},
      {sys, Op::Force, "", nullptr, Exit(0x4), Ok()},
      power ? Row{sys, Op::ForceHung, "", nullptr, Exit(0x10), Ok()}
            : Row{sys, Op::ForceHung, "", nullptr, {}, Raises(kNoHungHere)},
      {sys, Op::DosMode, "", nullptr, {}, Raises(kNoDosHere)},
      power ? Row{sys, Op::Suspend, "", nullptr, kSuspendQuery + kPrivilege + kSuspendState, Ok()}
      : nt4 ? Row{sys, Op::Suspend, "", nullptr, {}, Raises(kSuspendDenied)}
            : Row{sys, Op::Suspend, "", nullptr, kSuspendQuery, Raises(kNT4NoPower)},
      power ? Row{sys, Op::Hibernate, "", nullptr, kHibernateQuery + kPrivilege + kHibernateState, Ok()}
      : nt4 ? Row{sys, Op::Hibernate, "", nullptr, {}, Raises(kHibernateDenied)}
            : Row{sys, Op::Hibernate, "", nullptr, kHibernateQuery, Raises(kNT4NoPower)},
  };
}

std::vector<Row> AllRows() {
  std::vector<Row> rows = {
      // Windows 95: no privilege anywhere, suspend without the library.
      {Sys::Win95, Op::PowerOff, "", nullptr, Exit(0x9), Ok()},
      {Sys::Win95, Op::Shutdown, "", nullptr, Exit(0x1), Ok()},
      {Sys::Win95, Op::Reboot, "", nullptr, Exit(0x2), Ok()},
      {Sys::Win95, Op::Restart, "", nullptr, kRestart16, Ok()},
      {Sys::Win95, Op::LogOff, "OldShell", Shell471, Exit(0x0) + kShellCheck + kShellRestart + kCloseMain, Ok()},
      {Sys::Win95, Op::Force, "", nullptr, Exit(0x4), Ok()},
      {Sys::Win95, Op::ForceHung, "", nullptr, {}, Raises(kNoHungHere)},
      {Sys::Win95, Op::DosMode, "", nullptr, kDosMode, Ok()},
      {Sys::Win95, Op::Suspend, "", nullptr, kSuspendState, Ok()},
      {Sys::Win95, Op::Hibernate, "", nullptr, {}, Raises(kHibernateDenied)},
      {Sys::Win95, Op::Suspend, "Refused", PowerRefused, kSuspendState, Raises(kSuspendFailed)},

      // Refusals on systems that are not NT: the operation's own message, no privilege call.
      {Sys::Win98, Op::PowerOff, "Refused", Refused, Exit(0x9), Raises(kPowerOffFailed)},
      {Sys::Win98, Op::Shutdown, "Refused", Refused, Exit(0x1), Raises(kShutdownFailed)},
      {Sys::Win98, Op::Reboot, "Refused", Refused, Exit(0x2), Raises(kRebootFailed)},
      {Sys::Win98, Op::LogOff, "Refused", Refused, Exit(0x0), Raises(kLogOffFailed)},
      {Sys::Win98, Op::LogOff, "OldShell", Shell471, Exit(0x0) + kShellCheck + kShellRestart + kCloseMain, Ok()},
      {Sys::Win98, Op::LogOff, "CloseThrows", CloseThrows, Exit(0x0) + kShellCheck + kCloseMain, Ok()},
      {Sys::Win98, Op::Force, "Refused", Refused, Exit(0x4), Raises(kForceFailed)},

      // The 16-bit restart: every module it loaded is freed before it raises.
      {Sys::Win98, Op::Restart, "Refused", Restart16Refused, kRestart16, Raises(kRebootFailed)},
      {Sys::Win98, Op::Restart, "NoUser16", NoUser16, {"LoadLibrary16(User.exe)"},
       RaisesBase(u"User.exe の呼び出しに失敗しました。")},
      {Sys::Win98, Op::Restart, "NoExitWindows16", NoExitWindows16,
       {"LoadLibrary16(User.exe)", "GetProcAddress16(User.exe,ExitWindows)", "FreeLibrary16(User.exe)"},
       RaisesBase(u"ExitWindows の呼び出しに失敗しました。")},
      {Sys::Win98, Op::Restart, "NoKernel32", NoKernel32,
       {"LoadLibrary16(User.exe)", "GetProcAddress16(User.exe,ExitWindows)", "LoadSystemLibrary(Kernel32.dll)",
        "FreeLibrary16(User.exe)"},
       RaisesBase(u"Kernel32.dll の呼び出しに失敗しました。")},
      {Sys::Win98, Op::Restart, "NoThunk", NoThunk,
       {"LoadLibrary16(User.exe)", "GetProcAddress16(User.exe,ExitWindows)", "LoadSystemLibrary(Kernel32.dll)",
        "GetProcAddress(Kernel32.dll,QT_Thunk)", "FreeLibrary(Kernel32.dll)", "FreeLibrary16(User.exe)"},
       RaisesBase(u"QT_Thunk の呼び出しに失敗しました。")},

      // Power states on Windows 98/Me: the permission test, never a privilege call.
      {Sys::Win98, Op::Suspend, "NoLibrary", NoPowrprof, {"LoadSystemLibrary(Powrprof.dll)"}, Raises(kSuspendDenied)},
      {Sys::Win98, Op::Hibernate, "NoLibrary", NoPowrprof, {"LoadSystemLibrary(Powrprof.dll)"},
       Raises(kHibernateDenied)},
      {Sys::Win98, Op::Suspend, "NoFunction", NoPowerFunctions,
       {"LoadSystemLibrary(Powrprof.dll)", "GetProcAddress(Powrprof.dll,IsPwrSuspendAllowed)", "FreeLibrary(Powrprof.dll)"},
       Raises(kSuspendDenied)},
      {Sys::Win98, Op::Hibernate, "NoFunction", NoPowerFunctions,
       {"LoadSystemLibrary(Powrprof.dll)", "GetProcAddress(Powrprof.dll,IsPwrHibernateAllowed)",
        "FreeLibrary(Powrprof.dll)"},
       Raises(kHibernateDenied)},
      {Sys::Win98, Op::Suspend, "SaysNo", PowerSaysNo, kSuspendQuery, Raises(kSuspendDenied)},
      {Sys::Win98, Op::Hibernate, "SaysNo", PowerSaysNo, kHibernateQuery, Raises(kHibernateDenied)},
      {Sys::Win98, Op::Hibernate, "Refused", PowerRefused, kHibernateQuery + kHibernateState,
       Raises(kHibernateFailed)},

      {Sys::Win98, Op::DosMode, "Result32", DosResult32, kDosMode, Raises(kDosFailed)},
      {Sys::Win98, Op::DosMode, "Result33", DosResult33, kDosMode, Ok()},
      {Sys::Win98, Op::DosMode, "ResultNegative", DosResultNegative, kDosMode, Raises(kDosFailed)},

      // NT: a failed privilege step stops before the request.
      {Sys::NT5, Op::PowerOff, "NoToken", NoToken, {"GetCurrentProcess()", "OpenProcessToken(0xc,0x28)"},
       Raises(kPrivilegeFailed)},
      {Sys::NT5, Op::Shutdown, "NoLookup", NoLookup,
       {"GetCurrentProcess()", "OpenProcessToken(0xc,0x28)", "LookupPrivilegeValueW(null,SeShutdownPrivilege)",
        "CloseHandle(0x70)"},
       Raises(kPrivilegeFailed)},
      {Sys::NT5, Op::Reboot, "NoAdjust", NoAdjust, kPrivilege, Raises(kPrivilegeFailed)},
      {Sys::NT5, Op::Restart, "NoAdjust", NoAdjust, kPrivilege, Raises(kPrivilegeFailed)},
      {Sys::NT5, Op::Suspend, "NoToken", NoToken,
       kSuspendQuery + Calls{"GetCurrentProcess()", "OpenProcessToken(0xc,0x28)"}, Raises(kPrivilegeFailed)},
      {Sys::NT5, Op::Hibernate, "NoAdjust", NoAdjust, kHibernateQuery + kPrivilege, Raises(kPrivilegeFailed)},

      // NT: the privilege step passed (assigned or not), the request was refused.
      {Sys::NT5, Op::PowerOff, "Refused", Refused, kPrivilege + Exit(0x9), Raises(kPowerOffFailed)},
      {Sys::NT5, Op::Shutdown, "Refused", Refused, kPrivilege + Exit(0x1), Raises(kShutdownFailed)},
      {Sys::NT5, Op::Reboot, "Refused", Refused, kPrivilege + Exit(0x2), Raises(kRebootFailed)},
      {Sys::NT5, Op::Restart, "Refused", Refused, kPrivilege + Exit(0x2), Raises(kRebootFailed)},
      {Sys::NT5, Op::LogOff, "Refused", Refused, Exit(0x0), Raises(kLogOffFailed)},
      {Sys::NT5, Op::Force, "Refused", Refused, Exit(0x4), Raises(kForceFailed)},
      {Sys::NT5, Op::ForceHung, "Refused", Refused, Exit(0x10), Raises(kHungFailed)},
      {Sys::NT5, Op::Suspend, "Refused", PowerRefused, kSuspendQuery + kPrivilege + kSuspendState,
       Raises(kSuspendFailed)},
      {Sys::NT5, Op::Hibernate, "Refused", PowerRefused, kHibernateQuery + kPrivilege + kHibernateState,
       Raises(kHibernateFailed)},
      {Sys::NT5, Op::Suspend, "SaysNo", PowerSaysNo, kSuspendQuery, Raises(kSuspendDenied)},
      {Sys::NT5, Op::Hibernate, "NoLibrary", NoPowrprof, {"LoadSystemLibrary(Powrprof.dll)"}, Raises(kHibernateDenied)},
      {Sys::NT5, Op::DosMode, "Result33", DosResult33, {}, Raises(kNoDosHere)},

      // NT below 4 reaches the version message only when the permission said yes.
      {Sys::NT351, Op::Suspend, "SaysNo", PowerSaysNo, kSuspendQuery, Raises(kSuspendDenied)},
      {Sys::NT4, Op::Suspend, "NoLibrary", NoPowrprof, {}, Raises(kSuspendDenied)},
  };
  for (Sys sys : {Sys::Win98, Sys::Unfilled}) {
    auto more = NonNTRows(sys);
    rows.insert(rows.end(), more.begin(), more.end());
  }
  for (Sys sys : {Sys::NT351, Sys::NT4, Sys::NT5, Sys::NT10}) {
    auto more = NTRows(sys);
    rows.insert(rows.end(), more.begin(), more.end());
  }
  return rows;
}

void PrintTo(const Row& row, std::ostream* os) { *os << SysName(row.sys) << " " << OpName(row.op) << " " << row.variant; }

class ExitOperationTest : public testing::TestWithParam<Row> {};

TEST_P(ExitOperationTest, MakesExactlyTheseCallsAndEndsSo) {
  const Row& row = GetParam();
  OSVerInfo = TOSVersionInfo{};
  FakeExitApi api;
  api.version = VersionOf(row.sys);
  api.versionFills = row.sys != Sys::Unfilled;
  if (row.tweak) row.tweak(api);
  TExitWin engine(nullptr);
  api.Own(engine);
  api.calls.clear();

  Outcome outcome = Ok();
  try {
    Invoke(engine, row.op);
  } catch (const EExitError& e) {
    outcome = Raises(e.Message().c_str());
  } catch (const Exception& e) {
    outcome = RaisesBase(e.Message().c_str());
  }
  EXPECT_EQ(api.calls, row.calls);
  EXPECT_EQ(outcome, row.outcome);
  EXPECT_TRUE(api.AllReleased()) << "a library, module or token was left open";
}

INSTANTIATE_TEST_SUITE_P(Systems, ExitOperationTest, testing::ValuesIn(AllRows()),
                         [](const testing::TestParamInfo<Row>& info) {
                           std::string name = std::string(SysName(info.param.sys)) + "_" + OpName(info.param.op);
                           if (*info.param.variant) name += std::string("_") + info.param.variant;
                           return name;
                         });

TEST(ExitWinTest, EachConstructionRefreshesTheSharedVersionRecord) {
  OSVerInfo = TOSVersionInfo{};
  FakeExitApi api;
  TComponent owner;
  api.version = VersionOf(Sys::Win98);
  auto* first = new TExitWin(&owner);
  EXPECT_EQ(api.calls, Calls{"GetVersionExW(276)"});
  EXPECT_EQ(first->Owner(), &owner);
  EXPECT_FALSE(IsWinNT());
  EXPECT_EQ(NTMajorVersion(), -1);
  EXPECT_FALSE(IsWin95());

  api.version = VersionOf(Sys::NT4);
  TExitWin second(nullptr);
  EXPECT_EQ(OSVerInfo.dwOSVersionInfoSize, 276u);
  EXPECT_TRUE(IsWinNT());
  EXPECT_EQ(NTMajorVersion(), 4);

  api.version = VersionOf(Sys::Win95);
  TExitWin third(nullptr);
  EXPECT_TRUE(IsWin95());
  EXPECT_EQ(NTMajorVersion(), -1);

  // A query that fails leaves the last good record in place.
  api.versionFills = false;
  TExitWin fourth(nullptr);
  EXPECT_TRUE(IsWin95());
}

TEST(ExitWinTest, ThePowerLibraryIsLoadedAnewForEachRequest) {
  OSVerInfo = TOSVersionInfo{};
  FakeExitApi api;
  api.version = VersionOf(Sys::NT10);
  TExitWin engine(nullptr);
  api.calls.clear();
  engine.Hibernate();
  engine.Hibernate();
  EXPECT_EQ(std::count(api.calls.begin(), api.calls.end(), "LoadSystemLibrary(Powrprof.dll)"), 2);
  EXPECT_EQ(std::count(api.calls.begin(), api.calls.end(), "FreeLibrary(Powrprof.dll)"), 2);
  EXPECT_TRUE(api.AllReleased());
}

TEST(ExitWinTest, TheMSDOSModeMessageIsFourLinesOf84Characters) {
  EXPECT_EQ(String(kDosFailed).size(), 84u);
  EXPECT_EQ(String(kDosFailed).substr(22, 4), u"\r\n\r\n");
  EXPECT_NE(String(kDosFailed).back(), u'\n');
}

struct ShellCase {
  const char* name;
  std::optional<uint32_t> versionMS;
  const char16_t* separator;
  Tweak tweak;
  bool later;
};

void PrintTo(const ShellCase& c, std::ostream* os) { *os << c.name; }

class ShellVersionTest : public testing::TestWithParam<ShellCase> {};

TEST_P(ShellVersionTest, ReadsTheVersionAsADecimalNumber) {
  const ShellCase& c = GetParam();
  FakeExitApi api;
  api.shellVersionMS = c.versionMS;
  api.decimalSeparator = c.separator;
  if (c.tweak) c.tweak(api);
  EXPECT_EQ(IsShell472OrLater(), c.later);
  EXPECT_TRUE(api.AllReleased());
}

void VersionInfoFails(FakeExitApi& a) { a.versionInfoResult = 0; }
void QueryFails(FakeExitApi& a) { a.verQueryResult = 0; }
void ShortFixedInfo(FakeExitApi& a) { a.fixedInfoLength = 12; }

INSTANTIATE_TEST_SUITE_P(
    Versions, ShellVersionTest,
    testing::Values(ShellCase{"v4_71", 0x00040047, u".", nullptr, false},
                    ShellCase{"v4_72", 0x00040048, u".", nullptr, true},
                    ShellCase{"v4_8", 0x00040008, u".", nullptr, true},
                    ShellCase{"v4_100", 0x00040064, u".", nullptr, false},
                    ShellCase{"v5_0", 0x00050000, u".", nullptr, true},
                    ShellCase{"v6_0", 0x00060000, u".", nullptr, true},
                    ShellCase{"v65535_65535", 0xFFFFFFFF, u".", nullptr, true},
                    ShellCase{"NoVersionData", std::nullopt, u".", nullptr, false},
                    ShellCase{"VersionDataUnreadable", 0x00050000, u".", VersionInfoFails, false},
                    ShellCase{"RootBlockMissing", 0x00050000, u".", QueryFails, false},
                    ShellCase{"RootBlockTooShort", 0x00050000, u".", ShortFixedInfo, false},
                    ShellCase{"DecimalComma", 0x00050000, u",", nullptr, false},
                    ShellCase{"LocaleUnreadable", 0x00050000, u"", nullptr, true}),
    [](const testing::TestParamInfo<ShellCase>& info) { return std::string(info.param.name); });

// The log-off continuation on Windows 98 with a shell older than 4.72.
class ShellRestartTest : public testing::Test {
protected:
  FakeExitApi api;
  void SetUp() override {
    OSVerInfo = TOSVersionInfo{};
    api.version = VersionOf(Sys::Win98);
    api.shellVersionMS = 0x00040000;
  }
  // The calls after the version test, which is the same every time.
  Calls LogOff() {
    TExitWin engine(nullptr);
    api.Own(engine);
    api.calls.clear();
    engine.LogOffWindows();
    return Calls(api.calls.begin() + 1 + kShellCheck.size(), api.calls.end());
  }
  static Calls Searches(int count) {
    Calls calls;
    for (int i = 0; i < count; ++i) calls = calls + Calls{"FindWindowW(Progman,null)", "Sleep(500)"};
    return calls;
  }
};

TEST_F(ShellRestartTest, WaitsForTheShellToComeAndGoBeforeStartingItAgain) {
  api.progmanSearches = {0, 0, FakeExitApi::kProgman, FakeExitApi::kProgman, FakeExitApi::kProgman};
  EXPECT_EQ(LogOff(), (Searches(3) + Calls{"PostMessageW(0x50,0x12,0,0)"} + Searches(3) +
                          Calls{"ShellExecuteW(0x0,open,explorer.exe,,,5)", "CloseMainForm()"}));
}

TEST_F(ShellRestartTest, AShellThatNeverAppearsIsGivenUpAfterThirtySeconds) {
  api.progmanSearches.clear();
  // Sixty half-second polls, nothing to post to, then one poll to see it gone.
  EXPECT_EQ(LogOff(), (Searches(60) + Searches(1) +
                          Calls{"ShellExecuteW(0x0,open,explorer.exe,,,5)", "CloseMainForm()"}));
}

TEST_F(ShellRestartTest, AShellThatNeverLeavesIsGivenUpAfterThirtySeconds) {
  api.progmanSearches.clear();
  api.progmanOtherwise = FakeExitApi::kProgman;
  EXPECT_EQ(LogOff(), (Searches(1) + Calls{"PostMessageW(0x50,0x12,0,0)"} + Searches(60) +
                          Calls{"ShellExecuteW(0x0,open,explorer.exe,,,5)", "CloseMainForm()"}));
}

TEST_F(ShellRestartTest, WithoutAnOwnerToCloseTheLogOffEndsAfterTheShell) {
  TExitWin engine(nullptr);
  api.calls.clear();
  EXPECT_NO_THROW(engine.LogOffWindows());
  EXPECT_EQ(api.calls.back(), "ShellExecuteW(0x0,open,explorer.exe,,,5)");
}

TEST_F(ShellRestartTest, AClosingThatFailsStillEndsTheLogOffNormally) {
  api.closeMainFormThrows = true;
  EXPECT_NO_THROW(LogOff());
  EXPECT_EQ(api.calls.back(), "CloseMainForm()");
}

}  // namespace
