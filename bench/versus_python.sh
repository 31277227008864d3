#!/usr/bin/env bash
# The interpreter beside python3 on the same work, both as whole processes
# (start, load, run, print), in turns (algtool, python3, algtool, ...) and
# the median of 5 runs each, all in one go:
#   - the sum of 1..5,000,000;
#   - the primes below 50,000 by trial division;
#   - a 1500 x 1500 nested loop with MOD;
#   - a fractional loop with SQRT;
# then the drawing loops beside the bare sum with as many passes: one
# segment a pass, one point a pass, their steps per second and their share
# of the sum's; and the start-up of "algtool run" on a one-block algorithm.
# The ratios are python3's time over algtool's (above 1: algtool is ahead)
# and the drawing loop's speed over the sum's.
#   bench/versus_python.sh [BUILD_DIR]   (default build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build-release}"
tool="$dir/bin/algtool"
# The interpreter itself, not a wrapper that picks one (its start would count).
python=$(python3 -c 'import sys; print(sys.executable)')
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$dir/bin/make_bench_algs" "$work"

cat >"$work/sum.py" <<'PY'
def main():
    s = 0
    for i in range(1, 5000001):
        s = s + i
    print(s)
main()
PY
cat >"$work/primes.py" <<'PY'
def main():
    c = 0
    for n in range(2, 50000):
        p = 1
        d = 2
        while d * d <= n:
            if n % d == 0:
                p = 0
                d = n
            d = d + 1
        if p == 1:
            c = c + 1
    print(c)
main()
PY
cat >"$work/nested_mod.py" <<'PY'
def main():
    s = 0
    for i in range(1, 1501):
        for j in range(1, 1501):
            s = s + (i * j) % 7
    print(s)
main()
PY
cat >"$work/roots.py" <<'PY'
import math
def main():
    s = 0.0
    x = 0.0
    while x < 500000:
        s = s + math.sqrt(x)
        x = x + 0.25
    print(s)
main()
PY

. bench/timing.sh

# pair NAME A_CMD... -- B_CMD...: the medians of A and B run in turns.
pair() {
  local name=$1; shift
  local a=() b=() at=() bt=() i
  while [ "$1" != "--" ]; do a+=("$1"); shift; done
  shift
  b=("$@")
  for i in 1 2 3 4 5; do
    at+=("$(seconds "${a[@]}")")
    bt+=("$(seconds "${b[@]}")")
  done
  echo "$name $(median "${at[@]}") $(median "${bt[@]}")"
}

echo "algtool run against python3 (median of 5 wall seconds; ratio python3 / algtool, goal >= 1.5)"
for loop in sum primes nested_mod roots; do
  read -r name a p < <(pair "$loop" "$tool" run "$work/$loop.alg" -- "$python" "$work/$loop.py")
  awk -v n="$name" -v a="$a" -v p="$p" 'BEGIN {
    printf "  %-11s algtool %6.3f s  python3 %6.3f s  ratio %.2f\n", n, a, p, p / a }'
done

# Steps of the drawing loops: the loop test and the body each pass, the
# last test. 3,000,000 passes each.
steps=6000001
echo "drawing against summing (steps per second; goal: segment >= 0.5 and >= 8 M/s, point >= 0.8)"
for shape in segments points; do
  read -r name d s < <(pair "$shape" "$tool" run "$work/$shape.alg" -- "$tool" run "$work/plain_sum.alg")
  awk -v n="$name" -v d="$d" -v s="$s" -v k="$steps" 'BEGIN {
    printf "  %-9s %5.1f M steps/s  sum %5.1f M steps/s  share %.2f\n", n, k / d / 1e6, k / s / 1e6, s / d }'
done

echo "start-up of algtool run (one block; median of 5) beside python3 -c pass"
read -r name a p < <(pair start "$tool" run examples/table_of_squares.alg -- "$python" -c pass)
awk -v a="$a" -v p="$p" 'BEGIN { printf "  algtool run %.1f ms  python3 %.1f ms\n", a * 1000, p * 1000 }'
