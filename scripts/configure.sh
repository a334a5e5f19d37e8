#!/usr/bin/env bash
# Configures a CMake build tree (`scripts/configure.sh CMAKE_ARGS...`), keeping the terminal for what matters: CMake's
# output is shown in full when it fails or warns, and otherwise summed up in one line.
set -uo pipefail
log=$(mktemp)
trap 'rm -f "$log"' EXIT
cmake "$@" >"$log" 2>&1
status=$?
if [ "$status" -ne 0 ] || grep -q '^CMake \(Warning\|Deprecation Warning\|Error\)' "$log"; then
    cat "$log" >&2
else
    # "-- Build files have been written to: /x/build/native"
    tail -n 1 "$log"
fi
exit "$status"
