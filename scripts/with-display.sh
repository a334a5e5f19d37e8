#!/usr/bin/env bash
# Runs a command with an X display: the current one, or a virtual one (Xvfb) started for it and stopped after.
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec "$@"
fi
# Xvfb picks a free display number itself and writes it down once it takes connections, so runs started side by
# side never share one.
number=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null || true; rm -f "$number"' EXIT
for _ in $(seq 100); do
    [ -s "$number" ] && break
    sleep 0.1
done
[ -s "$number" ] || { echo "with-display.sh: Xvfb did not start" >&2; exit 1; }
DISPLAY=":$(head -n 1 "$number")"
export DISPLAY
"$@"
