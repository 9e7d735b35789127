#!/bin/sh
# The local demo: starts varnel.exe under Wine in a demo prefix (build/demoprefix)
# on a virtual display, with "Generate Log File" on, shows what it did at
# start-up (its log and folders), then follows its log until Ctrl-C, which
# asks the agent to exit (as another program would, through varnelctl) and
# waits for it. Usage: run-demo.sh BUILD_DIR
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
cleanup() {
    trap - INT TERM EXIT
    [ -n "$tail_pid" ] && kill "$tail_pid" 2>/dev/null || true
    if [ -n "$agent_pid" ] && kill -0 "$agent_pid" 2>/dev/null; then
        echo
        say "stopping the agent"
        "$WINE" "$bin/varnelctl.exe" exit 30 2>/dev/null || kill "$agent_pid" 2>/dev/null || true
        wait "$agent_pid" 2>/dev/null || true
        say "agent stopped; the end of its log:"
        [ -n "${log:-}" ] && [ -f "$log" ] && tail -n 3 "$log" | tr -d '\r' | sed 's/^/  | /'
    fi
    "$WINESERVER" -w 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 0' INT TERM

if "$WINE" "$bin/varnelctl.exe" status >/dev/null 2>&1; then
    say "an agent is already running in the demo prefix; asking it to exit"
    "$WINE" "$bin/varnelctl.exe" exit 30 >/dev/null 2>&1 || true
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
    [ -n "$log" ] && grep -q "Schedule timer running" "$log" 2>/dev/null && break
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
tr -d '\r' <"$log" | sed 's/^/  | /'
say "running; the log follows. Press Ctrl-C to stop the agent."
tail -n 0 -f --pid="$agent_pid" "$log" &
tail_pid=$!
wait "$agent_pid" 2>/dev/null || true
say "the agent exited by itself"
agent_pid=""
