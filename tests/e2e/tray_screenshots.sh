#!/bin/sh
# The tray as a user sees it: the Windows tests' TrayDesktop case runs the
# agent's main frame and tray inside Wine's virtual desktop with its taskbar
# (explorer /desktop=shell,1024x768), posts the completion of a check that
# found four updates, and saves tray_balloon, tray_tooltip, tray_icon,
# tray_menu and tray_menu_names to BUILD_DIR/screenshots.
# Usage: tray_screenshots.sh BUILD_DIR (needs a display; make test runs CTest
# under xvfb-run). Exit code 0 when the case passed and every picture exists.
set -eu
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/wine-env.sh"
export WINEPREFIX="${VARNEL_WINEPREFIX:-$build/wineprefix}"
export WINEDLLOVERRIDES="winealsa.drv,winepulse.drv,wineoss.drv=d"
export VARNEL_TRAY_DESKTOP=1
shots="$build/screenshots"
result="$build/win/tray_desktop.xml"
[ -f "$WINEPREFIX/system.reg" ] || "$root/scripts/wine-prefix.sh" "$WINEPREFIX" >/dev/null 2>&1
mkdir -p "$shots"
rm -f "$result"
for p in tray_balloon tray_tooltip tray_icon tray_menu tray_menu_names; do rm -f "$shots/$p.png"; done
cd "$build/win/tests/win"
"$WINE" explorer /desktop=shell,1024x768 win_app.exe --gtest_filter='TrayDesktop.*' \
    "--gtest_output=xml:$("$WINE" winepath -w "$result" 2>/dev/null)" >"$build/win/tray_desktop.out" 2>&1 || true
"$WINESERVER" -w 2>/dev/null || true
failures=0
grep -q 'failures="0"' "$result" 2>/dev/null && grep -q 'tests="1"' "$result" ||
    { echo "tray_screenshots: the TrayDesktop case failed:"; grep -v '^[0-9a-f]*:\(fixme\|err\|warn\)' "$build/win/tray_desktop.out" | tail -n 30; failures=1; }
for p in tray_balloon tray_tooltip tray_icon tray_menu tray_menu_names; do
    [ -s "$shots/$p.png" ] || { echo "tray_screenshots: $p.png is missing"; failures=1; }
done
[ "$failures" -eq 0 ] && echo "tray_screenshots: screenshots in $shots"
exit "$failures"
