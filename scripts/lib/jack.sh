# The private JACK server the harness, the proofs and the benchmarks start
# (the tests' rig, tests/support/midi_rig.cpp, reads jackd-options too);
# sourced.
# shellcheck shell=bash

# jackd_args NAME [PERIOD]: jackd's arguments, one a line, for a server of
# that name: the lines of jackd-options beside this file, with the period
# given, if any, in place of the one there.
jackd_args() {
  local name=$1 period=${2:-} line previous=
  while IFS= read -r line; do
    case $line in '' | '#'*) continue ;; esac
    if [ "$line" = @NAME@ ]; then
      line=$name
    elif [ -n "$period" ] && [ "$previous" = -p ]; then
      line=$period
    fi
    printf '%s\n' "$line"
    previous=$line
  done <"$(dirname "${BASH_SOURCE[0]}")/jackd-options"
}
