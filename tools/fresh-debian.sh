#!/usr/bin/env bash
# Tries the README's two commands as a newcomer would, on a minimal Debian
# root made for the purpose: ./run until the game has run 10 s (offscreen),
# then ./test in another fresh copy of the root. Each command runs in mount
# and PID namespaces of its own, so its mounts and processes end with it.
#   tools/fresh-debian.sh bookworm|trixie
# The pristine root is made once and kept as a tarball in $cache; each run
# unpacks it afresh beside its log in $runs (the last run's copies are kept
# to look into). Needs root.
set -euo pipefail
release=${1:-}
case $release in
  bookworm | trixie) ;;
  *) echo "usage: $0 bookworm|trixie" >&2 && exit 2 ;;
esac
repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
head=$(git -C "$repo" rev-parse HEAD)
cache=/var/cache/tivra-fresh-debian
runs=/var/tmp/tivra-fresh-debian
stamp=$release-$(date -u +%Y%m%dT%H%M%SZ)
log=$runs/$stamp.log
"$repo/tools/deps.sh" fresh
mkdir -p "$cache" "$runs"
rm -rf "$runs/$release-"*-run "$runs/$release-"*-test # earlier copies; their logs stay
echo "log: $log"
exec > >(tee "$log") 2>&1

tarball=$cache/$release-minbase.tar
if [ ! -f "$tarball" ]; then
  echo "== debootstrap $release"
  rm -rf "$cache/$release.new"
  debootstrap --variant=minbase --include=ca-certificates "$release" "$cache/$release.new"
  tar -C "$cache/$release.new" -cf "$tarball.part" . && mv "$tarball.part" "$tarball"
  rm -rf "$cache/$release.new"
fi

# A copy of the pristine root with HEAD cloned into /root/tivra.
fresh_root() {
  local root=$runs/$stamp-$1
  mkdir "$root"
  tar -C "$root" -xf "$tarball"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  git clone -q "$repo" "$root/root/tivra"
  git -C "$root/root/tivra" checkout -q --detach "$head"
  echo "$root"
}

# Runs a command as root in /root/tivra of the given root, with /dev, /proc,
# /sys, /tmp and /dev/shm of its own, in a clean environment.
in_root() {
  local root=$1
  shift
  unshare --mount --pid --fork --mount-proc bash -euc '
    root=$1 && shift
    mount --rbind /dev "$root/dev"
    mount -t tmpfs tmpfs "$root/dev/shm"
    mount -t proc proc "$root/proc"
    mount --rbind /sys "$root/sys"
    mount -t tmpfs tmpfs "$root/tmp"
    exec chroot "$root" env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      bash -c "cd /root/tivra && $*"' in_root "$root" "$@"
}

# ./run execs the game once built: it passes when the game is still running
# 10 s after it started.
run_phase='export QT_QPA_PLATFORM=offscreen
./run & game=$!
while kill -0 $game 2>/dev/null && [ "$(readlink /proc/$game/exe)" != "$PWD/build/tivra" ]; do sleep 1; done
sleep 10
kill -0 $game 2>/dev/null || { wait $game; exit 1; }
kill $game'

results=()
phase() {
  local name=$1 root start status
  shift
  root=$(fresh_root "$name")
  echo "== $name in $root"
  start=$SECONDS
  if in_root "$root" "$@"; then status=pass; else status="FAIL ($?)"; fi
  results+=("$name: $status in $((SECONDS - start)) s")
  echo "== ${results[-1]}"
}
phase run "$run_phase"
phase test ./test

echo "== $release at ${head:0:12}"
printf '  %s\n' "${results[@]}"
echo "log: $log"
[[ "${results[*]}" != *FAIL* ]]
