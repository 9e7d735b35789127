#!/bin/sh
# The long fuzz run: every fuzz target of a fuzz build (or the ones named)
# for a number of executions each, with a corpus that is kept between runs
# in <build>/corpus-long/<target>/ (the seed corpus is read, never written).
# Undefined behaviour stops a target as a crash does. One line per target:
#     <target>: <N> execs in <S> s (<E> exec/s, peak <R> MB), clean
#     <target>: <N> execs in <S> s (...), FAILED (<log>, <failing input>)
# Usage: scripts/run-fuzz-long.sh <fuzz build folder> <executions> [target...]
# FUZZ_JOBS (default 1) targets run at a time. FUZZ_MAX_SECONDS, when set,
# also ends each target after that many seconds (its line then says so).
# Exits non-zero when any target failed.
set -u
build=$1
runs=$2
shift 2
list=$build/fuzz-targets.txt
[ -f "$list" ] || { echo "run-fuzz-long: no $list (build with 'make fuzz-build')" >&2; exit 2; }
cap=${FUZZ_MAX_SECONDS:-0}
jobs=${FUZZ_JOBS:-1}
mkdir -p "$build/fuzz-logs" "$build/fuzz-artifacts"
# Each worker takes the next target nobody has taken (mkdir is atomic) and
# leaves its summary line in results/<target>.
state=$build/fuzz-long-state
rm -rf "$state"
mkdir -p "$state/taken" "$state/results"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

wanted() {
    [ $# -eq 1 ] && return 0
    name=$1
    shift
    for t in "$@"; do [ "$t" = "$name" ] && return 0; done
    return 1
}
stat_of() { sed -n "s/^stat::$1: *//p" "$2" | tail -n 1; }

run_target() {
    name=$1
    max_len=$2
    work=$build/corpus-long/$name
    log=$build/fuzz-logs/$name-long.log
    mkdir -p "$work"
    echo "== $name ($runs executions, inputs up to $max_len bytes)"
    start=$(date +%s)
    "$build/tests/fuzz/fuzz_$name" -runs="$runs" -max_total_time="$cap" -max_len="$max_len" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$name-" \
        "$work" "tests/fuzz/corpus/$name" >"$log" 2>&1
    rc=$?
    seconds=$(($(date +%s) - start))
    execs=$(stat_of number_of_executed_units "$log")
    [ -n "$execs" ] || execs=$(sed -n 's/^#\([0-9][0-9]*\).*/\1/p' "$log" | tail -n 1)
    rate=$((${execs:-0} / (seconds > 0 ? seconds : 1)))
    rss=$(stat_of peak_rss_mb "$log")
    line="$name: ${execs:-0} execs in $seconds s ($rate exec/s, peak ${rss:-?} MB)"
    if [ $rc -ne 0 ]; then
        artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n 1)
        line="$line, FAILED (exit $rc; log $log${artifact:+; input $artifact})"
        sed -n '/==[0-9]*==ERROR\|runtime error\|ERROR: libFuzzer/,$p' "$log" | head -n 40
    elif [ "${execs:-0}" -lt "$runs" ]; then
        line="$line, clean, stopped after $cap s"
    else
        line="$line, clean"
    fi
    echo "$line"
    echo "$line" >"$state/results/$name"
}

worker() {
    while read -r name max_len; do
        [ -n "$name" ] || continue
        wanted "$name" "$@" || continue
        mkdir "$state/taken/$name" 2>/dev/null || continue
        run_target "$name" "$max_len"
    done <"$list"
}

i=0
while [ $i -lt "$jobs" ]; do
    worker "$@" &
    i=$((i + 1))
done
wait

echo "== long fuzz summary ($runs executions per target)"
status=0
while read -r name max_len; do
    [ -f "$state/results/$name" ] || continue
    cat "$state/results/$name"
    grep -q FAILED "$state/results/$name" && status=1
done <"$list"
exit $status
