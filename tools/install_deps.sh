#!/usr/bin/env bash
# Installs the Debian packages the build, the game and the tests need; does nothing
# when they are all present. Runs as root or through sudo.
set -euo pipefail

packages=(
  cmake ninja-build pkg-config g++ clang
  libsdl2-dev libepoxy-dev libegl-dev libgl-dev libegl-mesa0 libgl1-mesa-dri
  libphysfs-dev libpng-dev zlib1g-dev libstb-dev libsndfile1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool x11-utils
  lua5.4 python3
  libfreetype-dev fonts-dejavu-core xfonts-base
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
