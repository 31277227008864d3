#!/usr/bin/env bash
# A run of 100,000,000 steps that prints nothing must hold no more memory at
# its end than at its start: the resident set of "algtool run" is read from
# /proc half a second into the run and again just before it ends.
#   bench/run_memory.sh [BUILD_DIR]   (default build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build-release}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$dir/bin/make_bench_algs" "$work"
"$dir/bin/algtool" run "$work/long.alg" --max-steps 100000000 >/dev/null &
pid=$!
rss() { awk '/^VmRSS/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true; }
sleep 0.5
first=$(rss)
last=$first
while kill -0 "$pid" 2>/dev/null; do
  now=$(rss)
  [ -n "$now" ] && last=$now
  sleep 0.2
done
wait "$pid" || true
echo "resident set: ${first} kB after 0.5 s, ${last} kB at the end (100,000,000 steps)"
[ "${last:-0}" -le "${first:-0}" ] && echo "no growth" || echo "GREW by $((last - first)) kB"
