#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing.
# As root it runs apt-get; otherwise it prints the exact install line and stops.
set -euo pipefail

# The desktop test runs the program under Xvfb with openbox and drives it
# with xdotool, from a python3 script.
packages=(g++ cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev clang-format libpng-dev
  qt6-base-dev libxcb1-dev qt6-translations-l10n desktop-file-utils fonts-dejavu-core xvfb openbox
  xdotool python3 fp-compiler lintian man-db)

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
else
  echo "Missing packages. Install them with:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
