#!/bin/sh
# Runs a Windows program under Wine in the test prefix and returns its exit code.
# The prefix is VARNEL_WINEPREFIX (set by CTest), else WINEPREFIX, else build/wineprefix.
# A program that cannot be started makes this script fail (exit code 127).
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
export WINEPREFIX="${VARNEL_WINEPREFIX:-${WINEPREFIX:-$here/../build/wineprefix}}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$here/wine-prefix.sh" "$WINEPREFIX" || exit 127
fi
prog=$1; shift
if [ ! -f "$prog" ]; then
    echo "wine-run: no such program: $prog" >&2
    exit 127
fi
"$WINE" "$prog" "$@"
