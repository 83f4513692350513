#!/usr/bin/env bash
# Every path of the tree the docs name exists: in README.md, docs/ and
# bench/'s notes, each word that begins with a top folder of the tree (or
# is a file at its top) names a file or folder there. A path followed by
# "<", "*" or "{" is the beginning of a name (`cli/<name>.cpp`,
# `device/midi/paced_send.*`): something must begin so.
#
#   docs_paths_test.sh SOURCE_DIR
set -euo pipefail
root=$(cd "${1:?usage: docs_paths_test.sh SOURCE_DIR}" && pwd)
cd "$root"

tops='\.ci|base|bench|cli|cmake|completion|device|display|docs|examples|fuzz|man|packaging|scripts|tests|tools|unit'
files='main\.cpp|CMakeLists\.txt|CMakePresets\.json|README\.md'
docs=(README.md docs/*.md bench/*.md)
missing=() checks=0
for doc in "${docs[@]}"; do
  # Not inside another path (/usr/lib/..., build/tests/...) or a word.
  while IFS= read -r found; do
    path=${found%[<*{]}
    if [ "$path" != "$found" ]; then
      compgen -G "$path*" >/dev/null || missing+=("$doc: $found")
    else
      path=${path%.}
      [ -e "$path" ] || missing+=("$doc: $path")
    fi
    checks=$((checks + 1))
  done < <(grep -oP "(?<![\\w./~\$-])(?:(?:$tops)/[\\w./+-]*[<*{]?|(?:$files)\\b)" "$doc")
done
if [ ${#missing[@]} -gt 0 ]; then
  printf 'docs paths test: no such path: %s\n' "${missing[@]}" >&2
  exit 1
fi
# The docs name hundreds: a search that finds few has gone wrong.
[ "$checks" -ge 100 ] || { echo "docs paths test: only $checks paths found" >&2; exit 1; }
echo "docs paths test: the $checks paths the docs name exist"
