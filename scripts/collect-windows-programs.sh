#!/usr/bin/env bash
# Puts the Windows programs at the top of their build trees: WIN64/Kelvaro.exe, WIN64/kelvaro-cli.exe, WIN32/Kelvaro.exe
# and WIN32/kelvaro-cli.exe (the 32-bit pair is what the release zip holds).
set -euo pipefail
win64=$1
win32=$2
cp "$win64/cli/kelvaro-cli.exe" "$win64/kelvaro-cli.exe"
cp "$win32/cli/kelvaro-cli.exe" "$win32/kelvaro-cli.exe"
for tree in "$win64" "$win32"; do
    if [ -f "$tree/ui/Kelvaro.exe" ]; then
        cp "$tree/ui/Kelvaro.exe" "$tree/Kelvaro.exe"
    fi
done
