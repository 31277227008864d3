#!/usr/bin/env bash
# Sets up, builds and runs every test.
#   scripts/test.sh             the normal build (build/)
#   scripts/test.sh --sanitize  every test, the GUI's too, under AddressSanitizer
#                               and UBSan (build-asan/)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  # Debug at -O1: the checks stay exact and the GUI tests finish in a few
  # minutes (at -O0 they take several times as long). No benchmarks: they
  # measure nothing under the sanitizers.
  flags=(-DDESKBAY_SANITIZE=ON -DDESKBAY_GUI=ON -DDESKBAY_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
    "-DCMAKE_CXX_FLAGS_DEBUG=-g -O1")
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  # Leaks of the libraries under Qt that are not ours (see the file).
  export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  dir=build
  flags=()
fi

cmake -S . -B "$dir" -G Ninja "${flags[@]}"
cmake --build "$dir" -j2
ctest --test-dir "$dir" --output-on-failure -j2
