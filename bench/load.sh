#!/usr/bin/env bash
# Times `quave-cli load` of a unit of about 12 KiB into the simulator and sets
# the median wall time of the whole command beside its floor: the handshake's
# ((7 + N) x 10 ms + 70 ms, N = 40 slots) plus the load step's seven 10 ms
# pauses and its one 10 ms turn. Target: within 1.10 times the floor.
#
# usage: bench/load.sh [path/to/quave-cli]   (RUNS=30 by default)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-${QUAVE_BUILD_DIR:-$root/build}/quave-cli}
runs=${RUNS:-30}
[ -x "$cli" ] || { echo "bench: no quave-cli at $cli (run scripts/build)" >&2; exit 1; }

if [ -z "${JACK_DEFAULT_SERVER:-}" ]; then
  exec "$root/scripts/midi-harness" run --sim "" -- "$0" "$cli"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# An oscillator whose image (payload + 1156 bytes) is 12156 bytes, under the
# simulator's default limit of 12288 for that module.
payload=11000
mkdir -p "$work/src/unit"
cp "$root/examples/src/sawtooth/manifest.json" "$work/src/unit/manifest.json"
{ printf 'UOSC'; head -c $((payload - 4)) /dev/urandom; } >"$work/src/unit/payload.bin"
unit="$work/bench.vstlunit"
(cd "$work/src" && zip -q -X "$unit" unit/manifest.json unit/payload.bin)

# shellcheck source=bench/timing.sh
. "$root/bench/timing.sh"
slots=40
time_runs "load, $((payload + 1156))-byte image" $(((7 + slots) * 10 + 70 + 70 + 10)) "$runs" \
  "$cli" load -u "$unit" -s 0
