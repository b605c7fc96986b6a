#!/usr/bin/env bash
# Builds the Debian package korvane_<version>_<arch>.deb from the programs in build/ (or
# $KORVANE_BUILD_DIR): the three programs stripped, the desktop entry and its icon, the
# language files, the HTML manual and a man page for each program, with the package's
# dependencies found from the programs' libraries by dpkg-shlibdeps.
# Prints the path of the package; it lands in the build folder.
#   scripts/package.sh && sudo apt install ./build/korvane_*.deb
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KORVANE_BUILD_DIR:-$top/build}
"$top/scripts/setup.sh"

if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$top" -B "$build" -G Ninja >/dev/null
fi
programs=(korvane korvane-cli korvane-crash-reporter)
cmake --build "$build" --target "${programs[@]}"

version=$(sed -n 's/^project(Korvane VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
arch=$(dpkg --print-architecture)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root

DESTDIR=$root cmake --install "$build" --prefix /usr --strip >/dev/null
gzip -9n "$root"/usr/share/man/man1/*.1
install -D -m 0644 /dev/null "$root/usr/share/doc/korvane/copyright"
cat >"$root/usr/share/doc/korvane/copyright" <<COPYRIGHT
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Korvane
License: GPL-3.0-or-later

Files: *
License: GPL-3.0-or-later
 On Debian systems the full text of the license is in /usr/share/common-licenses/GPL-3.
COPYRIGHT

# dpkg-shlibdeps reads the package's name from a debian/control of its own.
mkdir -p "$work/debian"
printf 'Source: korvane\n\nPackage: korvane\nArchitecture: any\n' >"$work/debian/control"
depends=$(cd "$work" &&
  dpkg-shlibdeps -O "${programs[@]/#/root/usr/bin/}" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[[ -n $depends ]] || { echo "package.sh: no dependencies found" >&2; exit 1; }

# Besides the libraries the programs link, the window loads Qt's platform plugins and its SVG
# icon engine at run time.
mkdir -p "$root/DEBIAN"
cat >"$root/DEBIAN/control" <<CONTROL
Package: korvane
Version: $version
Architecture: $arch
Maintainer: Korvane developers <korvane@localhost>
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $depends, qt6-qpa-plugins, libqt6svg6
Recommends: xdg-utils
Section: sound
Priority: optional
Homepage: https://korvane.org
Description: audio CD ripper
 Korvane rips audio CDs to WAV, MP3, AAC, Ogg Vorbis or WMA files, tagged and named
 from the disc cache, CD-TEXT or a freedb server, and copies whole discs to ISO or
 BIN+CUE images. korvane is the desktop window, korvane-cli the same work without one.
CONTROL

package=$build/korvane_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$package" >/dev/null
echo "$package"
