# What the scripts that build and prove packages share, common.sh's
# included; sourced.
# shellcheck shell=bash

# shellcheck source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# cpack_made [FILE]: the path of the package cpack's output (FILE, or
# standard input) says it made.
cpack_made() {
  sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' "${1:--}"
}

# build_package PRESET GENERATOR JOBS: configures and builds a preset of
# CMakePresets.json, then packs its folder with cpack -G GENERATOR, and
# prints the package's path. The output goes to build.log in the preset's
# folder and is shown, on standard error, when anything fails.
build_package() {
  local preset=$1 generator=$2 jobs=$3
  local build=$root/build-$preset
  local log=$build/build.log made
  mkdir -p "$build"
  if ! (cd "$root" && cmake --preset "$preset" && cmake --build --preset "$preset" -j"$jobs" &&
          cd "$build" && cpack -G "$generator") >"$log" 2>&1; then
    cat "$log" >&2
    die "the $preset build failed (its output is above)"
  fi
  made=$(cpack_made "$log")
  [ -f "$made" ] || { cat "$log" >&2; die "cpack made no package in the $preset build"; }
  echo "$made"
}

# in_fresh_root RELEASE INTO SCRIPT ARGS...: runs scripts/SCRIPT ARGS as root
# in a fresh amd64 Debian RELEASE root (scripts/debian-root) that holds this
# tree as it stands, build folders and .git left out; copies the file whose
# path it prints into the folder INTO, and prints the copy's path. The root
# goes when it ends, however it ends.
in_fresh_root() (
  # Its callers take its output with $(...), where bash drops set -e.
  set -e
  local release=$1 into=$2 script=$3 other made
  shift 3
  other=$(mktemp -d "${TMPDIR:-/tmp}/quave-$script-$release.XXXXXX")
  trap 'rm -rf --one-file-system "$other"' EXIT
  "$root/scripts/debian-root" make "$release" "$other"
  mkdir -p "$other/root/quave-cli"
  tar -C "$root" --exclude='./build*' --exclude=./.git -cf - . | tar -C "$other/root/quave-cli" -xf -
  made=$("$root/scripts/debian-root" run "$other" "/root/quave-cli/scripts/$script" "$@")
  mkdir -p "$into"
  cp "$other$made" "$into/"
  echo "$into/$(basename "$made")"
)

# expected_check EXAMPLE: what `check --unit` prints on standard output for
# that example package (examples/check-output).
expected_check() {
  awk -v want="== $1" '$0 == want { on = 1; next } /^== / { on = 0 } on' "$root/examples/check-output"
}

# The example packages the proofs check, as examples/check-output lists them.
checked_examples() {
  sed -n 's/^== //p' "$root/examples/check-output"
}
