#!/bin/sh
# Unpacks the Debian source of libpng (package libpng1.6) into $1 for the
# Windows build, which compiles it with zlib from libz-mingw-w64-dev.
# Idempotent: does nothing when $1/libpng already holds the source. Adds a
# deb-src entry for the archive the system's packages come from when the
# system has none. The source is never committed.
set -eu
dest=${1:?usage: libpng-source.sh <folder>}
[ -f "$dest/libpng/png.c" ] && exit 0
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if ! grep -rqs -E '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$suite" | $SUDO tee /etc/apt/sources.list.d/varnel-deb-src.sources >/dev/null
    $SUDO apt-get update -qq
fi
command -v dpkg-source >/dev/null || $SUDO apt-get install -y -qq dpkg-dev >/dev/null
work="$dest/libpng-download"
rm -rf "$work"
mkdir -p "$work"
(cd "$work" && apt-get source -qq libpng1.6 >/dev/null)
src=$(find "$work" -maxdepth 2 -name png.c -printf '%h\n' | head -n 1)
[ -n "$src" ] || { echo "libpng-source.sh: no png.c in the unpacked source" >&2; exit 1; }
rm -rf "$dest/libpng"
mv "$src" "$dest/libpng"
rm -rf "$work"
