#!/usr/bin/env bash
# Times `quave-cli probe` and `load` of a 12,156-byte image against another
# build of this repository (by default release 2b25320), in one run with the
# two programs taking turns, RUNS times each: against the simulator on JACK
# (dummy driver, 128 frames at 48 kHz), then inside scripts/alsa-vm with the
# simulator as a USB-MIDI device behind the kernel's USB audio driver,
# reading as fast as the link goes. Prints each median and the ratio of this
# build's median to the other's.
#
# usage: bench/compare.sh [REVISION]   (RUNS=15 by default)
# The other build is made once, from a worktree, in build-bench/REVISION/;
# this one is ${QUAVE_BUILD_DIR:-build}/quave-cli.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rev=${1:-2b25320}
runs=${RUNS:-15}
new=$(readlink -f "${QUAVE_BUILD_DIR:-$root/build}/quave-cli")
devsim=$(dirname "$new")/tools/devsim/quave-devsim
[ -x "$new" ] && [ -x "$devsim" ] || { echo "bench: build first (scripts/build)" >&2; exit 1; }

# medians LABEL: reads "A ms" / "B ms" lines, prints both medians and B/A.
medians() {
  awk -v label="$1" '
    function median(v, n,   i, j, t) {
      for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
      return (n % 2) ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    $1 == "old" { old[++o] = $2 } $1 == "new" { new[++n] = $2 }
    END {
      mo = median(old, o); mn = median(new, n)
      printf "%s, %d runs each: this build %.1f ms, %s %.1f ms, ratio %.2f\n", label, n, mn, rev, mo, mn / mo
    }' rev="$rev"
}

# turns LABEL ARGS...: both programs in turn, RUNS times each, then medians.
turns() {
  local label=$1 i prog t0 t1
  shift
  for ((i = 0; i < runs; i++)); do
    for prog in old new; do
      local cli=$new
      [ "$prog" = old ] && cli=$BENCH_OLD
      t0=$(date +%s%N)
      "$cli" "$@" >/dev/null || echo "bench: $prog $label: run $i failed" >&2
      t1=$(date +%s%N)
      echo "$prog $(((t1 - t0) / 1000))"
    done
  done | awk '{ print $1, $2 / 1000 }' | medians "$label"
}

measure() {
  "$new" probe >/dev/null && "$BENCH_OLD" probe >/dev/null || { echo "bench: no device" >&2; exit 1; }
  turns "$1: probe" probe "${@:2}"
  turns "$1: load" load -u "$BENCH_UNIT" -s 0 "${@:2}"
}

case ${BENCH_STAGE:-} in
  "")
    old_dir=$root/build-bench/$rev
    if [ ! -x "$old_dir/build/quave-cli" ]; then
      rm -rf "$old_dir" && mkdir -p "$root/build-bench"
      git -C "$root" worktree add -q --detach "$old_dir/src" "$rev"
      cmake -S "$old_dir/src" -B "$old_dir/build" -DBUILD_TESTING=OFF >/dev/null
      cmake --build "$old_dir/build" -j"$(nproc)" --target quave-cli >/dev/null
      git -C "$root" worktree remove --force "$old_dir/src"
    fi
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    # An oscillator of 11,000 bytes: a 12,156-byte image, under the
    # simulator's limit of 12,288 for that module.
    mkdir -p "$work/src/unit"
    cp "$root/examples/src/sawtooth/manifest.json" "$work/src/unit/manifest.json"
    { printf 'UOSC'; head -c 10996 /dev/urandom; } >"$work/src/unit/payload.bin"
    (cd "$work/src" && zip -q -X "$work/bench.vstlunit" unit/manifest.json unit/payload.bin)
    export BENCH_OLD=$old_dir/build/quave-cli BENCH_UNIT=$work/bench.vstlunit
    BENCH_STAGE=jack "$root/scripts/midi-harness" run --sim "" -- "$0" "$rev"
    BENCH_STAGE=usb "$root/scripts/alsa-vm" --timeout 1800 \
      --usb-device "$devsim --usb-gadget /dev/gadget/dummy_udc" -- "$0" "$rev"
    ;;
  jack) measure "JACK" ;;
  usb)
    # The emulated machine reads the host's files over 9p without a cache,
    # one page fault at a time: starting a program from there costs it far
    # more than from a disk, where a user's program lies. Both programs run
    # from the guest's memory instead.
    ram=$(mktemp -d /dev/shm/bench.XXXXXX)
    cp "$new" "$ram/new" && cp "$BENCH_OLD" "$ram/old"
    new=$ram/new BENCH_OLD=$ram/old measure "USB, by name"
    ;;
esac
