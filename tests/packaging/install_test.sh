#!/usr/bin/env bash
# What a user gets: `cmake --install` into a fresh prefix, and the Debian
# package, read, unpacked, run, checked by lintian and installed on a fresh
# machine of this release (scripts/try-package).
#
#   install_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: install_test.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
checks=0

fail() {
  echo "install test: $*" >&2
  exit 1
}
# expect_eq WHAT GOT WANTED
expect_eq() {
  [ "$2" = "$3" ] || fail "$1: got '$2', wanted '$3'"
  checks=$((checks + 1))
}

# check_tree ROOT: the installed programs run and the files are in place.
check_tree() {
  local root=$1 out
  out=$("$root/bin/quave-cli" check --unit "$root/share/doc/quave-cli/examples/sawtooth.vstlunit")
  expect_eq "installed check" "$(tail -n 1 <<<"$out")" "> Looks okay."
  "$root/bin/quave-devsim" --help >/dev/null || fail "installed quave-devsim --help failed"
  for f in share/man/man1/quave-cli.1.gz share/man/man1/quave-devsim.1.gz \
           share/bash-completion/completions/quave-cli \
           share/bash-completion/completions/quave-devsim share/doc/quave-cli/README.md; do
    [ -s "$root/$f" ] || fail "$f missing under $root"
  done
  checks=$((checks + 2))
}

cmake --install "$build" --prefix "$work/prefix" >/dev/null
check_tree "$work/prefix"

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >/dev/null) ||
  fail "cpack failed"
deb=$(ls "$work"/pkg/quave-cli_*.deb)
expect_eq "Package" "$(dpkg-deb -f "$deb" Package)" "quave-cli"
# The release in the version: each Debian release gets a package of its own.
release=$(. /etc/os-release && echo "$VERSION_ID")
expect_eq "Version" "$(dpkg-deb -f "$deb" Version)" \
  "$(sed -n 's/^project(quave-cli VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")~deb${release}u1"
expect_eq "Section" "$(dpkg-deb -f "$deb" Section)" "sound"
expect_eq "Suggests" "$(dpkg-deb -f "$deb" Suggests)" "jackd2"
depends=$(dpkg-deb -f "$deb" Depends)
# The MIDI library is opened at run time, so it must be named by hand; the
# others come from the binaries.
for lib in librtmidi libzip libc6; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
checks=$((checks + 1))
dpkg-deb -x "$deb" "$work/root"
check_tree "$work/root/usr"
lintian --fail-on error --suppress-tags-from-file /dev/null "$deb" >"$work/lintian.txt" 2>&1 ||
  { cat "$work/lintian.txt" >&2; fail "lintian found errors"; }
checks=$((checks + 1))
"$(dirname "$0")/../../scripts/try-package" "$deb" || fail "the package does not install and run on a fresh machine"
checks=$((checks + 1))
echo "install and package: $checks checks passed"
