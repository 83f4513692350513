#!/usr/bin/env bash
# The manual pages render without a single warning, and the bash completion
# offers what the programs accept, driven the way bash drives it.
#
#   man_and_completion.sh [SOURCE_DIR]
#
# When the programs are built (under $QUAVE_BUILD_DIR, else SOURCE_DIR/build),
# their --help option lists are also compared with the completion and the
# manual pages, so that a new option cannot be forgotten in either.
set -euo pipefail
export LC_ALL=C
root=$(cd "${1:-$(dirname "$0")/../..}" && pwd)
build=${QUAVE_BUILD_DIR:-$root/build}
completion=$root/completion/quave-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
checks=0

fail() {
  echo "man and completion: $*" >&2
  exit 1
}

command -v groff >/dev/null || fail "groff is missing (apt-get install groff)"
# The pages as installed, their title lines filled in by the build.
for page in quave-cli.1 quave-devsim.1; do
  [ -f "$build/man/$page" ] || fail "$build/man/$page is not built"
  warnings=$(groff -ww -man -Tutf8 "$build/man/$page" 2>&1 >/dev/null) || fail "groff failed on $page"
  [ -z "$warnings" ] || fail "groff warns about $page:"$'\n'"$warnings"
  checks=$((checks + 1))
done

# complete_line LINE: the completions bash would offer at the end of LINE,
# sorted, one per line, in a fresh non-interactive bash with nothing but the
# completion file loaded. The words are split as bash splits them, at blanks
# and around '=' and ':'; the function is the one registered for the program.
complete_line() {
  (cd "$work/files" && bash --norc --noprofile -c '
    set -u
    source "$1"
    COMP_LINE=$2
    COMP_POINT=${#COMP_LINE}
    read -ra COMP_WORDS < <(sed "s/[=:]/ & /g" <<<"$COMP_LINE")
    [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    registered=$(complete -p "${COMP_WORDS[0]}")
    read -r -a registered <<<"$registered"
    for ((i = 0; i < ${#registered[@]}; i++)); do [[ ${registered[i]} == -F ]] && fn=${registered[i + 1]}; done
    COMPREPLY=()
    "$fn"
    printf "%s\n" "${COMPREPLY[@]}"
  ' bash "$completion" "$1") | sed 's,/$,,' | sort
}

mkdir -p "$work/files/sub"
touch "$work/files/a.vstlunit" "$work/files/b.txt"

# line | every completion offered, sorted (directories without their '/')
cases=(
  "quave-cli pr|probe"
  "quave-cli |check clear load probe"
  "quave-cli load --sl|--slot"
  "quave-cli load -u a.vstlunit --re|--replace"
  "quave-cli probe --synth |"
  "quave-cli clear -m o|osc"
  "quave-cli probe --module=|delfx global modfx osc revfx"
  "quave-cli check -u |a.vstlunit sub"
  "quave-cli load --unit=a|a.vstlunit"
  "quave-cli check -u a.vstlunit --u|--unit"
  "quave-cli nonsense -|"
  "quave-devsim --platform h|halvane-rx"
  "quave-devsim --slots re|revfx:"
  "quave-devsim --silent search,slot-|search,slot-clear search,slot-status"
  "quave-devsim --preload-unit 3:|a.vstlunit sub"
)
for case in "${cases[@]}"; do
  line=${case%%|*}
  want=${case#*|}
  got=$(complete_line "$line" | paste -sd ' ') || fail "completing '$line' failed"
  [ "$got" = "$want" ] || fail "completing '$line': got '$got', wanted '$want'"
  checks=$((checks + 1))
done

# options_from_help TEXT: the options an option table lists, sorted.
options_from_help() {
  grep -oE '^  +(-[[:alpha:]] \[ --[a-z-]+ \]|--[a-z-]+)' <<<"$1" | tr -d '[]' | tr ' ' '\n' |
    grep -v '^$' | sort
}

# man_lacks PAGE < OPTIONS: the options, one a line, that the page never
# mentions whole (in roff every '-' of an option is written '\-'; "-h" inside
# "--help" or "--api" inside "--api-version" does not count).
man_lacks() {
  local option
  while read -r option; do
    grep -qE -- "(^|[^-])${option//-/'\\-'}([^[:alnum:]\\]|\$)" "$root/man/$1" || echo "$option"
  done
}

# same_options NAME PAGE HELP_TEXT: completion and manual page cover every
# option the program's --help lists.
same_options() {
  local listed offered missing
  listed=$(options_from_help "$3")
  [ -n "$listed" ] || fail "no options found in '$1 --help'"
  offered=$(complete_line "$1 -") || fail "completing '$1 -' failed"
  [ "$offered" = "$listed" ] ||
    fail "completion for $1 offers:"$'\n'"$offered"$'\n'"--help lists:"$'\n'"$listed"
  missing=$(man_lacks "$2" <<<"$listed")
  [ -z "$missing" ] || fail "$2 never mentions: $missing"
  checks=$((checks + 2))
}

cli=$build/quave-cli
devsim=$build/tools/devsim/quave-devsim
if [ -x "$cli" ] && [ -x "$devsim" ]; then
  for command in check probe load clear; do
    same_options "quave-cli $command" quave-cli.1 "$("$cli" "$command" --help)"
  done
  same_options quave-devsim quave-devsim.1 "$("$devsim" --help)"
else
  echo "man and completion: no programs built under $build; option lists not compared" >&2
fi

echo "man and completion: $checks checks passed"
