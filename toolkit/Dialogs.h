// Message boxes whose buttons carry our own texts, whatever the language of
// the system.
#pragma once

#include "toolkit/SystemApi.h"  // TMsgBoxOptions
#include "toolkit/Win32.h"

// The system's MessageBoxW, adjusted through a CBT hook as the box comes up:
// the button texts, Esc and the close button (which a Yes/No box otherwise
// refuses) and the place. The box keeps the system's look, sound, keyboard
// handling and accessibility.
int MessageBoxWithOptions(HWND owner, const String& text, const String& caption, UINT type,
                          const TMsgBoxOptions& options);
