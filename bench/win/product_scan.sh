#!/bin/sh
# The merged product scan under Wine against a bare walk of the same
# uninstall keys (RegEnumKeyEx + RegQueryValueEx of the same values), in the
# same run, with 2,000 uninstall entries written into the prefix by the
# benchmark program (and removed afterwards). Prints both times and the ratio;
# the goal is a merged scan within 1.5x of the bare walk.
# Usage: product_scan.sh BUILD_DIR
set -eu
build=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
make -C "$root" BUILD="$build" win >/dev/null
cmake --build "$build/win" --target bench_product_scan_win >/dev/null

export VARNEL_WINEPREFIX="${VARNEL_WINEPREFIX:-$build/wineprefix}"
status=0
out=$("$root/scripts/wine-run.sh" "$build/win/bench/win/bench_product_scan_win.exe" 2000 5 | tr -d '\r') || status=1
echo "$out" | awk '
    $1 == "entries" { print "uninstall entries " $2 }
    $1 == "bare" { bare = $2; printf "bare walk                  %.1f ms (%d subkeys)\n", $2 * 1000, $3 }
    $1 == "merged" { merged = $2; printf "merged scan, watch list   %.1f ms (%d products)\n", $2 * 1000, $3 }
    $1 == "merged-export" { noctx = $2; printf "merged scan, no context   %.1f ms (%d products)\n", $2 * 1000, $3 }
    END {
        if (bare > 0) {
            printf "ratio merged/bare %.2fx (goal 1.5x); without a watch list %.2fx\n", merged / bare, noctx / bare
            printf "summary: product scan under Wine / bare walk of the uninstall keys: %.2fx (goal 1.5x)\n", merged / bare
        }
    }'
exit $status
