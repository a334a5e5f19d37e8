#!/usr/bin/env bash
# Many kelvaro-cli runs on one file at the same moment. Run i adds 2^i ms, so the shift of a file tells which runs
# went into it. After each trial: the runs that said Done compound in a.srt, a_original.srt is a.srt one Done run
# earlier, nothing else is left, and every other run failed with status 1 and a message naming the file.
# Usage: cli_races.sh DATA_DIR CLI_COMMAND...   (DATA_DIR is not used; the file is made here)
set -u
shopt -s nullglob dotglob
shift
cli=("$@")
for i in "${!cli[@]}"; do  # the runs start in a directory of their own
    case ${cli[$i]} in /*) ;; */*) [ -e "${cli[$i]}" ] && cli[i]=$PWD/${cli[$i]} ;; esac
done
runs=${KELVARO_RACE_RUNS:-20}
trials=${KELVARO_RACE_TRIALS:-30}
case ${cli[0]##*/} in
wine*) runs=${KELVARO_RACE_RUNS:-8} trials=${KELVARO_RACE_TRIALS:-3} ;;  # each Wine process takes a good part of a second
esac
failures=0
checks=0
shown=0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The cues, start and end in ms; the first starts at 10 s, so a file's shift is its first time minus 10000.
cues=(10000:12500 60250:63000 3599999:3601000)

# Writes the test file with every time moved by $1 ms, as the program writes it (CR LF, HH:MM:SS,mmm).
make_srt() {
    local shift=$1 n=0 cue
    for cue in "${cues[@]}"; do
        n=$((n + 1))
        [ "$n" -gt 1 ] && printf '\r\n'
        printf '%d\r\n%s --> %s\r\nLine %d\r\n' "$n" "$(clock $((${cue%:*} + shift)))" "$(clock $((${cue#*:} + shift)))" "$n"
    done
}

clock() { printf '%02d:%02d:%02d,%03d' $(($1 / 3600000)) $(($1 / 60000 % 60)) $(($1 / 1000 % 60)) $(($1 % 1000)); }

# The shift of a file's first cue in ms, or "none".
shift_of() {
    local first
    first=$(grep -m1 -a -e '-->' "$1" 2>/dev/null) || {
        echo none
        return
    }
    awk -v t="${first%% *}" 'BEGIN { split(t, f, /[:,]/); print ((f[1] * 60 + f[2]) * 60 + f[3]) * 1000 + f[4] - 10000 }'
}

# Closes a group of checks: it failed if it added a problem.
end_check() {
    checks=$((checks + 1))
    if [ "${#problems[@]}" -gt "$failed_checks_mark" ]; then
        failures=$((failures + 1))
    fi
    failed_checks_mark=${#problems[@]}
}

seconds() { printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)); }

# Prints what each run of trial $1 did and what was left in its directory.
show_trial() {
    local dir=$1 i
    local left=("$dir"/files/*)
    echo "  files left: ${left[*]##*/}"
    for ((i = 0; i < runs; i++)); do
        echo "  run $i --add $(seconds $((1 << i))): status $(cat "$dir/status.$i"); out: $(tr '\r\n' ' /' <"$dir/out.$i")" \
            "err: $(tr '\r\n' ' /' <"$dir/err.$i")"
    done
}

for ((trial = 1; trial <= trials; trial++)); do
    dir=$work/trial$trial
    mkdir -p "$dir/files"
    make_srt 0 >"$dir/files/a.srt"

    # Every run waits for a line on a pipe that the script holds open, so all of them start together.
    mkfifo "$dir/go"
    exec 3<>"$dir/go"
    pids=()
    for ((i = 0; i < runs; i++)); do
        (
            cd "$dir/files" || exit 99
            read -r _ <&3
            exec 3<&-
            exec timeout -k 5 60 "${cli[@]}" --add "$(seconds $((1 << i)))" a.srt >"$dir/out.$i" 2>"$dir/err.$i"
        ) &
        pids+=($!)
    done
    sleep 0.2
    printf '%*s' "$runs" '' | tr ' ' '\n' >&3
    for ((i = 0; i < runs; i++)); do
        wait "${pids[$i]}"
        echo $? >"$dir/status.$i"
    done
    exec 3<&-

    problems=()
    failed_checks_mark=0
    done_sum=0
    done_count=0
    for ((i = 0; i < runs; i++)); do
        status=$(cat "$dir/status.$i")
        if grep -q '^Done - original file is stored as' "$dir/out.$i"; then
            done_sum=$((done_sum + (1 << i)))
            done_count=$((done_count + 1))
            [ "$status" -eq 0 ] || problems+=("run $i said Done with status $status")
            [ "$(tr -d '\r' <"$dir/out.$i")" = "$(printf 'Done - original file is stored as\na_original.srt')" ] ||
                problems+=("run $i: success text $(tr '\r\n' ' /' <"$dir/out.$i")")
        elif [ "$status" -ne 1 ]; then
            problems+=("run $i failed with status $status, expected 1")
        elif ! grep -Eq '(^|[^[:alnum:]_])a(_new|_original)?\.srt' "$dir/err.$i" ||
            ! grep -Eq 'being used by another program|already exists|interrupted|No such file' "$dir/err.$i"; then
            problems+=("run $i failed with an unexpected message: $(head -c 300 "$dir/err.$i" | tr '\r\n' ' /')")
        fi
    done
    end_check

    cd "$dir/files" || exit 1
    if [ ! -e a.srt ]; then
        problems+=("a.srt is gone")
    elif ! cmp -s a.srt <(make_srt "$done_sum"); then
        problems+=("a.srt is shifted by $(shift_of a.srt) ms, but the runs that said Done add up to $done_sum ms")
    fi
    end_check

    # The backup is the input of the last Done run: the sum less one Done run's power of two.
    if [ "$done_count" -eq 0 ]; then
        [ ! -e a_original.srt ] || problems+=("no run said Done, yet there is a_original.srt")
    elif [ ! -e a_original.srt ]; then
        problems+=("a_original.srt is missing")
    else
        kept=$(shift_of a_original.srt)
        [ "$kept" = none ] && kept=-1
        last=$((done_sum - kept))
        if [ "$kept" -lt 0 ] || [ "$last" -le 0 ] || [ $((last & (last - 1))) -ne 0 ] || [ $((last & done_sum)) -ne "$last" ] ||
            ! cmp -s a_original.srt <(make_srt "$kept"); then
            problems+=("a_original.srt is shifted by $kept ms, not by $done_sum ms less one Done run")
        fi
    fi
    end_check

    for name in *; do
        case $name in a.srt | a_original.srt) ;; *) problems+=("$name is left beside a.srt") ;; esac
    done
    end_check
    cd "$work" || exit 1

    if [ "${#problems[@]}" -gt 0 ]; then
        echo "FAIL: trial $trial ($done_count of $runs runs said Done, adding up to $done_sum ms):" >&2
        printf '  %s\n' "${problems[@]}" >&2
        if [ "$shown" -lt 3 ]; then
            shown=$((shown + 1))
            show_trial "$dir" >&2
        fi
    fi
done

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
