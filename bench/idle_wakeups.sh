#!/usr/bin/env bash
# What an idle Deskbay costs: starts it with an example open under its own
# Xvfb and openbox, waits for the start to settle, then counts the main
# thread's wake-ups (voluntary context switches) and its CPU time over
# SECONDS of doing nothing. Goal: fewer than 5 wake-ups a second and less
# than 0.5 % of a core.
#   bench/idle_wakeups.sh [BUILD_DIR] [SECONDS]   (default build, 30)
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"
seconds="${2:-30}"
display=:$((90 + RANDOM % 100))
home=$(mktemp -d /tmp/deskbay-idle-XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT
Xvfb "$display" -screen 0 1280x800x24 >/dev/null 2>&1 &
pids+=($!)
sleep 1
DISPLAY=$display openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
DISPLAY=$display HOME=$home QT_QPA_PLATFORM=xcb "$dir/bin/Deskbay" examples/drawing.alg \
  >"$home/out.txt" 2>&1 &
pid=$!
pids=("$pid" "${pids[@]}")
sleep 6
sample() {
  echo "$(awk '/^voluntary_ctxt_switches/{print $2}' "/proc/$pid/task/$pid/status")" \
    "$(awk '{print $14 + $15}' "/proc/$pid/task/$pid/stat")" "$(date +%s%N)"
}
read -r w0 c0 t0 < <(sample)
sleep "$seconds"
read -r w1 c1 t1 < <(sample)
awk -v w="$((w1 - w0))" -v c="$((c1 - c0))" -v ns="$((t1 - t0))" -v hz="$(getconf CLK_TCK)" \
  'BEGIN { s = ns / 1e9; printf "idle Deskbay over %.1f s: %.1f wake-ups/s, %.2f %% of a core\n", s, w / s, 100 * c / hz / s }'
