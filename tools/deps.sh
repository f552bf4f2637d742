#!/usr/bin/env bash
# Installs the Debian packages this project needs, only those still missing.
#   tools/deps.sh run    what building and playing the game needs
#   tools/deps.sh test   that, plus what the tests and benchmarks need
set -euo pipefail

run_packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-qpa-plugins qt6-image-formats-plugins libgl-dev
  libcanberra-dev libheif-dev libjpeg-dev libseccomp-dev libwebp-dev libxcb1-dev
  fonts-dejavu-core qt6-wayland
)
test_packages=(
  libgtest-dev libbenchmark-dev zlib1g-dev libavif-dev
  xvfb xauth xdotool imagemagick
  sway grim wtype i3-wm
  clang libclang-rt-14-dev llvm
  appstream desktop-file-utils man-db strace
  dpkg-dev file lintian
)

wanted=("${run_packages[@]}")
if [ "${1:-run}" = test ]; then
  wanted+=("${test_packages[@]}")
fi

missing=()
for package in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
