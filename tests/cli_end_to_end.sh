#!/usr/bin/env bash
# kelvaro-cli as a user runs it: the worked examples through standard input, files re-timed in place, exit statuses.
# Usage: cli_end_to_end.sh DATA_DIR CLI_COMMAND...
set -u
data=$1
shift
cli=("$@")
# Under Wine (wine, wine64.sh, wine-i686.sh) Linux links, pipes, attributes and locks mean other things.
native=true
case ${cli[0]##*/} in wine*) native=false ;; esac
failures=0
checks=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

expect_status() {  # expected-status description command...
    local expected=$1 what=$2
    shift 2
    "$@" >"$work/out" 2>"$work/err" <"${stdin_file:-/dev/null}"
    local status=$?
    checks=$((checks + 1))
    [ "$status" -eq "$expected" ] || fail "$what: status $status, expected $expected ($(head -c 300 "$work/err"))"
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The worked examples, each through '-'.
while IFS='|' read -r input options expected; do
    case $input in \#*) continue ;; esac
    # shellcheck disable=SC2086 # options are words
    actual=$(printf '%b\n' "$input" | "${cli[@]}" $options - 2>/dev/null | od -An -c | tr -s ' \n' ' ')
    wanted=$(printf '%b\n' "$expected" | LC_ALL=C sed 's/$/\r/' | od -An -c | tr -s ' \n' ' ')
    checks=$((checks + 1))
    [ "$actual" = "$wanted" ] || fail "'$input' with '$options': got [$actual], expected [$wanted]"
done <"$data/worked_examples.txt"

# In stream mode what the user must know goes to standard error, and the status stays 0.
printf -- '-1-->\n{1}{2}x\n' >"$work/notes.srt"
stdin_file=$work/notes.srt expect_status 0 "stream notes" "${cli[@]}" --add 1 -
grep -q '^kelvaro-cli: -: 1 line holds --> but no times that can be read; it was left as it is' "$work/err" ||
    fail "stream notes: $(cat "$work/err")"
grep -q 'No cue times were found in this file, so none was shifted' "$work/err" || fail "no times: $(cat "$work/err")"
[ "$(tr -d '\r' <"$work/out")" = "$(cat "$work/notes.srt")" ] || fail "stream notes output: $(cat "$work/out")"

# The corpus, each row through '-': the result on standard output, each note of the success text on standard error.
while IFS='|' read -r input options expected notes; do
    case $input in \#* | '') continue ;; esac
    # shellcheck disable=SC2086 # options are words
    "${cli[@]}" $options - <"$data/corpus/$input" >"$work/out" 2>"$work/err"
    status=$?
    checks=$((checks + 1))
    [ "$status" -eq 0 ] || fail "corpus $input with '$options' through '-': status $status ($(head -c 300 "$work/err"))"
    cmp -s "$work/out" "$data/corpus/$expected" ||
        fail "corpus $input with '$options' through '-': $(cmp "$work/out" "$data/corpus/$expected" 2>&1)"
    while [ -n "$notes" ]; do
        note=${notes%% / *}
        grep -qF -- "$note" "$work/err" || fail "corpus $input with '$options': no '$note' on standard error"
        [ "$note" = "$notes" ] && break
        notes=${notes#* / }
    done
done <"$data/corpus/MANIFEST"

# Files in place: the result takes the name, the original is kept byte for byte.
mkdir -p "$work/subs"
printf '1\n00:00:01,000 --> 00:00:02,000\nHi\n' >"$work/subs/a.srt"
printf '2\r\n00:00:03,000 --> 00:00:04,000\r\n' >"$work/subs/b.SUB"
cp "$work/subs/a.srt" "$work/a.before"
cd "$work/subs" || exit 1
expect_status 0 "two files" "${cli[@]}" --add 0:00:01,500 a.srt b.SUB
printf 'Done - original file is stored as\na_original.srt\nDone - original file is stored as\nb_original.SUB\n' >"$work/want"
cmp -s <(tr -d '\r' <"$work/out") "$work/want" || fail "success text: $(cat "$work/out")"
cmp -s a_original.srt "$work/a.before" || fail "a_original.srt differs from the input"
[ "$(cat a.srt)" = "$(printf '1\r\n00:00:02,500 --> 00:00:03,500\r\nHi\r')" ] || fail "a.srt: $(od -c a.srt)"
[ "$(ls | sort | tr '\n' ' ')" = "a.srt a_original.srt b.SUB b_original.SUB " ] || fail "files left: $(ls)"

# With '-' among the files standard output carries only the stream; success texts go to standard error.
cp a_original.srt c.srt
stdin_file=$work/a.before expect_status 0 "file and stream" "${cli[@]}" --add 1 c.srt -
[ "$(tr -d '\r' <"$work/out")" = "$(printf '1\n00:00:02,000 --> 00:00:03,000\nHi')" ] || fail "stream mixed: $(cat "$work/out")"
grep -q '^kelvaro-cli: c.srt: Done - original file is stored as' "$work/err" || fail "file and stream: $(cat "$work/err")"
rm c.srt c_original.srt

# An input that cannot be renamed (immutable): the old backup is kept, nothing else is left.
if $native && [ "$(id -u)" -eq 0 ] && cp a.srt d.srt && chattr +i d.srt 2>/dev/null; then
    printf 'old backup\n' >d_original.srt
    expect_status 1 "immutable input" "${cli[@]}" --add 1 d.srt
    chattr -i d.srt
    grep -q '^kelvaro-cli: d.srt: Cannot rename d.srt to d_original.srt' "$work/err" || fail "immutable: $(cat "$work/err")"
    [ "$(cat d_original.srt)" = "old backup" ] || fail "immutable: the old backup was lost"
    cmp -s d.srt a.srt || fail "immutable: the input changed"
    [ ! -e d_new.srt ] || fail "immutable: d_new.srt left"
    rm -f d.srt d_original.srt
fi

# A failing file does not stop the next one; any failure gives status 1.
expect_status 1 "missing then present" "${cli[@]}" missing.srt a.srt
grep -q '^kelvaro-cli: missing.srt: Cannot open missing.srt' "$work/err" || fail "missing file message: $(cat "$work/err")"
grep -q 'Done - original file is stored as' "$work/out" || fail "the second file was not processed"
expect_status 1 "bad extension" "${cli[@]}" notes.text
grep -q 'Unrecognized subtitle format' "$work/err" || fail "format message: $(cat "$work/err")"
expect_status 1 "reversed window" "${cli[@]}" --from 00:10:00 --to 00:10:00 a.srt
printf 'kelvaro-cli: a.srt: You have chosen to synch according to times.\nFrom time is after To time.\nReselect times\n' >"$work/want"
cmp -s <(tr -d '\r' <"$work/err") "$work/want" || fail "window message: $(cat "$work/err")"

# Refusals: status 1, a message naming the file and the reason, no success text, the directory as it was.
mkdir "$work/refused"
cd "$work/refused" || exit 1
printf '1\r\nA\0B\r\n' >binary.srt
printf '1\r\n\032text\r\n' >tail.srt
cp "${cli[-1]}" program.srt
printf '1\n' >film.ass
mkdir folder.srt
refusals="binary.srt|looks like a binary file
tail.srt|it holds an end-of-file mark (Ctrl-Z) with 4 bytes of text after it, which would be lost
program.srt|looks like a binary file
film.ass|kelvaro-cli: film.ass: Unrecognized subtitle format
folder.srt|Cannot open folder.srt: it is not a regular file"
if $native; then
    mkfifo fifo.srt
    ln -s /dev/zero zero.srt
    refusals="$refusals
fifo.srt|Cannot open fifo.srt: it is not a regular file
zero.srt|Cannot synchronize zero.srt: it is a link to /dev/zero, whose name does not end in .srt, .sub or .vtt"
fi
listing() { find . -maxdepth 1 -printf '%f %y %s\n' | sort && find . -maxdepth 1 -type f -exec cksum {} + | sort; }
before=$(listing)
while IFS='|' read -r file message; do
    expect_status 1 "refused $file" timeout 20 "${cli[@]}" "$file"
    grep -q "$message" "$work/err" || fail "$file: message $(cat "$work/err")"
    [ ! -s "$work/out" ] || fail "$file: output $(cat "$work/out")"
    [ "$(listing)" = "$before" ] || fail "$file: directory changed: $(ls -l)"
done <<<"$refusals"
cp "$work/a.before" film.VTT
expect_status 0 "vtt" "${cli[@]}" film.VTT
[ -f film_original.VTT ] || fail "vtt: files left: $(ls)"

# Standard input that is refused: status 1, the message names it, and no output follows the refusal. The fault here
# comes after the first blocks, some of which may already be out.
{
    for cue in $(seq 1 12000); do printf '%s\n00:00:01,000 --> 00:00:02,000\nwords\n\n' $((cue % 1000)); done
    printf 'late\0\nafter the fault\n'
} >"$work/stream.in"
printf '1\r\n\0' >"$work/nul.in"
printf '1\r\n\032more' >"$work/tail.in"
for input in "$work/nul.in" "$work/tail.in" "$work/stream.in"; do
    stdin_file=$input expect_status 1 "refused stream $input" "${cli[@]}" -
    grep -q '^kelvaro-cli: -: Cannot synchronize standard input: ' "$work/err" || fail "stream: $(cat "$work/err")"
    ! grep -q -e 'after the fault' -e late "$work/out" || fail "stream $input: output after the refusal"
    [ "$input" = "$work/stream.in" ] || [ ! -s "$work/out" ] || fail "stream $input: output $(od -c "$work/out")"
done
cd "$work/subs" || exit 1

# Another program holding a lock on the file: refused as in use, nothing changed. (Wine keeps its own share modes.)
if $native && command -v flock >/dev/null; then
    cp a.srt "$work/a.locked"
    flock a.srt sleep 1 &
    holder=$!
    sleep 0.3
    expect_status 1 "file in use" "${cli[@]}" --add 1 a.srt
    wait "$holder"
    grep -q 'a.srt: it is being used by another program' "$work/err" || fail "in-use message: $(cat "$work/err")"
    [ ! -s "$work/out" ] || fail "success text for a file in use: $(cat "$work/out")"
    cmp -s a.srt "$work/a.locked" || fail "a.srt changed while in use"
fi

# Usage errors: status 2 and a hint to --help.
for args in "--add 1 --reduce 1 a.srt" "--from 00:01:00 a.srt" "--add 9:00:00,000 a.srt" "--reduce-number 5001 a.srt" \
    "--nope a.srt" ""; do
    # shellcheck disable=SC2086
    expect_status 2 "usage '$args'" "${cli[@]}" $args
    grep -q -- "--help" "$work/err" || fail "usage '$args' gives no hint: $(cat "$work/err")"
done
expect_status 0 "help" "${cli[@]}" --help
grep -q 'Usage: kelvaro-cli' "$work/out" || fail "help text"

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
