#!/usr/bin/env bash
# The build keeps each layer to the layers it may use: a layer compiles
# against its own folder of links in the build tree, and an include of a
# header it may not use must not be found there.
#
#   layers_test.sh COMPILER BUILD_DIR [-I DIR]...
set -euo pipefail
compiler=${1:?usage: layers_test.sh COMPILER BUILD_DIR [-I DIR]...}
views=$(cd "${2:?}" && pwd)/layer-view
shift 2
checks=0
# Quoted includes are looked for beside the including file first, here the
# current folder: an empty one.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

# One row a line: the layer, a header, and whether the layer sees it.
while read -r layer header seen; do
  [ -n "$layer" ] || continue
  [ -d "$views/$layer" ] || { echo "layers test: no view of layer $layer" >&2; exit 1; }
  if err=$(echo "#include \"$header\"" |
           "$compiler" -std=c++17 -fsyntax-only -I "$views/$layer" "$@" -x c++ - 2>&1); then
    [ "$seen" = yes ] || { echo "layers test: $layer sees $header" >&2; exit 1; }
  else
    [ "$seen" = no ] || { echo "layers test: $layer cannot include $header:" >&2; echo "$err" >&2; exit 1; }
    # Refused for want of the file, not for an error inside it.
    grep -q "${header}: No such file or directory\|'${header}' file not found" <<<"$err" ||
      { echo "layers test: $layer fails on $header otherwise:" >&2; echo "$err" >&2; exit 1; }
  fi
  checks=$((checks + 1))
done <<'ROWS'
protocol    device/protocol/replies.hpp        yes
protocol    unit/models.hpp                    yes
protocol    unit/unit_steps.hpp                no
protocol    unit/identifiers.hpp               no
protocol    unit/zip_archive.hpp               no
protocol    device/link.hpp                    no
protocol    device/midi/midi_link.hpp          no
protocol    device/midi/system/quiet_stderr.hpp no
device      device/protocol/messages.hpp       yes
device      device/midi/midi_link.hpp          no
device      device/midi/system/midi_system.hpp no
midi_system base/bytes.hpp                     yes
midi_system device/midi/paced_send.hpp         no
midi        device/midi/system/midi_system.hpp yes
midi        device/device_interface.hpp        yes
midi        display/link_texts.hpp             no
display     device/outcome.hpp                 yes
display     device/midi/midi_ports.hpp         no
unit        device/protocol/messages.hpp       no
base        unit/identifiers.hpp               no
cli         device/midi/midi_ports.hpp         yes
device_side base/bytes.hpp                     yes
device_side tools/devsim/device/sysex.hpp      yes
device_side device/protocol/messages.hpp       no
device_side unit/unit_image.hpp                no
devsim_model tools/devsim/device/replies.hpp   yes
devsim_model unit/models.hpp                   yes
devsim_model device/protocol/messages.hpp      no
devsim_model tools/devsim/transport/sim_ports.hpp no
devsim_transport device/midi/system/jack_server.hpp yes
devsim_transport tools/devsim/model/sim_device.hpp no
devsim_transport device/protocol/messages.hpp  no
devsim_cli  tools/devsim/model/sim_config.hpp  yes
devsim_cli  tools/devsim/transport/sim_ports.hpp no
ROWS
echo "layers test: $checks includes as the layers allow"
