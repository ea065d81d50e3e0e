#!/usr/bin/env bash
# The man pages render without warnings and, like the completions, name every option each
# command's --help shows; the completions load in bash and complete as the table says.
set -uo pipefail
tez=$(realpath "$1") completions=$2 pages=("${@:3}")  # tez.1 first
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL $*"; failed=1; }

for page in "${pages[@]}"; do
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >"$work/page.txt")
    if [ -n "$warnings" ] || ! grep -q 'EXIT STATUS' "$work/page.txt"; then
        fail "man -l $page: $warnings"
    fi
done
MANWIDTH=200 man -l "${pages[0]}" >"$work/tez.txt" 2>/dev/null
for command in convert check play dump render roll devices; do
    grep -q "^ *$command" "$work/tez.txt" || fail "tez.1 does not describe $command"
    for option in $("$tez" "$command" --help | grep -oE '^ +(-[a-z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+$'); do
        grep -qF -- "$option" "$work/tez.txt" || fail "tez.1 does not name $command $option"
        grep -qF -- "$option" "$completions/tez.bash" || fail "tez.bash lacks $command $option"
        grep -qF -- "$option" "$completions/_tez" || fail "_tez lacks $command $option"
    done
done

zsh -n "$completions/_tez" || fail "_tez does not parse"
errors=$(bash -c "source /usr/share/bash-completion/bash_completion && source '$completions/tez.bash'" 2>&1)
[ -z "$errors" ] || fail "tez.bash loads with: $errors"

cd "$work" && touch a.tez b.mid c.txt s.sf2 && mkdir sub
# command line before the cursor | expected completions
cases=(
    "tez pl|play"
    "tez render a.tez --format |wav flac ogg au raw"
    "tez check --format |text json"
    "tez play a.tez -d |$("$tez" devices | cut -d' ' -f1 | xargs)"
    "tez convert |a.tez sub"
    "tez dump |a.tez b.mid sub"
    "tez render a.tez --soundfont |s.sf2 sub"
    "tez dump a.tez --li|--lines"
)
for case in "${cases[@]}"; do
    line=${case%%|*} expected=${case#*|}
    got=$(PATH="$(dirname "$tez"):$PATH" bash -c '
        source /usr/share/bash-completion/bash_completion && source "$1"
        COMP_LINE=$2 COMP_POINT=${#2}
        read -ra COMP_WORDS <<<"$2"
        [[ $2 == *" " ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _tez; printf "%s\n" "${COMPREPLY[@]}" | sort | xargs' _ "$completions/tez.bash" "$line")
    [ "$got" = "$(tr ' ' '\n' <<<"$expected" | sort | xargs)" ] || fail "'$line' completes to '$got'"
done
[ $failed = 0 ] && echo "ok"
exit $failed
