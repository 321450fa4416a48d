// The exit engine: power off, restart, log off and the power states, with the
// shutdown privilege and the paths Windows 95/98/Me need.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "exitwin/ExitApi.h"
#include "toolkit/Classes.h"
#include "toolkit/SysUtils.h"

class EExitError : public Exception {
public:
  using Exception::Exception;
};

// The system version, shared by every engine and refreshed by each one's
// construction. All zeros until the first engine is made; such a record counts
// as a system that is not NT.
extern TOSVersionInfo OSVerInfo;

bool IsWinNT();
int NTMajorVersion();  // -1 when not NT
bool IsWin95();

// Enables the shutdown privilege in the process's own token; raises EExitError
// when any step fails.
void EnableShutdownPrivilege();
// Enables the privilege, then asks for the exit; true when it was accepted.
bool ExitWindowsPrivileged(uint32_t flags);

// Whether the power-management function of that name says the state is allowed.
bool IsPowerStateAllowed(const std::string& functionName);
// Asks for suspend (true) or hibernation (false); true when accepted. Raises on
// NT older than 5 and when the privilege cannot be enabled.
bool EnterPowerState(bool suspend, bool force);

// The 16-bit ExitWindows of "User.exe". Raises Exception (not EExitError) when
// a module or procedure is missing.
uint16_t ExitWindows16(uint32_t returnCode, uint16_t reserved);
// Whether Shell32.dll's version, read as a decimal number, is 4.72 or more.
bool IsShell472OrLater();

class TExitWin : public TComponent {
public:
  explicit TExitWin(TComponent* AOwner);

  // Closes the program's main window as if the user had closed it; the end
  // of a log-off on Windows 95/98/Me. Its owner sets it; unset, nothing is
  // closed (a program without windows).
  const std::function<void()>& OnCloseMainForm() const { return FOnCloseMainForm; }
  void SetOnCloseMainForm(std::function<void()> handler) { FOnCloseMainForm = std::move(handler); }

  void PowerOffWindows();
  void ShutdownWindows();
  void RebootWindows();
  void RestartWindows();
  void LogOffWindows();
  void ForceWindows();
  void ForceHungWindows();
  void ExitToDosMode();
  void Suspend();
  void Hibernate();

private:
  std::function<void()> FOnCloseMainForm;
};
