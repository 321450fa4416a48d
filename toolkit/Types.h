// Small value types shared by the toolkit's windows and the portable logic
// that works with them. No platform header: the logic builds without one.
#pragma once

#include <cstdint>

// Key and mouse-button modifiers, as a set of these flags.
enum TShiftFlag : uint8_t { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
using TShiftState = uint8_t;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow };
