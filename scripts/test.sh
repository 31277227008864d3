#!/usr/bin/env bash
# Sets up, builds and runs every test.
#   scripts/test.sh             the normal build (build/)
#   scripts/test.sh --sanitize  the logic under AddressSanitizer and UBSan (build-asan/)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  flags=(-DDESKBAY_SANITIZE=ON -DDESKBAY_GUI=OFF -DDESKBAY_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  dir=build
  flags=()
fi

cmake -S . -B "$dir" -G Ninja "${flags[@]}"
cmake --build "$dir" -j2
ctest --test-dir "$dir" --output-on-failure -j2
