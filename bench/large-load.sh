#!/usr/bin/env bash
# Times `quave-cli load` of a 16,384-byte image (18,744 bytes of SysEx) on
# each transport: JACK on this machine, then, inside scripts/alsa-vm, an ALSA
# application port and the kernel port "VirMIDI 0-0" read at USB speed and at
# 5-pin DIN speed (3,125 bytes/s); then the USB path: the simulator as a
# USB-MIDI device behind the kernel's USB audio driver, reading as fast as
# the link goes, at 16 KiB/s and at 3,125 bytes/s, with images of 5,240 and
# 16,384 bytes (6,008 and 18,744 bytes of SysEx), ports found by name and
# given by index. Where the device reads slowly, each median is set beside
# the time the wire needs for the request at its drain rate.
# On the USB path each slower device's time is also set against the same load
# to the fast device in the same machine, whose extra time is what pacing
# costs beyond the wire.
# The ALSA figures come from an emulated machine, several times slower than
# this one at everything but the wire.
#
# usage: bench/large-load.sh [path/to/quave-cli]   (RUNS=10 by default;
#        BENCH_ONLY=usb for the USB path alone)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=$(readlink -f "${1:-${QUAVE_BUILD_DIR:-$root/build}/quave-cli}")
devsim=$(dirname "$cli")/tools/devsim/quave-devsim
runs=${RUNS:-10}
[ -x "$cli" ] || { echo "bench: no quave-cli at $cli (run scripts/build)" >&2; exit 1; }
wire_bytes=18744

# shellcheck source=bench/timing.sh
. "$root/bench/timing.sh"
# time_loads LABEL FLOOR_MS ARGS...: RUNS timed loads, one summary line.
time_loads() {
  local label=$1 floor=$2
  shift 2
  time_runs "$label, ${IMAGE:-16384}-byte image" "$floor" "$runs" "$cli" load "$@"
}

# The VirMIDI 0-0 index that `probe -l` lists for "in " or "out".
virmidi_index() {
  "$cli" probe -l | awk -v role="$1" '$1 == role && /VirMIDI 0-0/ { sub(":", "", $2); print $2; exit }'
}

case ${BENCH_STAGE:-} in
  "")
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    for image in 5240 16384; do
      mkdir -p "$work/$image/unit"
      cp "$root/examples/src/sawtooth/manifest.json" "$work/$image/unit/manifest.json"
      { printf 'UOSC'; head -c $((image - 1156 - 4)) /dev/urandom; } >"$work/$image/unit/payload.bin"
      (cd "$work/$image" && zip -q -X "$work/bench-$image.vstlunit" unit/manifest.json unit/payload.bin)
    done
    export BENCH_UNITS=$work/bench-%d.vstlunit
    if [ "${BENCH_ONLY:-}" != usb ]; then
      BENCH_STAGE=jack BENCH_UNIT=$work/bench-16384.vstlunit \
        "$root/scripts/midi-harness" run --sim "--max-payload osc:16384" -- "$0" "$cli"
      BENCH_STAGE=alsa BENCH_UNIT=$work/bench-16384.vstlunit "$root/scripts/alsa-vm" -- "$0" "$cli"
    fi
    BENCH_STAGE=usb "$root/scripts/alsa-vm" --timeout 3000 -- "$0" "$cli"
    ;;
  jack)
    time_loads "JACK" 0 -u "$BENCH_UNIT" -s 0
    ;;
  alsa)
    "$devsim" --api alsa --max-payload osc:16384 >/dev/null &
    sleep 1
    time_loads "ALSA application port" 0 -u "$BENCH_UNIT" -s 0
    kill $! && wait $! || true
    for drain in 0 3125; do
      "$devsim" --rawmidi /dev/snd/midiC0D0 --drain "$drain" --max-payload osc:16384 >/dev/null &
      sleep 1
      ports=(-i "$(virmidi_index in)" -o "$(virmidi_index out)")
      if [ "$drain" = 0 ]; then
        time_loads "ALSA kernel port, USB speed" 0 -u "$BENCH_UNIT" -s 0 "${ports[@]}"
      else
        time_loads "ALSA kernel port, DIN speed" $((wire_bytes * 1000 / drain)) \
          -u "$BENCH_UNIT" -s 0 "${ports[@]}"
      fi
      kill $! && wait $! || true
    done
    ;;
  usb)
    declare -A fast=()
    for drain in 0 16384 3125; do
      "$devsim" --usb-gadget /dev/gadget/dummy_udc --drain "$drain" --max-payload osc:16384 >/dev/null &
      sim=$!
      # Enumeration, then the sequencer client of the new card.
      for _ in $(seq 200); do
        "$cli" probe -l | grep -q 'vestrel KBD/KNOB' && break
        sleep 0.1
      done
      ports=(-i "$("$cli" probe -l | awk '$1 == "in" && /vestrel KBD\/KNOB/ { sub(":", "", $2); print $2; exit }')"
             -o "$("$cli" probe -l | awk '$1 == "out" && /vestrel SOUND/ { sub(":", "", $2); print $2; exit }')")
      for image in 5240 16384; do
        wire=$((image + 8 + (image + 8 + 6) / 7 + 10))
        floor=0
        rate="as fast as it reads"
        if [ "$drain" != 0 ]; then
          floor=$((wire * 1000 / drain))
          rate="$drain B/s"
        fi
        unit=$(printf "$BENCH_UNITS" "$image")
        for choice in name index; do
          args=(-u "$unit" -s 0)
          [ "$choice" = index ] && args+=("${ports[@]}")
          line=$(IMAGE=$image time_loads "USB, $rate, by $choice" "$floor" "${args[@]}")
          echo "$line"
          median=$(sed -n 's/.* median \([0-9.]*\) ms.*/\1/p' <<<"$line")
          # The emulated machine's own floor: the same load to the fast device.
          if [ "$drain" = 0 ]; then
            fast[$image$choice]=$median
          elif [ -n "${fast[$image$choice]:-}" ]; then
            awk -v t="$median" -v f="${fast[$image$choice]}" -v w="$((wire * 1000 / drain))" 'BEGIN {
              printf "  beyond the fast device: %.0f ms for %d ms on the wire, ratio %.2f\n", t - f, w, (t - f) / w }'
          fi
        done
      done
      kill $sim && wait $sim || true
    done
    ;;
esac
