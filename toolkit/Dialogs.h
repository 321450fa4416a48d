// Message boxes whose buttons carry our own texts, whatever the language of
// the system.
#pragma once

#include <vector>

#include "toolkit/Win32.h"

struct TMsgBoxButton {
  int Id = 0;  // IDYES, IDNO, ...
  String Caption;
};

struct TMsgBoxOptions {
  std::vector<TMsgBoxButton> Buttons;  // new texts for the box's buttons
  int EscapeResult = 0;                // when set: what Esc and closing the box answer
  bool CenterOnScreen = false;         // on the primary screen rather than over the owner
};

// The system's MessageBoxW, adjusted through a CBT hook as the box comes up:
// the button texts, Esc and the close button (which a Yes/No box otherwise
// refuses) and the place. The box keeps the system's look, sound, keyboard
// handling and accessibility.
int MessageBoxWithOptions(HWND owner, const String& text, const String& caption, UINT type,
                          const TMsgBoxOptions& options);
