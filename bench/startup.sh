#!/usr/bin/env bash
# Start-up of the game against a bare Qt window, interleaved in one run: on a
# real X server (Xvfb at 1920 x 1080), then on a headless Wayland desktop
# (sway, 1920 x 1080, when it is installed).
#   bench/startup.sh [build-dir] [runs]
set -euo pipefail
build=${1:-build}
runs=${2:-15}
here=$(cd "$(dirname "$0")/.." && pwd)
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
probes=("$build/bench/startup_probe" "$build/bench/bare_window_probe" "$runs")

display=:$((150 + RANDOM % 100))
Xvfb "$display" -screen 0 1920x1080x24 -noreset -nolisten tcp >/dev/null 2>&1 &
server=$!
desktop=
photos=$(mktemp -d)
trap 'kill $server 2>/dev/null; rm -rf "$photos"; [ -z "$desktop" ] || rm -rf "$desktop"' EXIT
sleep 1
echo "X11 (Xvfb):"
DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/bench/startup_bench" "${probes[@]}"
# A 24-megapixel photo named on the command line, as a file manager opens
# one: exec to the photo on the screen, against exec to the first frame of a
# plain start.
convert -size 6000x4000 gradient:orange-navy -attenuate 0.4 +noise Gaussian \
  -quality 90 "$photos/photo.jpg"
echo "X11 (Xvfb), a 24-MP JPEG named on the command line:"
DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/bench/startup_bench" \
  "$build/bench/startup_probe $photos/photo.jpg" "$build/bench/startup_probe" "$runs" \
  "photo" "no photo"
kill $server

command -v sway >/dev/null || exit 0
desktop=$(mktemp -d /tmp/tivra-sway-XXXXXX)
"$here/tools/headless-sway.sh" "$desktop" floating >/dev/null 2>&1 &
server=$!
for _ in $(seq 50); do [ -S "$desktop/wayland-1" ] && break; sleep 0.1; done
echo "Wayland (headless sway):"
env -u DISPLAY WAYLAND_DISPLAY="$desktop/wayland-1" QT_QPA_PLATFORM=wayland \
  "$build/bench/startup_bench" "${probes[@]}"
