#!/bin/sh
# Installs the demo's programs into the Wine prefix $WINEPREFIX: the MSI
# packages built from tests/fixtures/demo (each with its program file and a
# Start Menu shortcut) and one program known only by its uninstall entry.
# The demo catalogue knows 7-Zip 23.01, VLC 3.0.18, PuTTY 0.79 and KeePass
# 2.50 as out of date and Notepad++ 8.6.8 as current. Does nothing the
# second time. Usage: WINEPREFIX=... demo-programs.sh BUILD_DIR
set -eu
build=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
: "${WINEPREFIX:?set WINEPREFIX to the prefix to install into}"
msis="$build/win/fixtures/demo"
marker="$WINEPREFIX/varnel-demo-programs"
[ -f "$marker" ] && exit 0
for msi in "$msis"/*.msi; do
    [ -f "$msi" ] || { echo "demo-programs: no packages in $msis (run make win)" >&2; exit 1; }
    "$WINE" msiexec /i "Z:$(echo "$msi" | tr / '\\')" /qn >/dev/null 2>&1 ||
        { echo "demo-programs: installing $(basename "$msi") failed" >&2; exit 1; }
done
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KeePassPasswordSafe2'
"$WINE" reg add "$key" /v DisplayName /t REG_SZ /d "KeePass Password Safe 2.50" /f >/dev/null 2>&1
"$WINE" reg add "$key" /v DisplayVersion /t REG_SZ /d "2.50" /f >/dev/null 2>&1
"$WINE" reg add "$key" /v Publisher /t REG_SZ /d "Dominik Reichl" /f >/dev/null 2>&1
"$WINE" reg add "$key" /v UninstallString /t REG_SZ /d "\"C:\\Program Files\\KeePass Password Safe 2\\unins000.exe\"" /f >/dev/null 2>&1
touch "$marker"
# Let this Wine session end: a program started next must not join one that
# has no display.
"$WINESERVER" -w 2>/dev/null || true
