#!/usr/bin/env bash
# Builds the Debian package (kakiva_<version>_<arch>.deb) in <build dir>/package and checks
# it: it holds the program, the menu entry, every icon and the metainfo; the menu entry
# and the metainfo pass their validators; the packaged program answers --version with no
# display; its dependencies came from dpkg-shlibdeps, those of the windows' module too.
#   KAKIVA_BUILD_DIR  a configured build directory (default: build/ in the checkout)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${KAKIVA_BUILD_DIR:-$top/build}
out=$build_dir/package

cmake --build "$build_dir" --target kakiva kakiva_rooms_module
rm -f "$out"/kakiva_*.deb
(cd "$build_dir" && cpack -G DEB -B "$out" >/dev/null)
deb=$(echo "$out"/kakiva_*.deb)
echo "Built $deb"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}')

expected=(
  ./usr/bin/kakiva
  ./usr/lib/kakiva/libkakiva-rooms.so
  ./usr/share/applications/org.kakiva.Kakiva.desktop
  ./usr/share/metainfo/org.kakiva.Kakiva.metainfo.xml
  ./usr/share/icons/hicolor/scalable/apps/kakiva.svg
)
for png in "$build_dir"/data/icons/*/kakiva.png; do
  size=$(basename "$(dirname "$png")")
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/kakiva.png")
done
missing=0
for path in "${expected[@]}"; do
  if ! grep -qxF "$path" <<<"$contents"; then
    echo "The package lacks $path" >&2
    missing=1
  fi
done
[ "$missing" -eq 0 ]
echo "The package holds all ${#expected[@]} paths: program, its module, menu entry, icons, metainfo."

desktop-file-validate "$unpacked/usr/share/applications/org.kakiva.Kakiva.desktop"
echo "desktop-file-validate: no complaints"
appstreamcli validate --no-net "$unpacked/usr/share/metainfo/org.kakiva.Kakiva.metainfo.xml"

version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$unpacked/usr/bin/kakiva" --version)
echo "Packaged program: $version"
[ "$version" = "Kakiva $(dpkg-deb -f "$deb" Version)" ]

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
echo "Recommends: $(dpkg-deb -f "$deb" Recommends)"
grep -q 'libqt6widgets6' <<<"$depends"
# The program loads the windows' module after its first frame; the libraries behind those
# windows are the module's, and the package must still depend on them.
for library in libqt6network6 libssh libarchive libsqlite3 libqt6keychain; do
  if ! grep -q "$library" <<<"$depends"; then
    echo "Depends lacks $library, which the windows' module needs" >&2
    exit 1
  fi
done
echo "Depends names the module's libraries too."
