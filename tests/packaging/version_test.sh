#!/usr/bin/env bash
# The version is typed once, in the project() line of CMakeLists.txt; what
# cannot be generated from it is held to it here.
#
#   version_test.sh VERSION SOURCE_DIR BUILD_DIR
set -euo pipefail
export LC_ALL=C
version=${1:?usage: version_test.sh VERSION SOURCE_DIR BUILD_DIR}
root=$(cd "${2:?}" && pwd)
build=$(cd "${3:?}" && pwd)
checks=0

fail() {
  echo "version test: $*" >&2
  exit 1
}
expect_eq() {
  [ "$2" = "$3" ] || fail "$1: got '$2', wanted '$3'"
  checks=$((checks + 1))
}

[[ $version =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)$ ]] || fail "not MAJOR.MINOR.PATCH: $version"
major=${BASH_REMATCH[1]} minor=${BASH_REMATCH[2]} patch=${BASH_REMATCH[3]}

# The newest changelog entry is this version, and its date is the pages'.
first=$(head -n 1 "$root/packaging/changelog")
expect_eq "newest changelog entry" "$(sed -E 's/^quave-cli \(([^)]*)\).*/\1/' <<<"$first")" "$version"
trailer=$(grep -m 1 '^ -- ' "$root/packaging/changelog")
date=$(date -u -d "$(sed -E 's/^.*>  //' <<<"$trailer")" +%Y-%m-%d) || fail "no date in: $trailer"

for page in quave-cli.1 quave-devsim.1; do
  [ -f "$build/man/$page" ] || fail "$build/man/$page is not built"
  title=$(grep -m 1 '^\.TH ' "$build/man/$page" | sed 's/\\-/-/g')
  name=$(tr a-z A-Z <<<"${page%.1}")
  expect_eq "$page title line" "$title" ".TH $name 1 $date \"quave-cli $version\" \"User Commands\""
done

# The banner's form is fixed; its numbers are the project's.
# Not through head: a pipe it closes early may end the program by SIGPIPE.
banner=$("$build/quave-cli" check --version)
banner=${banner%%$'\n'*}
expect_eq "banner" "$banner" "$(printf 'Version: %u.%02u-%ub API: 1.01-0' "$major" "$minor" "$patch")"

# Nothing else types the version out.
# The tracked files; a tree without git (an unpacked archive) is searched
# whole but for what the build and the fuzzer leave there.
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  files=$(cd "$root" && git ls-files)
else
  files=$(cd "$root" && find . \( -path './build*' -o -path './fuzz/corpus-run*' -o -path ./Testing \) \
    -prune -o -type f -print | sed 's|^\./||')
fi
[ -n "$files" ] || fail "no source files found in $root"
typed=$(cd "$root" && tr '\n' '\0' <<<"$files" | xargs -0 grep -lF -- "$version" |
  grep -vxE 'CMakeLists.txt|packaging/changelog' || true)
[ -z "$typed" ] || fail "the version $version is typed in: $typed"
checks=$((checks + 1))

echo "version test: $checks checks passed"
