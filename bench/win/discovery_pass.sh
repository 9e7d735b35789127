#!/bin/sh
# The inventory pass under Wine over a prefix of its own seeded with 2,000
# uninstall entries and 500 Start Menu shortcuts to 500 distinct programs
# with version resources: the pass on an empty watch list and as a rescan,
# against a bare walk of the same registry keys and folders, and the parts of
# the pass (product scan, shortcut resolution, version reads, the
# file-to-item operation, add-or-merge, presence check), best of five.
# Usage: discovery_pass.sh BUILD_DIR
set -eu
build=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
make -C "$root" BUILD="$build" win >/dev/null
cmake --build "$build/win" --target bench_discovery_win version_fixtures >/dev/null

prefix="$build/bench-discovery-prefix"
"$root/scripts/wine-prefix.sh" "$prefix"
fixtures="Z:$(echo "$build/win/fixtures/version" | tr / '\\')"
status=0
VARNEL_WINEPREFIX="$prefix" "$root/scripts/wine-run.sh" "$build/win/bench/win/bench_discovery_win.exe" \
    "$fixtures" 5 | tr -d '\r' || status=1
. "$root/scripts/wine-env.sh"
WINEPREFIX="$prefix" "$WINESERVER" -k 2>/dev/null || true
exit $status
