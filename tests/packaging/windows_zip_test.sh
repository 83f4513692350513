#!/usr/bin/env bash
# The Windows zip as a user gets it: made by cpack from the Windows build,
# unpacked, holding exactly the program, its README and the examples, and
# the program checking an example from the unpacked folder under Wine.
#
#   windows_zip_test.sh WINDOWS_BUILD_DIR WINE_RUN   (WINEPREFIX set)
set -euo pipefail
build=$(cd "${1:?usage: windows_zip_test.sh WINDOWS_BUILD_DIR WINE_RUN}" && pwd)
wine_run=${2:?}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
version=$(sed -n 's/^project(quave-cli VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
checks=0

fail() {
  echo "windows zip test: $*" >&2
  exit 1
}
expect_eq() {
  [ "$2" = "$3" ] || fail "$1: got '$2', wanted '$3'"
  checks=$((checks + 1))
}

(cd "$work" && cpack -G ZIP --config "$build/CPackConfig.cmake" -B "$work/pkg" >/dev/null) ||
  fail "cpack failed"
name=quave-cli-$version-win64
[ -f "$work/pkg/$name.zip" ] || fail "no $name.zip: $(ls "$work/pkg")"
unzip -q "$work/pkg/$name.zip" -d "$work/unpacked"
top=$work/unpacked/$name
wanted=$(cd "$source_dir" && { printf '%s\n' quave-cli.exe README.txt; ls examples/*unit; } | sort)
expect_eq "contents" "$(cd "$top" && find . -type f | sed 's|^\./||' | sort)" "$wanted"
# Windows line ends throughout the README, and its version is this one.
expect_eq "README lines ending in CR LF" "$(grep -c $'\r$' "$top/README.txt")" \
  "$(wc -l <"$top/README.txt")"
expect_eq "README title" "$(head -n 1 "$top/README.txt")" "quave-cli $version for Windows (64-bit)"$'\r'
# No DLL of its own beside it: only the system's.
dlls=$(x86_64-w64-mingw32-objdump -p "$top/quave-cli.exe" | sed -n 's/^\tDLL Name: //p' | sort | tr '\n' ' ')
expect_eq "DLLs" "$dlls" "ADVAPI32.dll KERNEL32.dll SHELL32.dll WINMM.dll msvcrt.dll "

# As the README tells it: from the unpacked folder, a relative Windows path.
out=$(cd "$top" && timeout 60 "$wine_run" quave-cli.exe check -u 'examples\sawtooth.vstlunit' | od -An -c | tr -s ' \n' ' ')
want=$(printf '> Parsing vestrel unit archive\r\n> Parsing manifest\r\n> Parsing unit binary payload\r\n> Looks okay.\r\n' |
  od -An -c | tr -s ' \n' ' ')
expect_eq "check from the zip" "$out" "$want"
echo "windows zip: $checks checks passed"
