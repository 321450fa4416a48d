# Debian source packages, unpacked once under build/deps/src/. Source this
# file with $deps set to the build/deps folder.
#   fetch_source NAME   prints "VERSION<tab>TREE" of the unpacked source

apt_updated=${apt_updated:-0}
apt_update() { [ "$apt_updated" = 1 ] || { apt-get update -q >/dev/null; apt_updated=1; }; }

enable_deb_src() {
  local changed=0 f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    if grep -q '^Types: deb$' "$f"; then
      sed -i 's/^Types: deb$/Types: deb deb-src/' "$f"; changed=1
    fi
  done
  if [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list \
     && ! grep -q '^deb-src ' /etc/apt/sources.list; then
    grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' >> /etc/apt/sources.list; changed=1
  fi
  if [ $changed = 1 ]; then echo "enabled Debian source packages" >&2; apt_updated=0; fi
}

src_version() { apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/ {print $2; exit}'; }

fetch_source() {
  local name=$1 ver dir
  ver=$(src_version "$name")
  if [ -z "$ver" ]; then enable_deb_src; apt_update; ver=$(src_version "$name"); fi
  [ -n "$ver" ] || { echo "no source package $name" >&2; exit 1; }
  dir="$deps/src/$name-$ver"
  if [ ! -f "$dir/.unpacked" ]; then
    rm -rf "$dir"; mkdir -p "$dir"
    (cd "$dir" && apt-get source -q "$name=$ver" >/dev/null 2>&1) \
      || { echo "apt-get source $name=$ver failed" >&2; exit 1; }
    touch "$dir/.unpacked"
  fi
  local tree
  tree=$(find "$dir" -mindepth 1 -maxdepth 1 -type d | head -n 1)
  printf '%s\t%s\n' "$ver" "$tree"
}
