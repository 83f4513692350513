#!/usr/bin/env bash
# The Debian package of a cross build is the target's: its architecture, the
# target's MIDI library package and the libraries dpkg-shlibdeps read from
# the target's programs, which run here through binfmt, and every file the
# native package holds.
#
#   cross_package_test.sh BUILD_DIR DEB_ARCH
set -euo pipefail
build=$(cd "${1:?usage: cross_package_test.sh BUILD_DIR DEB_ARCH}" && pwd)
arch=${2:?usage: cross_package_test.sh BUILD_DIR DEB_ARCH}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "cross package test: $*" >&2
  exit 1
}

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$work"/pkg/quave-cli_*.deb)
[[ $(basename "$deb") == *_"$arch".deb ]] || fail "file name $(basename "$deb") is not for $arch"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "Architecture: $(dpkg-deb -f "$deb" Architecture)"

# The MIDI library is named by hand, from the target's copy of it: the build
# machine's own package of that name would be the wrong architecture's.
rtmidi=$(sed -n 's/^QUAVE_RTMIDI_LIBRARY:FILEPATH=//p' "$build/CMakeCache.txt")
owner=$(dpkg-query -S "$(readlink -f "$rtmidi")" | cut -d: -f1-2)
[ "${owner#*:}" = "$arch" ] || fail "$rtmidi belongs to $owner, not to an $arch package"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in "${owner%%:*}" libzip libc6; do
  grep -q "\(^\|, \)$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

dpkg-deb -x "$deb" "$work/root"
for f in bin/quave-cli bin/quave-devsim share/man/man1/quave-cli.1.gz share/man/man1/quave-devsim.1.gz \
         share/bash-completion/completions/quave-cli share/bash-completion/completions/quave-devsim \
         share/doc/quave-cli/README.md share/doc/quave-cli/copyright share/doc/quave-cli/changelog.gz; do
  [ -s "$work/root/usr/$f" ] || fail "/usr/$f missing from the package"
done
for example in sawtooth.vstlunit chorus.hlvnrxunit hall.orvtonunit; do
  out=$("$work/root/usr/bin/quave-cli" check --unit "$work/root/usr/share/doc/quave-cli/examples/$example") ||
    fail "the packaged quave-cli failed to check $example: $out"
  [ "$(tail -n 1 <<<"$out")" = "> Looks okay." ] || fail "check of $example printed: $out"
done
