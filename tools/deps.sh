#!/usr/bin/env bash
# Installs the Debian packages this project needs, only those still missing.
#   tools/deps.sh run    what building and playing the game needs
#   tools/deps.sh test   that, plus what the tests and benchmarks need
#   tools/deps.sh fresh  what tools/fresh-debian.sh needs to make a root
# Debian 12 and Debian 13 both: the few names that differ between releases
# are asked of apt in release_packages below, nowhere else.
set -euo pipefail

run_packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-qpa-plugins qt6-image-formats-plugins libgl-dev
  libcanberra-dev libheif-dev libjpeg-dev libseccomp-dev libwebp-dev libxcb1-dev
  fonts-dejavu-core qt6-wayland
)
# libclang-rt-dev is the sanitizer runtime of the default clang, whichever
# version the release has. GNOME Shell runs headless on buses of its own
# (dbus-daemon), drawn by Mesa's software renderer (libgl1-mesa-dri).
test_packages=(
  libgtest-dev libbenchmark-dev zlib1g-dev libavif-dev
  xvfb xauth xdotool imagemagick
  sway grim wtype i3-wm
  gnome-shell dbus-daemon libgl1-mesa-dri
  clang libclang-rt-dev llvm
  appstream desktop-file-utils man-db strace
  dpkg-dev file lintian
)
fresh_packages=(debootstrap tar git)

as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)

# Names only some releases have. Where libheif comes split into plugins
# (Debian 13 on), its codecs are packages of their own: the decoders for
# playing, the encoders for the tests that make HEIC and AVIF pictures. Where
# it is not (Debian 12), libheif1 has them built in and apt knows no plugin.
release_packages() {
  local mode=$1 candidates=() name
  candidates+=(libheif-plugin-libde265 libheif-plugin-dav1d)
  [ "$mode" = test ] && candidates+=(libheif-plugin-x265 libheif-plugin-aomenc)
  for name in "${candidates[@]}"; do
    if apt-cache show "$name" >/dev/null 2>&1; then echo "$name"; fi
  done
}

not_installed() {
  local package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      echo "$package"
    fi
  done
}

mode=${1:-run}
case $mode in
  run) wanted=("${run_packages[@]}") ;;
  test) wanted=("${run_packages[@]}" "${test_packages[@]}") ;;
  fresh) wanted=("${fresh_packages[@]}") ;;
  *) echo "usage: $0 run|test|fresh" >&2 && exit 2 ;;
esac

mapfile -t missing < <(not_installed "${wanted[@]}")
# apt answers for the release only once it has read its package lists.
updated=false
if [ ${#missing[@]} -gt 0 ] || ! compgen -G '/var/lib/apt/lists/*_Packages*' >/dev/null; then
  "${as_root[@]}" apt-get update -qq
  updated=true
fi
if [ "$mode" != fresh ]; then
  mapfile -t extra < <(not_installed $(release_packages "$mode"))
  missing+=("${extra[@]}")
fi
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
$updated || "${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
