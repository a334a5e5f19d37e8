#!/usr/bin/env bash
# Shows the command line re-timing the sample file: a copy under build/demo, 2.5 seconds later.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
demo="$root/build/demo"
rm -rf "$demo" && mkdir -p "$demo"
cp "$root/samples/film.srt" "$demo/film.srt"
echo "$ kelvaro-cli --add 0:00:02,500 build/demo/film.srt"
(cd "$root" && build/native/kelvaro-cli --add 0:00:02,500 build/demo/film.srt)
echo
diff <(tr -d '\r' <"$demo/film_original.srt") <(tr -d '\r' <"$demo/film.srt") || true
