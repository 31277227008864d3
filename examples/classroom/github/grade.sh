#!/bin/sh
# GitHub Classroom: checks the pupil's algorithm on the task's cases. The
# JUnit XML report goes to $OUT (for the workflow's artifact and any JUnit
# reader), the text report to the log; the exit status is algtool's (0: every
# case passed), which the command grader turns into the score.
#
# Everything can be set from outside, so the script runs the same on a
# teacher's machine: ALGTOOL, TESTS, SOLUTION, OUT, TASK (a task pack whose
# restrictions are checked too).
set -u
ALGTOOL=${ALGTOOL:-algtool}
TESTS=${TESTS:-.github/classroom/task.tests}
SOLUTION=${SOLUTION:-solution.alg}
OUT=${OUT:-algtool-junit.xml}
TASK=${TASK:-}

set -- "$TESTS"
if [ -n "$TASK" ]; then
  set -- "$@" --task "$TASK"
fi

# After "--" the pupil's file is a file whatever it is called.
"$ALGTOOL" check "$@" --format junit -- "$SOLUTION" >"$OUT.tmp"
status=$?
# A report only when algtool wrote one: 0 all passed, 4 some case failed.
if [ "$status" -eq 0 ] || [ "$status" -eq 4 ]; then
  mv "$OUT.tmp" "$OUT"
else
  rm -f "$OUT.tmp"
fi
"$ALGTOOL" check "$@" --all -- "$SOLUTION"
exit "$status"
