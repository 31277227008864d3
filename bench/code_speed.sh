#!/usr/bin/env bash
# The faithful C++ program ("algtool code --lang cpp", built with g++ -O2)
# beside "algtool run" on the same algorithm, both as whole processes, with
# farm-bench's medians and its pair-by-pair ratio (program / interpreter):
#   - a counting loop: examples/million_sum.alg;
#   - the prime count: examples/prime_count.alg (nested loops, MOD, branches);
#   - nested counting loops summing a MOD, 1,000 × 1,000 passes;
#   - a loop with a fractional step summing square roots, a million passes.
# A ratio above 1 means the compiled program lost to the interpreter.
#   bench/code_speed.sh [BUILD_DIR]   (default build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build-release}"
tool="$dir/bin/algtool"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$dir/bin/code_speed_algorithms" "$work"
cp examples/million_sum.alg examples/prime_count.alg "$work/"
for name in million_sum prime_count nested_mod fractional_sqrt; do
  "$tool" code "$work/$name.alg" --lang cpp -o "$work/$name.cpp"
  g++ -std=c++17 -O2 -o "$work/$name" "$work/$name.cpp"
  if [ "$("$work/$name")" != "$("$tool" run "$work/$name.alg")" ]; then
    echo "$name: the program prints what the interpreter does not" >&2
    exit 1
  fi
  echo "== $name: $("$work/$name")"
  farm-bench -n 7 --timeout 300 --vs "$tool run $work/$name.alg" -- "$work/$name" |
    grep -Ei "wall|cpu|ratio|median" || true
done
