// The five ways of ending the work with the computer, numbered as the command
// line and the main window's keys number them, each with its caption and the
// engine operation that carries it out. Every place that needs one of these
// facts reads it from kExitModes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "toolkit/SysUtils.h"

class TExitWin;

enum class TExitMode : int32_t { None = 0, PowerOff = 1, Reboot = 2, LogOff = 3, Sleep = 4, Hibernate = 5 };

struct TExitModeInfo {
  TExitMode Mode;
  const char16_t* Caption;             // from Windows Vista on
  const char16_t* CaptionBeforeVista;  // on older systems
  void (TExitWin::*Perform)();         // the engine operation
};

// In number order: kExitModes[n - 1] is the mode numbered n.
extern const std::array<TExitModeInfo, 5> kExitModes;

// The mode numbered 1..5; nothing for any other number.
std::optional<TExitMode> ExitModeFromNumber(int32_t number);
// 1..5, or 0 for TExitMode::None.
int32_t ExitModeNumber(TExitMode mode);
// The table row of a mode; nullptr for TExitMode::None.
const TExitModeInfo* FindExitMode(TExitMode mode);
// The caption of `mode` on a system that is (or is not) Windows Vista or
// later: the sleep action reads "スタンバイ" before. Empty for None.
String ExitModeCaption(TExitMode mode, bool vistaOrLater);
// Calls the engine operation of `mode`; nothing for None.
void PerformExitMode(TExitWin& engine, TExitMode mode);
