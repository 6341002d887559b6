#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks that both programs land in bin/ and both
# manual pages in share/man/man1/, the pages as written in docs/. When man is available, the
# installed pages must also render without a single warning.
#
# Usage: install_check.sh CMAKE BUILD_DIR
set -u
cmake_bin=$1
build_dir=$2
docs_dir=$(cd "$(dirname "$0")/../docs" && pwd)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix

if ! "$cmake_bin" --install "$build_dir" --prefix "$prefix" > "$scratch/install.log" 2>&1; then
  echo "cmake --install failed:"; cat "$scratch/install.log"; exit 1
fi

fail=0
for program in torvane scrubnote; do
  if [ ! -f "$prefix/bin/$program" ] || [ ! -x "$prefix/bin/$program" ]; then
    echo "missing or not executable: bin/$program"; fail=1
  fi
done

pages=()
for page in torvane.1 scrubnote.1; do
  installed=$prefix/share/man/man1/$page
  if [ ! -f "$installed" ]; then
    echo "missing: share/man/man1/$page"; fail=1
  elif ! cmp -s "$installed" "$docs_dir/$page"; then
    echo "share/man/man1/$page differs from docs/$page"; fail=1
  else
    pages+=("$installed")
  fi
done

if ! command -v man > /dev/null || ! man --help 2>&1 | grep -q -- --warnings; then
  echo "man with --warnings not available: rendering not checked"
  exit $fail
fi
for page in "${pages[@]}"; do
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 > "$scratch/rendered")
  if [ -n "$warnings" ]; then
    echo "man warns about $(basename "$page"):"; echo "$warnings"; fail=1
  fi
  if ! grep -q '^NAME' "$scratch/rendered"; then
    echo "man rendered nothing recognisable for $(basename "$page")"; fail=1
  fi
done
exit $fail
