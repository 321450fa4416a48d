// The portable rules of a dialog window: DPI arithmetic, alignment of
// controls inside their parent, the tab sequence through nested containers
// and accelerator characters. The window layer applies them; nothing here
// touches a window.
#pragma once

#include <cstdint>
#include <vector>

#include "toolkit/SysUtils.h"

// a * b / c rounded half away from zero, as the system's MulDiv does; 0 when
// c is 0 (where MulDiv gives -1, no size is meant).
int MulDivRound(int a, int b, int c);
// A length in 96-DPI units at a given DPI.
inline int DpiScale(int value, int dpi) { return MulDivRound(value, dpi, 96); }
// The character height in pixels of a font of `points` at a DPI: a point is
// 1/72 inch, converted once at the DPI the text is shown at.
inline int PointsToPixels(int points, int dpi) { return MulDivRound(points, dpi, 72); }

struct TRectI {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  int Right() const { return Left + Width; }
  int Bottom() const { return Top + Height; }
  bool operator==(const TRectI&) const = default;
};
TRectI DpiScale(const TRectI& r, int dpi);

// Horizontal placement of a text.
enum TAlignment : uint8_t { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };

// Where a control sits in its parent: where its bounds say, or against an
// edge (keeping its height) or filling what the others left.
enum TAlign : uint8_t { alNone, alTop, alBottom, alClient };

struct TAlignItem {
  TAlign Align = alNone;
  TRectI Bounds;  // the control's own bounds, in the same unit as the area
};
// The places of a parent's children in `area`: top-aligned ones stacked from
// the top in order, bottom-aligned ones from the bottom, then client-aligned
// ones filling the rest; the others keep their bounds.
std::vector<TRectI> AlignControls(const TRectI& area, const std::vector<TAlignItem>& items);

// One control in the tab sequence of a window. Parent is the index of the
// containing item (-1 for the window itself); containers are entered.
struct TTabItem {
  int Parent = -1;
  int TabOrder = 0;
  bool TabStop = false;
  bool Focusable = true;  // visible and enabled, with its containers
  bool Option = false;    // an option button: the buttons of a parent form one stop
  bool Checked = false;
};
// The items that Tab visits, in order: each parent's children by TabOrder,
// depth first. Of a parent's option buttons only one is a stop: the checked
// one, else the first.
std::vector<int> TabSequence(const std::vector<TTabItem>& items);
// The next (or previous) stop after `current`, wrapping; the first (last) one
// when `current` is not a stop; -1 when there is none.
int NextTabStop(const std::vector<TTabItem>& items, int current, bool backward);
// The option button an arrow key moves to from `current` within its group:
// the next (previous) focusable option button of the same parent by
// TabOrder, wrapping; -1 when there is none.
int NextOptionInGroup(const std::vector<TTabItem>& items, int current, bool backward);

// The accelerator of a caption: the character after a single "&" ("&&" is a
// plain "&"), upper-cased; 0 when there is none.
char16_t AcceleratorChar(StringView caption);
// Whether a typed character selects a caption's accelerator (case folded).
bool IsAccelerator(char16_t key, StringView caption);
