# Wine environment for running Tolvi and its tests. Source this file.
#   wine_template        makes (once) the prefix every run is copied from
#   wine_fresh DIR [DPI] a new prefix at DIR, copied from the template, with
#                        the display at DPI (default 96)
#   wine_use DIR         exports the environment for running in DIR
#   wine_stop            ends the wine session of the prefix in use
# TOLVI_WINE_THEME=light switches Wine's "Light" visual style on in the
# prefixes made here (scripts/wine10 sets it); unset or empty keeps the
# classic look.
TOLVI_ROOT=${TOLVI_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
TOLVI_WINE_DIR=${TOLVI_WINE_DIR:-$TOLVI_ROOT/build/wine}
TOLVI_SCREEN=${TOLVI_SCREEN:-1280x800}

export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64

wine_use() {
  export WINEPREFIX=$1
}

wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}

_wine_theme_reg() {
  case ${TOLVI_WINE_THEME:-} in
    # A new prefix names the Light style without saying whether it is on,
    # and Wine then draws with it: classic is asked for in so many words.
    "") cat <<'REG'

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\ThemeManager]
"ThemeActive"="0"
REG
      ;;
    light) cat <<'REG'

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\ThemeManager]
"ThemeActive"="1"
"DllName"="C:\\windows\\resources\\themes\\light\\light.msstyles"
"ColorName"="NormalColor"
"SizeName"="NormalSize"
REG
      ;;
    *) echo "wine.sh: unknown TOLVI_WINE_THEME '$TOLVI_WINE_THEME'" >&2; return 1 ;;
  esac
}

_wine_reg() {
  local reg="$WINEPREFIX/drive_c/tolvi-setup.reg"
  # regedit reads a version 5 file as UTF-16 (with its mark); the Japanese
  # face names would not survive any other encoding.
  { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } > "$reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"Desktop"="shell"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]
"shell"="$TOLVI_SCREEN"

[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]
"MS UI Gothic"="IPAGothic"
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"MS PGothic"="IPAPGothic"
"MS Gothic"="IPAGothic"
"MS Mincho"="IPAMincho"
"MS PMincho"="IPAPMincho"
"Meiryo UI"="IPAPGothic"
"Meiryo"="IPAPGothic"
"Yu Gothic UI"="IPAPGothic"
"Tahoma"="IPAPGothic"
"Segoe UI"="IPAPGothic"

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]
"MS Shell Dlg"="MS UI Gothic"
"MS Shell Dlg 2"="MS UI Gothic"

[HKEY_CURRENT_USER\\Control Panel\\International]
"sDecimal"="."
$(_wine_theme_reg)
REG
  wine regedit /S 'C:\tolvi-setup.reg' >/dev/null 2>&1
  rm -f "$reg"
}

wine_template() {
  local t=$TOLVI_WINE_DIR/template
  local stamp="$t/.tolvi-ready-3-$(wine --version 2>/dev/null | tr ' /' '__')-${TOLVI_WINE_THEME:-classic}"
  [ -f "$stamp" ] && return 0
  rm -rf "$t"
  mkdir -p "$TOLVI_WINE_DIR"
  (
    wine_use "$t"
    wineboot -i >/dev/null 2>&1
    # Wine's own fonts (Marlett draws the title-bar buttons) into the
    # prefix's font folder, where Wine looks for them.
    for f in /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon; do
      [ -e "$f" ] && cp -n "$f" "$t/drive_c/windows/Fonts/"
    done
    _wine_reg
    wineserver -w
  )
  touch "$stamp"
}

wine_fresh() {
  local dir=$1 dpi=${2:-96}
  wine_template
  rm -rf "$dir"
  mkdir -p "$(dirname "$dir")"
  cp -a "$TOLVI_WINE_DIR/template" "$dir"
  wine_use "$dir"
  [ "$dpi" = 96 ] || wine_dpi "$dpi"
}

# The display's DPI of the prefix in use; read by Wine when a process starts.
wine_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wineserver -w
}
