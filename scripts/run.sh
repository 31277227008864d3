#!/usr/bin/env bash
# Installs what the build needs, builds the desktop program and starts it
# with an example algorithm open beside the untitled one:
#   scripts/run.sh                      examples/drawing.alg
#   scripts/run.sh FILE...              any algorithm files
set -euo pipefail

# Names the user gave are relative to the folder the script was started in.
files=()
for f in "$@"; do
  files+=("$(realpath -m -- "$f")")
done
cd "$(dirname "$0")/.."
if [ ${#files[@]} -eq 0 ]; then
  files=("$PWD/examples/drawing.alg")
fi

# Without a display there is nothing to show the program on: say so before
# minutes of building, not after.
# The terminal tool is named only once it is built; before that the message
# says how to build it.
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  if [ -x build/bin/algtool ]; then
    echo "No display to show Deskbay on (DISPLAY and WAYLAND_DISPLAY are not set); run the algorithm in this terminal instead: build/bin/algtool run ${files[0]}" >&2
  else
    echo "No display to show Deskbay on (DISPLAY and WAYLAND_DISPLAY are not set). To run the algorithm in this terminal instead, build the terminal tool: scripts/setup.sh && cmake -S . -B build -G Ninja && cmake --build build -j2 --target algtool; then: build/bin/algtool run ${files[0]}" >&2
  fi
  exit 1
fi

# Ninja's "[done/total]" lines as one counter, the rest to the log only.
show_progress() {
  local line
  while IFS= read -r line; do
    if [[ $line =~ ^\[([0-9]+)/([0-9]+)\] ]]; then
      printf '\r  step %s of %s' "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}"
    fi
  done
  echo
}

scripts/setup.sh
mkdir -p build
log=build/run-build.log
echo "Building Deskbay: the first build takes about ten minutes on two cores, later ones"
echo "only what changed (full log in $log) ..."
if ! { cmake -S . -B build -G Ninja && cmake --build build -j2 --target Deskbay Flowapp algtool; } \
  2>&1 | tee "$log" | show_progress; then
  tail -n 40 "$log" >&2
  echo "The build failed; the whole log is $log." >&2
  exit 1
fi

exec build/bin/Deskbay "${files[@]}"
