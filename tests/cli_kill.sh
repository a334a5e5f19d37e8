#!/usr/bin/env bash
# kelvaro-cli killed (SIGKILL) at a random moment while it re-times a large file. Afterwards the input's content is
# whole under big.srt or big_original.srt, big.srt holds either the input or the complete result, and the next run
# either succeeds or refuses with a message that says what was left; the user then moves files back and runs again.
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
checks=0

fail() {
    echo "FAIL: $*" >&2
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
    local i
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

# Checks a plain run that should have succeeded on a big.srt whose checksum was $1; expects $2 as the result.
expect_done() {
    local before=$1 result=$2 what=$3
    checks=$((checks + 1))
    if [ "$status" -ne 0 ] || ! grep -q '^Done - original file is stored as' out; then
        fail "$what: status $status: $(head -c 300 err | tr '\r\n' ' /')"
    elif [ "$(sum_of files/big.srt)" != "$result" ] || [ "$(sum_of files/big_original.srt)" != "$before" ] ||
        [ -e files/big_new.srt ]; then
        fail "$what: said Done, but left $(describe)"
    fi
}

describe() {
    local name text=
    for name in files/*; do
        text+="${name#files/} ($(name_of "$(sum_of "$name")")) "
    done
    echo "${text:-nothing}"
}

name_of() {
    case $1 in "$input") echo input ;; "$result") echo result ;; "$result2") echo "result of two runs" ;; *) echo other ;; esac
}

# The reference: one full run gives the result and the typical duration; a second, the result of two runs.
make_input
input=$(sum_of files/big.srt)
first=$(grep -m1 -a -e '-->' files/big.srt | tr -d '\r')
start=$(now_ms)
plain_run
duration=$(($(now_ms) - start))
result=$(sum_of files/big.srt)
if [ "$status" -ne 0 ] || [ "$(sum_of files/big_original.srt)" != "$input" ] ||
    [ "$(grep -m1 -a -e '-->' files/big.srt | tr -d '\r')" != "${first//00:00:01,/00:00:02,}" ]; then
    echo "FAIL: the full run did not give the expected result: status $status, $(head -c 300 err)" >&2
    exit 1
fi
plain_run
result2=$(sum_of files/big.srt)
[ "$status" -eq 0 ] || {
    echo "FAIL: the second full run failed: status $status, $(head -c 300 err)" >&2
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
    killed_status=$?
    left=$(describe)
    echo "round $round: killed after $delay ms (status $killed_status): $left"

    stray=
    for name in files/*; do
        case ${name#files/} in big.srt | big_original.srt | big_new.srt) ;; *) stray+="${name#files/} " ;; esac
    done
    checks=$((checks + 4))
    [ -z "$stray" ] || fail "round $round: files left beside big.srt: $stray"
    [ "$(sum_of files/big.srt)" = "$input" ] || [ "$(sum_of files/big_original.srt)" = "$input" ] ||
        fail "round $round: the input is whole under neither big.srt nor big_original.srt: $left"
    case $(sum_of files/big.srt) in
    "$input" | "$result" | missing) ;;
    *) fail "round $round: big.srt is neither the input nor the complete result: $left" ;;
    esac
    case $(sum_of files/big_original.srt) in
    "$input" | missing) ;;
    *) fail "round $round: big_original.srt is not the input: $left" ;;
    esac

    # The next plain run, as the user would start it.
    before=$(sum_of files/big.srt)
    new_before=$(sum_of files/big_new.srt)
    plain_run
    if [ "$status" -eq 0 ] && [ "$before" != missing ]; then
        expect_done "$before" "$([ "$before" = "$input" ] && echo "$result" || echo "$result2")" "round $round: next run"
    elif [ "$before" = missing ]; then
        checks=$((checks + 1))
        grep -q 'an earlier run was interrupted: the original is stored as big_original.srt' err ||
            fail "round $round: big.srt was missing; the next run said: $(head -c 300 err | tr '\r\n' ' /')"
        checks=$((checks + 1))
        if [ -e files/big.srt ] || [ "$(sum_of files/big_original.srt)" != "$input" ] ||
            [ "$(sum_of files/big_new.srt)" != "$new_before" ]; then
            fail "round $round: the refused run changed files: $(describe)"
        fi
        # The input is renamed only once the result is complete, so a result left beside it is whole.
        checks=$((checks + 1))
        [ ! -e files/big_new.srt ] || [ "$new_before" = "$result" ] ||
            fail "round $round: big.srt is missing and big_new.srt is not the complete result: $left"
        mv files/big_original.srt files/big.srt
        rm -f files/big_new.srt
        plain_run
        expect_done "$input" "$result" "round $round: the run after moving big_original.srt back"
    elif [ "$new_before" != missing ]; then
        checks=$((checks + 1))
        grep -q 'Cannot create big_new.srt: a file of that name already exists' err ||
            fail "round $round: big_new.srt was left; the next run said: $(head -c 300 err | tr '\r\n' ' /')"
        checks=$((checks + 1))
        if [ "$(sum_of files/big.srt)" != "$before" ] || [ "$(sum_of files/big_new.srt)" != "$new_before" ]; then
            fail "round $round: the refused run changed files: $(describe)"
        fi
        rm -f files/big_new.srt
        plain_run
        expect_done "$before" "$([ "$before" = "$input" ] && echo "$result" || echo "$result2")" \
            "round $round: the run after removing big_new.srt"
    else
        checks=$((checks + 1))
        fail "round $round: the next run failed with status $status: $(head -c 300 err | tr '\r\n' ' /')"
    fi

    # Back to the input alone for the next round.
    if [ "$(sum_of files/big_original.srt)" = "$input" ]; then
        rm -f files/big.srt files/big_new.srt
        mv files/big_original.srt files/big.srt
    elif [ "$(sum_of files/big.srt)" != "$input" ] || [ -e files/big_original.srt ] || [ -e files/big_new.srt ]; then
        make_input
    fi
done

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
