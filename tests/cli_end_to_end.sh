#!/usr/bin/env bash
# kelvaro-cli as a user runs it: the worked examples and the corpus through standard input, files re-timed in place,
# refusals, exit statuses.
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
# expect_status STATUS WHAT COMMAND...: runs COMMAND with standard input from $stdin_file, outputs in $work/out, err.
expect_status() {
    local expected=$1 what=$2
    shift 2
    "$@" >"$work/out" 2>"$work/err" <"${stdin_file:-/dev/null}"
    local status=$?
    checks=$((checks + 1))
    [ "$status" -eq "$expected" ] || fail "$what: status $status, expected $expected ($(head -c 300 "$work/err"))"
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

while IFS='|' read -r input options expected; do
    case $input in \#*) continue ;; esac
    # shellcheck disable=SC2086 # options are words
    actual=$(printf '%b\n' "$input" | "${cli[@]}" $options - 2>/dev/null | od -An -c | tr -s ' \n' ' ')
    wanted=$(printf '%b\n' "$expected" | LC_ALL=C sed 's/$/\r/' | od -An -c | tr -s ' \n' ' ')
    checks=$((checks + 1))
    [ "$actual" = "$wanted" ] || fail "'$input' with '$options': got [$actual], expected [$wanted]"
done <"$data/worked_examples.txt"

# The corpus: the result on standard output, each line of the success text on standard error, status 0.
while IFS='|' read -r input options expected notes; do
    case $input in \#* | '') continue ;; esac
    # shellcheck disable=SC2086 # options are words
    stdin_file=$data/corpus/$input expect_status 0 "corpus $input $options" "${cli[@]}" $options -
    cmp -s "$work/out" "$data/corpus/$expected" ||
        fail "corpus $input $options: $(cmp "$work/out" "$data/corpus/$expected" 2>&1)"
    while [ -n "$notes" ]; do
        grep -qF -- "kelvaro-cli: -: ${notes%% / *}" "$work/err" || fail "corpus $input $options: no '${notes%% / *}'"
        [ "${notes#* / }" = "$notes" ] && break
        notes=${notes#* / }
    done
done <"$data/corpus/MANIFEST"

# Other line ends re-time like their CR LF forms: CR alone (old Mac files; WebVTT allows it) and CR CR LF (a file
# whose line ends were converted twice).
for input in hebrew_utf8_bom.srt english_odd_timing.srt lecture.vtt; do
    tr -d '\r' <"$data/corpus/$input" >"$work/lf"
    "${cli[@]}" --add 1 --reduce-number 1 - <"$work/lf" >"$work/want" 2>/dev/null
    for form in cr crcrlf; do
        case $form in
        cr) tr '\n' '\r' <"$work/lf" >"$work/form" ;;
        crcrlf) sed 's/$/\r\r/' <"$work/lf" >"$work/form" ;;
        esac
        stdin_file=$work/form expect_status 0 "$input as $form" "${cli[@]}" --add 1 --reduce-number 1 -
        cmp -s "$work/out" "$work/want" || fail "$input as $form: $(cmp "$work/out" "$work/want" 2>&1)"
    done
done

# --code-page overrides what the file's bytes say: Arabic read as Hebrew is switched otherwise, as Arabic the same.
arabic=$data/corpus/bidi_arabic_cp1256.srt
stdin_file=$arabic expect_status 0 "--code-page windows-1256" "${cli[@]}" --switch-orientation --code-page cp1256 -
cmp -s "$work/out" "$data/corpus/bidi_arabic_cp1256.switch.expected.srt" || fail "--code-page windows-1256 differs"
stdin_file=$arabic expect_status 0 "--code-page windows-1255" "${cli[@]}" --switch-orientation --code-page hebrew -
cmp -s "$work/out" "$data/corpus/bidi_arabic_cp1256.switch.expected.srt" && fail "--code-page windows-1255 ignored"

# Files in place: the result takes the name, the original is kept byte for byte.
mkdir -p "$work/subs"
cd "$work/subs" || exit 1
printf '1\n00:00:01,000 --> 00:00:02,000\nHi\n' >a.srt
printf '2\r\n00:00:03,000 --> 00:00:04,000\r\n' >b.SUB
cp a.srt "$work/a.before"
expect_status 0 "two files" "${cli[@]}" --add 0:00:01,500 a.srt b.SUB
printf 'Done - original file is stored as\n%s_original.%s\n2 cue times moved by +1.500 s\n' a srt b SUB >"$work/want"
cmp -s <(tr -d '\r' <"$work/out") "$work/want" || fail "success text: $(cat "$work/out")"
cmp -s a_original.srt "$work/a.before" || fail "a_original.srt differs from the input"
[ "$(cat a.srt)" = "$(printf '1\r\n00:00:02,500 --> 00:00:03,500\r\nHi\r')" ] || fail "a.srt: $(od -c a.srt)"
[ "$(find . -maxdepth 1 -type f -printf "%f " | tr " " "\n" | LC_ALL=C sort | tr "\n" " ")" = "a.srt a_original.srt b.SUB b_original.SUB " ] || fail "files left: $(ls)"

# Under Wine: a Linux link, which Wine follows without a word, has its file re-timed in that file's own folder, so
# that the link leads to the result, and one under the backup's name is refused; the attributes a user set stay; a
# device's name is refused before anything is opened.
if ! $native; then
    entries() { find "$1" -mindepth 1 -maxdepth 1 -printf '%f\n' | LC_ALL=C sort | tr '\n' ' '; }
    mkdir "$work/wine"
    cd "$work/wine" || exit 1
    mkdir other
    cp "$work/a.before" other/a.srt
    ln -s other/a.srt L.srt
    expect_status 0 "link" "${cli[@]}" --add 1 L.srt
    cmp -s other/a_original.srt "$work/a.before" || fail "link: other/a_original.srt differs from the input"
    [ "$(tr -d '\r' <other/a.srt)" = "$(printf '1\n00:00:02,000 --> 00:00:03,000\nHi')" ] || fail "link: $(cat other/a.srt)"
    [ "$(readlink L.srt)" = other/a.srt ] || fail "link: L.srt no longer leads to other/a.srt: $(ls -l L.srt)"
    [ "$(entries .)" = "L.srt other " ] || fail "link: files left beside it: $(entries .)"
    [ "$(entries other)" = "a.srt a_original.srt " ] || fail "link: files in other: $(entries other)"

    cp "$work/a.before" r.srt
    # Wine's attrib sets only the last attribute it is given.
    "${cli[0]}" attrib +h r.srt && "${cli[0]}" attrib +r r.srt
    expect_status 0 "read-only and hidden input" "${cli[@]}" --add 1 r.srt
    cmp -s r.srt other/a.srt || fail "read-only and hidden input: $(cat r.srt)"
    for file in r.srt r_original.srt; do
        flags=$("${cli[0]}" attrib "$file" | tr -d '\r')
        flags=${flags%%?:\\*} # "A   HR       Z:\...\r.srt"
        case $flags in *H*R* | *R*H*) ;; *) fail "$file is no longer read-only and hidden: '$flags'" ;; esac
    done

    # A link of the very name, to a file in another folder.
    mkdir theirs
    printf 'theirs\n' >theirs/j_original.srt
    cp "$work/a.before" j.srt
    ln -s theirs/j_original.srt j_original.srt
    expect_status 1 "link under the backup's name" "${cli[@]}" --add 1 j.srt
    grep -qF "Cannot open j_original.srt: it is a symbolic link" "$work/err" || fail "backup link: $(cat "$work/err")"
    cmp -s j.srt "$work/a.before" || fail "backup link: j.srt changed"
    [ "$(readlink j_original.srt):$(cat theirs/j_original.srt)" = theirs/j_original.srt:theirs ] ||
        fail "backup link: $(ls -lR)"

    for device in CON.srt nul.SUB; do
        expect_status 1 "device $device" "${cli[@]}" --add 0 "$device"
        grep -qF "Cannot use $device: it is the name of a device on Windows" "$work/err" ||
            fail "device $device: $(cat "$work/err")"
    done
    [ "$(entries .)" = "L.srt j.srt j_original.srt other r.srt r_original.srt theirs " ] ||
        fail "files left: $(entries .)"
    cd "$work/subs" || exit 1
fi

# Wildcards: cmd.exe leaves them to the program, which matches files (not folders) in the last component by the
# names the user sees (not by 8.3 short names, through which a4.srtx could match), in order whatever the letter
# case; a pattern that matches nothing is a usage error. On Linux the shell expands them: a quoted one is a name.
if ! $native; then
    mkdir -p "$work/wild/a3.srt"
    cd "$work/wild" || exit 1
    for name in b1.srt a2.srt A1.srt a4.srtx; do cp "$work/a.before" "$name"; done
    expect_status 0 "wildcard" "${cli[@]}" --add 1 'a*.srt'
    [ "$(grep -o '[aA][0-9]_original\.srt' "$work/out" | tr '\n' ' ')" = "A1_original.srt a2_original.srt " ] ||
        fail "wildcard: $(cat "$work/out" "$work/err")"
    for name in A1.srt a2.srt; do
        [ "$(tr -d '\r' <"$name")" = "$(printf '1\n00:00:02,000 --> 00:00:03,000\nHi')" ] || fail "wildcard: $name"
    done
    for name in b1.srt a4.srtx; do cmp -s "$name" "$work/a.before" || fail "wildcard: $name changed"; done
    expect_status 0 "wildcard in a folder" "${cli[@]}" --add 1 '../wild/?1.srt'
    wanted="../wild/A1_original.srt ../wild/b1_original.srt "
    [ "$(grep -o '\.\./wild/[aAb]1_original\.srt' "$work/out" | tr '\n' ' ')" = "$wanted" ] ||
        fail "wildcard in a folder: $(cat "$work/out" "$work/err")"
    expect_status 2 "wildcard without a match" "${cli[@]}" --add 1 'zz?.srt'
    printf "kelvaro-cli: no file matches zz?.srt\nTry 'kelvaro-cli --help' for more information.\n" >"$work/want"
    cmp -s <(tr -d '\r' <"$work/err") "$work/want" || fail "wildcard without a match: $(cat "$work/err")"
    expect_status 2 "-o with a wildcard" "${cli[@]}" --add 1 -o out.srt '?1.srt'
    grep -q '^kelvaro-cli: -o takes exactly one input FILE' "$work/err" || fail "-o with a wildcard: $(cat "$work/err")"
    [ ! -e out.srt ] || fail "-o with a wildcard: out.srt written"
    cd "$work/subs" || exit 1
else
    cp a.srt "$work/a.wild"
    expect_status 1 "no wildcards on Linux" "${cli[@]}" --add 1 'a*.srt'
    grep -qF 'Cannot open a*.srt' "$work/err" || fail "literal a*.srt: $(cat "$work/err")"
    cmp -s a.srt "$work/a.wild" || fail "a.srt changed by 'a*.srt'"
fi

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
    grep -q '^kelvaro-cli: Cannot rename d.srt to d_original.srt' "$work/err" || fail "immutable: $(cat "$work/err")"
    [ "$(cat d_original.srt)" = "old backup" ] || fail "immutable: the old backup was lost"
    cmp -s d.srt a.srt || fail "immutable: the input changed"
    [ ! -e d_new.srt ] || fail "immutable: d_new.srt left"
    rm -f d.srt d_original.srt
fi

# Another program holding a lock on the file: refused as in use, nothing changed. (Wine keeps its own share modes.)
if $native && command -v flock >/dev/null; then
    cp a.srt "$work/a.locked"
    flock a.srt sleep 1 &
    holder=$!
    sleep 0.3
    expect_status 1 "file in use" "${cli[@]}" --add 1 a.srt
    wait "$holder"
    grep -q 'a.srt: it is being used by another program; wait until the other program is done, then run again$' \
        "$work/err" || fail "in-use message: $(cat "$work/err")"
    [ ! -s "$work/out" ] || fail "success text for a file in use: $(cat "$work/out")"
    cmp -s a.srt "$work/a.locked" || fail "a.srt changed while in use"
fi

# A failing file does not stop the next one; any failure gives status 1.
expect_status 1 "missing then present" "${cli[@]}" --add 0 missing.srt a.srt
grep -q '^kelvaro-cli: Cannot open missing.srt' "$work/err" || fail "missing file message: $(cat "$work/err")"
grep -q 'Done - original file is stored as' "$work/out" || fail "the second file was not processed"

# Standard output that takes nothing (a full disk, a closed stream): the file is re-timed all the same, so the status
# is 0 and a script that runs again on failure does not shift it twice; the report goes to standard error instead.
if $native; then
    # Runs its arguments with standard output on a pipe whose reader is gone, as `... | head -1` can leave it.
    export closed_pipe='import os, signal, sys
signal.signal(signal.SIGPIPE, signal.SIG_DFL)  # as a shell leaves it, not as Python does
r, w = os.pipe()
os.close(r)
os.dup2(w, 1)
os.execvp(sys.argv[1], sys.argv[1:])'
    while IFS='|' read -r redirect reason; do
        cp "$work/a.before" shown.srt
        expect_status 0 "report $redirect" bash -c "$redirect" bash "${cli[@]}" --add 1 shown.srt
        printf 'kelvaro-cli: shown.srt: %s\n' \
            "re-timed, but the report below could not be printed: Cannot write standard output: $reason" \
            'Done - original file is stored as' shown_original.srt '2 cue times moved by +1.000 s' >"$work/want"
        cmp -s <(tr -d '\r' <"$work/err") "$work/want" || fail "report $redirect: $(cat "$work/err")"
        [ "$(cat shown.srt)" = "$(printf '1\r\n00:00:02,000 --> 00:00:03,000\r\nHi\r')" ] ||
            fail "report $redirect: shown.srt: $(od -c shown.srt)"
        cmp -s shown_original.srt "$work/a.before" || fail "report $redirect: shown_original.srt differs from the input"
        rm shown.srt shown_original.srt
    done <<'EOF'
"$@" >/dev/full|No space left on device
"$@" >&-|Bad file descriptor
/usr/bin/python3 -c "$closed_pipe" "$@"|Broken pipe
EOF
fi

# Refusals: status 1, a message naming the file and the reason, no success text, the directory as it was (modes
# included). The faults in late.srt and late_tail.srt come after the first block of the result is written.
mkdir "$work/refused"
cd "$work/refused" || exit 1
for cue in $(seq 1 12000); do printf '%s\n00:00:01,000 --> 00:00:02,000\nwords\n\n' $((cue % 1000)); done >"$work/cues"
{ cat "$work/cues" && printf 'late\0\nafter the fault\n'; } >late.srt
{ cat "$work/cues" && printf '\032\r\n\032z'; } >late_tail.srt
printf '1\r\nA\0B\r\n' >binary.srt
printf '1\r\n\032text\r\n' >tail.srt
printf '\377\3761\0\r\0\n\0' >utf16.srt
printf '\376\377\0''1' >utf16be.sub
printf '\377\376\000\000\061\000\000\000' >utf32.srt
printf '\061\000\000\000\r\000\000\000\n\000\000\000' >utf32le.vtt
printf '\000\000\000\061\000\000\000\n' >utf32be.srt
cp "${cli[-1]}" program.srt
for name in film film.srtx film.ass e.srt f.srt g.srt h.srt i.srt; do printf '1\n' >"$name"; done
printf '1\r\n0:00:01,000 --> 0:00:02,000\r\nHi\r\n' >subrip.txt
printf 'WEBVTT\n\n00:01.000 --> 00:02.000\nHi\n' >webvtt.txt
mkdir folder.srt e_original.srt
printf 'mine\n' >f_new.srt
ln g.srt g_original.srt
cannot="Cannot synchronize"
unrecognized="Unrecognized subtitle format"
refusals="late.srt|$cannot late.srt: it looks like a binary file or UTF-16 text without a byte-order mark
late_tail.srt|$cannot late_tail.srt: it holds an end-of-file mark (Ctrl-Z) with 1 byte of text after it, which would be lost
binary.srt|looks like a binary file
tail.srt|it holds an end-of-file mark (Ctrl-Z) with 4 bytes of text after it, which would be lost
utf16.srt|$cannot utf16.srt: it is UTF-16
utf16be.sub|$cannot utf16be.sub: it is UTF-16
utf32.srt|$cannot utf32.srt: it is UTF-32 text, which this program does not handle; save it as UTF-8 or ANSI text
utf32le.vtt|$cannot utf32le.vtt: it is UTF-32
utf32be.srt|$cannot utf32be.srt: it is UTF-32
program.srt|looks like a binary file
film|kelvaro-cli: film: $unrecognized
subrip.txt|kelvaro-cli: subrip.txt: $unrecognized; it looks like SubRip: rename it to .srt to re-time it
webvtt.txt|kelvaro-cli: webvtt.txt: $unrecognized; it looks like WebVTT: rename it to .vtt to re-time it
film.srtx|$unrecognized
film.ass|$unrecognized
a.b/c|$unrecognized
srt|$unrecognized
$(printf 'n%.0s' {1..300}).srt|Cannot use
folder.srt|Cannot open folder.srt: it is a folder
e.srt|Cannot open e_original.srt: it is a folder
f.srt|Cannot create f_new.srt: a file of that name already exists (left by an interrupted run, or one of yours)
g.srt|$cannot g.srt: it is the same file as g_original.srt (one name is a link to the other); nothing was changed"
if $native; then
    mkfifo fifo.srt
    /usr/bin/python3 -c 'import socket; socket.socket(socket.AF_UNIX).bind("socket.srt")'
    ln -s /dev/zero zero.srt
    printf 'private\n' >secret.txt
    chmod 400 secret.txt
    ln -s secret.txt h_new.srt
    ln -s i.srt i_original.srt
    refusals="$refusals
fifo.srt|Cannot open fifo.srt: it is not a regular file
socket.srt|Cannot open socket.srt: it is not a regular file
zero.srt|$cannot zero.srt: it is a link to /dev/zero, whose name does not end in .srt, .sub or .vtt
h.srt|Cannot create h_new.srt: a file of that name already exists
i.srt|$cannot i.srt: it is the same file as i_original.srt"
fi
listing() { find . -maxdepth 1 -printf '%f %y %m %s\n' | sort && find . -maxdepth 1 -type f -exec cksum {} + | sort; }
before=$(listing)
while IFS='|' read -r file message; do
    expect_status 1 "refused $file" timeout 20 "${cli[@]}" --add 0 "$file"
    grep -qF -- "$message" "$work/err" || fail "$file: message $(cat "$work/err")"
    [ ! -s "$work/out" ] || fail "$file: output $(cat "$work/out")"
    [ "$(listing)" = "$before" ] || fail "$file: directory changed: $(ls -l)"
done <<<"$refusals"

# An offset that finds no cue time to move (an empty file, MicroDVD frames with no frame rate given or declared on
# the first line) leaves the file as it is: status 1 and nothing created; on standard input only a note says so.
tail -n +2 "$data/corpus/microdvd.sub" >frames.sub
: >empty.srt
before=$(listing)
for file in empty.srt frames.sub; do
    expect_status 1 "no cue times in $file" "${cli[@]}" --add 2 "$file"
    hint=
    [ "$file" = empty.srt ] || hint=": its MicroDVD frames need the video's frame rate (--fps RATE)"
    grep -qx "kelvaro-cli: No cue times were found in $file, so it was left as it is$hint" <(tr -d '\r' <"$work/err") ||
        fail "no cue times in $file: $(cat "$work/err")"
    [ "$(listing)" = "$before" ] || fail "no cue times in $file: the folder changed: $(ls -l)"
done

# Standard input that is refused: status 1, the message names it, and no output follows the refusal, though the
# first blocks of a long input may already be out.
printf '1\r\n\0' >"$work/nul.in"
for input in "$work/nul.in" tail.srt late.srt; do
    stdin_file=$input expect_status 1 "refused stream $input" "${cli[@]}" --add 0 -
    grep -q '^kelvaro-cli: -: Cannot synchronize standard input: ' "$work/err" || fail "stream: $(cat "$work/err")"
    ! grep -q -e 'after the fault' -e late "$work/out" || fail "stream $input: output after the refusal"
    [ "$input" = late.srt ] || [ ! -s "$work/out" ] || fail "stream $input: output $(od -c "$work/out")"
done

# Preview, another output file, undo and batches, through the same held and checked run. Each step: its status, what
# standard output says, and the folder's files with the seconds their cues were moved by (- for untouched).
mkdir "$work/undo"
cd "$work/undo" || exit 1
printf '1\n0:00:01,000 --> 0:00:02,000\nHi\n' >film.srt
cp film.srt film.0
# film.N: film.srt as a run leaves it after N seconds in all.
for seconds in 1 2 3; do
    printf '1\r\n00:00:0%d,000 --> 00:00:0%d,000\r\nHi\r\n' $((1 + seconds)) $((2 + seconds)) >"film.$seconds"
done
state() {
    local name
    for name in *.srt; do
        for seconds in 0 1 2 3; do cmp -s "$name" "film.$seconds" && break; done
        printf '%s=%s ' "$name" "$(cmp -s "$name" "film.$seconds" && echo "$seconds" || echo '?')"
    done
}
while IFS='|' read -r args status said files; do
    before=$(listing)
    # shellcheck disable=SC2086 # args are words
    expect_status "$status" "$args" "${cli[@]}" $args
    [[ $args != *--dry-run* ]] || [ "$(listing)" = "$before" ] || fail "$args: the folder changed"
    [ "$(tr -d '\r' <"$work/out" | tr '\n' '/')" = "$said" ] || fail "$args: said $(cat "$work/out" "$work/err")"
    [ "$(state)" = "$files" ] || fail "$args: left $(state)"
done <<'ROWS'
--add 1 --dry-run film.srt|0|2 cue times would move by +1.000 s/first cue: 00:00:01,000 --> 00:00:02,000 would become 00:00:02,000 --> 00:00:03,000/last cue: 00:00:01,000 --> 00:00:02,000 would become 00:00:02,000 --> 00:00:03,000/Nothing was written: this was a dry run/|film.srt=0 
--add 1 -o film.srt film.srt|1||film.srt=0 
--add 1 -o out.srt film.srt|0|Done - the result is stored as/out.srt/2 cue times moved by +1.000 s/|film.srt=0 out.srt=1 
--add 2 -o out.srt film.srt|1||film.srt=0 out.srt=1 
--add 2 -o out.srt --force film.srt|0|Done - the result is stored as/out.srt/2 cue times moved by +2.000 s/|film.srt=0 out.srt=2 
--add 1 film.srt out.srt|0|Done - original file is stored as/film_original.srt/2 cue times moved by +1.000 s/Done - original file is stored as/out_original.srt/2 cue times moved by +1.000 s/|film.srt=1 film_original.srt=0 out.srt=3 out_original.srt=2 
--add 1 film.srt film_original.srt|0|Done - original file is stored as/film_original.srt/The older backup was kept as film_original-1.srt/2 cue times moved by +1.000 s/|film.srt=2 film_original-1.srt=0 film_original.srt=1 out.srt=3 out_original.srt=2 
--restore film.srt|0|Done - film.srt is back as it was before the last run/film_original-1.srt is film_original.srt again/|film.srt=1 film_original.srt=0 out.srt=3 out_original.srt=2 
--restore film.srt out.srt out_original.srt|0|Done - film.srt is back as it was before the last run/Done - out.srt is back as it was before the last run/|film.srt=0 out.srt=2 
--restore film.srt|1||film.srt=0 out.srt=2 
ROWS
tr -d '\r' <"$work/err" |
    grep -qx "kelvaro-cli: Cannot restore film.srt: there is no backup of it (film_original.srt) to put back" ||
    fail "restore without a backup: $(cat "$work/err")"
"${cli[@]}" --add 1 film.srt film_original.srt film_new.srt >/dev/null 2>"$work/err"
tr -d '\r' <"$work/err" | grep -qx 'kelvaro-cli: film_original.srt: skipped: it is the backup of film.srt' ||
    fail "a backup in a batch: $(cat "$work/err")"

# Usage errors: status 2, the reason and a hint to --help on standard error, and nothing done.
before=$(listing)
while IFS='|' read -r args message; do
    # shellcheck disable=SC2086 # args are words
    expect_status 2 "usage '$args'" "${cli[@]}" $args
    printf "kelvaro-cli: %s\nTry 'kelvaro-cli --help' for more information.\n" "$message" >"$work/want"
    cmp -s <(tr -d '\r' <"$work/err") "$work/want" || fail "usage '$args': $(cat "$work/err")"
    [ ! -s "$work/out" ] || fail "usage '$args': output $(cat "$work/out")"
    [ "$(listing)" = "$before" ] || fail "usage '$args': directory changed: $(ls -l)"
done <<'EOF'
--add 1 --reduce 1 a.srt|give only one of --add, --reduce and --shift
--add 1 --add 2 a.srt|option '--add' given more than once
--from 00:01:00 a.srt|give both --from and --to, or neither
--add 1 --from 00:10:00 --to 00:10:00 a.srt|--from must be earlier than --to
--shift -1 --from 00:10:01 --to 00:10:00 a.srt|--from must be earlier than --to
--add 9:00:00,000 a.srt|invalid time '9:00:00,000' for --add (e.g. 2.5, 2s, 500ms, 1:30 or 0:01:30,250; at most 3:59:59,999)
--add -1 a.srt|invalid time '-1' for --add: a time here has no sign; use --reduce 1 or --shift -1
--reduce -1.5 a.srt|invalid time '-1.5' for --reduce: a time here has no sign; use --add 1.5 or --shift +1.5
a.srt|nothing to do: give --add, --reduce or --shift TIME, --sync, --frame-rate, --match, --reduce-number N, --switch-orientation, --fix-rtl or --to-utf8
--dry-run a.srt|nothing to do: give --add, --reduce or --shift TIME, --sync, --frame-rate, --match, --reduce-number N, --switch-orientation, --fix-rtl or --to-utf8
--restore --add 1 a.srt|--restore takes no other option: leave out --add
--restore -|--restore needs FILE names: standard input (-) has no backup
--add 1 -o out.srt a.srt b.srt|-o takes exactly one input FILE
--add 1 -o out.srt -|with -, the result goes to standard output; use > to put it in a file
--add 1 --force a.srt|--force goes only with -o, whose FILE it lets be replaced
--reduce-number 5001 a.srt|invalid number '5001' for --reduce-number (0 to 5000)
--nope a.srt|unknown option '--nope'
-5 a.srt|unknown option '-5'
--switch-orientation=1 a.srt|option '--switch-orientation' takes no value
--switch-orientation --code-page utf-8 a.srt|unknown code page 'utf-8' for --code-page (windows-1255, windows-1256 or windows-1252)
--add 1 --code-page 1255 a.srt|--code-page goes only with --switch-orientation, --fix-rtl or --to-utf8, which read lines in it
a.srt --to|option '--to' needs a value
|no FILE given
--fix-rtl --switch-orientation a.srt|give only one of --fix-rtl and --switch-orientation: they write right-to-left lines in different ways
--fix-rtl=sideways a.srt|unknown mode 'sideways' for --fix-rtl (all-players, ltr-players or logical)
--rtl-source=community --add 1 a.srt|--rtl-source goes only with --fix-rtl, which reads lines by it
--fix-rtl --rtl-source=visual a.srt|unknown form 'visual' for --rtl-source (community or logical)
--no-bom --add 1 a.srt|--no-bom goes only with --to-utf8; a run keeps the byte-order mark of a file
--restore --fix-rtl a.srt|--restore takes no other option: leave out --fix-rtl
--add 1 --sync 1=2 a.srt|give only one of --add and --sync: both say where the times go
--sync 1=2 --sync 3=4 --sync 5=6 a.srt|--sync given 3 times: two points already set the speed and the offset
--frame-rate 25:24 --sync 1=2 --sync 3=4 a.srt|give only one of --frame-rate and two points: both set the speed
--sync 1=2 --first-cue-at 3 a.srt|give points with --sync or with --first-cue-at and --last-cue-at, not both
--sync 0=0 --sync 1=3 a.srt|the two points of --sync give a speed of 300.000 %, which is most likely a mistake (it must be from 50 % to 200 %)
--sync 1=2 --sync 1=3 a.srt|the two points of --sync start from the same time
--frame-rate 60:24 a.srt|--frame-rate 60:24 gives a speed of 250.000 %, which is most likely a mistake (it must be from 50 % to 200 %)
--frame-rate 25 a.srt|invalid frame rates '25' for --frame-rate (FROM:TO, e.g. 25:23.976 or 24000/1001:25)
--fps 0 --add 1 a.srt|invalid frame rate '0' for --fps (e.g. 25, 23.976 or 24000/1001)
--first-cue-at 1 -|--first-cue-at reads the file once before rewriting it: give a FILE, as standard input (-) can be read only once
--sync 1 a.srt|invalid point '1' for --sync: give TIME=TIME, the time of a cue in the file and where it should be (e.g. 1:02.5=1:04)
--restore --sync 1=2 a.srt|--restore takes no other option: leave out --sync
--match ref.srt --add 1 a.srt|give only one of --match and --add: --match finds where every cue goes
--sync 1=2 --match ref.srt a.srt|give only one of --match and --sync: --match finds where every cue goes
--match ref.srt --from 00:00:00 --to 00:01:00 a.srt|give only one of --match and --from/--to: --match finds where every cue goes
--match - a.srt|--match needs a REFERENCE file: standard input (-) cannot be the reference
--match ref.srt -|--match reads the file once before rewriting it: give a FILE, as standard input (-) can be read only once
--restore --match ref.srt a.srt|--restore takes no other option: leave out --match
EOF

# Drift: a dry run names the speed; the first and last cue read from the file set it, keeping a backup; points that
# would need an unlikely speed are refused, the folder as it was.
mkdir "$work/drift"
cd "$work/drift" || exit 1
printf '1\r\n00:00:10,000 --> 00:00:12,000\r\nHi\r\n\r\n2\r\n00:01:40,000 --> 00:01:42,500\r\nBye\r\n' >film.srt
cp film.srt "$work/film.before"
expect_status 0 "--sync dry run" "${cli[@]}" --dry-run --sync 10=11 --sync 1:40=1:50 film.srt
printf '%s\n' "4 cue times would move: speed 110.000 %, offset +0.000 s" \
    "first cue: 00:00:10,000 --> 00:00:12,000 would become 00:00:11,000 --> 00:00:13,200" \
    "last cue: 00:01:40,000 --> 00:01:42,500 would become 00:01:50,000 --> 00:01:52,750" \
    "Nothing was written: this was a dry run" >"$work/want"
cmp -s <(tr -d '\r' <"$work/out") "$work/want" || fail "--sync dry run: $(cat "$work/out")"
expect_status 0 "--first-cue-at --last-cue-at" "${cli[@]}" --first-cue-at 11 --last-cue-at 1:50 film.srt
[ "$(sed -n 6p film.srt)" = "$(printf '00:01:50,000 --> 00:01:52,750\r')" ] || fail "--last-cue-at: $(cat film.srt)"
cmp -s film_original.srt "$work/film.before" || fail "--first-cue-at: the backup differs from the input"
before=$(listing)
expect_status 1 "unlikely speed" "${cli[@]}" --first-cue-at 0 --last-cue-at 0:00:05 film.srt
grep -q "would need a speed of 5.051 %, which is most likely a mistake" "$work/err" || fail "unlikely speed: $(cat "$work/err")"
[ "$(listing)" = "$before" ] || fail "unlikely speed: the folder changed: $(ls -l)"

# Matching: a Hebrew subtitle timed for a PAL release is put on an English one in sync with the film, read as SubRip,
# WebVTT and MicroDVD. The dry run names the speed and the cut (a recap the release has and the film has not); in
# place, at least 95 % of the cues outside the recap start within 100 ms of where they belong, and the backup is the
# input. Another film's subtitle, one of nine cues and the file itself are refused, the folder as it was.
mkdir "$work/match"
cd "$work/match" || exit 1
cp "$data"/match/english_in_sync.* "$data"/match/another_film.srt "$data"/match/nine_cues.srt .
cp "$data/match/hebrew_pal_release.srt" film.srt
expect_status 0 "--match dry run" "${cli[@]}" --dry-run --match english_in_sync.srt film.srt
grep -q "^1432 cue times would move: speed 104.271 % (25 to 23.976 fps), offset -2.290 s, from 00:19:15,932 offset -97.301 s" \
    "$work/out" || fail "--match dry run: $(cat "$work/out")"
grep -q "^Matched to english_in_sync.srt: 591 of 716 cues (83 %) start within 0.4 s" "$work/out" ||
    fail "--match dry run: $(cat "$work/out")"
for reference in english_in_sync.srt english_in_sync.vtt english_in_sync.sub; do
    rm -f film*.srt
    cp "$data/match/hebrew_pal_release.srt" film.srt
    expect_status 0 "--match $reference" "${cli[@]}" --match "$reference" film.srt
    cmp -s film_original.srt "$data/match/hebrew_pal_release.srt" || fail "--match $reference: the backup differs"
    python3 - film.srt "$data/match/hebrew_pal_release.truth" <<'PY' || fail "--match $reference: cues not in place"
import re, sys
starts = [int(h) * 3600000 + int(m) * 60000 + int(s) * 1000 + int(ms) for h, m, s, ms in
          re.findall(r"^(\d+):(\d\d):(\d\d),(\d\d\d) -->", open(sys.argv[1], encoding="utf-8").read(), re.M)]
truth = [int(line) for line in open(sys.argv[2]) if not line.startswith("#")]
placed = [(start, where) for start, where in zip(starts, truth) if where >= 0]
near = sum(1 for start, where in placed if abs(start - where) <= 100)
sys.exit(0 if len(starts) == len(truth) and near >= 0.95 * len(placed) else 1)
PY
done
cp "$data/match/hebrew_pal_release.srt" other.srt
before=$(listing)
for reference in another_film.srt:"do not look like subtitles of the same video" \
    nine_cues.srt:"nine_cues.srt has 9 cue times, and matching needs at least 10" \
    other.srt:"they are the same file"; do
    expect_status 1 "--match ${reference%%:*}" "${cli[@]}" --match "${reference%%:*}" other.srt
    if ! grep -qF "Cannot match other.srt to ${reference%%:*}: " "$work/err" ||
        ! grep -qF "${reference#*:}" "$work/err"; then
        fail "--match ${reference%%:*}: $(cat "$work/err")"
    fi
    [ "$(listing)" = "$before" ] || fail "--match ${reference%%:*}: the folder changed: $(ls -l)"
done
grep -v '^{1}{1}' english_in_sync.sub >no_rate.sub
before=$(listing)
expect_status 1 "--match MicroDVD without a rate" "${cli[@]}" --match no_rate.sub other.srt
grep -qF "Cannot match no_rate.sub: its MicroDVD frames need the video's frame rate (--fps RATE)" "$work/err" ||
    fail "--match no_rate.sub: $(cat "$work/err")"
[ "$(listing)" = "$before" ] || fail "--match no_rate.sub: the folder changed: $(ls -l)"

# --to-utf8 gives the text that decoding each file gives, with a byte-order mark (timing lines are printed anew); a
# Western file is read as Western.
for row in rtl_fix/hebrew_community_cp1255.srt:1255 rtl_fix/arabic_logical_cp1256.srt:1256 \
    rtl_fix/persian_community_cp1256.srt:1256 corpus/western_cp1252.srt:1252; do
    stdin_file=$data/${row%%:*} expect_status 0 "--to-utf8 ${row%%:*}" "${cli[@]}" --to-utf8 -
    # Python's codecs map byte by byte, as Windows does; glibc's iconv composes Hebrew points into other characters.
    python3 -c 'import sys; sys.stdout.buffer.write(b"\xef\xbb\xbf" + open(sys.argv[1], "rb").read().decode(sys.argv[2]).encode())' \
        "$data/${row%%:*}" "cp${row##*:}" | tr -d '\r' | grep -v -- '-->' >"$work/want"
    cmp -s <(tr -d '\r' <"$work/out" | grep -v -- '-->') "$work/want" || fail "--to-utf8 ${row%%:*} is not its text"
    grep -q "converted from windows-${row##*:} to UTF-8" "$work/err" || fail "--to-utf8 ${row%%:*}: $(cat "$work/err")"
done

# --fix-rtl in place: the file's form is found, a second run writes the same bytes and keeps the first backup, and a
# file whose lines do not tell their form is refused, the folder as it was.
mkdir "$work/rtl"
cd "$work/rtl" || exit 1
cp "$data/rtl_fix/arabic_community_utf8.srt" film.srt
expect_status 0 "--fix-rtl" "${cli[@]}" --fix-rtl film.srt
grep -q "lines were rewritten for all players; the file had them for left-to-right players" "$work/err" ||
    fail "--fix-rtl: $(cat "$work/out" "$work/err")"
cp film.srt "$work/first"
expect_status 0 "--fix-rtl again" "${cli[@]}" --fix-rtl film.srt
cmp -s film.srt "$work/first" || fail "--fix-rtl twice: $(cmp film.srt "$work/first")"
cmp -s film_original-1.srt "$data/rtl_fix/arabic_community_utf8.srt" || fail "--fix-rtl: the first backup changed"
printf '1\r\n00:00:01,000 --> 00:00:02,000\r\n.\327\251\327\234\327\225\327\235\r\n\327\251\327\234\327\225\327\235.\r\n' >mixed.srt
before=$(listing)
expect_status 1 "--fix-rtl undecided" "${cli[@]}" --fix-rtl mixed.srt
grep -q "Cannot fix the right-to-left lines of mixed.srt: 1 of them have their punctuation at the start" "$work/err" ||
    fail "--fix-rtl undecided: $(cat "$work/err")"
[ "$(listing)" = "$before" ] || fail "--fix-rtl undecided: the folder changed: $(ls -l)"
# On standard input the first 64 KB decide the form, as the whole file does; --no-bom takes a file's mark off.
stdin_file=$data/rtl_fix/arabic_community_utf8.srt expect_status 0 "--fix-rtl -" "${cli[@]}" --fix-rtl -
cmp -s "$work/out" "$work/first" || fail "--fix-rtl on standard input: $(cmp "$work/out" "$work/first")"
stdin_file=$data/rtl_fix/hebrew_community_utf8.srt expect_status 0 "--no-bom" "${cli[@]}" --to-utf8 --no-bom -
[ "$(head -c 3 "$work/out")" = "1$(printf '\r\n')" ] || fail "--no-bom: $(head -c 8 "$work/out" | od -c)"
expect_status 0 "--rtl-source" "${cli[@]}" --fix-rtl=logical --rtl-source=community -o out.srt mixed.srt
[ "$(sed -n 3p out.srt)" = "$(printf '\327\251\327\234\327\225\327\235.\r')" ] || fail "--rtl-source: $(od -c out.srt)"

# Help and version as help2man reads them: a usage line, each option at the start of an indented line, at most 80
# columns; -h and -V are the same.
expect_status 0 "help" "${cli[@]}" --help
tr -d '\r' <"$work/out" >"$work/help"
grep -q '^Usage: kelvaro-cli \[OPTIONS\] FILE\.\.\.$' "$work/help" || fail "usage line: $(head -1 "$work/help")"
for option in --add --reduce --shift --reduce-number --switch-orientation --from --to '-o, --output' --force \
    --dry-run --restore '-h, --help' '-V, --version'; do
    grep -qE -- "^  $option( |$)" "$work/help" || fail "help lists no $option: $(cat "$work/help")"
done
grep -q '^TIME, for --add, --reduce and --shift' "$work/help" || fail "help tells no TIME forms"
grep -q '^Exit status: 0 when every file was done' "$work/help" || fail "help tells no exit status"
[ -z "$(awk 'length > 80' "$work/help")" ] || fail "help lines over 80 columns: $(awk 'length > 80' "$work/help")"
expect_status 0 "help -h" "${cli[@]}" -h
cmp -s <(tr -d '\r' <"$work/out") "$work/help" || fail "-h is not --help"
expect_status 0 "version" "${cli[@]}" --version
grep -qE '^kelvaro-cli [0-9]+\.[0-9]+' "$work/out" || fail "version: $(cat "$work/out")"
cp "$work/out" "$work/version"
expect_status 0 "version -V" "${cli[@]}" -V
cmp -s "$work/out" "$work/version" || fail "-V is not --version"

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
