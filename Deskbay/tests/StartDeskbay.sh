#!/usr/bin/env bash
# Starts Deskbay on the offscreen platform from a folder of its own and from
# an installed prefix, each time from an unrelated working folder, with a
# fixture application enabled; waits until the application's package is
# loaded, asks the program to end, and checks that it saved its application
# table and removed nothing it should keep.
#   StartDeskbay.sh <Deskbay program> <fixture folder> <build folder>
set -euo pipefail
program=$1 fixtures=$2 build=$3
work=$(mktemp -d /tmp/deskbay-start-XXXXXX)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

# Runs the program at $1 until FixtureDocs.so is in its memory map, then
# sends it SIGTERM; fails when it does not load the package in time or does
# not end cleanly.
run() {
  (cd / && exec "$1" >"$work/out.txt" 2>&1) &
  local pid=$! loaded=
  for _ in $(seq 1 300); do
    if grep -q FixtureDocs.so "/proc/$pid/maps" 2>/dev/null; then
      loaded=1
      break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -TERM "$pid" 2>/dev/null || true
  local status=0
  wait "$pid" || status=$?
  if [ -z "$loaded" ]; then
    echo "$1 did not load the application package:"; cat "$work/out.txt"; exit 1
  fi
  if [ "$status" -ne 0 ]; then
    echo "$1 ended with status $status:"; cat "$work/out.txt"; exit 1
  fi
}

# The entry stays as it was written: only what the user changes in the
# applications window is written back.
expect_kept() {
  if ! grep -qx 'FixtureDocs=1' "$1"; then
    echo "the application table was not kept in $1:"; cat "$1"; exit 1
  fi
}

# Without a display: one line saying so and status 1, not Qt's abort.
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" >"$work/out.txt" 2>&1 || status=$?
if [ "$status" -ne 1 ] || [ "$(wc -l <"$work/out.txt")" -ne 1 ] || ! grep -q '^Deskbay: нет экрана' "$work/out.txt"; then
  echo "without a display: status $status and"; cat "$work/out.txt"; exit 1
fi

# From the build tree: the program with its settings beside it.
mkdir "$work/tree"
cp "$program" "$work/tree/Deskbay"
printf '[General]\nModuleDir=%s\n\n[Applications]\nFixtureDocs=1\n' "$fixtures" >"$work/tree/Deskbay.ini"
run "$work/tree/Deskbay"
expect_kept "$work/tree/Deskbay.ini"
if ls -d "$work/tree/"'$tmp'* >/dev/null 2>&1; then
  echo "temporary folder left behind"; exit 1
fi

# Installed: the settings are the user's copy of the installed defaults,
# never beside the program (whoever runs it), and the packages live in the
# private library folder.
cmake --install "$build" --prefix "$work/prefix" >/dev/null
libdir=$(sed -n 's/^ModuleDir=//p' "$work/prefix/share/deskbay/Deskbay.ini")
cp "$fixtures/FixtureDocs.so" "$work/prefix/bin/$libdir/"
printf 'FixtureDocs=1\n' >>"$work/prefix/share/deskbay/Deskbay.ini"
export XDG_CONFIG_HOME="$work/config"
run "$work/prefix/bin/Deskbay"
expect_kept "$work/config/deskbay/Deskbay.ini"
if [ -e "$work/prefix/bin/Deskbay.ini" ] || ls -d "$work/prefix/bin/"'$tmp'* >/dev/null 2>&1; then
  echo "the installed program wrote beside itself"; ls -a "$work/prefix/bin"; exit 1
fi
echo OK
