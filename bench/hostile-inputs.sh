#!/usr/bin/env bash
# Peak memory and wall time of `quave-cli check` on each hostile archive of
# tests/cli/hostile_input_test.cpp. The test writes its inputs into a folder
# when QUAVE_HOSTILE_INPUTS names one; each is then run under /usr/bin/time.
#
#   bench/hostile-inputs.sh [BUILD_DIR]     (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

QUAVE_HOSTILE_INPUTS="$dir" "$build/tests/quave_tests" --gtest_filter='*HostileArchive*' >/dev/null

printf '%-60s %4s %9s %7s  %s\n' input exit "peak KiB" seconds "last line on standard error"
for f in "$dir"/*; do
  /usr/bin/time -f '%x %M %e' -o "$dir/.time" "$build/quave-cli" check --unit "$f" \
    >/dev/null 2>"$dir/.err" || true
  read -r code rss secs < <(tail -n 1 "$dir/.time")
  printf '%-60s %4s %9s %7s  %s\n' "$(basename "$f")" "$code" "$rss" "$secs" \
    "$(tail -n 1 "$dir/.err" | cut -c1-80)"
done
