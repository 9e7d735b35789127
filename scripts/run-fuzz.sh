#!/bin/sh
# Runs every fuzz target of a fuzz build for a while, each with its longest
# input (as listed by the build in fuzz-targets.txt), then sums up:
#     <target>: <N> execs, clean
#     <target>: <N> execs, FAILED (<where the failing input went>)
# Usage: scripts/run-fuzz.sh <fuzz build folder> <seconds per target>
# Exits non-zero when any target failed.
set -u
build=$1
seconds=$2
list=$build/fuzz-targets.txt
[ -f "$list" ] || { echo "run-fuzz: no $list (build with 'make fuzz-build')" >&2; exit 2; }
mkdir -p "$build/fuzz-logs" "$build/fuzz-artifacts"
summary=""
status=0
while read -r name max_len; do
    [ -n "$name" ] || continue
    work=$build/tests/fuzz/corpus-work/$name
    log=$build/fuzz-logs/$name.log
    mkdir -p "$work"
    echo "== $name (${seconds} s, inputs up to $max_len bytes)"
    "$build/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$name-" \
        "$work" "tests/fuzz/corpus/$name" >"$log" 2>&1
    rc=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    if [ -z "$execs" ]; then
        # A crash ends the run before the final statistics: take the last progress line.
        execs=$(sed -n 's/^#\([0-9][0-9]*\).*/\1/p' "$log" | tail -n 1)
    fi
    if [ $rc -eq 0 ]; then
        line="$name: ${execs:-0} execs, clean"
    else
        status=1
        line="$name: ${execs:-0} execs, FAILED (exit $rc; log $log)"
        tail -n 30 "$log"
    fi
    echo "$line"
    summary="$summary$line
"
done <"$list"
echo "== fuzz summary (${seconds} s per target)"
printf '%s' "$summary"
exit $status
