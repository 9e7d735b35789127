#!/bin/sh
# The agent's whole job under Wine, end to end: a prefix with real installed
# programs (scripts/demo-programs.sh), the reference update service on
# loopback with the demo catalogue, and varnel.exe started with "scannow".
#
#   agent_check.sh BUILD_DIR check   the pre-scan stores "Scan ID", "Machine ID"
#       and "exclusions.xml"; the inventory fills "varnel.db"; the check marks
#       the programs the catalogue knows as out of date (and only those); the
#       report polling sees IN_PROGRESS, then COMPLETE, and
#       "outdatedproductlist.db" holds their names; the log shows the whole run.
#   agent_check.sh BUILD_DIR stop    the service answers slowly; the user's
#       "Stop Scan" during the exchange ends the check with no completion
#       notice, then an exit during a new scan stops it; every list file the
#       agent keeps still reads whole.
#   agent_check.sh BUILD_DIR selfupdate   the service offers version 1.3.1.56
#       of the signed package (an agent release served from its downloads
#       folder); in automatic mode the pre-scan ends the run, the package
#       arrives in the upgrade folder, passes the trust check, msiexec
#       installs it and the agent exits; the installed version is 1.3.1.56,
#       and the update watcher starts the installed agent again.
#   agent_check.sh BUILD_DIR notify   the same offer in notify mode ("Autoupdate
#       Mode" 2): the scheduled run shows the offer (the balloon, saved when
#       one shows) and ends; the tray's click opens the question (string 142,
#       saved as update_question.png; a second click while it is open only
#       focuses it); "No" makes the next run a whole check that skips the
#       offer; a user's Scan Now offers again, and "Yes" downloads the package,
#       passes the trust check, installs it and the agent exits.
#
# Needs a display (make test runs CTest under xvfb-run). BUILD_DIR is the
# build root holding host/ and win/. Exit code 0 when every check holds.
set -eu
build=$(cd "$1" && pwd)
mode=${2:-check}
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/wine-env.sh"
export WINEPREFIX="$build/e2eprefix-$mode"
bin="$build/win/src/app"
vntool="$build/host/tools/vntool/vntool"
key='HKCU\Software\Harbinel\Zelto Varnel'
tmp=$(mktemp -d)
service_pid=""
failures=0

say() { printf 'agent_check(%s): %s\n' "$mode" "$*"; }
fail() { say "FAIL: $*"; failures=$((failures + 1)); }
cleanup() {
    "$WINE" "$bin/varnelctl.exe" exit 20 >/dev/null 2>&1 || true
    "$WINESERVER" -k 2>/dev/null || true
    [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT

[ -f "$WINEPREFIX/system.reg" ] || "$root/scripts/wine-prefix.sh" "$WINEPREFIX" >/dev/null 2>&1
# Wine's own Tahoma, the dialog font, which this Wine does not find by itself:
# without it "MS Shell Dlg" falls back to a host font whose drawn text runs a
# few pixels past its measured width, so auto-sized texts (the question box,
# balloons) lose their last characters.
for f in tahoma.ttf tahomabd.ttf; do
    [ -f "/usr/share/wine/fonts/$f" ] && [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/$f" ] &&
        cp "/usr/share/wine/fonts/$f" "$WINEPREFIX/drive_c/windows/Fonts/"
done
product_code=$(sed -n 's/.*kAgentProductCode\[\] = "\({[^"]*}\)".*/\1/p' "$root/src/dlmgr/self_update_rules.h")
signing="$build/win/fixtures/signing"
update=no
case "$mode" in selfupdate | notify) update=yes ;; esac
if [ "$update" = yes ]; then
    # The prefix trusts the test root the packages are signed under; no
    # earlier copy of the agent's package is installed.
    "$WINE" "$signing/trust_root.exe" "$("$WINE" winepath -w "$build/win/signing/root.der" 2>/dev/null | tr -d '\r')" \
        >/dev/null 2>&1 || { say "the test root could not be trusted"; exit 1; }
    "$WINE" msiexec /x "$product_code" /qn >/dev/null 2>&1 || true
else
    "$root/scripts/demo-programs.sh" "$build"
fi

# A fresh agent: no settings, no data folder.
"$WINE" reg delete "$key" /f >/dev/null 2>&1 || true
appdata=$("$WINE" cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
data="$("$WINE" winepath -u "$appdata" 2>/dev/null | sed 's:/$::')/Harbinel/Zelto Varnel/data"
rm -rf "$data"
mkdir -p "$data"

# The service, slow in the stop test.
"$root/scripts/demo-seed.sh" "$tmp/seed.sql"
# The check's report stays IN_PROGRESS for a while, so the polling waits once.
slow="--report-delay-ms 2000"
[ "$mode" = stop ] && slow="--reply-delay-ms 8000"
if [ "$update" = yes ]; then
    mkdir -p "$tmp/downloads/agent"
    cp "$signing/varnel-1.3.1.56.msi" "$tmp/downloads/agent/"
    printf "INSERT INTO agent_releases(version, url, release_date) VALUES ('1.3.1.56', '/downloads/agent/varnel-1.3.1.56.msi', '2024-07-01');\n" \
        >"$tmp/release.sql"
    slow="--seed $tmp/release.sql --downloads $tmp/downloads"
fi
# shellcheck disable=SC2086
"$build/host/server/varnel-service" --port 0 --db "$tmp/service.db" --seed "$tmp/seed.sql" \
    --port-file "$tmp/port" --quiet $slow >"$tmp/service.out" 2>&1 &
service_pid=$!
sleep 0.3
if [ -n "$slow" ] && ! kill -0 "$service_pid" 2>/dev/null; then
    say "SKIPPED: this reference service cannot be told to answer slowly ($slow):"
    sed 's/^/  | /' "$tmp/service.out"
    service_pid=""
    exit 77
fi
for _ in $(seq 1 50); do [ -s "$tmp/port" ] && break; sleep 0.1; done
[ -s "$tmp/port" ] || { say "the service did not start:"; cat "$tmp/service.out"; exit 1; }
base="http://127.0.0.1:$(cat "$tmp/port")"
printf '<?xml version="1.0"?>\n<configuration>\n  <link clientLink="%s/cgi-bin/vncheck.fcgi"/>\n  <link ipapiLink="%s/"/>\n</configuration>\n' \
    "$base" "$base" >"$data/config.xml"
"$WINE" reg add "$key" /v "Generate Log File" /t REG_DWORD /d 1 /f >/dev/null 2>&1
"$WINE" reg add "$key" /v "Use SSL" /t REG_DWORD /d 0 /f >/dev/null 2>&1
log="$data/vnlog.txt"
# A computer registered before: a first run would open the welcome page
# instead of looking at agent updates.
[ "$update" = yes ] && "$WINE" reg add "$key" /v "Machine ID" /t REG_SZ /d "e2e-registered-before" /f >/dev/null 2>&1
[ "$mode" = notify ] && "$WINE" reg add "$key" /v "Autoupdate Mode" /t REG_DWORD /d 2 /f >/dev/null 2>&1

wait_log() {  # PATTERN SECONDS: true once the log has a line matching PATTERN
    i=0
    while [ "$i" -lt $(($2 * 5)) ]; do
        [ -f "$log" ] && tr -d '\r' <"$log" | grep -q -- "$1" && return 0
        sleep 0.2
        i=$((i + 1))
    done
    return 1
}
has() { tr -d '\r' <"$log" | grep -q -- "$1"; }
count() { tr -d '\r' <"$log" | grep -c -- "$1" || true; }
wait_count() {  # PATTERN N SECONDS: true once the log has N lines matching PATTERN
    i=0
    while [ "$i" -lt $(($3 * 5)) ]; do
        [ -f "$log" ] && [ "$(count "$1")" -ge "$2" ] && return 0
        sleep 0.2
        i=$((i + 1))
    done
    return 1
}
installed_version() {
    "$WINE" reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product_code" \
        /v DisplayVersion 2>/dev/null | tr -d '\r' | sed -n 's/^ *DisplayVersion *REG_[A-Z_]* *//p'
}
wait_installed() {  # the package's uninstall entry comes to say version $1
    installed=""
    [ "$failures" -eq 0 ] && for _ in $(seq 1 60); do
        installed=$(installed_version)
        [ "$installed" = "$1" ] && break
        sleep 2
    done
    [ "$installed" = "$1" ] || fail "the installed version is \"$installed\", not $1"
    say "installed version: $installed"
}
expect_installed() {  # wait_installed, then the package is removed
    wait_installed "$1"
    "$WINE" msiexec /x "$product_code" /qn >/dev/null 2>&1 || true
}
reg_value() { "$WINE" reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"; }
outdated_names() {  # the names the watch list marks out of date, one a line
    "$root/scripts/outdated-items.sh" "$vntool" "$data/varnel.db" | cut -f1
}
files_whole() {  # every list file the agent keeps reads back
    for f in varnel.db driverdata.db outdatedproductlist.db; do
        [ -f "$data/$f" ] || continue
        "$vntool" db dump "$data/$f" >/dev/null 2>"$tmp/dump.err" || fail "$f does not read back: $(cat "$tmp/dump.err")"
    done
    leftovers=$(find "$data" -maxdepth 1 -name '*.tmp*' | wc -l)
    [ "$leftovers" -eq 0 ] || say "note: $leftovers temporary file(s) left beside the lists"
}

"$WINE" "$bin/varnel.exe" scannow >/dev/null 2>&1 &

if [ "$mode" = selfupdate ]; then
    wait_log "installed automatically" 120 || fail "the pre-scan did not start the automatic update"
    wait_log "The update's installer was started" 120 || fail "the update's installer was not started"
    wait_log "Exit$" 60 || fail "the agent did not exit after starting the installer"
    [ -f "$data/upgrade/varnel-1.3.1.56.msi" ] || fail "the package is not in the upgrade folder"
    has "Start searching directory" && fail "the run went on to the inventory scan"
    has "Update watcher started: process [0-9]* waits for installer process [1-9]" ||
        fail "no update watcher was started for the installer"
    wait_installed 1.3.1.56
    # Once msiexec has ended the watcher starts the installed agent again
    # (its log begins anew); it is then ended as any agent is.
    wait_log "Program file: C:.Program Files.Harbinel.Zelto Varnel.varnel.exe" 30 ||
        fail "the installed agent was not started again after the update"
    wait_log "Main window created" 20 || fail "the restarted agent did not come up"
    "$WINE" "$bin/varnelctl.exe" exit 20 >/dev/null 2>&1 || fail "the restarted agent is not running"
    temp=$("$WINE" winepath -u "$("$WINE" cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')" 2>/dev/null)
    left=$(find "$temp" -maxdepth 1 -name 'Varnel update *' | wc -l)
    [ "$left" -eq 0 ] || say "note: $left update watcher folder(s) left in use; the next start removes them"
    "$WINE" msiexec /x "$product_code" /qn >/dev/null 2>&1 || true
elif [ "$mode" = notify ]; then
    tool="$build/win/tests/win/window_tool.exe"
    shots="$build/screenshots"
    mkdir -p "$shots"
    winpath() { "$WINE" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
    question() {  # PNG: the tray's click opens the question; its texts go to $tmp/question.txt
        "$WINE" "$tool" notify-update >/dev/null 2>&1 || fail "the tray's click could not be posted"
        "$WINE" "$tool" capture "Zelto Varnel" "$(winpath "$1")" 30 2>/dev/null | tr -d '\r' >"$tmp/question.txt" ||
            fail "the update question did not show"
        grep -q "^A newer version of Zelto Varnel is available.$" "$tmp/question.txt" &&
            grep -q "^Would you like to install it now?$" "$tmp/question.txt" ||
            fail "the question does not read as string 142: $(tr '\n' '|' <"$tmp/question.txt")"
    }
    wait_log "is offered" 120 || fail "the scheduled run did not offer the update"
    sleep 1
    has "Start searching directory" && fail "the run that made the offer went on to the inventory scan"
    has "The user accepted\|The update's installer was started" && fail "the offer started something by itself"
    rm -f "$shots/update_balloon.png" "$shots/update_question.png"
    if "$WINE" "$tool" balloon "$(winpath "$shots/update_balloon.png")" 8 >/dev/null 2>&1; then
        sleep 1
        "$WINE" "$tool" screen "$(winpath "$shots/update_balloon_screen.png")" >/dev/null 2>&1 ||
            say "note: the whole screen could not be saved"
        say "the offer's balloon: $shots/update_balloon.png"
    else
        say "no balloon showed (this session has no notification area)"
    fi
    question "$shots/update_question.png"
    # Only a picture: under set -e a failed capture would end the run unseen.
    "$WINE" "$tool" screen "$(winpath "$shots/update_question_screen.png")" >/dev/null 2>&1 ||
        say "note: the whole screen could not be saved"
    [ -s "$shots/update_question.png" ] && say "the question: $shots/update_question.png"
    # A second click while the question is open only brings it forward.
    "$WINE" "$tool" notify-update >/dev/null 2>&1
    wait_log "The update question is open already" 10 || fail "a second click did not find the question open"
    # "No": the next timer pass checks at once and skips the offer.
    "$WINE" "$tool" press "Zelto Varnel" 7 >/dev/null 2>&1 || fail "No could not be pressed"
    wait_log "The user declined the agent update" 20 || fail "No was not taken"
    wait_log "Start searching directory" 120 || fail "after No the next run did not scan"
    wait_count "Worker ended: SearchAllMySoftwareWUpdate" 2 300 || fail "the run after No did not end"
    has "Stopping the worker" && fail "the run after No was stopped"
    [ "$(count "is offered")" -eq 1 ] || fail "the run after No offered the update again"
    # A user's Scan Now offers it again; "Yes" goes on to the download and the trust check.
    "$WINE" "$bin/varnelctl.exe" command 32892 >/dev/null 2>&1 || fail "Scan Now could not be sent"
    wait_count "is offered" 2 120 || fail "the user's Scan Now did not offer the update again"
    question "$tmp/question2.png"
    "$WINE" "$tool" press "Zelto Varnel" 6 >/dev/null 2>&1 || fail "Yes could not be pressed"
    wait_log "The user accepted the agent update" 20 || fail "Yes was not taken"
    wait_log "The update's installer was started" 120 || fail "the update's installer was not started"
    wait_log "Exit$" 60 || fail "the agent did not exit after starting the installer"
    has "failed its trust check" && fail "the signed package failed its trust check"
    [ -f "$data/upgrade/varnel-1.3.1.56.msi" ] || fail "the package is not in the upgrade folder"
    expect_installed 1.3.1.56
elif [ "$mode" = check ]; then
    wait_log "Worker ended: SearchAllMySoftwareWUpdate" 180 || fail "the run did not end within 180 s"
    "$WINE" "$bin/varnelctl.exe" exit 20 >/dev/null 2>&1 || fail "the agent did not exit"
    [ -n "$(reg_value 'Scan ID')" ] || fail "no \"Scan ID\" stored"
    [ -n "$(reg_value 'Machine ID')" ] || fail "no \"Machine ID\" stored"
    [ -f "$data/exclusions.xml" ] || fail "no exclusions.xml"
    [ -f "$data/varnel.db" ] || fail "no varnel.db"
    names=$(outdated_names | sort -u)
    say "marked out of date: $(echo "$names" | tr '\n' ';')"
    for p in "7-Zip" "VLC media player" "PuTTY" "KeePass Password Safe"; do
        echo "$names" | grep -q "^$p" || fail "$p is not marked out of date"
    done
    echo "$names" | grep -q "^Notepad++" && fail "Notepad++ (current) is marked out of date"
    for line in "Start checking for exclusions" "End PreScan" "Start searching directory" \
        "Start checking for updates" "  End checking for updates"; do
        has "$line" || fail "the log lacks \"$line\""
    done
    if has "No scan-report service"; then
        say "NOT CHECKED: this build has no scan-report service, so the report polling and"
        say "outdatedproductlist.db cannot be checked"
    else
        has "Scan report, try 1: IN_PROGRESS" || fail "the report was not IN_PROGRESS at first"
        has "Scan report, try [0-9]*: COMPLETE" || fail "the report polling did not end COMPLETE"
        if [ -f "$data/outdatedproductlist.db" ]; then
            list=$("$vntool" db dump "$data/outdatedproductlist.db")
            for p in "7-Zip" "VLC media player" "PuTTY" "KeePass Password Safe"; do
                echo "$list" | grep -q "\"$p" || fail "outdatedproductlist.db lacks $p"
            done
        else
            fail "no outdatedproductlist.db"
        fi
        has "Check complete: " || fail "no completion notice reached the main window"
    fi
    files_whole
    # The software view over what this run found, drawn as a user sees it
    # (screenshots/software_view_scanned.png).
    shot="$build/screenshots/software_view_scanned.png"
    rm -f "$shot"
    VARNEL_SCANNED_DB=$("$WINE" winepath -w "$data/varnel.db" 2>/dev/null | tr -d '\r') \
        "$WINE" "$build/win/tests/win/win_app.exe" --gtest_color=no \
        --gtest_filter=ListViews.TheScannedDemoPrefixInTheSoftwareView >"$tmp/view.out" 2>&1 ||
        { fail "the scanned software view did not pass:"; grep -v ':fixme:' "$tmp/view.out" | tail -n 20; }
    [ -s "$shot" ] || fail "no software_view_scanned.png"
else
    wait_log "Start checking for updates" 180 || fail "the check did not start within 180 s"
    sleep 1
    "$WINE" "$bin/varnelctl.exe" command 32893 >/dev/null 2>&1 || fail "Stop Scan could not be sent"
    wait_log "Worker ended: SearchAllMySoftwareWUpdate" 60 || fail "the stopped worker did not end"
    has "Stopping the worker" || fail "the stop did not go through StopWorker"
    sleep 2
    has "Check complete\|Check failed" && fail "a completion notice was posted for the stopped check"
    files_whole
    # An exit while a new scan runs: the worker is stopped within a few seconds.
    "$WINE" "$bin/varnelctl.exe" command 32892 >/dev/null 2>&1 || fail "Scan Now could not be sent"
    wait_log "Worker started: SearchAllMySoftwareWUpdate" 20 || true
    sleep 1
    "$WINE" "$bin/varnelctl.exe" exit 30 >/dev/null 2>&1 || fail "the agent did not exit"
    has "Exit: stopping the worker" || fail "the exit did not stop the worker"
    files_whole
fi

say "log:"
tr -d '\r' <"$log" | sed 's/^/  | /' | tail -n 60
[ "$failures" -eq 0 ] || { say "$failures check(s) failed"; exit 1; }
say "all checks hold"
