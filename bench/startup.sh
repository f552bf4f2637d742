#!/usr/bin/env bash
# Start-up of the game against a bare Qt window, on a real X server (Xvfb at
# 1920 x 1080), interleaved in one run.
#   bench/startup.sh [build-dir] [runs]
set -euo pipefail
build=${1:-build}
display=:$((150 + RANDOM % 100))
Xvfb "$display" -screen 0 1920x1080x24 -noreset -nolisten tcp >/dev/null 2>&1 &
server=$!
trap 'kill $server' EXIT
sleep 1
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/bench/startup_bench" "$build/bench/startup_probe" \
  "$build/bench/bare_window_probe" "${2:-15}"
