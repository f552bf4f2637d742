#!/usr/bin/env bash
# A GNOME Shell desktop with no screen, for the tests: GNOME Shell on one
# 1920 x 1080 virtual monitor, natively on Wayland (no Xwayland), drawn by
# Mesa's software renderer, in unsafe mode so that its D-Bus Eval and
# Screenshot answer any caller.
#   tools/headless-gnome.sh RUNTIME_DIR
# Runs in the foreground until it is sent SIGTERM. Everything lives in
# RUNTIME_DIR: its Wayland socket (wayland-0), a session bus (session-bus)
# and a system bus (system-bus) of its own, started here and stopped with it,
# and home/ with the settings and data folders. Install desktop entries in
# home/.local/share/applications before the desktop starts: GNOME Shell reads
# them as it starts (and again when the folder changes).
# No service is started on demand on either bus, and nothing asks logind: a
# machine without systemd, or a container, runs it as well.
set -euo pipefail
dir=$1
mkdir -p "$dir/home/.local/share" "$dir/home/.config" "$dir/home/.cache"
chmod 700 "$dir"

bus_config() { # TYPE SOCKET: a bus anybody may use, with nothing activatable
  cat <<CONFIG
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>$1</type>
  <listen>unix:path=$2</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONFIG
}

children=()
stop() {
  trap - EXIT TERM INT
  [ ${#children[@]} -gt 0 ] && kill "${children[@]}" 2>/dev/null || true
  wait
}
trap stop EXIT
trap 'exit 0' TERM INT

for bus in system session; do
  rm -f "$dir/$bus-bus"
  bus_config "$bus" "$dir/$bus-bus" >"$dir/$bus-bus.conf"
  # The bus goes with this script, however it ends.
  setpriv --pdeathsig KILL dbus-daemon --config-file="$dir/$bus-bus.conf" --nofork --nopidfile &
  children+=($!)
done
for bus in system session; do
  for _ in $(seq 100); do [ -S "$dir/$bus-bus" ] && break; sleep 0.05; done
done

export XDG_RUNTIME_DIR=$dir HOME=$dir/home
export XDG_DATA_HOME=$dir/home/.local/share XDG_CONFIG_HOME=$dir/home/.config
export XDG_CACHE_HOME=$dir/home/.cache
export DBUS_SESSION_BUS_ADDRESS=unix:path=$dir/session-bus
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$dir/system-bus
# Settings in a file of its own (no dconf to start or share): no animations
# to wait for, and no notification banners over the windows (the one a
# session as root starts with, say).
export GSETTINGS_BACKEND=keyfile
mkdir -p "$XDG_CONFIG_HOME/glib-2.0/settings"
cat >"$XDG_CONFIG_HOME/glib-2.0/settings/keyfile" <<SETTINGS
[org/gnome/desktop/interface]
enable-animations=false

[org/gnome/desktop/notifications]
show-banners=false
SETTINGS
# No GPU here: Mesa draws on the processor (llvmpipe).
export LIBGL_ALWAYS_SOFTWARE=1
export NO_AT_BRIDGE=1 GTK_A11Y=none
unset DISPLAY WAYLAND_DISPLAY XDG_SESSION_TYPE XDG_CURRENT_DESKTOP
setpriv --pdeathsig KILL gnome-shell --headless --wayland --no-x11 \
  --virtual-monitor 1920x1080 --unsafe-mode &
children+=($!)
wait -n
