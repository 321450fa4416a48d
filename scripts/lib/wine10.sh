# The second Windows environment the tests run in: Debian 13's Wine 10 in a
# root made with debootstrap under build/, entered with chroot. Source this file.
#   wine10_root_make     makes the root once (again when its package list changes)
#   wine10_root_ready    true when the root is in place for this package list
#   wine10_mounted DIR   lists the mount points at or under DIR
# scripts/wine10 runs a command inside the root.
TOLVI_ROOT=${TOLVI_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
WINE10_ROOT=${TOLVI_WINE10_ROOT:-$TOLVI_ROOT/build/wine10-root}
WINE10_SUITE=trixie

# What the runs need inside: Wine and its fonts, the X libraries Wine's X11
# driver loads at run time (recommended, so not pulled in by debootstrap), a
# virtual display, the Japanese fonts, Python for the end-to-end harness, and
# the tools scenarios call: the MinGW objdump, a C compiler with Xlib for the
# XDND drag source, chattr, ImageMagick.
WINE10_PACKAGES=(
  wine wine64 fonts-wine fontconfig
  libxcomposite1 libxcursor1 libxfixes3 libxi6 libxinerama1 libxrandr2 libxrender1 libxxf86vm1
  xvfb xauth fonts-ipafont-gothic fonts-ipafont-mincho
  python3 python3-xlib binutils-mingw-w64-x86-64 gcc libc6-dev libx11-dev e2fsprogs imagemagick
)
# Raised when the way the root is made changes, so that it is made again.
WINE10_RECIPE=1

wine10_key() {
  printf '%s\n' "$WINE10_SUITE" "recipe $WINE10_RECIPE" "${WINE10_PACKAGES[@]}" | LC_ALL=C sort | sha256sum | cut -c1-16
}

wine10_stamp() { echo "$WINE10_ROOT/.tolvi-root-$(wine10_key)"; }

wine10_root_ready() { [ -f "$(wine10_stamp)" ]; }

wine10_mounted() {
  local dir
  dir=$(readlink -f "$1")
  # Field 5 of mountinfo is the mount point, with blanks written as \040.
  awk -v d="$dir" '{ p = $5; gsub(/\\040/, " ", p); if (p == d || index(p, d "/") == 1) print p }' /proc/self/mountinfo
}

# The Debian archive the host's own apt sources name for the host's release
# (deb822 .sources files and one-line .list files), else deb.debian.org.
wine10_mirror() {
  if [ -n "${TOLVI_DEBIAN_MIRROR:-}" ]; then echo "$TOLVI_DEBIAN_MIRROR"; return; fi
  local codename
  codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
  local found
  found=$(
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      awk -v c="$codename" '
        function flush() { if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " c " ") && uris != "") { split(uris, u, " "); print u[1] }
                           types = suites = uris = "" }
        /^[ \t]*$/ { flush(); next }
        /^#/ { next }
        tolower($1) == "types:"  { $1 = ""; types = $0 }
        tolower($1) == "suites:" { $1 = ""; suites = $0 }
        tolower($1) == "uris:"   { $1 = ""; uris = $0; sub(/^ +/, "", uris) }
        END { flush() }' "$f"
    done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [ -f "$f" ] || continue
      awk -v c="$codename" '$1 == "deb" { i = 2; if ($2 ~ /^\[/) { while ($i !~ /\]$/) i++; i++ } if ($(i + 1) == c) print $i }' "$f"
    done
  )
  found=$(printf '%s\n' "$found" | grep -m1 -E '^https?://' || true)
  echo "${found:-http://deb.debian.org/debian}"
}

wine10_root_make() {
  wine10_root_ready && return 0
  local new="$WINE10_ROOT.new" mirror include
  mirror=$(wine10_mirror)
  for d in "$WINE10_ROOT" "$new"; do
    # A root still in use has the project tree mounted inside: removing it
    # would remove the project's files.
    if [ -n "$(wine10_mounted "$d" 2>/dev/null)" ]; then
      echo "wine10: $d is in use (mounted: $(wine10_mounted "$d" | tr '\n' ' '))" >&2
      return 1
    fi
  done
  rm -rf "$new"
  include=$(IFS=,; echo "${WINE10_PACKAGES[*]}")
  echo "wine10: making a Debian 13 ($WINE10_SUITE) root with Wine 10 from $mirror" >&2
  if ! debootstrap --variant=minbase --arch=amd64 --components=main --include="$include" \
       "$WINE10_SUITE" "$new" "$mirror" >"$TOLVI_ROOT/build/wine10-root.log" 2>&1; then
    echo "wine10: debootstrap failed; the end of build/wine10-root.log:" >&2
    tail -n 20 "$TOLVI_ROOT/build/wine10-root.log" >&2
    rm -rf "$new"
    return 1
  fi
  rm -rf "$new/var/cache/apt/archives/"*.deb
  rm -rf "$WINE10_ROOT"
  mv "$new" "$WINE10_ROOT"
  chroot "$WINE10_ROOT" dpkg-query -W -f='wine10: ${Package} ${Version}\n' wine >&2
  touch "$(wine10_stamp)"
}
