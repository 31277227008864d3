#!/usr/bin/env bash
# The README's two commands as a user who is not root: scripts/setup.sh
# installs what is missing through sudo (saying so) or, without sudo, prints
# the install line and stops; scripts/run.sh without a display names the
# terminal tool only once it is built. The system's own tools are replaced by
# recording stand-ins on PATH, so nothing is installed.
set -uo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL  $*"
  failures=$((failures + 1))
}
pass() { echo "PASS  $*"; }

# Stand-ins: a user of id 1000; every package installed except xdotool.
mkdir -p "$work/bin"
for tool in bash grep env cat; do
  ln -s "$(command -v "$tool")" "$work/bin/$tool"
done
cat >"$work/bin/id" <<'STUB'
#!/bin/sh
echo 1000
STUB
cat >"$work/bin/dpkg-query" <<'STUB'
#!/bin/sh
for last; do :; done
[ "$last" = xdotool ] || printf 'install ok installed'
STUB
cat >"$work/bin/apt-get" <<STUB
#!/bin/sh
echo "apt-get \$*" >>"$work/log"
STUB
chmod +x "$work/bin/id" "$work/bin/dpkg-query" "$work/bin/apt-get"

# Without sudo: the install line and status 1.
out="$(PATH="$work/bin" bash "$here/scripts/setup.sh" 2>&1)"
status=$?
if [ $status -eq 1 ] && [[ $out == *"apt-get install -y --no-install-recommends xdotool"* ]] &&
  [ ! -e "$work/log" ]; then
  pass "setup without sudo prints the install line and stops"
else
  fail "setup without sudo: status $status, said: $out"
fi

# With sudo: said first, then apt-get through it, and success.
cat >"$work/bin/sudo" <<STUB
#!/bin/sh
echo "sudo \$*" >>"$work/log"
exec "\$@"
STUB
chmod +x "$work/bin/sudo"
out="$(PATH="$work/bin" bash "$here/scripts/setup.sh" 2>&1)"
status=$?
log="$(cat "$work/log" 2>/dev/null)"
if [ $status -eq 0 ] && [[ $out == *"through sudo: xdotool"* ]] &&
  [[ $log == *"sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends xdotool"* ]] &&
  [[ $log == *"apt-get install -y --no-install-recommends xdotool"* ]]; then
  pass "setup as a user installs through sudo"
else
  fail "setup through sudo: status $status, said: $out, log: $log"
fi

# run.sh without a display, in a copy of the tree without a build.
mkdir -p "$work/tree/scripts"
cp "$here/scripts/run.sh" "$work/tree/scripts/"
out="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM bash "$work/tree/scripts/run.sh" a.alg 2>&1)"
status=$?
if [ $status -eq 1 ] && [[ $out == *"build the terminal tool"* ]] && [[ $out == *"--target algtool"* ]]; then
  pass "no display, nothing built: the message says how to build the terminal tool"
else
  fail "no display before the build: status $status, said: $out"
fi
mkdir -p "$work/tree/build/bin"
printf '#!/bin/sh\n' >"$work/tree/build/bin/algtool"
chmod +x "$work/tree/build/bin/algtool"
out="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM bash "$work/tree/scripts/run.sh" a.alg 2>&1)"
status=$?
if [ $status -eq 1 ] && [[ $out == *"instead: build/bin/algtool run "*"/a.alg"* ]] &&
  [[ $out != *"build the terminal tool"* ]]; then
  pass "no display, tool built: the message names it"
else
  fail "no display after the build: status $status, said: $out"
fi

exit $((failures > 0))
