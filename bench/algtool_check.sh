#!/usr/bin/env bash
# Times "algtool check" as a teacher runs it: 1,000 pupils' files (the right
# and the wrong solution of the example task, alternately) on 10 cases of a
# few dozen steps each, as a whole process; default --jobs, then --jobs 1,
# then with --all --coverage (goal: at most 3 s).
#   bench/algtool_check.sh [BUILD_DIR]   (default build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build-release}"
tool="$(pwd)/$dir/bin/algtool"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for i in $(seq 1 1000); do
  if [ $((i % 2)) -eq 0 ]; then src=examples/average.alg; else src=examples/average_mistake.alg; fi
  cp "$src" "$work/pupil$i.alg"
done
tests="$work/tests.txt"
for n in 1 2 3 4 5 6 7 8 9 10; do
  {
    echo "=== $n чисел"
    echo "< $n"
    sum=0
    for k in $(seq 1 "$n"); do echo "< $k"; sum=$((sum + k)); done
    # The mean of 1..n is (n+1)/2.
    if [ $((n % 2)) -eq 1 ]; then mean=$(((n + 1) / 2)); else mean="$((n / 2)).5"; fi
    echo "> $sum $mean"
  } >>"$tests"
done

files=("$work"/pupil*.alg)
for variant in "" 1 "all"; do
  jobs=$variant
  extra=()
  if [ "$variant" = all ]; then jobs=""; extra=(--all --coverage); fi
  best=""
  for run in 1 2 3; do
    start=$(date +%s%N)
    status=0
    "$tool" check "$tests" "${files[@]}" ${jobs:+--jobs "$jobs"} "${extra[@]}" >"$work/out" || status=$?
    end=$(date +%s%N)
    if [ "$status" -ne 4 ]; then
      echo "unexpected exit status $status" >&2
      exit 1
    fi
    ns=$((end - start))
    if [ -z "$best" ] || [ "$ns" -lt "$best" ]; then best=$ns; fi
  done
  echo "algtool check, 1000 files x 10 cases, --jobs ${jobs:-$(nproc)}${extra[*]:+ ${extra[*]}}: best of 3 $((best / 1000000)) ms," \
    "$((10000 * 1000000 / (best / 1000))) case runs/s; $(tail -1 "$work/out")"
done
