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

# The CPUs this process may keep busy: the cores, capped by the CPU quota of
# its control group and of every group above it (cgroup v2's cpu.max, v1's
# cfs quota), rounded up. nproc counts the cores only, so in a container or
# under a quota of less than the machine a fixed count per core would start
# more tests than the CPU can serve. The tests give another process's
# groups and another cgroup root as the two arguments.
cpus() {
  local groups=${1:-/proc/self/cgroup} fs=${2:-/sys/fs/cgroup} n line path dir quota period
  n=$(nproc)
  while IFS= read -r line; do
    path=${line#*:*:}
    case $line in
      0::*) dir=$fs ;;
      *:cpu,cpuacct:* | *:cpuacct,cpu:*) dir=$fs/cpu,cpuacct ;;
      *:cpu:*) dir=$fs/cpu ;;
      *) continue ;;
    esac
    [ -d "$dir" ] || continue
    while :; do
      quota='' period=''
      if [ -r "$dir$path/cpu.max" ]; then
        read -r quota period <"$dir$path/cpu.max" || true
      elif [ -r "$dir$path/cpu.cfs_quota_us" ] && [ -r "$dir$path/cpu.cfs_period_us" ]; then
        quota=$(<"$dir$path/cpu.cfs_quota_us") period=$(<"$dir$path/cpu.cfs_period_us")
      fi
      case $quota in '' | max | -*) ;; *)
        [ "${period:-0}" -gt 0 ] && n=$(( (quota + period - 1) / period < n ? (quota + period - 1) / period : n )) ;;
      esac
      [ -z "$path" ] || [ "$path" = / ] && break
      path=${path%/*}
    done
  done <"$groups"
  echo $(( n > 0 ? n : 1 ))
}
