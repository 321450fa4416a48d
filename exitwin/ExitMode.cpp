#include "exitwin/ExitMode.h"

#include "exitwin/ExitWin32.h"

const std::array<TExitModeInfo, 5> kExitModes = {{
    {TExitMode::PowerOff, u"シャットダウン", u"シャットダウン", &TExitWin::PowerOffWindows},
    {TExitMode::Reboot, u"再起動", u"再起動", &TExitWin::RebootWindows},
    {TExitMode::LogOff, u"ログオフ", u"ログオフ", &TExitWin::LogOffWindows},
    {TExitMode::Sleep, u"スリープ", u"スタンバイ", &TExitWin::Suspend},
    {TExitMode::Hibernate, u"休止状態", u"休止状態", &TExitWin::Hibernate},
}};

std::optional<TExitMode> ExitModeFromNumber(int32_t number) {
  if (number < 1 || number > static_cast<int32_t>(kExitModes.size())) return std::nullopt;
  return kExitModes[static_cast<size_t>(number - 1)].Mode;
}

int32_t ExitModeNumber(TExitMode mode) { return static_cast<int32_t>(mode); }

const TExitModeInfo* FindExitMode(TExitMode mode) {
  for (const TExitModeInfo& info : kExitModes)
    if (info.Mode == mode) return &info;
  return nullptr;
}

String ExitModeCaption(TExitMode mode, bool vistaOrLater) {
  const TExitModeInfo* info = FindExitMode(mode);
  if (!info) return String();
  return vistaOrLater ? info->Caption : info->CaptionBeforeVista;
}

void PerformExitMode(TExitWin& engine, TExitMode mode) {
  if (const TExitModeInfo* info = FindExitMode(mode)) (engine.*info->Perform)();
}
