# Timing for the side-by-side benchmarks, sourced by them.

# seconds CMD...: the wall time of one run, in seconds.
seconds() {
  local t0 t1
  t0=$(date +%s.%N)
  "$@" >/dev/null 2>&1 </dev/null || true
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }'
}

# median VALUE...: the middle one.
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
