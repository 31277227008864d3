#!/usr/bin/env bash
# The faithful C++ program ("algtool code --lang cpp", built with g++ -O2)
# beside "algtool run" on the same algorithm, both as whole processes, with
# farm-bench's medians and its pair-by-pair ratio (program / interpreter):
# the rows of bench/versus_python.sh, as make_bench_algs writes them: the
# counting loop summing 1..5,000,000, the primes below 50,000 by trial
# division, 1,500 × 1,500 nested passes summing a MOD, and a loop with a
# fractional step summing square roots.
# A ratio above 1 means the compiled program lost to the interpreter.
#   bench/code_speed.sh [BUILD_DIR]   (default build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build-release}"
tool="$dir/bin/algtool"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$dir/bin/make_bench_algs" "$work"
for name in sum primes nested_mod roots; do
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
