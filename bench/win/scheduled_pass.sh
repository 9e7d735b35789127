#!/bin/sh
# A full scheduled pass of the agent under Wine on the demo prefix (the demo's
# installed programs, the reference service on loopback with the demo
# catalogue): varnel.exe is started with "scannow" and the pass's own step
# times are read from its log ("Pass times: ..."), split into pre-scan,
# inventory, version refresh, exchange and report polling; the total leaves
# the polling out (its pauses are the service's processing time, not ours).
# Then the agent idles in the tray for IDLE seconds (default 15) and its
# private bytes are read from the process's own counters (varnelctl memory);
# the goal is under 10 MB. Wine keeps no private-bytes counter, so the agent
# adds up its committed private regions: there every thread counts its whole
# stack reserve and Wine's own 1 MB kernel stack, and the last thread that
# ended keeps both until another thread ends. So the same prefix then runs the
# floor, bench_idle_floor_win: a bare Win32 program with a hidden window and
# the agent's threads when it idles after a check (the main thread and one
# ended; the report fetch thread ends 5 s after its last request), counted the
# same way; the agent's own share is the difference.
# The CPU time the agent's process used while idle is read from /proc.
# Usage: scheduled_pass.sh BUILD_DIR [IDLE]
set -eu
build=$(cd "$1" && pwd)
idle=${2:-15}
root=$(cd "$(dirname "$0")/../.." && pwd)
make -C "$root" BUILD="$build" win >/dev/null
[ -x "$build/host/server/varnel-service" ] || make -C "$root" BUILD="$build" host >/dev/null
cmake --build "$build/win" --target bench_idle_floor_win >/dev/null
. "$root/scripts/wine-env.sh"
export WINEPREFIX="$build/benchprefix"
bin="$build/win/src/app"
key='HKCU\Software\Harbinel\Zelto Varnel'
tmp=$(mktemp -d)
service_pid=""
xvfb_pid=""
cleanup() {
    "$WINE" "$bin/varnelctl.exe" exit 20 >/dev/null 2>&1 || true
    "$WINESERVER" -k 2>/dev/null || true
    [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
    setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 50); do [ -s "$tmp/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(cat "$tmp/display")"
fi
[ -f "$WINEPREFIX/system.reg" ] || "$root/scripts/wine-prefix.sh" "$WINEPREFIX" >/dev/null 2>&1
"$root/scripts/demo-programs.sh" "$build"

"$WINE" reg delete "$key" /f >/dev/null 2>&1 || true
appdata=$("$WINE" cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
data="$("$WINE" winepath -u "$appdata" 2>/dev/null | sed 's:/$::')/Harbinel/Zelto Varnel/data"
rm -rf "$data"
mkdir -p "$data"
"$root/scripts/demo-seed.sh" "$tmp/seed.sql"
"$build/host/server/varnel-service" --port 0 --db "$tmp/service.db" --seed "$tmp/seed.sql" \
    --port-file "$tmp/port" --quiet >/dev/null 2>&1 &
service_pid=$!
for _ in $(seq 1 50); do [ -s "$tmp/port" ] && break; sleep 0.1; done
base="http://127.0.0.1:$(cat "$tmp/port")"
printf '<?xml version="1.0"?>\n<configuration>\n  <link clientLink="%s/cgi-bin/vncheck.fcgi"/>\n  <link ipapiLink="%s/"/>\n</configuration>\n' \
    "$base" "$base" >"$data/config.xml"
"$WINE" reg add "$key" /v "Generate Log File" /t REG_DWORD /d 1 /f >/dev/null 2>&1
"$WINE" reg add "$key" /v "Use SSL" /t REG_DWORD /d 0 /f >/dev/null 2>&1

"$WINE" "$bin/varnel.exe" scannow >/dev/null 2>&1 &
log="$data/vnlog.txt"
for _ in $(seq 1 900); do
    [ -f "$log" ] && tr -d '\r' <"$log" | grep -q "Pass times:" && break
    sleep 0.2
done
line=$(tr -d '\r' <"$log" | grep "Pass times:" | tail -n 1)
[ -n "$line" ] || { echo "scheduled_pass: the pass did not end"; tr -d '\r' <"$log" | tail -n 20; exit 1; }
echo "$line" | sed 's/.*Pass times: //' | tr ',' '\n' | awk '
    { gsub(/^ +/, ""); n = $(NF - 1); name = $0; sub(/ [0-9]+ ms$/, "", name)
      printf "%-16s %8d ms\n", name, n; if (name != "report polling") total += n }
    END { printf "%-16s %8d ms (report polling excluded)\n", "total", total }'
# The agent's own process (this prefix's), for its CPU time while idle.
agent=""
for p in $(pgrep -f 'varnel\.exe' || true); do
    tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" || continue
    tr '\0' ' ' <"/proc/$p/cmdline" | grep -q 'varnelctl' || agent=$p
done
ticks() { [ -n "$agent" ] && awk '{ print $14 + $15 }' "/proc/$agent/stat" 2>/dev/null || echo 0; }
before=$(ticks)
sleep "$idle"
after=$(ticks)
cpu_ms=$(( (after - before) * 1000 / $(getconf CLK_TCK) ))
mem=$("$WINE" "$bin/varnelctl.exe" memory 2>/dev/null | tr -d '\r' || true)
echo "after ${idle} s idle: ${mem:-memory not readable}"
echo "CPU time while idle: ${cpu_ms} ms in ${idle} s"
floor=$("$WINE" "$build/win/bench/win/bench_idle_floor_win.exe" 2>/dev/null | tr -d '\r' |
    sed -n 's/^floor private bytes //p' || true)
echo "$mem" | awk -v cpu="$cpu_ms" -v idle="$idle" -v floor="${floor:-0}" '/^private bytes/ {
    mb = $3 / 1048576; fmb = floor / 1048576
    printf "private bytes %.2f MB (goal under 10 MB)\n", mb
    if (floor > 0) {
        printf "floor, a bare Win32 program with the same threads: %.2f MB; the agent adds %.2f MB (%.2fx)\n", fmb, mb - fmb, mb / fmb
        detail = sprintf(", %.2fx a bare program with the same threads (%.2f MB; the agent adds %.2f MB)", mb / fmb, fmb, mb - fmb)
    } else detail = ", floor not measured"
    printf "summary: idle in the tray after a check under Wine: private bytes %.2f MB (goal under 10 MB)%s, CPU %d ms in %d s\n", mb, detail, cpu, idle }'
