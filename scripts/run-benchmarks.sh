#!/bin/sh
# Runs every benchmark program of the optimised host build (build/bench), and
# then every Windows benchmark script under bench/win/ (if any), which time the
# agent's scanners under Wine. Usage: run-benchmarks.sh BUILD_DIR
set -eu
build=$1
here=$(cd "$(dirname "$0")" && pwd)
status=0
for b in "$build"/bench/bench/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b" --benchmark_counters_tabular=true || status=1
done
for s in "$here"/../bench/win/*.sh; do
    [ -f "$s" ] || continue
    echo "== $(basename "$s")"
    sh "$s" "$build" || status=1
done
exit $status
