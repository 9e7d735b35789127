#!/bin/sh
# Runs every benchmark program of the optimised host build (build/bench), and
# then every Windows benchmark script under bench/win/ (if any), which time the
# agent's scanners under Wine. Ends with the ratios of the performance goals,
# each measure against its floor from this same run (README, "Benchmarks").
# Usage: run-benchmarks.sh BUILD_DIR
set -eu
build=$1
here=$(cd "$(dirname "$0")" && pwd)
results="$build/bench/results"
rm -rf "$results"
mkdir -p "$results"
status=0
for b in "$build"/bench/bench/bench_*; do
    [ -x "$b" ] || continue
    name=$(basename "$b")
    echo "== $name"
    "$b" --benchmark_counters_tabular=true --benchmark_out="$results/$name.json" --benchmark_out_format=json ||
        status=1
done
for s in "$here"/../bench/win/*.sh; do
    [ -f "$s" ] || continue
    name=$(basename "$s" .sh)
    echo "== $name"
    # The script's output is kept for the summary; its status survives the pipe.
    { sh "$s" "$build" || echo "$name failed" > "$results/$name.failed"; } | tee "$results/$name.txt"
    [ ! -f "$results/$name.failed" ] || status=1
done

# ratio FILE MEASURE FLOOR: "wall Nx, CPU Nx" of two benchmarks in a JSON
# result file (one key per line, as Google Benchmark writes it).
ratio() {
    [ -f "$1" ] || { echo "not run"; return; }
    awk -v a="$2" -v b="$3" '
        { gsub(/[",]/, "") }
        $1 == "name:" { name = $2 }
        $1 == "real_time:" { wall[name] = $2 }
        $1 == "cpu_time:" { cpu[name] = $2 }
        END {
            if (wall[a] == "" || wall[b] == "" || wall[b] == 0 || cpu[b] == 0) print "not measured"
            else printf "wall %.2fx, CPU %.2fx\n", wall[a] / wall[b], cpu[a] / cpu[b]
        }' "$1"
}

echo "== ratios (each measure against its floor, from this run)"
echo "database save + load / raw write + read, 10,000 items:      $(ratio "$results/bench_database.json" \
    BM_ListSaveLoad BM_RawWriteRead)  (goal 2x)"
echo "check document to a file / raw lines to a file:            $(ratio "$results/bench_scan_document.json" \
    BM_CheckDocumentToFile BM_RawLinesToFile)  (goal 3x)"
echo "check document in memory / raw lines in memory:            $(ratio "$results/bench_scan_document.json" \
    BM_CheckDocument BM_RawLines)"
# The Windows benchmarks print their own lines for the summary.
cat "$results"/*.txt 2>/dev/null | sed -n 's/^summary: //p'
exit $status
