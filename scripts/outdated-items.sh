#!/bin/sh
# Prints the items a watch-list file ("varnel.db") marks out of date and does
# not hide: name, installed version and current version, tab-separated, one
# a line, in list order. Usage: outdated-items.sh VNTOOL DBFILE
set -eu
"$1" db dump "$2" | awk '
    function text(line) { sub(/^[^:]*: "/, "", line); sub(/",?$/, "", line); return line }
    /^  \{/ { name = ""; have = ""; cur = ""; out = 0; gone = 0 }
    /^    "progName":/ { name = text($0) }
    /^    "installedVers":/ { have = text($0) }
    /^    "currentVers":/ { cur = text($0) }
    /^    "outdated": true/ { out = 1 }
    /^    "removed": [12]/ { gone = 1 }
    /^  \}/ { if (out && !gone) printf "%s\t%s\t%s\n", name, have, cur }'
