#!/bin/sh
# The classroom examples run here as the platforms run them, on a pupil's
# file: the GitHub Classroom grading script writes JUnit XML valid against
# the schema, the Gradescope run_autograder a results.json with the fields
# Gradescope reads, and a submission of two files a results.json that says so.
# Usage: ClassroomExamples.sh ALGTOOL EXAMPLES_DIR JUNIT_XSD
set -eu
ALGTOOL=$1
EXAMPLES=$2
XSD=$3
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# GitHub Classroom: the pupil's repository with the task's cases in it.
mkdir -p "$WORK/repo/.github/classroom"
cp "$EXAMPLES/classroom/github/grade.sh" "$WORK/repo/.github/classroom/"
cp "$EXAMPLES/average.tests" "$WORK/repo/.github/classroom/task.tests"
cp "$EXAMPLES/average_mistake.alg" "$WORK/repo/solution.alg"
status=0
(cd "$WORK/repo" && ALGTOOL="$ALGTOOL" sh .github/classroom/grade.sh >"$WORK/log" 2>&1) || status=$?
[ "$status" -eq 4 ] || { echo "FAIL: grade.sh exit status $status"; cat "$WORK/log"; exit 1; }
xmllint --noout --schema "$XSD" "$WORK/repo/algtool-junit.xml"
grep -q 'failures="5"' "$WORK/repo/algtool-junit.xml" || { echo "FAIL: five failures"; exit 1; }
grep -q 'случай "три числа"' "$WORK/log" || { echo "FAIL: no text report in the log"; exit 1; }
cp "$EXAMPLES/average.alg" "$WORK/repo/solution.alg"
(cd "$WORK/repo" && ALGTOOL="$ALGTOOL" sh .github/classroom/grade.sh >/dev/null 2>&1) ||
  { echo "FAIL: a right solution does not pass"; exit 1; }

# Gradescope: the autograder's folders, a hidden case among the teacher's.
ROOT="$WORK/autograder"
mkdir -p "$ROOT/source" "$ROOT/submission"
cp "$EXAMPLES/average.tests" "$ROOT/source/task.tests"
printf '=== скрытый ноль\nhidden\nweight 2\n< 0\n! Ошибка\n' >>"$ROOT/source/task.tests"
cp "$EXAMPLES/average_mistake.alg" "$ROOT/submission/Иванов Петя.alg"
AUTOGRADER_ROOT="$ROOT" ALGTOOL="$ALGTOOL" bash "$EXAMPLES/classroom/gradescope/run_autograder"
python3 - "$ROOT/results/results.json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1], encoding="utf-8"))
assert r["score"] == 1 and r["max_score"] == 8, (r["score"], r["max_score"])
assert "оценка 2" in r["output"], r["output"]
tests = r["tests"]
assert len(tests) == 7
for t in tests:
    assert {"name", "score", "max_score", "status", "output", "visibility"} <= set(t)
    assert t["status"] in ("passed", "failed")
assert [t["visibility"] for t in tests].count("hidden") == 1
assert tests[6]["visibility"] == "hidden" and tests[6]["max_score"] == 2
assert sum(t["score"] for t in tests) == r["score"]
PY
cp "$EXAMPLES/average.alg" "$ROOT/submission/second.alg"
AUTOGRADER_ROOT="$ROOT" ALGTOOL="$ALGTOOL" bash "$EXAMPLES/classroom/gradescope/run_autograder"
python3 - "$ROOT/results/results.json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1], encoding="utf-8"))
assert r["score"] == 0 and r["tests"] == [] and "сдано: 2" in r["output"], r
PY
echo "PASS: the classroom examples write what GitHub Classroom and Gradescope read"
