// The visual style (uxtheme) of a control that draws itself. The theme
// library is looked up at its first use, from the system folder; where it
// is missing or no style is active, a TThemeData stays empty and the
// control draws the classic way.
#pragma once

#include "toolkit/Win32.h"

#include <uxtheme.h>
#include <vssym32.h>

class TThemeData {
public:
  TThemeData() = default;
  ~TThemeData() { Close(); }
  TThemeData(const TThemeData&) = delete;
  TThemeData& operator=(const TThemeData&) = delete;

  // The style of a window class ("BUTTON") for `wnd`; empty when no style
  // is active. Closes the one held before.
  void Open(HWND wnd, const wchar_t* classList);
  void Close();
  explicit operator bool() const { return FTheme != nullptr; }

  void DrawBackground(HDC dc, int part, int state, const RECT& bounds) const;
  // The part of `bounds` inside the part's borders, where its content goes.
  RECT ContentRect(HDC dc, int part, int state, const RECT& bounds) const;
  bool PartiallyTransparent(int part, int state) const;
  // A colour property (TMT_TEXTCOLOR...) of a part in a state, or `fallback`.
  COLORREF Color(int part, int state, int property, COLORREF fallback) const;

  // Draws what lies behind `wnd` in its parent into `dc` (the window's own
  // coordinates), for the parts of a style that do not cover their whole
  // rectangle.
  static void DrawParentBackground(HWND wnd, HDC dc, const RECT& bounds);

private:
  HTHEME FTheme = nullptr;
};
