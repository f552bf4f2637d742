#!/usr/bin/env bash
# Installs the game into a fresh prefix and starts the installed program on a
# real X server: it must find its sound in its data folder, show the built-in
# picture, and leave with F4. The desktop entry, AppStream file and man page
# must be valid.
#   install_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/tivra share/tivra/sunet.wav share/applications/io.tivra.Tivra.desktop \
  share/metainfo/io.tivra.Tivra.metainfo.xml share/icons/hicolor/scalable/apps/io.tivra.Tivra.svg \
  share/icons/hicolor/48x48/apps/io.tivra.Tivra.png share/man/man6/tivra.6; do
  [ -f "$prefix/$file" ] || fail "$file was not installed"
done
[ ! -e "$prefix/bin/sunet.wav" ] || fail "the sound should not lie in bin/"
desktop-file-validate "$prefix/share/applications/io.tivra.Tivra.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/io.tivra.Tivra.metainfo.xml" >/dev/null \
  || fail "the AppStream file does not validate"
man -l "$prefix/share/man/man6/tivra.6" >/dev/null 2>&1 || fail "the man page does not format"

number=$((200 + $$ % 100))
while [ -e "/tmp/.X$number-lock" ]; do number=$((number + 1)); done
export DISPLAY=:$number QT_QPA_PLATFORM=xcb
Xvfb "$DISPLAY" -screen 0 1280x800x24 -noreset -nolisten tcp >/dev/null 2>&1 &
server=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$number" ] && break; sleep 0.1; done

# Leak checking (in a sanitizer build) cannot run under strace; the other
# tests check for leaks.
ASAN_OPTIONS=detect_leaks=0 strace -f -e trace=%file -o "$work/files.log" "$prefix/bin/tivra" &
game=$!
window=$(timeout 20 xdotool search --sync --name '^Have fun!$' | head -n 1)
[ -n "$window" ] || fail "no window"
sleep 0.5
import -window root "$work/shot.png"
# The source grid, right of the middle, shows the picture, not the orange background.
colour=$(convert "$work/shot.png" -format '%[pixel:p{960,300}]' info:)
case "$colour" in
  *"255,128,0"*|*"#FF8000"*) fail "no picture on the source grid ($colour)" ;;
esac
grep -q "share/tivra/sunet.wav\", .*= 0" "$work/files.log" \
  || fail "the installed program did not find its sound"
xdotool windowfocus --sync "$window" key F4
status=0
timeout 10 tail --pid="$game" -f /dev/null || fail "F4 did not end the program"
wait "$game" || status=$?
[ "$status" -eq 0 ] || fail "exit status $status"
echo "installed program found its sound and picture, exit status 0"
