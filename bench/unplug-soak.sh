#!/usr/bin/env bash
# Pulls the cable of a USB-MIDI device twenty times in a row, inside
# scripts/alsa-vm: the unplug test of tests/alsa/usb_e2e_test.cpp repeated
# four times over its five moments (handshake, early, middle and late in a
# load, the wait for the load's answer), each after an earlier load to the
# same device, which is plugged in again between them. Prints, for every
# unplug, how long the program took to say the device is gone and to end,
# then the worst of each; exits 1 when any run failed.
#
# usage: bench/unplug-soak.sh [BUILD_DIR]   (REPEAT=4 by default)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(readlink -f "${1:-${QUAVE_BUILD_DIR:-$root/build}}")
test_program=$build/tests/quave_alsa_e2e
repeat=${REPEAT:-4}
[ -x "$test_program" ] || { echo "bench: no $test_program (build the tests first)" >&2; exit 1; }

log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
"$root/scripts/alsa-vm" --timeout $((120 + 150 * repeat)) -- /bin/sh -c 'echo "Linux $(uname -r)"; exec "$@"' sh \
  "$test_program" --gtest_filter='UsbE2E.AnUnplugAtAnyMomentEndsTheCommand' --gtest_repeat="$repeat" \
  >"$log" 2>&1 || status=$?

grep -E '^Linux |^unplugged during|Failure|FAILED|timed out' "$log" || true
awk '/^unplugged during/ {
       n++; line = $(NF-6); end = $(NF-1)
       if (line > worst_line) worst_line = line
       if (end > worst_end) worst_end = end
     }
     END { printf "%d unplugs; the line at worst %.3f s after the unplug, the end at worst %.2f s\n",
                  n, worst_line, worst_end }' "$log"
if [ "$status" != 0 ]; then
  echo "bench: the unplug test failed (exit $status); its whole output:" >&2
  cat "$log" >&2
  exit 1
fi
