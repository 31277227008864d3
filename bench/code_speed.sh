#!/usr/bin/env bash
# The faithful C++ program ("algtool code --lang cpp", built with g++ -O2)
# beside "algtool run" on the same algorithm, both as whole processes, in
# turns (program, algtool, program, ...), the median of 7 wall times each:
# the rows of bench/versus_python.sh, as make_bench_algs writes them: the
# counting loop summing 1..5,000,000, the primes below 50,000 by trial
# division, 1,500 × 1,500 nested passes summing a MOD, and a loop with a
# fractional step summing square roots.
# The ratio is the program's time over algtool's: above 1, the compiled
# program lost to the interpreter.
#   bench/code_speed.sh [BUILD_DIR]   (default build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build-release}"
tool="$dir/bin/algtool"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$dir/bin/make_bench_algs" "$work"

. bench/timing.sh

echo "compiled program against algtool run (median of 7 wall seconds; ratio program / algtool, goal <= 1)"
for name in sum primes nested_mod roots; do
  "$tool" code "$work/$name.alg" --lang cpp -o "$work/$name.cpp"
  g++ -std=c++17 -O2 -o "$work/$name" "$work/$name.cpp"
  if [ "$("$work/$name")" != "$("$tool" run "$work/$name.alg")" ]; then
    echo "$name: the program prints what the interpreter does not" >&2
    exit 1
  fi
  p=() a=()
  for i in 1 2 3 4 5 6 7; do
    p+=("$(seconds "$work/$name")")
    a+=("$(seconds "$tool" run "$work/$name.alg")")
  done
  awk -v n="$name" -v p="$(median "${p[@]}")" -v a="$(median "${a[@]}")" 'BEGIN {
    printf "  %-11s program %6.3f s  algtool %6.3f s  ratio %.2f\n", n, p, a, p / a }'
done
