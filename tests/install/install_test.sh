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
for file in games/tivra libexec/tivra/tivra-decode share/tivra/sunet.wav share/applications/io.tivra.Tivra.desktop \
  share/metainfo/io.tivra.Tivra.metainfo.xml share/icons/hicolor/scalable/apps/io.tivra.Tivra.svg \
  share/icons/hicolor/48x48/apps/io.tivra.Tivra.png share/man/man6/tivra.6.gz; do
  [ -f "$prefix/$file" ] || fail "$file was not installed"
done
[ ! -e "$prefix/games/sunet.wav" ] || fail "the sound should not lie beside the program"
desktop-file-validate "$prefix/share/applications/io.tivra.Tivra.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/io.tivra.Tivra.metainfo.xml" >/dev/null \
  || fail "the AppStream file does not validate"
man -l "$prefix/share/man/man6/tivra.6.gz" >/dev/null 2>&1 || fail "the man page does not format"

# The X server picks a free display itself and tells its number when it
# is ready.
Xvfb -displayfd 3 -screen 0 1280x800x24 -noreset -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
server=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
number=$(cat "$work/display")
[ -n "$number" ] || fail "the X server did not start"
export DISPLAY=:$number QT_QPA_PLATFORM=xcb

# The colour at X,Y once the window has painted its orange background there
# and X,Y has left it: a slow machine paints, and decodes, late. As it is
# after ten seconds otherwise.
drawn_colour() { # X Y
  local colours
  for _ in $(seq 40); do
    import -window root "$work/shot.png"
    colours=$(convert "$work/shot.png" -format "%[pixel:p{1277,100}] %[pixel:p{$1,$2}]" info:)
    case "$colours" in
      "srgb(255,128,0) srgb(255,128,0)") ;;
      "srgb(255,128,0) "*) break ;;
    esac
    sleep 0.25
  done
  echo "${colours#* }"
}

# Leak checking (in a sanitizer build) cannot run under strace; the other
# tests check for leaks.
ASAN_OPTIONS=detect_leaks=0 strace -f -e trace=%file -o "$work/files.log" "$prefix/games/tivra" &
game=$!
window=$(timeout 20 xdotool search --sync --name '^Have fun!$' | head -n 1)
[ -n "$window" ] || fail "no window"
# On X11 the desktop knows the window by its class, named in the desktop entry.
wm_class=$(sed -n 's/^StartupWMClass=//p' "$prefix/share/applications/io.tivra.Tivra.desktop")
[ -n "$wm_class" ] && xdotool search --class "^$wm_class\$" | grep -qx "$window" \
  || fail "the window's class is not the desktop entry's StartupWMClass ($wm_class)"
# The source grid, right of the middle, shows the picture, not the orange background.
colour=$(drawn_colour 960 300)
case "$colour" in
  "srgb(255,128,0)"|"gray(0)") fail "no picture on the source grid ($colour)" ;;
esac
grep -q "share/tivra/sunet.wav\", .*= 0" "$work/files.log" \
  || fail "the installed program did not find its sound"
xdotool windowfocus --sync "$window" key F4
status=0
timeout 10 tail --pid="$game" -f /dev/null || fail "F4 did not end the program"
wait "$game" || status=$?
[ "$status" -eq 0 ] || fail "exit status $status"

# A picture named on the command line, as a file manager's "Open with" passes
# it, decoded by the installed helper: the square icon makes a square board,
# taller than the built-in picture's, its clear corner white where the
# built-in board leaves background.
opens_from_command_line() { # FILE WHAT
  # Full stacks for the leak check as the program ends (in a sanitizer
  # build), for the suppressions of the libraries' leaks to see their frames.
  ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0 "$prefix/games/tivra" "$1" &
  game=$!
  window=$(timeout 20 xdotool search --sync --name '^Have fun!$' | head -n 1)
  colour=$(drawn_colour 668 628)
  case "$colour" in
    "srgb(255,128,0)"|"gray(0)") fail "$2 was not loaded ($colour)" ;;
  esac
  xdotool windowfocus --sync "$window" key F4
  wait "$game"
}
icon=$prefix/share/icons/hicolor/256x256/apps/io.tivra.Tivra.png
opens_from_command_line "$icon" "the picture on the command line"
# The same picture under a name that is not UTF-8 (Latin-1, as on an old
# memory card): opened by the name's own bytes.
latin=$work/$'ic\xf4ne.png'
cp "$icon" "$latin"
opens_from_command_line "$latin" "a picture whose name is not UTF-8"
# One that cannot be used gives the message over the started game.
"$prefix/games/tivra" "$work/missing.jpg" &
game=$!
timeout 20 xdotool search --sync --onlyvisible --name '^Tivra$' >/dev/null \
  || fail "no message for a picture that cannot be used"
kill "$game"; wait "$game" 2>/dev/null || true
# Information without a display, and an unknown option refused.
DISPLAY= "$prefix/games/tivra" --version | grep -q '^tivra ' || fail "--version"
DISPLAY= "$prefix/games/tivra" --help | grep -q -- '--version' || fail "--help"
# Qt's own options take one dash, with a value after them.
for qt_option in "-platform offscreen" "-style fusion"; do
  # shellcheck disable=SC2086
  DISPLAY= "$prefix/games/tivra" $qt_option --version | grep -q '^tivra ' \
    || fail "$qt_option --version"
done
status=0
DISPLAY= timeout 3 "$prefix/games/tivra" -platform offscreen -style fusion || status=$?
[ "$status" -eq 124 ] || fail "-platform offscreen: the game ended with status $status"
# The window system's own options, which Qt leaves on the command line.
for qt_option in "-sync" "-cmap" "-ncols 16" "-fontengine freetype"; do
  status=0
  # shellcheck disable=SC2086
  DISPLAY= timeout 3 "$prefix/games/tivra" -platform offscreen $qt_option "$icon" || status=$?
  [ "$status" -eq 124 ] || fail "$qt_option: the game ended with status $status"
done
status=0
DISPLAY= "$prefix/games/tivra" --no-such-option 2>"$work/err" || status=$?
[ "$status" -eq 1 ] && grep -q "no-such-option" "$work/err" || fail "unknown option: status $status"

# The Debian package: Depends from the program's libraries, everything under
# /usr, the extracted program runs, and lintian finds no error.
cpack -G DEB -B "$work/package" --config "$build/CPackConfig.cmake" >/dev/null
deb=$(ls "$work"/package/tivra_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libjpeg62-turbo libheif1 libcanberra0 qt6-qpa-plugins libseccomp2; do
  case "$depends" in *"$library"*) ;; *) fail "Depends lacks $library: $depends" ;; esac
done
case "$(dpkg-deb -f "$deb" Recommends)" in *qt6-wayland*) ;; *) fail "Recommends lacks qt6-wayland" ;; esac
dpkg -x "$deb" "$work/root"
for file in usr/games/tivra usr/libexec/tivra/tivra-decode usr/share/tivra/sunet.wav usr/share/applications/io.tivra.Tivra.desktop \
  usr/share/metainfo/io.tivra.Tivra.metainfo.xml usr/share/icons/hicolor/scalable/apps/io.tivra.Tivra.svg \
  usr/share/man/man6/tivra.6.gz usr/share/doc/tivra/copyright; do
  [ -f "$work/root/$file" ] || fail "$file is not in the package"
done
status=0
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 timeout 3 "$work/root/usr/games/tivra" \
  >/dev/null 2>&1 || status=$?
[ "$status" -eq 124 ] || fail "the packaged program ended by itself, status $status"
# Its Depends are packages this release has: apt would install it.
apt-get install --simulate --no-install-recommends "$deb" >"$work/apt" 2>&1 \
  || { cat "$work/apt"; fail "the package would not install"; }
lintian --fail-on error "$deb" >"$work/lintian" 2>&1 \
  || { cat "$work/lintian"; fail "lintian found errors in the package"; }
grep -v "root privileges" "$work/lintian" || true

echo "installed and packaged program found its sound and picture, exit status 0"
