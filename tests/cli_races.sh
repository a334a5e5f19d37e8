#!/usr/bin/env bash
# Many kelvaro-cli runs on one file at the same moment. Run i adds 2^i ms, so the shift of a file tells which runs
# went into it. After each trial: the runs that said Done compound in a.srt, and the backups hold every state the
# file went through, each one Done run apart: a_original-1.srt the untouched file, then a_original-2.srt and so on,
# a_original.srt the state before the last Done run. Nothing else is left, and every other run failed with status 1
# and a message naming the file.
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
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

clock() { printf '%02d:%02d:%02d,%03d' $(($1 / 3600000)) $(($1 / 60000 % 60)) $(($1 / 1000 % 60)) $(($1 % 1000)); }
seconds() { printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)); }
# The test file with every time moved by $1 ms, as the program writes it (CR LF, HH:MM:SS,mmm).
make_srt() {
    printf '1\r\n%s --> %s\r\nLine 1\r\n\r\n' "$(clock $((10000 + $1)))" "$(clock $((12500 + $1)))"
    printf '2\r\n%s --> %s\r\nLine 2\r\n\r\n' "$(clock $((60250 + $1)))" "$(clock $((63000 + $1)))"
    printf '3\r\n%s --> %s\r\nLine 3\r\n' "$(clock $((3599999 + $1)))" "$(clock $((3601000 + $1)))"
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
    problems=()
    done_sum=0
    done_runs=()
    for ((i = 0; i < runs; i++)); do
        wait "${pids[$i]}"
        status=$?
        said="run $i: status $status, $(tr '\r\n' ' /' <"$dir/out.$i") $(head -c 300 "$dir/err.$i" | tr '\r\n' ' /')"
        if grep -q '^Done - original file is stored as' "$dir/out.$i"; then
            done_sum=$((done_sum + (1 << i)))
            done_runs+=("$i")
            [ "$status" -eq 0 ] && tr -d '\r' <"$dir/out.$i" | sed 's/-[0-9]*\.srt$/-N.srt/' | cmp -s - <(
                printf 'Done - original file is stored as\na_original.srt\n'
                [ "$(wc -l <"$dir/out.$i")" -eq 3 ] || printf 'The older backup was kept as a_original-N.srt\n'
                printf '6 cue times moved by +%s s\n' "$(seconds $((1 << i)))"
            ) || problems+=("$said")
        elif [ "$status" -ne 1 ] || ! grep -Eq '(^|[^[:alnum:]_])a(_new|_original)?\.srt' "$dir/err.$i" ||
            ! grep -Eq 'being used by another program|another run is re-timing' "$dir/err.$i"; then
            problems+=("$said")
        fi
    done
    exec 3<&-

    cd "$dir/files" || exit 1
    # The states from the oldest backup to a.srt, each one Done run (not yet counted) after the one before.
    chain=()
    for ((n = 1; n < ${#done_runs[@]}; n++)); do chain+=("a_original-$n.srt"); done
    [ "${#done_runs[@]}" -eq 0 ] || chain+=(a_original.srt)
    chain+=(a.srt)
    shift_ms=0
    uncounted=("${done_runs[@]}")
    for name in "${chain[@]}"; do
        if [ "$name" != "${chain[0]}" ]; then
            found=
            for j in "${!uncounted[@]}"; do
                if cmp -s "$name" <(make_srt $((shift_ms + (1 << uncounted[j])))); then
                    found=${uncounted[j]}
                    unset 'uncounted[j]'
                    break
                fi
            done
            [ -n "$found" ] && shift_ms=$((shift_ms + (1 << found)))
        fi
        cmp -s "$name" <(make_srt "$shift_ms") ||
            problems+=("$name is not one Done run after the state before it ($shift_ms ms): $(head -c 200 "$name" 2>&1 | tr '\r\n' ' /')")
    done
    for name in *; do
        [[ " ${chain[*]} " == *" $name "* ]] || problems+=("$name is left beside a.srt")
    done
    cd "$work" || exit 1

    if [ "${#problems[@]}" -gt 0 ]; then
        failures=$((failures + 1))
        echo "FAIL: trial $trial (${#done_runs[@]} of $runs runs said Done, adding up to $done_sum ms):" >&2
        printf '  %s\n' "${problems[@]}" >&2
    fi
done

echo "$((trials - failures)) of $trials trials passed"
[ "$failures" -eq 0 ]
