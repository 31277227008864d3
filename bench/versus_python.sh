#!/usr/bin/env bash
# The interpreter beside python3 on the same work, both as whole processes
# (start, load, run, print), best of 5 runs each, measured in one go:
#   - the million-pass sum: "algtool run examples/million_sum.alg" against a
#     plain for loop inside a function;
#   - the prime count below 20000 by trial division: examples/prime_count.alg
#     against the same nested loops in python3.
# Prints the times, their ratio and the interpreter's counted steps per
# second (wall clock and CPU time; on a loaded machine the CPU time is the
# steadier figure).
#   bench/versus_python.sh [BUILD_DIR]   (default build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build-release}"
tool="$dir/bin/algtool"
# The interpreter itself, not a wrapper that picks one (its start would count).
python=$(python3 -c 'import sys; print(sys.executable)')

sum_py='
def main():
    s = 0
    for i in range(1, 1000001):
        s = s + i
    print(s)
main()
'
primes_py='
def main():
    c = 0
    for n in range(2, 20000):
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
'

# best_of CMD...: prints "WALL CPU" in milliseconds, the best of 5 runs each.
best_of() {
  local best_wall="" best_cpu="" t wall user sys cpu
  for _ in 1 2 3 4 5; do
    t=$( { TIMEFORMAT='%R %U %S'; time "$@" >/dev/null; } 2>&1 )
    read -r wall user sys <<<"$t"
    wall=$(awk -v w="$wall" 'BEGIN { printf "%d", w * 1000 }')
    cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%d", (u + s) * 1000 }')
    if [ -z "$best_wall" ] || [ "$wall" -lt "$best_wall" ]; then best_wall=$wall; fi
    if [ -z "$best_cpu" ] || [ "$cpu" -lt "$best_cpu" ]; then best_cpu=$cpu; fi
  done
  echo "$best_wall $best_cpu"
}

# compare NAME STEPS ALG PYTHON_SOURCE
compare() {
  local name=$1 steps=$2 alg=$3 py=$4 a p
  a=$(best_of "$tool" run "$alg")
  p=$(best_of "$python" -c "$py")
  read -r a_wall a_cpu <<<"$a"
  read -r p_wall p_cpu <<<"$p"
  awk -v n="$name" -v s="$steps" -v aw="$a_wall" -v ac="$a_cpu" -v pw="$p_wall" -v pc="$p_cpu" 'BEGIN {
    printf "%s\n", n
    printf "  algtool run: %5d ms wall, %5d ms CPU  (%.1f / %.1f million steps/s)\n", aw, ac, s / (aw > 0 ? aw : 1) / 1000, s / (ac > 0 ? ac : 1) / 1000
    printf "  python3:     %5d ms wall, %5d ms CPU\n", pw, pc
    printf "  algtool / python3: %.2f wall, %.2f CPU\n", aw / (pw > 0 ? pw : 1), ac / (pc > 0 ? pc : 1)
  }'
}

# Counted steps: the root, S=0, a loop test and a body pass per number, the
# last test and the output; for the primes, as "algtool run --trace" counts them.
compare "million-pass sum" 2000004 examples/million_sum.alg "$sum_py"
compare "prime count below 20000" 1003819 examples/prime_count.alg "$primes_py"
