#!/bin/sh
# Checks the layout of the C and C++ lines this branch changed against
# .clang-format (clang-format 14). Only changed lines are looked at: code
# nobody touched keeps its hand-made layout and can never fail the check.
#
# The change is measured from where the branch left main (the merge base with
# "main" or "origin/main") to the working tree, so uncommitted edits count too.
# Without a main branch (a clone of one branch alone) the last commit is the
# change. On main itself there is nothing of its own to check.
#
#   scripts/check-format.sh          report lines that would be laid out otherwise
#   scripts/check-format.sh --fix    lay those lines out in place
set -eu
cd "$(dirname "$0")/.."

fix=""
[ "${1:-}" = "--fix" ] && fix=1

FORMAT=$(command -v clang-format-14 || command -v clang-format || true)
FORMAT_DIFF=$(command -v clang-format-diff-14 || command -v clang-format-diff || true)
if [ -z "$FORMAT" ] || [ -z "$FORMAT_DIFF" ]; then
    echo "check-format: clang-format 14 is not installed (apt-get install clang-format-14)" >&2
    exit 2
fi

main=""
for ref in main origin/main; do
    if git rev-parse -q --verify "$ref^{commit}" >/dev/null; then main=$ref; break; fi
done

base=""
if [ -n "$main" ]; then
    base=$(git merge-base HEAD "$main" || true)
    if [ "$base" = "$(git rev-parse HEAD)" ] && [ -z "$(git status --porcelain --untracked-files=no)" ]; then
        echo "check-format: HEAD is part of $main; no change of its own to check"
        exit 0
    fi
fi
if [ -z "$base" ]; then
    if git rev-parse -q --verify HEAD~1 >/dev/null; then
        base=HEAD~1
    else
        # The first commit: everything in it is new.
        base=$(git hash-object -t tree /dev/null)
    fi
fi

# Renames are followed (-M), so a moved file counts only for the lines that changed.
diff_of_change() { git diff -M -U0 --no-color "$base" -- '*.cpp' '*.h' '*.c'; }

if [ -n "$fix" ]; then
    diff_of_change | "$FORMAT_DIFF" -p1 -i -binary "$FORMAT" -iregex '.*\.(cpp|h|c)'
    exit 0
fi
out=$(diff_of_change | "$FORMAT_DIFF" -p1 -binary "$FORMAT" -iregex '.*\.(cpp|h|c)')
if [ -n "$out" ]; then
    printf '%s\n' "$out"
    echo "check-format: the lines above differ from .clang-format; scripts/check-format.sh --fix lays them out" >&2
    exit 1
fi
echo "check-format: changed lines since $(git rev-parse --short "$base") are laid out as .clang-format says"
