#!/usr/bin/env bash
# What one JACK server carries of long SysEx messages, at several periods.
#
#   bench/jack-carry/run.sh jackd|pipewire [PERIOD...]
#
# Builds carry.cpp, then for each period (jackd: 128 1024 4096; PipeWire:
# 256 1024 2048 8192 unless named) starts a private server of that kind,
# measures and stops it, and ends with a table. PipeWire runs headless from a
# config of its own, without a session manager, through its libjack
# (LD_LIBRARY_PATH). Runs inside scripts/jack-sandbox, so nothing here meets
# another server.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lib/common.sh
. "$here/../../scripts/lib/common.sh"
# shellcheck source=../../scripts/lib/jack.sh
. "$here/../../scripts/lib/jack.sh"
kind=${1:-}
case $kind in
  jackd) default_periods=(128 1024 4096) ;;
  pipewire) default_periods=(256 1024 2048 8192) ;;
  *) usage ;;
esac
shift
periods=("$@")
[ ${#periods[@]} -gt 0 ] || periods=("${default_periods[@]}")
if [ -z "${QUAVE_JACK_SANDBOX:-}" ]; then
  exec "$root/scripts/jack-sandbox" "$0" "$kind" "${periods[@]}"
fi

dir=$(mktemp -d "${TMPDIR:-/tmp}/jack-carry.XXXXXX")
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$dir"' EXIT
g++ -std=c++17 -O2 -Wall -o "$dir/carry" "$here/carry.cpp" -ljack -lrtmidi -ldl
carry=$dir/carry
now_ms() { date +%s%3N; }

pw_libjack=/usr/lib/$(gcc -print-multiarch)/pipewire-0.3/jack
if [ "$kind" = pipewire ]; then
  [ -e "$pw_libjack/libjack.so.0" ] || { echo "run.sh: no $pw_libjack/libjack.so.0 (install pipewire-jack)" >&2; exit 1; }
  export LD_LIBRARY_PATH=$pw_libjack
  # A runtime folder of its own: the socket is $XDG_RUNTIME_DIR/pipewire-0.
  export XDG_RUNTIME_DIR=$dir/run
  mkdir -m 700 "$XDG_RUNTIME_DIR"
else
  export JACK_DEFAULT_SERVER=jack-carry
fi

# A headless PipeWire at quantum $1 (scripts/pipewire-headless.conf).
pipewire_config() {
  sed -e "s/@QUANTUM@/$1/g" -e "s/@QUANTUM_LIMIT@/$(($1 > 8192 ? $1 : 8192))/g" \
    "$root/scripts/pipewire-headless.conf"
}

server_pid=
start_server() {
  local period=$1 start i args
  start=$(now_ms)
  if [ "$kind" = jackd ]; then
    mapfile -t args < <(jackd_args jack-carry "$period")
    jackd "${args[@]}" </dev/null >"$dir/server.log" 2>&1 &
  else
    pipewire_config "$period" >"$dir/pipewire.conf"
    pipewire -c "$dir/pipewire.conf" </dev/null >"$dir/server.log" 2>&1 &
  fi
  server_pid=$!
  # 10 ms turns, 10 s at most.
  for ((i = 0; i < 1000; i++)); do
    if timeout 2 jack_lsp >/dev/null 2>&1; then
      echo "server up after: $(($(now_ms) - start)) ms"
      return 0
    fi
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.01
  done
  cat "$dir/server.log" >&2
  echo "run.sh: the $kind server did not start (its log is above)" >&2
  exit 1
}

stop_server() {
  local start i
  start=$(now_ms)
  kill -TERM "$server_pid"
  for ((i = 0; i < 500; i++)); do
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.01
  done
  wait "$server_pid" 2>/dev/null || true
  echo "server stopped after: $(($(now_ms) - start)) ms"
}

# run ARGS...: carry's lines, and how it ended when it did not end well.
run() {
  local rc=0
  # In a subshell, so that a crash is told once, below, not by bash too.
  ("$carry" "$@"; exit $?) 2>/dev/null || rc=$?
  [ "$rc" = 0 ] || echo "$*: carry ended with status $rc$([ "$rc" -gt 128 ] && echo " (signal $((rc - 128)))")"
}

# largest FIELD TOP: the largest size up to TOP that arrives complete, as
# one event or several, at the raw receiver (FIELD raw) or at RtMidi's input
# (rtmidi_in), one process a try.
largest() {
  local field=$1 lo=4 hi=$2 mid
  while [ "$lo" -lt "$hi" ]; do
    mid=$(((lo + hi + 1) / 2))
    if run whole "$mid" | grep -Eq "$field (whole|rejoined)"; then lo=$mid; else hi=$((mid - 1)); fi
  done
  echo "$lo"
}

field() { sed -n "s/^$1: //p" "$2" | head -n 1; }

rows=()
for period in "${periods[@]}"; do
  echo "== $kind, period $period =="
  start_server "$period"
  run info | tee "$dir/info"
  limit=$(field reserve_limit "$dir/info")
  raw=$(largest raw "$limit")
  rt=$(largest rtmidi_in "$limit")
  echo "largest complete message: raw $raw, rtmidi_in $rt"
  # Each side of the edge three times, then the program's load requests whole.
  for size in "$raw" "$raw" "$raw" $((raw + 1)) $((raw + 1)) $((raw + 1)); do run whole "$size"; done | tee "$dir/edge"
  for size in 6008 14063 18744; do run rtmidi-whole "$size"; done
  # One process each: a libjack may crash on what a cycle cannot hold.
  for mark in plain f7; do
    for how in one_per_cycle same_cycle rtmidi_out; do run fragments 4096 $mark $how; done
  done | tee "$dir/fragments"
  stop_server
  cont=$(grep -c "^fragments.*one_per_cycle: raw as sent" "$dir/fragments" || true)
  joined=$(grep -c "^fragments.*rtmidi_out: raw .*; rtmidi_in whole" "$dir/fragments" || true)
  marked=$(grep -c "^f7_fragments.*one_per_cycle: raw .*; rtmidi_in whole" "$dir/fragments" || true)
  past=$(grep "^whole $((raw + 1))" "$dir/edge" | sed 's/^[^:]*: //; s/ (.*bytes)//' | sort | uniq -c |
    sed 's/^ *//' | paste -sd '|')
  rows+=("$(printf '%-8s %-6s %-6s %-6s %-6s %-6s %-6s %-4s %-4s %-4s %s' "$kind" "$period" \
    "$(field buffer_size "$dir/info")" "$(field max_event_size "$dir/info")" "$limit" "$raw" "$rt" \
    "$cont/4" "$joined/4" "$marked/4" "$past")")
  echo
done

echo "version: $(field version_string "$dir/info")"
echo "columns: server, period asked, buffer size, jack_midi_max_event_size, largest reservation," \
  "largest message sent as one event that arrives complete (raw receiver, RtMidi input)," \
  "fragmented messages whose events all arrive as sent (sender, one per cycle)," \
  "fragmented messages through RtMidi's output arriving whole at RtMidi's input," \
  "fragmented messages with 0xF7-marked continuations (one per cycle) arriving whole at RtMidi's input," \
  "and what one byte more met in three tries"
printf '%s\n' "${rows[@]}"
