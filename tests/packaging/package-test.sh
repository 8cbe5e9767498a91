#!/usr/bin/env bash
# Builds the Debian package from a finished build into a temporary folder and
# checks it as an installer would: the files `cmake --install` puts in place,
# the package's file list and Depends, an unpacked copy whose program runs,
# and lintian (no error; warnings are printed).
#   package-test.sh BUILD_DIR VERSION
set -euo pipefail
build=$(cd "$1" && pwd)
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

for tool in cpack dpkg-deb dpkg lintian; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps.sh installs it)"
done

libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
expected=(
  usr/bin/quarrow
  usr/bin/quarrow-viewer
  "usr/$libdir/quarrow/libmirefold.so.0"
  usr/share/applications/quarrow.desktop
  usr/share/metainfo/io.github.quarrow.Quarrow.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/quarrow.svg
  usr/share/icons/hicolor/48x48/apps/quarrow.png
  usr/share/icons/hicolor/64x64/apps/quarrow.png
  usr/share/icons/hicolor/128x128/apps/quarrow.png
  usr/share/icons/hicolor/256x256/apps/quarrow.png
  usr/share/man/man1/quarrow.1.gz
  usr/share/man/man1/quarrow-viewer.1.gz
  usr/share/doc/quarrow/copyright
  usr/share/doc/quarrow/changelog.gz
)

# cmake --install into a scratch root.
DESTDIR="$work/destdir" cmake --install "$build" --prefix /usr >/dev/null
for file in "${expected[@]}"; do
  [ -e "$work/destdir/$file" ] || fail "cmake --install did not install /$file"
done
for size in 48 64 128 256; do
  png="$work/destdir/usr/share/icons/hicolor/${size}x${size}/apps/quarrow.png"
  # A PNG's width and height are big-endian 32-bit numbers at bytes 16 and 20.
  read -r b0 b1 b2 b3 b4 b5 b6 b7 < <(od -An -tu1 -j16 -N8 "$png")
  width=$(((b0 << 24) | (b1 << 16) | (b2 << 8) | b3))
  height=$(((b4 << 24) | (b5 << 16) | (b6 << 8) | b7))
  [ "$width" = "$size" ] && [ "$height" = "$size" ] || fail "the ${size}x${size} icon is ${width}x${height}"
done

# The package.
(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; fail "cpack -G DEB failed"; }
deb="$work/package/quarrow_${version}_amd64.deb"
[ -f "$deb" ] || fail "no $deb (cpack made: $(ls "$work/package"))"

listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in "${expected[@]}"; do
  grep -qx "\./$file" <<<"$listing" || fail "the package lacks /$file"
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6dbus6 libjavascriptcoregtk-4.1-0 libicu72; do
  grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done
echo "Depends: $depends"

# Unpacked into a throw-away root, the program runs from there.
dpkg -x "$deb" "$work/root"
for file in "${expected[@]}"; do
  [ -e "$work/root/$file" ] || fail "unpacking did not put /$file in place"
done
[ "$("$work/root/usr/bin/quarrow" --version)" = "quarrow $version" ] || fail "the unpacked quarrow does not run"
[ "$("$work/root/usr/bin/quarrow-viewer" --version)" = "quarrow-viewer $version" ] || fail "the unpacked viewer does not run"

# lintian: errors fail, warnings are shown.
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"
echo "package OK: $deb"
