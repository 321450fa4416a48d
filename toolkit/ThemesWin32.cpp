#include "toolkit/ThemesWin32.h"

namespace {

constexpr const wchar_t* kThemeLibrary = L"uxtheme.dll";

template <typename Fn>
Fn ThemeFunction(const char* name) {
  return SystemFunction<Fn>(kThemeLibrary, name);
}

}  // namespace

void TThemeData::Open(HWND wnd, const wchar_t* classList) {
  Close();
  using Fn = HTHEME(WINAPI*)(HWND, LPCWSTR);
  static const auto open = ThemeFunction<Fn>("OpenThemeData");
  if (open) FTheme = open(wnd, classList);
}

void TThemeData::Close() {
  if (!FTheme) return;
  using Fn = HRESULT(WINAPI*)(HTHEME);
  static const auto close = ThemeFunction<Fn>("CloseThemeData");
  if (close) close(FTheme);
  FTheme = nullptr;
}

void TThemeData::DrawBackground(HDC dc, int part, int state, const RECT& bounds) const {
  using Fn = HRESULT(WINAPI*)(HTHEME, HDC, int, int, const RECT*, const RECT*);
  static const auto draw = ThemeFunction<Fn>("DrawThemeBackground");
  if (FTheme && draw) draw(FTheme, dc, part, state, &bounds, nullptr);
}

RECT TThemeData::ContentRect(HDC dc, int part, int state, const RECT& bounds) const {
  using Fn = HRESULT(WINAPI*)(HTHEME, HDC, int, int, const RECT*, RECT*);
  static const auto content = ThemeFunction<Fn>("GetThemeBackgroundContentRect");
  RECT r = bounds;
  if (FTheme && content && FAILED(content(FTheme, dc, part, state, &bounds, &r))) r = bounds;
  return r;
}

bool TThemeData::PartiallyTransparent(int part, int state) const {
  using Fn = BOOL(WINAPI*)(HTHEME, int, int);
  static const auto transparent = ThemeFunction<Fn>("IsThemeBackgroundPartiallyTransparent");
  return FTheme && transparent && transparent(FTheme, part, state);
}

COLORREF TThemeData::Color(int part, int state, int property, COLORREF fallback) const {
  using Fn = HRESULT(WINAPI*)(HTHEME, int, int, int, COLORREF*);
  static const auto color = ThemeFunction<Fn>("GetThemeColor");
  COLORREF c = fallback;
  if (FTheme && color && FAILED(color(FTheme, part, state, property, &c))) c = fallback;
  return c;
}

void TThemeData::DrawParentBackground(HWND wnd, HDC dc, const RECT& bounds) {
  using Fn = HRESULT(WINAPI*)(HWND, HDC, const RECT*);
  static const auto draw = ThemeFunction<Fn>("DrawThemeParentBackground");
  if (draw) draw(wnd, dc, &bounds);
}
