#!/usr/bin/env bash
# The differential test of the generated programs at full size: 2,000 random
# algorithms (or COUNT) in each language, Python, C++ and Pascal, against the
# interpreter; reports the time each language took.
#   bench/code_differential.sh [BUILD_DIR] [COUNT]   (default build-release, 2000)
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build-release}"
export DESKBAY_CODE_CASES="${2:-2000}"
for lang in python cpp pascal; do
  start=$(date +%s)
  # A failing language is reported and the others still run.
  "$dir/bin/FlowcodeTests" --gtest_filter="*RandomAlgorithms*/$lang" |
    grep -E "compared|differs|OK \]|FAILED  \]|SKIPPED \]" || true
  echo "$lang: $(($(date +%s) - start)) s"
done
