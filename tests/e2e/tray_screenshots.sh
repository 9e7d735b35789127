#!/bin/sh
# The tray as a user sees it. The agent runs inside Wine's virtual desktop
# with its taskbar (explorer /desktop=shell,1024x768), against the reference
# service with the demo catalogue and the demo programs, and checks at once
# ("scannow"); the check finds updates and posts its completion. Then:
#   tray_balloon.png  the balloon of the check summary
#   tray_tooltip.png  the icon with its tooltip, the pointer over it
#   tray_icon.png     the notification area with the icon
#   tray_menu.png     the tray menu, opened by the icon's callback
#   tray_menu_names.png  the menu with the out-of-date names' popup
# go to BUILD_DIR/screenshots. Needs a display (make test runs CTest under
# xvfb-run). Exit code 0 when the check completed and every picture was saved.
set -eu
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/wine-env.sh"
export WINEPREFIX="$build/e2eprefix-tray"
export WINEDLLOVERRIDES="winealsa.drv,winepulse.drv,wineoss.drv=d"
bin="$build/win/src/app"
tool="$build/win/tests/win/desktop_tool.exe"
shots="$build/screenshots"
key='HKCU\Software\Harbinel\Zelto Varnel'
tmp=$(mktemp -d)
service_pid=""
failures=0

say() { printf 'tray_screenshots: %s\n' "$*"; }
fail() { say "FAIL: $*"; failures=$((failures + 1)); }
cleanup() {
    "$WINE" "$bin/varnelctl.exe" exit 20 >/dev/null 2>&1 || true
    "$WINESERVER" -k 2>/dev/null || true
    [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT

[ -f "$WINEPREFIX/system.reg" ] || "$root/scripts/wine-prefix.sh" "$WINEPREFIX" >/dev/null 2>&1
"$root/scripts/demo-programs.sh" "$build"
mkdir -p "$shots"

"$WINE" reg delete "$key" /f >/dev/null 2>&1 || true
appdata=$("$WINE" cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
data="$("$WINE" winepath -u "$appdata" 2>/dev/null | sed 's:/$::')/Harbinel/Zelto Varnel/data"
rm -rf "$data"
mkdir -p "$data"

"$root/scripts/demo-seed.sh" "$tmp/seed.sql"
"$build/host/server/varnel-service" --port 0 --db "$tmp/service.db" --seed "$tmp/seed.sql" \
    --port-file "$tmp/port" --quiet >"$tmp/service.out" 2>&1 &
service_pid=$!
for _ in $(seq 1 50); do [ -s "$tmp/port" ] && break; sleep 0.1; done
[ -s "$tmp/port" ] || { say "the service did not start:"; cat "$tmp/service.out"; exit 1; }
base="http://127.0.0.1:$(cat "$tmp/port")"
printf '<?xml version="1.0"?>\n<configuration>\n  <link clientLink="%s/cgi-bin/vncheck.fcgi" ipapiLink="%s/"/>\n</configuration>\n' \
    "$base" "$base" >"$data/config.xml"
"$WINE" reg add "$key" /v "Generate Log File" /t REG_DWORD /d 1 /f >/dev/null 2>&1
"$WINE" reg add "$key" /v "Use SSL" /t REG_DWORD /d 0 /f >/dev/null 2>&1
"$WINE" reg add "$key" /v "Pulse Icon" /t REG_DWORD /d 0 /f >/dev/null 2>&1
log="$data/vnlog.txt"

wait_log() {  # PATTERN SECONDS
    i=0
    while [ "$i" -lt $(($2 * 5)) ]; do
        [ -f "$log" ] && tr -d '\r' <"$log" | grep -q -- "$1" && return 0
        sleep 0.2
        i=$((i + 1))
    done
    return 1
}
shot() {  # NAME [X Y W H]
    name=$1
    shift
    "$WINE" "$tool" shot "$("$WINE" winepath -w "$shots/$name.png" 2>/dev/null)" "$@" >/dev/null 2>&1 ||
        fail "$name.png could not be saved"
    [ -s "$shots/$name.png" ] || fail "$name.png is missing"
}
tool() { "$WINE" "$tool" "$@" >/dev/null 2>&1; }

agent=$("$WINE" winepath -w "$bin/varnel.exe" 2>/dev/null)
"$WINE" explorer /desktop=shell,1024x768 "$agent" scannow >/dev/null 2>&1 &

wait_log "Notification-area icon" 60 || fail "the icon was not shown within 60 s"
wait_log "Check complete: " 240 || fail "no check completed within 240 s"
say "$(tr -d '\r' <"$log" | grep 'Check complete: ' | tail -n 1)"
# The shell shows the balloon about two seconds after it is asked for.
sleep 4
shot tray_balloon 544 448 480 320
# The pointer over the icon: the agent sets its tooltip, the shell shows it.
tool move 1000 700
sleep 1
tool move 1013 758
sleep 3
shot tray_tooltip 704 608 320 160
tool move 900 600
sleep 1
shot tray_icon 864 728 160 40
# A release of the right button over the icon, as the shell reports it.
tool move 1013 758
tool tray 517  # WM_RBUTTONUP
sleep 2
shot tray_menu 704 448 320 320
tool menu-item 0
sleep 2
shot tray_menu_names 384 448 640 320
tool menu-close
sleep 1

tr -d '\r' <"$log" | grep -q "Opening the user's page" && fail "a page was opened without a click on it"
say "screenshots in $shots: tray_balloon, tray_tooltip, tray_icon, tray_menu, tray_menu_names"
[ "$failures" -eq 0 ] || { say "$failures check(s) failed"; tr -d '\r' <"$log" | tail -n 40; exit 1; }
say "all checks hold"
