#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, when any is missing.
# Non-interactive and idempotent; when everything is there it only asks dpkg and returns.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libicu-dev
  # tests, benchmarks, fuzzing, sanitizers
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  # the text-art fonts the window asks for, and a Japanese fallback
  fonts-mona fonts-monapo fonts-ipafont-gothic
  # a real X server, a clipboard reader and a window driver for the end-to-end tests
  xvfb xauth xclip xdotool x11-utils imagemagick python3 libxcb1-dev
  # validation and packaging
  appstream desktop-file-utils dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
