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

# shellcheck source=bench/timing.sh
. "$root/bench/timing.sh"
slots=40
time_runs "probe, $slots slots" $(((7 + slots) * 10 + 70)) "$runs" "$cli" probe
