#!/usr/bin/env bash
# Times the reading of a large test file by "algtool check": N cases (by
# default 160,000, then a million) and a mistake on the very last line, so
# the whole file is read before the tool answers; nothing runs.
#   bench/algtool_testfile.sh [BUILD_DIR] [CASES...]   (default build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build-release}"
shift || true
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(160000 1000000)
case "$dir" in /*) ;; *) dir="$(pwd)/$dir" ;; esac
tool="$dir/bin/algtool"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tool" new "$work/a.alg"

for n in "${counts[@]}"; do
  awk -v n="$n" 'BEGIN { for (i = 1; i <= n; i++) printf "=== случай %d\n< %d\n> %d\n", i, i, i; print "вывод" }' \
    >"$work/tests.txt"
  start=$(date +%s%N)
  status=0
  "$tool" check "$work/tests.txt" "$work/a.alg" 2>"$work/err" >/dev/null || status=$?
  end=$(date +%s%N)
  if [ "$status" -ne 1 ] || ! grep -q "строка $((3 * n + 1)):" "$work/err"; then
    echo "unexpected answer (status $status): $(head -c 300 "$work/err")" >&2
    exit 1
  fi
  echo "algtool check, a test file of $n cases with a mistake on its last line: $(((end - start) / 1000000)) ms"
done
