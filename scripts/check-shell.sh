#!/usr/bin/env bash
# Runs shellcheck over every shell script of the repository (build/ aside): files named *.sh and files whose first
# line starts them with sh or bash (.ci/run).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts=()
while IFS= read -r -d '' file; do
    case $file in
    *.sh) scripts+=("$file") ;;
    *) if head -n 1 "$file" | grep -qE '^#!(/usr)?/bin/(env )?(ba)?sh\b'; then scripts+=("$file"); fi ;;
    esac
done < <(find . \( -path ./build -o -path ./.git \) -prune -o -type f -print0 | sort -z)
# -x follows `source` into the sourced file (scripts/wine-env.sh) where a directive names it.
shellcheck -x "${scripts[@]}"
echo "check-shell: ${#scripts[@]} scripts pass shellcheck"
