#!/usr/bin/env bash
# Times `quave-cli check` against `unzip -tq` on the same archives: a typical
# package (16 KiB payload) and a 1 MiB one. Whole processes, median of RUNS
# runs each, plus peak memory from /usr/bin/time.
#
# usage: bench/check.sh [path/to/quave-cli]   (RUNS=30 by default)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-${QUAVE_BUILD_DIR:-$root/build}/quave-cli}
runs=${RUNS:-30}
[ -x "$cli" ] || { echo "bench: no quave-cli at $cli (run scripts/build)" >&2; exit 1; }
command -v unzip >/dev/null || { echo "bench: unzip is missing (run scripts/setup)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# make_package FILE PAYLOAD_BYTES: an oscillator whose payload is the magic
# word and base64 text, which deflates about as well as machine code.
make_package() {
  local file=$1 size=$2
  mkdir -p "$work/src/unit"
  cp "$root/examples/src/sawtooth/manifest.json" "$work/src/unit/manifest.json"
  head -c $((size * 3 / 4 + 3)) /dev/urandom | base64 -w 0 >"$work/filler"
  { printf 'UOSC'; head -c $((size - 4)) "$work/filler"; } >"$work/src/unit/payload.bin"
  rm -f "$file"
  (cd "$work/src" && zip -q -X "$file" unit/manifest.json unit/payload.bin)
}

# ms_per_run FILE: runs check and unzip alternately RUNS times each, so that
# load from elsewhere on the machine falls on both alike, and prints
# "check_ms unzip_ms", the median wall time of each in milliseconds.
ms_per_run() {
  local i t0 t1 t2
  for ((i = 0; i < runs; i++)); do
    t0=$(date +%s%N)
    "$cli" check --unit "$1" >/dev/null
    t1=$(date +%s%N)
    unzip -tq "$1" >/dev/null
    t2=$(date +%s%N)
    echo "$((t1 - t0)) $((t2 - t1))"
  done | awk '
    function median(a, n,   i, j, x) {
      for (i = 2; i <= n; i++) { x = a[i]; for (j = i - 1; j > 0 && a[j] > x; j--) a[j + 1] = a[j]; a[j + 1] = x }
      return (n % 2) ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    { c[NR] = $1; u[NR] = $2 }
    END { printf "%.2f %.2f\n", median(c, NR) / 1e6, median(u, NR) / 1e6 }'
}

peak_kib() {
  /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ { print $2 }'
}

printf '%-10s %12s %12s %7s %14s %14s\n' package "check ms" "unzip ms" ratio "check KiB" "unzip KiB"
for package in typical:16384 1MiB:1048576; do
  name=${package%%:*}
  file="$work/$name.vstlunit"
  make_package "$file" "${package#*:}"
  "$cli" check --unit "$file" >/dev/null  # must pass before it is timed
  read -r check unzip_t < <(ms_per_run "$file")
  ratio=$(awk -v a="$check" -v b="$unzip_t" 'BEGIN { printf "%.2f", a / b }')
  printf '%-10s %12s %12s %7s %14s %14s\n' "$name" "$check" "$unzip_t" "$ratio" \
    "$(peak_kib "$cli" check --unit "$file")" "$(peak_kib unzip -tq "$file")"
done
