#!/usr/bin/env bash
# scripts/lib/common.sh's cpus: the cores capped by the CPU quota of the
# process's control group and of each group above it, in both cgroup
# versions, from made-up group trees.
set -euo pipefail
# shellcheck source=../scripts/lib/common.sh
. "$(dirname "$0")/../scripts/lib/common.sh"
cores=$(nproc)
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
failed=0

# case NAME EXPECTED CGROUP_LINES FILE=CONTENT...: the files under the tree
check() {
  local name=$1 expected=$2 lines=$3 file
  shift 3
  rm -rf "${tree:?}"/*
  printf '%s\n' "$lines" >"$tree/cgroup"
  for file in "$@"; do
    mkdir -p "$(dirname "$tree/fs/${file%%=*}")"
    printf '%s\n' "${file#*=}" >"$tree/fs/${file%%=*}"
  done
  mkdir -p "$tree/fs"
  local got
  got=$(cpus "$tree/cgroup" "$tree/fs")
  if [ "$got" != "$expected" ]; then
    echo "cpus, $name: $got, not $expected"
    failed=1
  fi
}

check "no quota anywhere" "$cores" "0::/a/b" "a/b/cpu.max=max 100000" "a/cpu.max=max 100000"
check "v2, 40% of a CPU rounds up to one" 1 "0::/a/b" "a/b/cpu.max=40000 100000"
check "v2, a parent's quota caps its child" 1 "0::/a/b" "a/b/cpu.max=max 100000" "a/cpu.max=50000 100000"
check "v1 cpu, 0.8 of a CPU" 1 "1:cpu:/slow" "cpu/slow/cpu.cfs_quota_us=80000" "cpu/slow/cpu.cfs_period_us=100000" \
  "cpu/cpu.cfs_quota_us=-1" "cpu/cpu.cfs_period_us=100000"
check "v1 cpu,cpuacct, no quota" "$cores" "4:cpu,cpuacct:/x" "cpu,cpuacct/x/cpu.cfs_quota_us=-1" \
  "cpu,cpuacct/x/cpu.cfs_period_us=100000"
check "a quota above the cores leaves the cores" "$cores" "0::/a" "a/cpu.max=$((100000 * (cores + 3))) 100000"
check "groups the tree does not hold" "$cores" "0::/gone/away"
if [ "$cores" -ge 2 ]; then
  check "v2, 1.5 CPUs round up to two" 2 "0::/a" "a/cpu.max=150000 100000"
fi
exit "$failed"
