#!/usr/bin/env bash
# Times "algtool check" on a class: 1,000 pupils' files (make_class_files:
# solutions of the example task in the pupils' own names and shapes, half
# with a slip, a few renamed copies) on 10 cases, plain and then with
# --feedback --similar --summary (goal: at most twice the plain time).
#   bench/algtool_class.sh [BUILD_DIR]   (default build-release)
# The files go under TMPDIR: the feedback alone is 2,000 new files, whose
# creation the disk decides (TMPDIR=/dev/shm leaves only the program's work).
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build-release}"
tool="$(pwd)/$dir/bin/algtool"
make_files="$(pwd)/$dir/bin/make_class_files"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/class"
"$make_files" "$work/class" 1000
tests="$work/tests.txt"
for n in 1 2 3 4 5 6 7 8 9 10; do
  {
    echo "=== $n чисел"
    if [ "$n" -gt 7 ]; then echo hidden; fi
    echo "< $n"
    sum=0
    for k in $(seq 1 "$n"); do echo "< $k"; sum=$((sum + k)); done
    if [ $((n % 2)) -eq 1 ]; then mean=$(((n + 1) / 2)); else mean="$((n / 2)).5"; fi
    echo "> $sum $mean"
  } >>"$tests"
done

files=("$work"/class/pupil*.alg)
best_of_3() {
  local best="" start end status ns
  for run in 1 2 3; do
    rm -rf "$work/feedback"
    start=$(date +%s%N)
    status=0
    "$tool" check "$tests" "$@" >"$work/out" || status=$?
    end=$(date +%s%N)
    if [ "$status" -ne 4 ]; then
      echo "unexpected exit status $status" >&2
      exit 1
    fi
    ns=$((end - start))
    if [ -z "$best" ] || [ "$ns" -lt "$best" ]; then best=$ns; fi
  done
  echo "$best"
}

plain=$(best_of_3 "${files[@]}")
echo "plain check, 1000 files x 10 cases: best of 3 $((plain / 1000000)) ms; $(tail -1 "$work/out")"
full=$(best_of_3 --feedback "$work/feedback" --similar --summary --marks 5:90,4:75,3:50 -- "${files[@]}")
pairs=$(grep -c '%: ' "$work/out" || true)
reports=$(find "$work/feedback" -type f | wc -l)
echo "with --feedback --similar --summary --marks: best of 3 $((full / 1000000)) ms," \
  "$((100 * full / plain))% of the plain check; $reports feedback files, $pairs similar pairs"
if [ $((full)) -gt $((2 * plain)) ]; then
  echo "FAIL: more than twice the plain check" >&2
  exit 1
fi
