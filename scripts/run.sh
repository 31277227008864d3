#!/usr/bin/env bash
# Sets up, builds and starts the program. Until the desktop program exists,
# this runs an example algorithm through the command-line tool:
#   scripts/run.sh                      the table of squares
#   scripts/run.sh examples/gcd.alg     any algorithm file (input from the terminal)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j2 --target algtool

file="${1:-examples/table_of_squares.alg}"
build/bin/algtool show "$file"
echo
exec build/bin/algtool run "$file" --vars
