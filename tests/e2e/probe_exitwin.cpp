// Runs one operation of the exit engine on the real platform:
//
//   probe_exitwin OPERATION
//
// OPERATION is a method name of TExitWin (PowerOffWindows, RebootWindows,
// LogOffWindows, Suspend, Hibernate, ...), or one of the engine's routines
// IsShell472OrLater (prints "true" or "false") and ExitWindows16 (restart code
// 0x42; prints its result). The message of a failure is printed as UTF-8 on
// one line; the exit code is 0 whether or not the operation
// succeeded, and 2 for an unknown operation. The first line on stderr names
// the calling thread as Wine's relay record writes it and the address range of
// this program's image ("thread 0024 image 140000000-14009f000"), so that a
// recording of the calls can be narrowed to the calls this program made
// itself; "end of operation" follows once the operation has returned or raised. The last line
// on stderr tells whether the shutdown privilege is enabled in the process token
// afterwards ("shutdown privilege enabled" or "... disabled"), read back from
// the token itself.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>
#include <fcntl.h>
#include <io.h>

#include "exitwin/ExitWin32.h"

namespace {

struct Operation {
  const char* name;
  void (TExitWin::*method)();
  void (*routine)();
};

void PrintLine(const String& text);

void PrintShellTest() { PrintLine(IsShell472OrLater() ? u"true" : u"false"); }
void PrintExitWindows16() { PrintLine(IntToStr(ExitWindows16(0x42, 0))); }

const Operation kOperations[] = {
    {"PowerOffWindows", &TExitWin::PowerOffWindows, nullptr},
    {"ShutdownWindows", &TExitWin::ShutdownWindows, nullptr},
    {"RebootWindows", &TExitWin::RebootWindows, nullptr},
    {"RestartWindows", &TExitWin::RestartWindows, nullptr},
    {"LogOffWindows", &TExitWin::LogOffWindows, nullptr},
    {"ForceWindows", &TExitWin::ForceWindows, nullptr},
    {"ForceHungWindows", &TExitWin::ForceHungWindows, nullptr},
    {"ExitToDosMode", &TExitWin::ExitToDosMode, nullptr},
    {"Suspend", &TExitWin::Suspend, nullptr},
    {"Hibernate", &TExitWin::Hibernate, nullptr},
    {"IsShell472OrLater", nullptr, PrintShellTest},
    {"ExitWindows16", nullptr, PrintExitWindows16},
};

bool ShutdownPrivilegeEnabled() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  LUID shutdown{};
  DWORD size = 0;
  std::vector<unsigned char> buffer;
  GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
  buffer.resize(size ? size : 1);
  const bool read = LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &shutdown) &&
                    GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size);
  CloseHandle(token);
  if (!read) return false;
  const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
    const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
    if (p.Luid.LowPart == shutdown.LowPart && p.Luid.HighPart == shutdown.HighPart)
      return (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
  }
  return false;
}

void PrintLine(const String& text) {
  const std::string bytes = ToUtf8(text) + "\n";
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // the message's bytes exactly as encoded
  const auto* image = reinterpret_cast<const unsigned char*>(GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
  std::fprintf(stderr, "thread %04lx image %llx-%llx\n", static_cast<unsigned long>(GetCurrentThreadId()),
               static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(image)),
               static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(image) + nt->OptionalHeader.SizeOfImage));
  std::fflush(stderr);
  const Operation* chosen = nullptr;
  for (const Operation& op : kOperations)
    if (argc == 2 && std::strcmp(argv[1], op.name) == 0) chosen = &op;
  if (!chosen) {
    std::fprintf(stderr, "usage: probe_exitwin OPERATION (a method of TExitWin, e.g. PowerOffWindows)\n");
    return 2;
  }
  try {
    TExitWin engine(nullptr);  // fills the version record the routines read
    if (chosen->method) (engine.*chosen->method)();
    else chosen->routine();
  } catch (const Exception& e) {
    PrintLine(e.Message());
  }
  std::fprintf(stderr, "end of operation\n");
  std::fflush(stderr);
  std::fprintf(stderr, "shutdown privilege %s\n", ShutdownPrivilegeEnabled() ? "enabled" : "disabled");
  return 0;
}
