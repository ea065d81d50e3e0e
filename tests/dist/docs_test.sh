#!/usr/bin/env bash
# The man pages render without warnings and, like the completions, name every option (and
# short alias) each command's --help shows, in that command's own entry; the completions
# load in bash and zsh and complete as the table says.
set -uo pipefail
# Usage: docs_test.sh TEZ TEZPLAYER|"" COMPLETIONS-DIR tez.1 tez.5 [tezplayer.1]
tez=$(realpath "$1") tezplayer=$2 completions=$3 pages=("${@:4}")
tezplayer_page=${pages[2]:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL $*"; failed=1; }

for page in "${pages[@]}"; do
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >"$work/page.txt")
    [ -z "$warnings" ] || fail "man -l $page: $warnings"
    case $page in *.1) grep -q 'EXIT STATUS' "$work/page.txt" || fail "$page has no EXIT STATUS" ;; esac
done

# Every option a --help lists, its short alias included, one a line.
options_of() { grep -oE '^ +-[-a-zA-Z]+(,--?[-a-zA-Z]+)*' | tr -d ' ' | tr ',' '\n'; }
# Whether the rendered page names the option as a word of its own (-o, not part of --output).
names_option() { grep -qE -- "(^|[^-a-zA-Z])$2([^-a-zA-Z]|\$)" "$1"; }
# The text a page gives one command: its entry under COMMANDS, the options every command
# shares, and the range options for the commands that take them.
command_text() {
    sed -n '/^COMMANDS/,/^[A-Z]/p' "$work/tez.txt" |
        awk -v c="$1" '/^       [a-z]/ { inside = ($1 == c) } inside'
    sed -n '/^COMMON OPTIONS/,/^[A-Z]/p' "$work/tez.txt"
    case $1 in play | dump | render) sed -n '/^RANGE OPTIONS/,/^[A-Z]/p' "$work/tez.txt" ;; esac
}

MANWIDTH=200 man -l "${pages[0]}" >"$work/tez.txt" 2>/dev/null
for command in convert check import play dump render roll devices lsp; do
    command_text "$command" >"$work/command.txt"
    grep -q . "$work/command.txt" || fail "tez.1 does not describe $command"
    for option in $("$tez" "$command" --help | options_of); do
        names_option "$work/command.txt" "$option" || fail "tez.1 does not name $command $option"
        [[ $option == --* ]] || continue
        grep -qF -- "$option" "$completions/tez.bash" || fail "tez.bash lacks $command $option"
        grep -qF -- "$option" "$completions/_tez" || fail "_tez lacks $command $option"
    done
done
for option in $("$tez" --help | options_of); do
    names_option "$work/tez.txt" "$option" || fail "tez.1 does not name $option"
done
# The window's own options, once it has any, are named on its page.
if [ -n "$tezplayer" ] && QT_QPA_PLATFORM=offscreen timeout 10 "$tezplayer" --help >"$work/help.txt" 2>&1; then
    MANWIDTH=200 man -l "$tezplayer_page" >"$work/tezplayer.txt" 2>/dev/null
    for option in $(options_of <"$work/help.txt"); do
        names_option "$work/tezplayer.txt" "$option" || fail "tezplayer.1 does not name $option"
    done
fi

zsh -n "$completions/_tez" || fail "_tez does not parse"
errors=$(bash -c "source /usr/share/bash-completion/bash_completion && source '$completions/tez.bash'" 2>&1)
[ -z "$errors" ] || fail "tez.bash loads with: $errors"

cd "$work" && touch a.tez b.mid c.txt s.sf2 && mkdir sub
# command line before the cursor | expected completions
cases=(
    "tez pl|play"
    "tez render a.tez --format |wav flac ogg au raw"
    "tez check --format |text json"
    "tez devices --format |text json"
    "tez lsp --dev|--device"
    "tez play a.tez -d |$("$tez" devices | cut -d' ' -f1 | xargs)"
    "tez convert |a.tez sub"
    "tez dump |a.tez b.mid sub"
    "tez render a.tez --soundfont |s.sf2 sub"
    "tez dump a.tez --li|--lines"
    "tez import |b.mid sub"
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
