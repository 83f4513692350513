# What every script of the project needs, sourced first thing:
#
#   # shellcheck source=lib/common.sh
#   . "$(dirname "$0")/lib/common.sh"
#
# It sets `root`, the top of the tree, and gives `usage`, `say` and `die`.
# shellcheck shell=bash

# shellcheck disable=SC2034 # for the script
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# The comment block under the script's first line, without its "# ", on
# standard error; exits 2.
usage() {
  awk 'NR == 1 { next } /^#/ { sub(/^# ?/, ""); print; next } { exit }' "$0" >&2
  exit 2
}

# A line on standard error, after the script's name.
say() { echo "${0##*/}: $*" >&2; }

die() {
  say "$@"
  exit 1
}
