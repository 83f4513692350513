#!/usr/bin/env bash
# scripts/alsa-vm --overlay: the guest reads the folder as this machine has
# it and writes there without changing it here.
#
#   alsa_vm_overlay_test.sh SOURCE_DIR
set -uo pipefail
alsa_vm=$(cd "${1:?usage: alsa_vm_overlay_test.sh SOURCE_DIR}" && pwd)/scripts/alsa-vm
fail() {
  echo "alsa-vm overlay test: $*" >&2
  exit 1
}
dir=$(mktemp -d /tmp/alsa-vm-overlay.XXXXXX)
trap 'rm -rf "$dir"' EXIT

mkdir "$dir/shared"
echo "from the host" >"$dir/shared/kept"
out=$(cd "$dir/shared" && "$alsa_vm" --overlay . -- sh -c \
  'cat kept && echo "from the guest" >kept && cat kept && touch made' 2>&1 </dev/null) ||
  fail "the guest's command failed: $out"
# The guest's command ran in the folder given, read it, and wrote over it.
[ "$out" = $'from the host\nfrom the guest' ] || fail "the guest saw: $out"
[ "$(cat "$dir/shared/kept")" = "from the host" ] || fail "the guest's write reached the host"
[ ! -e "$dir/shared/made" ] || fail "the guest's new file reached the host"
