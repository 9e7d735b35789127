#!/bin/sh
# File MD5 throughput: the agent's CFileMd5 under Wine against md5sum on the
# same 256 MB file, in the same run (both from the page cache, best of three).
# Prints md5sum's MB/s and, for the agent's block size and two others,
# CFileMd5's MB/s and its ratio to md5sum.
# Usage: md5_throughput.sh BUILD_DIR
set -eu
build=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
make -C "$root" BUILD="$build" win >/dev/null
cmake --build "$build/win" --target bench_md5_win >/dev/null

dir="$build/bench-md5"
file="$dir/data.bin"
mkdir -p "$dir"
size=268435456
if [ "$(stat -c %s "$file" 2>/dev/null || echo 0)" != "$size" ]; then
    head -c "$size" /dev/urandom > "$file"
fi

md5sum "$file" > /dev/null  # into the page cache
best=""
for run in 1 2 3; do
    start=$(date +%s%N)
    expected=$(md5sum "$file" | cut -c1-32)
    end=$(date +%s%N)
    rate=$(awk -v b="$size" -v ns=$((end - start)) 'BEGIN { printf "%.1f", b / 1048576 / (ns / 1e9) }')
    best=$(awk -v a="${best:-0}" -v b="$rate" 'BEGIN { print (b > a) ? b : a }')
done
echo "md5sum            $best MB/s"

export VARNEL_WINEPREFIX="${VARNEL_WINEPREFIX:-$build/wineprefix}"
winpath="Z:$(echo "$file" | tr / '\\')"
status=0
out=$("$root/scripts/wine-run.sh" "$build/win/bench/win/bench_md5_win.exe" "$winpath" 3 | tr -d '\r') || status=1
[ -n "$out" ] || status=1
echo "$out" | {
    rc=0
    while read -r name block digest rate agent; do
        [ -n "$block" ] || continue
        if [ "$digest" != "$expected" ]; then
            echo "CFileMd5 block $block: digest $digest differs from md5sum's $expected"
            rc=1
            continue
        fi
        ratio=$(awk -v a="$rate" -v b="$best" 'BEGIN { printf "%.2f", a / b }')
        label=""
        [ "$agent" = agent ] && label="  (the agent's block size; goal 0.8x)"
        printf 'CFileMd5 block %-8s %s MB/s  ratio %sx of md5sum%s\n' "$block" "$rate" "$ratio" "$label"
        [ "$agent" != agent ] || echo "summary: file MD5 under Wine / md5sum, throughput: ${ratio}x (goal 0.8x or more)"
    done
    exit $rc
} || status=1
rm -f "$file"
exit $status
