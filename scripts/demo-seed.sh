#!/bin/sh
# Writes the demo catalogue to FILE: the reference service's seed without any
# agent release newer than this agent, so that the demo's pre-scan offers no
# agent update and the run goes on to the scan. Usage: demo-seed.sh FILE
set -eu
here=$(cd "$(dirname "$0")" && pwd)
version=$(sed -n 's/^project(Varnel VERSION \([0-9.]*\).*/\1/p' "$here/../CMakeLists.txt")
# Keep only this agent's own release; the list of releases ends with ";".
awk -v v="'$version'" '
    /^INSERT INTO agent_releases/ { inrel = 1; print; next }
    inrel && /^  \(/ {
        last = ($0 ~ /;$/)
        if (index($0, "(" v ",") > 0) { keep = $0; sub(/[,;]$/, ";", keep) }
        if (last) { print keep; inrel = 0 }
        next
    }
    { print }
' "$here/../server/seed/catalog.sql" >"$1"
