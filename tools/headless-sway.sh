#!/usr/bin/env bash
# A Wayland desktop with no screen, for the tests and benchmarks: sway on one
# 1920 x 1080 output with a 30-pixel bar at the top, its windows floating (a
# stacking desktop) or tiled.
#   tools/headless-sway.sh RUNTIME_DIR floating|tiling
# Runs in the foreground. Its Wayland socket (wayland-1) and its control
# socket (sway-ipc.*.sock) appear in RUNTIME_DIR. sway will not run as root:
# as root it runs as the user nobody, who then owns RUNTIME_DIR.
set -euo pipefail
dir=$1
mode=${2:-floating}
mkdir -p "$dir"
chmod 700 "$dir"
cat >"$dir/config" <<CONFIG
output HEADLESS-1 resolution 1920x1080 position 0 0
xwayland disable
default_border normal 2
bar {
  position top
  height 30
  status_command while :; do echo; sleep 3600; done
}
CONFIG
[ "$mode" = floating ] && echo 'for_window [title=".*"] floating enable' >>"$dir/config"

export XDG_RUNTIME_DIR=$dir WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman
unset DISPLAY WAYLAND_DISPLAY SWAYSOCK
if [ "$(id -u)" -eq 0 ]; then
  chown -R nobody: "$dir"
  exec setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$dir" sway -c "$dir/config"
fi
exec sway -c "$dir/config"
