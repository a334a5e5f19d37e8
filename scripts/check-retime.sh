#!/usr/bin/env bash
# Re-times a small SubRip file in DIR with an installed or unpacked kelvaro-cli, run as COMMAND... (a path, or a Wine
# command line and the .exe), from DIR with a relative name. Checks the result, the backup and the exit status.
# Usage: scripts/check-retime.sh DIR COMMAND...
set -euo pipefail
dir=$1
shift
cd "$dir"
rm -f sample.srt sample_original*.srt sample_new.srt
printf '1\r\n00:00:01,000 --> 00:00:02,500\r\nHello\r\n\r\n2\r\n00:59:59,900 --> 01:00:00,400\r\nWorld\r\n' >sample.srt
cp sample.srt sample.expected-original
printf '1\r\n00:00:02,500 --> 00:00:04,000\r\nHello\r\n\r\n2\r\n01:00:01,400 --> 01:00:01,900\r\nWorld\r\n' \
    >sample.expected
command="$*"
status=0
"$@" --add 0:00:01,500 sample.srt >retime.out 2>retime.err </dev/null || status=$?
fail() {
    echo "check-retime: $*" >&2
    echo "  command: $command --add 0:00:01,500 sample.srt (in $dir), exit status $status" >&2
    sed 's/^/  output: /' retime.out retime.err >&2
    exit 1
}
[ "$status" -eq 0 ] || fail "the re-time failed"
cmp -s sample.srt sample.expected || fail "sample.srt is not the re-timed file"
cmp -s sample_original.srt sample.expected-original || fail "sample_original.srt is not the untouched input"
[ ! -e sample_new.srt ] || fail "sample_new.srt was left behind"
grep -q 'sample_original\.srt' retime.out || fail "the run did not say where the original is"
