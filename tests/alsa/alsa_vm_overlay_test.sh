#!/usr/bin/env bash
# scripts/alsa-vm --overlay: the guest reads the folder as this machine has
# it and writes there without changing it here; folders it cannot lay a
# layer over are refused before any boot.
#
#   alsa_vm_overlay_test.sh SOURCE_DIR
set -uo pipefail
alsa_vm=$(cd "${1:?usage: alsa_vm_overlay_test.sh SOURCE_DIR}" && pwd)/scripts/alsa-vm
fail() {
  echo "alsa-vm overlay test: $*" >&2
  exit 1
}
# Folders here must be ones the option takes.
base=${TMPDIR:-/tmp}
[[ $base =~ ^/[A-Za-z0-9._/-]*$ ]] || base=/tmp
dir=$(mktemp -d "$base/alsa-vm-overlay.XXXXXX")
trap 'rm -rf "$dir"' EXIT

refused() {
  local folder=$1 line=$2 err rc
  err=$("$alsa_vm" --overlay "$folder" -- true 2>&1 >/dev/null)
  rc=$?
  [ $rc = 2 ] || fail "--overlay $folder: exit $rc, wanted 2"
  [ "$err" = "alsa-vm: --overlay $folder: $line" ] || fail "--overlay $folder said: $err"
}
refused "$dir/missing" "no such folder"
for folder in "with,comma" "with space" "with:colon"; do
  mkdir "$dir/$folder"
  refused "$dir/$folder" "only a folder other than / whose path has no blanks, commas or colons"
done

mkdir "$dir/shared"
echo "from the host" >"$dir/shared/kept"
out=$(cd "$dir/shared" && "$alsa_vm" --overlay . -- sh -c \
  'cat kept && echo "from the guest" >kept && cat kept && touch made' 2>&1 </dev/null) ||
  fail "the guest's command failed: $out"
# The guest's command ran in the folder given, read it, and wrote over it.
[ "$out" = $'from the host\nfrom the guest' ] || fail "the guest saw: $out"
[ "$(cat "$dir/shared/kept")" = "from the host" ] || fail "the guest's write reached the host"
[ ! -e "$dir/shared/made" ] || fail "the guest's new file reached the host"
