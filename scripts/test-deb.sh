#!/usr/bin/env bash
# Checks the Debian package's fields, and lintian's verdict where lintian is installed. Then installs it with dpkg, uses
# what it installed (the program, a re-time, the man page, the bash completion, the documents), removes it and checks
# that nothing of it is left; that part needs root.
# Usage: scripts/test-deb.sh PACKAGE.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
deb="$(realpath "$1")"
name=$(dpkg-deb -f "$deb" Package)
version=$(dpkg-deb -f "$deb" Version)
completion=/usr/share/bash-completion/completions/$name
docs=/usr/share/doc/$name
fail() {
    echo "test-deb: $*" >&2
    exit 1
}
installed() {
    dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "install ok installed"
}

recommends=$(dpkg-deb -f "$deb" Recommends)
[ "$recommends" = bash-completion ] ||
    fail "the package recommends '$recommends', not bash-completion, which loads its completion"
# Errors and warnings only: lintian shows its informational tags when asked (-I).
if command -v lintian >/dev/null; then
    verdict=$(lintian --fail-on error,warning "$deb" 2>&1) ||
        { echo "$verdict" >&2; fail "lintian finds fault with $deb"; }
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "test-deb: SKIPPED: installing $deb needs root"
    exit 0
fi
installed && fail "$name is already installed; this test installs and removes it: remove it first (dpkg -r $name)"
work=$(mktemp -d)
cleanup() {
    if installed; then dpkg -r "$name" >/dev/null 2>&1 || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# Slim images tell dpkg to leave out manual pages and documents (path-exclude in /etc/dpkg/dpkg.cfg.d); the test
# checks what the package brings, so it takes them in.
dpkg --path-include="/usr/share/man/man1/$name.1.gz" --path-include="$docs/*" -i "$deb" >"$work/dpkg.log" 2>&1 ||
    { cat "$work/dpkg.log" >&2; fail "dpkg -i $deb failed"; }

hash -r
[ "$(command -v "$name")" = "/usr/bin/$name" ] || fail "$name is not /usr/bin/$name on the PATH"
[ "$("$name" --version)" = "$name $version" ] || fail "'$name --version' does not print '$name $version'"
"$root/scripts/check-retime.sh" "$work" "$name"

[ "$(man -w "$name")" = "/usr/share/man/man1/$name.1.gz" ] || fail "man -w $name does not find its page"
man -P cat "$name" 2>/dev/null | grep -q -- '--switch-orientation' || fail "the man page does not show the options"

[ -f "$completion" ] || fail "no bash completion at $completion"
mkdir "$work/complete" "$work/complete/dir"
touch "$work/complete/a.srt" "$work/complete/B.SUB" "$work/complete/c.Vtt" "$work/complete/d.txt"
# shellcheck disable=SC2016  # expanded by the inner bash
completed=$(cd "$work/complete" && bash -c 'source "$1"; COMP_WORDS=("$2" ""); COMP_CWORD=1; _kelvaro_cli
    printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | tr "\n" " "' - "$completion" "$name")
[ "$completed" = "B.SUB a.srt c.Vtt dir " ] || fail "the completion of FILE offers '$completed'"

for file in copyright README; do
    [ -s "$docs/$file" ] || fail "no $docs/$file"
done

dpkg -r "$name" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -r $name failed"; }
hash -r
installed && fail "$name is still installed after dpkg -r"
! command -v "$name" >/dev/null || fail "$name is still on the PATH after dpkg -r"
for path in "/usr/bin/$name" "/usr/share/man/man1/$name.1.gz" "$completion" "$docs"; do
    [ ! -e "$path" ] || fail "$path is still there after dpkg -r"
done
echo "test-deb: $deb installed, used and removed${verdict+; lintian finds no error or warning}"
