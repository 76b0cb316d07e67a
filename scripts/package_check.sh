#!/usr/bin/env bash
# Builds the Debian package in its own folder (build-package/) and checks it as a
# user would get it: unpacked, the client answers --version; lintian finds no
# error; the desktop entry and the AppStream data validate (without network).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --with-package

build=build-package
# Debian's own hardening flags, as a package build uses them; no debug
# information, since the packaged binary is stripped.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
# Installing must not build everything first: the package needs only the client.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKOLU_TESTS=OFF \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON -DCMAKE_CXX_FLAGS="$cxxflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" --target kolu
rm -f "$build"/kolu_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/kolu_*.deb)
deb=${debs[0]}
echo "Package: $deb"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
if [[ "$depends" != *libqt6widgets6* ]]; then
  echo "The package does not depend on the Qt libraries: dpkg-shlibdeps did not run?" >&2
  exit 1
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/kolu" --version

lintian --fail-on error "$deb"

desktops=("$root"/usr/share/applications/*.desktop)
desktop=${desktops[0]}
desktop-file-validate "$desktop"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
# The entry's icon must be the one installed in the icon theme.
icon=$(sed -n 's/^Icon=//p' "$desktop")
for file in scalable/apps/"$icon".svg 16x16/apps/"$icon".png 256x256/apps/"$icon".png; do
  if [[ ! -f "$root/usr/share/icons/hicolor/$file" ]]; then
    echo "Missing icon: usr/share/icons/hicolor/$file" >&2
    exit 1
  fi
done
echo "Package check passed."
