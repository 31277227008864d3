#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing.
# As root it runs apt-get; as another user it runs apt-get through sudo
# (saying so first, as sudo may ask for the password); without sudo it prints
# the exact install line and stops.
set -euo pipefail

# The desktop tests run the program under Xvfb with openbox and drive it
# with xdotool, from python3 scripts; one listens as a screen reader does,
# on an accessibility bus (at-spi2-core, pyatspi) of a session bus of its own
# (dbus-run-session).
packages=(g++ cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev clang-format libpng-dev
  qt6-base-dev libxcb1-dev qt6-translations-l10n desktop-file-utils fonts-dejavu-core xvfb openbox
  xdotool python3 fp-compiler lintian man-db libxml2-utils x11-xkb-utils dbus-daemon at-spi2-core
  python3-pyatspi)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
elif command -v sudo >/dev/null 2>&1; then
  echo "Installing the missing packages through sudo: ${missing[*]}" >&2
  sudo env DEBIAN_FRONTEND=noninteractive apt-get update
  sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
else
  echo "Missing packages, and no sudo to install them with. As root, run:" >&2
  echo "  apt-get install -y --no-install-recommends ${missing[*]}" >&2
  exit 1
fi
