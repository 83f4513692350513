#!/usr/bin/env bash
# Every shell file of the project passes shellcheck at warning level (info
# notes aside): a file whose first line runs sh or bash, a .sh file, or one
# that names its shell to shellcheck (a library that is only sourced).
# Sourced files are followed (.shellcheckrc). Skipped, with 77, where there
# is no shellcheck.
#
#   tests/shellcheck_test.sh SOURCE_DIR
set -euo pipefail
root=$(cd "${1:?usage: tests/shellcheck_test.sh SOURCE_DIR}" && pwd)
command -v shellcheck >/dev/null || { echo "shellcheck test: shellcheck is not installed"; exit 77; }
cd "$root"

# The tracked files; a tree without git is searched whole but for what the
# build leaves there.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files)
else
  mapfile -t files < <(find . \( -name '.git' -o -path './build*' \) -prune -o -type f -print | sed 's|^\./||')
fi
shell_files=()
for f in "${files[@]}"; do
  [ -f "$f" ] && [ ! -L "$f" ] || continue
  if [[ $f == *.sh ]] || head -n 1 "$f" | grep -qE '^#!.*\b(ba)?sh\b' ||
     grep -q '^# shellcheck shell=' "$f"; then
    shell_files+=("$f")
  fi
done
# The scripts' own folder alone holds more than this: a search that finds
# fewer has gone wrong.
[ ${#shell_files[@]} -ge 20 ] || { echo "shellcheck test: only ${#shell_files[@]} shell files found" >&2; exit 1; }
shellcheck --severity=warning "${shell_files[@]}"
echo "shellcheck test: ${#shell_files[@]} shell files clean at warning level"
