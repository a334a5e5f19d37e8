#!/usr/bin/env bash
# shellcheck disable=SC2015 # "check && check || fail" is meant: fail when any of the checks does not hold
# kelvaro-cli killed (SIGKILL) at a random moment while it re-times a large file. Afterwards the input is whole under
# big.srt or big_original.srt, big.srt holds the input or the complete result, nothing else is left but big_new.srt,
# and the next run either succeeds or refuses, changing nothing, with a message that says what was left.
# Usage: cli_kill.sh DATA_DIR CLI_COMMAND...   (DATA_DIR is not used; the file is made here)
# Under Wine the command's process is the program itself (wine execs its loader), so SIGKILL reaches the program;
# fewer rounds run there as each start of Wine takes a good part of a second.
set -u
shopt -s nullglob dotglob
shift
cli=("$@")
for i in "${!cli[@]}"; do  # the runs start in a directory of their own
    case ${cli[$i]} in /*) ;; */*) [ -e "${cli[$i]}" ] && cli[i]=$PWD/${cli[$i]} ;; esac
done
rounds=${KELVARO_KILL_ROUNDS:-8}
case ${cli[0]##*/} in wine*) rounds=${KELVARO_KILL_ROUNDS:-3} ;; esac
failures=0
fail() {
    echo "FAIL: round $round: $*; left: $(describe)" >&2
    failures=$((failures + 1))
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir files

# About 200 MB: 10000 cues (1 MB, CR LF) written 200 times over.
awk 'BEGIN {
    for (i = 1; i <= 10000; i++) {
        s = i * 1000; e = s + 800
        printf "%d\r\n%02d:%02d:%02d,%03d --> %02d:%02d:%02d,%03d\r\nLine %d of a cue that the test shifts\r\n\r\n", i,
            s / 3600000, s / 60000 % 60, s / 1000 % 60, s % 1000, e / 3600000, e / 60000 % 60, e / 1000 % 60, e % 1000, i
    }
}' >block
make_input() {
    rm -f files/*
    for ((i = 0; i < 200; i++)); do cat block; done >files/big.srt
}
sum_of() { { cksum <"$1"; } 2>/dev/null || echo missing; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# Runs the command on big.srt in files/: status in $status, outputs in out and err.
plain_run() {
    (cd files && timeout -k 5 300 "${cli[@]}" --add 1 big.srt) >out 2>err
    status=$?
}
name_of() { case $1 in "$input") echo input ;; "$result") echo result ;; *) echo other ;; esac; }
describe() {
    local name
    for name in files/*; do printf '%s (%s) ' "${name#files/}" "$(name_of "$(sum_of "$name")")"; done
}
said() { echo "status $status: $(head -c 300 err | tr '\r\n' ' /')"; }

# The reference: one full run gives the result and the typical duration; a second, the result of two runs.
make_input
input=$(sum_of files/big.srt)
round=reference
start=$(now_ms)
plain_run
duration=$(($(now_ms) - start))
result=$(sum_of files/big.srt)
plain_run
result2=$(sum_of files/big.srt)
[ "$status" -eq 0 ] && [ "$(sum_of files/big_original.srt)" = "$result" ] && [ "$result" != "$input" ] || {
    fail "the full runs did not give results: $(said)"
    exit 1
}
echo "a full run takes $duration ms"
make_input

for ((round = 1; round <= rounds; round++)); do
    delay=$((RANDOM * duration / 32768))
    (
        cd files || exit 1
        exec "${cli[@]}" --add 1 big.srt >../killed.out 2>../killed.err
    ) &
    pid=$!
    sleep "$((delay / 1000)).$(printf '%03d' $((delay % 1000)))"
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    echo "round $round: killed after $delay ms: $(describe)"
    before=$(sum_of files/big.srt)
    kept=$(sum_of files/big_original.srt)
    new_before=$(sum_of files/big_new.srt)
    for name in files/*; do
        case ${name#files/} in big.srt | big_original.srt | big_new.srt) ;; *) fail "${name#files/} left beside big.srt" ;; esac
    done
    [ "$before" = "$input" ] || [ "$kept" = "$input" ] || fail "the input is whole under neither big.srt nor big_original.srt"
    case $before in "$input" | "$result" | missing) ;; *) fail "big.srt is neither the input nor the complete result" ;; esac
    case $kept in "$input" | missing) ;; *) fail "big_original.srt is not the input" ;; esac
    # The input is renamed only once the result is complete, so a result left beside it is whole.
    [ "$before" != missing ] || [ "$new_before" = missing ] || [ "$new_before" = "$result" ] ||
        fail "big.srt is missing and big_new.srt is not the complete result"

    # The next run, as the user would start it: done on big.srt as it was, or refused, changing nothing.
    plain_run
    if [ "$status" -eq 0 ]; then
        [ "$before" != missing ] && grep -q '^Done - original file is stored as' out &&
            [ "$(sum_of files/big.srt)" = "$([ "$before" = "$input" ] && echo "$result" || echo "$result2")" ] &&
            [ "$(sum_of files/big_original.srt)" = "$before" ] && [ ! -e files/big_new.srt ] ||
            fail "the next run on big.srt ($(name_of "$before")): $(said)"
    else
        [ "$before" = missing ] && said_left='An earlier run was interrupted: the original is stored as big_original.srt' ||
            said_left='Cannot create big_new.srt: a file of that name already exists'
        grep -qF "$said_left" err && [ "$(sum_of files/big.srt)" = "$before" ] && [ "$(sum_of files/big_new.srt)" = "$new_before" ] &&
            [ "$(sum_of files/big_original.srt)" = "$kept" ] || fail "the next run changed files or did not say what was left: $(said)"
    fi

    # Back to the input alone for the next round.
    if [ "$(sum_of files/big_original.srt)" = "$input" ]; then
        rm -f files/big_new.srt
        mv -f files/big_original.srt files/big.srt
    else
        make_input
    fi
done

echo "$rounds rounds, $failures failures"
[ "$failures" -eq 0 ]
