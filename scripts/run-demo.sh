#!/bin/sh
# The local demo: a demo prefix (build/demoprefix) with a handful of real
# installed programs (scripts/demo-programs.sh), the reference update service
# on loopback with the demo catalogue (its database in build/demo-service.db),
# then varnel.exe under Wine on a virtual display, with "Generate Log File" on
# and the service's addresses in config.xml. The agent checks about eleven
# seconds after start ("Scan on Startup"): the demo follows its log and, after
# each check, prints the programs the service found out of date and their
# count; whenever the service has answered a check, the address of that
# machine's page is shown ("demo: machine page: ..."), to open in a browser.
# Ctrl-C asks the agent to exit (as another program would, through
# varnelctl), waits for it and stops the service. Usage: run-demo.sh BUILD_DIR
set -eu
build=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
export WINEPREFIX="$build/demoprefix"
bin="$build/win/src/app"
key='HKCU\Software\Harbinel\Zelto Varnel'

say() { printf 'demo: %s\n' "$*"; }

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    say "creating the demo Wine prefix $WINEPREFIX"
    "$here/wine-prefix.sh" "$WINEPREFIX"
fi
if [ ! -f "$WINEPREFIX/varnel-demo-programs" ]; then
    say "installing the demo programs (7-Zip 23.01, VLC 3.0.18, PuTTY 0.79, Notepad++ 8.6.8, KeePass 2.50)"
    "$here/demo-programs.sh" "$build"
fi

# A virtual display of our own; Xvfb picks a free display number.
tmp=$(mktemp -d)
setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 50); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { say "could not start Xvfb"; exit 1; }
export DISPLAY=":$(cat "$tmp/display")"
say "virtual display $DISPLAY"

agent_pid=""
tail_pid=""
service_pid=""
page_watch_pid=""
cleanup() {
    # A second signal (make passes its own on, a second Ctrl-C) must not cut
    # the stop short: the agent, the service and the display would be left.
    trap '' INT TERM
    trap - EXIT
    [ -n "$tail_pid" ] && kill "$tail_pid" 2>/dev/null || true
    [ -n "$page_watch_pid" ] && kill "$page_watch_pid" 2>/dev/null || true
    if [ -n "$agent_pid" ] && kill -0 "$agent_pid" 2>/dev/null; then
        echo
        say "stopping the agent"
        "$WINE" "$bin/varnelctl.exe" exit 30 2>/dev/null || kill "$agent_pid" 2>/dev/null || true
        wait "$agent_pid" 2>/dev/null || true
        say "agent stopped; the end of its log:"
        [ -n "${log:-}" ] && [ -f "$log" ] && tail -n 3 "$log" | tr -d '\r' | sed 's/^/  | /'
    fi
    "$WINESERVER" -w 2>/dev/null || true
    if [ -n "$service_pid" ]; then
        kill "$service_pid" 2>/dev/null || true
        wait "$service_pid" 2>/dev/null || true
        say "reference update service stopped"
    fi
    kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 0' INT TERM

if "$WINE" "$bin/varnelctl.exe" status >/dev/null 2>&1; then
    say "an agent is already running in the demo prefix; asking it to exit"
    "$WINE" "$bin/varnelctl.exe" exit 30 >/dev/null 2>&1 || true
fi

# The reference update service on a free loopback port.
service="$build/host/server/varnel-service"
if [ -x "$service" ]; then
    # The demo catalogue offers no newer agent: the run goes on to the scan.
    "$here/demo-seed.sh" "$tmp/seed.sql"
    setsid "$service" --port 0 --db "$build/demo-service.db" --seed "$tmp/seed.sql" --port-file "$tmp/port" --quiet \
        >"$tmp/service.out" 2>&1 &
    service_pid=$!
    for _ in $(seq 1 50); do [ -s "$tmp/port" ] && break; sleep 0.1; done
    if [ -s "$tmp/port" ]; then
        base="http://127.0.0.1:$(cat "$tmp/port")"
        url="$base/cgi-bin/vncheck.fcgi"
        say "reference update service listening at $url (database $build/demo-service.db)"
        "$WINE" reg add "$key" /v "ClientLink URL" /t REG_SZ /d "$url" /f >/dev/null 2>&1
        "$WINE" reg add "$key" /v "Use SSL" /t REG_DWORD /d 0 /f >/dev/null 2>&1
        say "setting \"ClientLink URL\" = $url, \"Use SSL\" = 0"
        # The agent rewrites "ClientLink URL" from config.xml at every start:
        # put one in the default data folder so the address survives.
        appdata=$("$WINE" cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
        datadir="$("$WINE" winepath -u "$appdata" 2>/dev/null)/Harbinel/Zelto Varnel/data"
        mkdir -p "$datadir"
        printf '<?xml version="1.0"?>\n<configuration>\n  <link clientLink="%s"/>\n  <link ipapiLink="%s/"/>\n</configuration>\n' \
            "$url" "$base" \
            >"$datadir/config.xml"
        say "wrote config.xml with that address into the data folder"
        # The catalogue (searches, product pages) and today's updates come
        # from the same service.
        "$WINE" reg add "$key" /v "Catalogue Host" /t REG_SZ /d 127.0.0.1 /f >/dev/null 2>&1
        "$WINE" reg add "$key" /v "Catalogue Port" /t REG_DWORD /d "$(cat "$tmp/port")" /f >/dev/null 2>&1
        "$WINE" reg add "$key" /v "Daily Updates URL" /t REG_SZ /d "$base/varnel/recent.php" /f >/dev/null 2>&1
        say "setting \"Catalogue Host\", \"Catalogue Port\" and \"Daily Updates URL\" to the same service"
        # The service prints "machine page: URL" when it has answered a check.
        tail -n +1 -f --pid="$service_pid" "$tmp/service.out" 2>/dev/null | while IFS= read -r line; do
            case $line in "machine page: "*) say "$line (open it in a browser)" ;; esac
        done &
        page_watch_pid=$!
        say "the machine page's address appears here once the service has answered a check"
    else
        say "the reference update service did not start:"
        sed 's/^/  | /' "$tmp/service.out"
    fi
else
    say "no reference update service at $service (run make host)"
fi

"$WINE" reg add "$key" /v "Generate Log File" /t REG_DWORD /d 1 /f >/dev/null 2>&1
say "setting \"Generate Log File\" = 1"

# The agent in a session of its own, so that Ctrl-C reaches only this script.
setsid "$WINE" "$bin/varnel.exe" >/dev/null 2>&1 &
agent_pid=$!
say "started varnel.exe (process $agent_pid)"

log=""
for _ in $(seq 1 100); do
    log=$(find "$WINEPREFIX/drive_c/users" -path '*Harbinel/Zelto Varnel/data/vnlog.txt' 2>/dev/null | head -n 1)
    [ -n "$log" ] && grep -q "Schedule timer" "$log" 2>/dev/null && break
    kill -0 "$agent_pid" 2>/dev/null || { say "the agent exited at once"; agent_pid=""; exit 1; }
    sleep 0.2
done
[ -n "$log" ] || { say "no log file appeared"; exit 1; }

if "$WINE" "$bin/varnelctl.exe" status >/dev/null 2>&1; then
    say "the agent's hidden main window (class \"Varnel\") answers \"WM_Varnel10_IsMe\""
fi
say "settings key $key:"
"$WINE" reg query "$key" 2>/dev/null | tr -d '\r' | grep REG_ | sed 's/^ */  | /'
data=$(dirname "$log")
say "data folder $(echo "$data" | sed "s|$WINEPREFIX/||"):"
(cd "$data" && ls -la | tail -n +2 | sed 's/^/  | /')
say "log file vnlog.txt:"
vntool="$build/host/tools/vntool/vntool"
# What a check found: the programs the watch list marks out of date.
summary() {
    [ -f "$data/varnel.db" ] || return 0
    "$here/outdated-items.sh" "$vntool" "$data/varnel.db" >"$tmp/outdated" 2>/dev/null || return 0
    say "the check found $(wc -l <"$tmp/outdated") program(s) out of date:"
    awk -F '\t' '{ printf "demo:   %-28s installed %-12s current %s\n", $1, $2, $3 }' "$tmp/outdated"
}
say "running; the agent checks for updates about 11 s after start. The log follows."
say "Press Ctrl-C to stop the agent."
tail -n +1 -f --pid="$agent_pid" "$log" | sed -u 's/\r$//' | while IFS= read -r line; do
    case "$line" in
        *": Log Begin"*) continue ;;
    esac
    printf '  | %s\n' "$line"
    case "$line" in
        *"Worker ended: SearchAllMySoftwareWUpdate"* | *"Worker ended: CheckForUpdates"*) summary ;;
    esac
done &
tail_pid=$!
wait "$agent_pid" 2>/dev/null || true
say "the agent exited by itself"
agent_pid=""
