#!/usr/bin/env bash
# Times "algtool run" on the million-pass counting loop as a whole process
# (start, load, run, print) and reports counted steps per second.
#   bench/algtool_run.sh [BUILD_DIR]   (default build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build-release}"
tool="$dir/bin/algtool"
file=examples/million_sum.alg
steps=2000004 # the root, S=0, then a loop test and a body pass per number, the last test, the output
best=""
for run in 1 2 3 4 5; do
  start=$(date +%s%N)
  "$tool" run "$file" >/dev/null
  end=$(date +%s%N)
  ns=$((end - start))
  if [ -z "$best" ] || [ "$ns" -lt "$best" ]; then best=$ns; fi
done
echo "algtool run $file: best of 5 $((best / 1000000)) ms, $((steps * 1000000 / (best / 1000))) steps/s"
