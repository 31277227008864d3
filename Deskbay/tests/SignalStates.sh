#!/usr/bin/env bash
# Ends the real program with SIGTERM, SIGINT and SIGHUP in each state a user
# can leave it in (idle, running, stepping, waiting in the input dialog of a
# run and of a step, an error box, the Open dialog, the question whether to
# save), on the offscreen platform. Each time the program must end by itself
# with status 0, without a word from the C library or the sanitizers, keep
# its application table, and never write the algorithm it was given: a
# modified one is not saved when nobody can answer the question. Where Xvfb
# is installed, also on a display where the question is asked: the first
# signal leaves it waiting for an answer, a second one answers "Нет".
#   SignalStates.sh <Deskbay program> <SignalDriver.so> <Flowapp.so> <examples folder>
set -uo pipefail
program=$(realpath "$1") driver=$(realpath "$2") flowapp=$(realpath "$3") examples=$(realpath "$4")
work=$(mktemp -d /tmp/deskbay-signals-XXXXXX)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
failures=0

mkdir "$work/tree" "$work/modules"
cp "$program" "$work/tree/Deskbay"
ln -s "$flowapp" "$work/modules/Flowapp.so"
ln -s "$driver" "$work/modules/SignalDriver.so"

# state signal example [modified [second signal]]
check() {
  local state=$1 sig=$2 example=$3 modified=${4:-} second=${5:-}
  local doc="$work/doc.alg" ready="$work/ready" out="$work/out.txt"
  cp "$examples/$example" "$doc"
  rm -f "$ready"
  printf '[General]\nModuleDir=%s\n\n[Applications]\nFlowapp=1\nSignalDriver=1\n' \
    "$work/modules" >"$work/tree/Deskbay.ini"
  (cd / && DESKBAY_SIGNAL_STATE=$state DESKBAY_SIGNAL_FILE=$doc DESKBAY_SIGNAL_READY=$ready \
    DESKBAY_SIGNAL_MODIFIED=$modified exec "$work/tree/Deskbay" >"$out" 2>&1) &
  local pid=$! what="$state${modified:+ (modified)} with SIG$sig"
  for _ in $(seq 1 400); do
    [ -e "$ready" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  if [ ! -e "$ready" ]; then
    echo "FAIL $what: the state was not reached"; cat "$out"
    kill -KILL "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    failures=$((failures + 1)); return
  fi
  kill -"$sig" "$pid"
  if [ -n "$second" ]; then
    sleep 1
    if ! kill -0 "$pid" 2>/dev/null; then
      echo "FAIL $what: ended without asking"; cat "$out"
      failures=$((failures + 1)); return
    fi
    kill -"$second" "$pid"
    what="$what, then SIG$second"
  fi
  local ended=
  for _ in $(seq 1 300); do
    if ! kill -0 "$pid" 2>/dev/null; then ended=1; break; fi
    sleep 0.05
  done
  if [ -z "$ended" ]; then
    echo "FAIL $what: still running 15 s after the signal"; cat "$out"
    kill -KILL "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    failures=$((failures + 1)); return
  fi
  local status=0
  wait "$pid" || status=$?
  if [ "$status" -ne 0 ] || grep -Eq 'free\(\)|corrupt|double free|Sanitizer|runtime error' "$out"; then
    echo "FAIL $what: ended with status $status"; cat "$out"
    failures=$((failures + 1)); return
  fi
  if ! grep -q '^Flowapp=1' "$work/tree/Deskbay.ini"; then
    echo "FAIL $what: the application table was not kept"; cat "$work/tree/Deskbay.ini"
    failures=$((failures + 1)); return
  fi
  if ! cmp -s "$examples/$example" "$doc"; then
    echo "FAIL $what: the algorithm file was written"
    failures=$((failures + 1)); return
  fi
  echo "ok   $what"
}

check idle TERM endless_loop.alg
check running TERM endless_loop.alg
check running INT endless_loop.alg
check stepping HUP endless_loop.alg
check input-run TERM maximum_of_inputs.alg
check input-run INT maximum_of_inputs.alg
check input-run HUP maximum_of_inputs.alg
check input-step TERM maximum_of_inputs.alg
check input-step HUP maximum_of_inputs.alg
check message INT endless_loop.alg
check file-dialog TERM endless_loop.alg
check running TERM endless_loop.alg modified
check question HUP endless_loop.alg modified
check input-run TERM maximum_of_inputs.alg modified

if command -v Xvfb >/dev/null; then
  # Xvfb picks a free display and names it once it accepts clients. Without
  # -noreset it resets when the last client leaves, and the next program,
  # started at that moment, finds no display.
  exec 3>"$work/display"
  Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  exec 3>&-
  trap 'kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
  for _ in $(seq 1 200); do
    [ -s "$work/display" ] && break
    sleep 0.05
  done
  display=:$(head -n1 "$work/display")
  (
    export DISPLAY=$display QT_QPA_PLATFORM=xcb
    check running TERM endless_loop.alg modified INT
    check input-run HUP maximum_of_inputs.alg modified TERM
    exit $failures
  ) || failures=$((failures + $?))
fi

[ "$failures" -eq 0 ] && echo OK
exit $((failures > 0))
