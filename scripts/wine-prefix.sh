#!/bin/sh
# Creates a fresh Wine prefix at the given path (removing an old one first).
# Usage: wine-prefix.sh PREFIX
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
prefix=$1
if [ -d "$prefix" ]; then
    WINEPREFIX="$prefix" "$WINESERVER" -k 2>/dev/null || true
    rm -rf "$prefix"
fi
mkdir -p "$(dirname "$prefix")"
# The "syswow64\rundll32.exe" complaint of a 64-bit-only Wine is expected.
WINEPREFIX="$prefix" "$WINE" wineboot -i >/dev/null 2>&1 || true
WINEPREFIX="$prefix" "$WINESERVER" -w
test -f "$prefix/system.reg" || { echo "wine-prefix: could not create $prefix" >&2; exit 1; }
# Wine links the user's Desktop, Documents, Music and so on to the Linux home
# folder. The agent scans the Desktop and creates its download folder under
# Documents, so each prefix gets folders of its own instead.
for link in "$prefix"/drive_c/users/*/*; do
    if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
done
