# shellcheck shell=bash
# Bash completion for kelvaro-cli: its options, and as FILE (or -o's FILE) a subtitle file (.srt, .sub, .vtt in any
# letter case), a directory on the way to one, or "-" for standard input.

_kelvaro_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} word
    COMPREPLY=()
    # "--output=fi": bash splits at '=' when COMP_WORDBREAKS holds it, as it does by default.
    if [[ $prev == = && $COMP_CWORD -ge 2 ]]; then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    elif [[ $cur == --*=* ]]; then
        prev=${cur%%=*}
        cur=${cur#*=}
    fi
    case $prev in
        --add | --reduce | --shift | --reduce-number | --from | --to)
            return 0 # a value: nothing to offer
            ;;
    esac
    local only_files=false
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        [[ $word == -- ]] && only_files=true
    done
    if [[ $only_files == false && $prev != -o && $prev != --output && $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W '--add --reduce --shift --reduce-number --switch-orientation --from --to
            -o --output --force --dry-run --restore -h --help -V --version -' -- "$cur")
        return 0
    fi
    compopt -o filenames 2>/dev/null
    local name
    while IFS= read -r name; do
        if [[ -d $name ]]; then
            COMPREPLY+=("$name")
        else
            case ${name,,} in
                *.srt | *.sub | *.vtt) COMPREPLY+=("$name") ;;
            esac
        fi
    done < <(compgen -f -- "$cur")
}
complete -F _kelvaro_cli kelvaro-cli
