#!/usr/bin/env bash
# Checks that every C++ source and header of the repository (build/ aside) is formatted as .clang-format says, and
# names the files that are not. Changes nothing: `clang-format -i FILE...` formats them.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -d '' files < <(find . \( -path ./build -o -path ./.git \) -prune -o -type f \
    \( -name '*.cpp' -o -name '*.h' -o -name '*.inc' \) -print0 | sort -z)
if report=$(clang-format --dry-run -Werror "${files[@]}" 2>&1); then
    echo "check-format: ${#files[@]} files formatted as .clang-format says"
    exit 0
fi
# "./engine/a.cpp:12:5: error: code should be clang-formatted [-Wclang-format-violations]", once a line.
mapfile -t unformatted < <(grep -o '^[^:]*:[0-9]*:[0-9]*: error' <<<"$report" | cut -d: -f1 | sed 's|^\./||' | uniq)
if [ ${#unformatted[@]} -eq 0 ]; then
    echo "$report" >&2  # clang-format failed for another reason
    exit 1
fi
echo "check-format: ${#unformatted[@]} of ${#files[@]} files are not formatted as .clang-format says:" >&2
printf '  %s\n' "${unformatted[@]}" >&2
echo "Format them with: clang-format -i ${unformatted[*]}" >&2
exit 1
