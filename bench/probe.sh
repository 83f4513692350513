#!/usr/bin/env bash
# Times `quave-cli probe` against the simulator in its default configuration
# (40 slots in all) and sets the median wall time beside the floor that the
# 10 ms polling allows: one turn per request, 7 + N requests, and 70 ms of
# pauses between the seven steps. Target: within 1.10 times the floor.
#
# usage: bench/probe.sh [path/to/quave-cli]   (RUNS=30 by default)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-${QUAVE_BUILD_DIR:-$root/build}/quave-cli}
runs=${RUNS:-30}
[ -x "$cli" ] || { echo "bench: no quave-cli at $cli (run scripts/build)" >&2; exit 1; }

if [ -z "${JACK_DEFAULT_SERVER:-}" ]; then
  exec "$root/scripts/midi-harness" run --sim "" -- "$0" "$cli"
fi

slots=40
floor=$(((7 + slots) * 10 + 70))
"$cli" probe >/dev/null  # must succeed before it is timed
for ((i = 0; i < runs; i++)); do
  t0=$(date +%s%N)
  "$cli" probe >/dev/null || echo "bench: run $i failed" >&2
  t1=$(date +%s%N)
  echo "$((t1 - t0))"
done | sort -n | awk -v floor="$floor" -v runs="$runs" '
  { t[NR] = $1 / 1e6 }
  END {
    m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
    printf "probe, %d slots, %d runs: median %.1f ms (min %.1f, max %.1f), floor %d ms, ratio %.3f (target 1.10)\n",
      40, runs, m, t[1], t[NR], floor, m / floor
  }'
