#!/usr/bin/env bash
# Installs every Debian package needed to build, run and test the program.
# Idempotent: when everything is already there it only checks and returns.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git ccache
  libsdl2-dev libglew-dev libglu1-mesa-dev libgl-dev libegl-dev libstb-dev
  libpng-dev zlib1g-dev
  libexif-dev libavformat-dev libavcodec-dev libswresample-dev libavutil-dev libavfilter-dev libswscale-dev
  libgl1-mesa-dri libegl-mesa0 libglx-mesa0
  libimgui-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool x11-utils openbox imagemagick python3 python3-xlib
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
