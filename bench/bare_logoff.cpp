// The least a program that logs the user off does: enables the shutdown
// privilege of its own token and asks Windows to log off. The log-off figure
// is measured against it.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  HANDLE token = nullptr;
  if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
      ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    ::CloseHandle(token);
  }
  return ::ExitWindowsEx(EWX_LOGOFF, 0) ? 0 : 1;
}
