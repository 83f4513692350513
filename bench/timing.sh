# The benchmarks' one way of timing a command; sourced by them.
# shellcheck shell=bash
#
# time_runs LABEL FLOOR_MS RUNS COMMAND [ARGS...]
#   Runs COMMAND once untimed (it must succeed), then RUNS times, and prints
#   "LABEL, RUNS runs: median M ms (min A, max B), floor F ms, ratio R",
#   R being the median over the floor; without the floor when it is 0.
time_runs() {
  local label=$1 floor=$2 runs=$3 i t0 t1
  shift 3
  "$@" >/dev/null || { echo "bench: $label: the untimed run failed" >&2; return 1; }
  for ((i = 0; i < runs; i++)); do
    t0=$(date +%s%N)
    "$@" >/dev/null || echo "bench: $label: run $i failed" >&2
    t1=$(date +%s%N)
    echo "$((t1 - t0))"
  done | sort -n | awk -v floor="$floor" -v runs="$runs" -v label="$label" '
    { t[NR] = $1 / 1e6 }
    END {
      if (NR == 0) { printf "%s: no run\n", label; exit }
      m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
      printf "%s, %d runs: median %.1f ms (min %.1f, max %.1f)", label, runs, m, t[1], t[NR]
      if (floor > 0) printf ", floor %d ms, ratio %.3f", floor, m / floor
      printf "\n"
    }'
}
