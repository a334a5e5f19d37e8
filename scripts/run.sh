#!/usr/bin/env bash
# `make run`: the dialog under Wine when it is built, and the command line on the sample file.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ -x "$root/scripts/run-dialog.sh" ] && [ -f "$root/build/win64/Kelvaro.exe" ]; then
    exec "$root/scripts/run-dialog.sh"
fi
exec "$root/scripts/run-cli-demo.sh"
