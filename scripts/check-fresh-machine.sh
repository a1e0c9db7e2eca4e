#!/bin/sh
# Proves the README's set-up and the package on new machines. In a fresh
# Debian 12 (bookworm, minbase) tree, with chroot and an empty environment,
# on a clean clone of this checkout's committed state: runs the README's
# test command, builds the package with `cpack -G DEB` and checks it with
# lintian. Then, in a second fresh tree, installs that package with apt and
# nothing else by hand, and runs scripts/check-installed-package.sh there
# (D-Bus activation, a look-up, the history, a clean purge).
#   check-fresh-machine.sh [TEST.SH ARGUMENTS]   both trees (CI passes --no-sanitize)
#   check-fresh-machine.sh --package FILE.deb    only the second tree, for a built package
# Needs root. The untouched tree is cached in $TAVI_FRESH_CACHE (default
# /var/cache/tavi-fresh-debian12), so repeat runs skip debootstrap; the
# packages apt downloads are kept beside it and shared by both trees.
set -eu
cd "$(dirname "$0")/.."
src=$(pwd)
if [ "$(id -u)" -ne 0 ]; then
  echo "check-fresh-machine: must run as root (debootstrap, chroot, mount)" >&2
  exit 2
fi
cache=${TAVI_FRESH_CACHE:-/var/cache/tavi-fresh-debian12}
deb=""
if [ "${1:-}" = "--package" ]; then
  [ -f "${2:-}" ] || { echo "check-fresh-machine: --package needs a .deb file" >&2; exit 2; }
  deb=$(realpath "$2")
  shift 2
fi

need=""
command -v debootstrap >/dev/null 2>&1 || need="$need debootstrap"
command -v git >/dev/null 2>&1 || need="$need git"
if [ -n "$need" ]; then
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $need
fi

# The cached tree is made once and never entered; each run works on copies.
if [ ! -f "$cache/.complete" ]; then
  rm -rf "$cache"
  mkdir -p "$cache"
  debootstrap --variant=minbase bookworm "$cache"
  touch "$cache/.complete"
fi

work=$(mktemp -d /var/tmp/tavi-fresh.XXXXXX)
mounted=""
cleanup() {
  status=$?
  for m in $mounted; do umount -l "$m" 2>/dev/null || true; done
  rm -rf --one-file-system "$work"
  exit $status
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# new_tree ROOT: a copy of the cached tree with /proc, /dev and the shared
# apt download cache mounted.
new_tree() {
  cp -a "$cache" "$1"
  rm -f "$1/.complete"
  cp /etc/resolv.conf "$1/etc/resolv.conf"
  # A network whose HTTPS goes through a certificate authority of its own
  # needs the host's authorities in the tree too, for npm (Debian's own
  # packages come over plain HTTP and are signed).
  for ca in "${NODE_EXTRA_CA_CERTS:-}" /etc/ssl/certs/ca-certificates.crt; do
    if [ -n "$ca" ] && [ -r "$ca" ]; then
      cp "$ca" "$1/etc/host-extra-ca.crt"
      break
    fi
  done
  mount_in "$1" proc proc /proc
  mount_in "$1" none /dev /dev bind
  mount_in "$1" devpts devpts /dev/pts newinstance,ptmxmode=0666
  mount_in "$1" tmpfs tmpfs /dev/shm mode=1777
  # Downloaded packages are kept between runs; the installed tree is not.
  mkdir -p "$cache.apt-archives/partial"
  mount_in "$1" none "$cache.apt-archives" /var/cache/apt/archives bind
}
mount_in() { # root type source target [options]
  mkdir -p "$1$4"
  mount -t "$2" ${5:+-o "$5"} "$3" "$1$4"
  mounted="$1$4 $mounted"
}
# in_tree ROOT COMMAND [ARGUMENTS]: runs a shell command in the tree with an
# empty environment.
in_tree() {
  tree=$1
  shift
  extra_ca=""
  [ -f "$tree/etc/host-extra-ca.crt" ] && extra_ca=NODE_EXTRA_CA_CERTS=/etc/host-extra-ca.crt
  chroot "$tree" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    HOME=/root LANG=C.UTF-8 $extra_ca /bin/sh -c "$@"
}
finish() {
  echo "check-fresh-machine: $1 took $(($(date +%s) - $2)) s"
}

if [ -z "$deb" ]; then
  start=$(date +%s)
  root="$work/root"
  echo "check-fresh-machine: copying the Debian 12 tree"
  new_tree "$root"
  git clone -q --no-hardlinks "$src" "$root/root/tavi"
  echo "check-fresh-machine: running ./scripts/test.sh $* in the fresh tree"
  set +e
  in_tree "$root" 'cd /root/tavi && ./scripts/test.sh "$@"' sh "$@"
  status=$?
  set -e
  echo "check-fresh-machine: test suite exit status $status"
  [ $status -eq 0 ] || exit $status
  finish "the test suite in the fresh tree" "$start"

  start=$(date +%s)
  echo "check-fresh-machine: building the package and checking it with lintian"
  in_tree "$root" 'cd /root/tavi/build && cpack -G DEB && dpkg-deb -I tavi_*.deb &&
    lintian --fail-on error --display-info tavi_*.deb'
  cp "$root"/root/tavi/build/tavi_*.deb "$work/"
  deb=$(ls "$work"/tavi_*.deb)
  finish "the package" "$start"
fi

start=$(date +%s)
echo "check-fresh-machine: installing $(basename "$deb") in a second fresh tree"
root2="$work/root2"
new_tree "$root2"
# The first tree's package lists serve the second: no second download.
if [ -d "$work/root/var/lib/apt/lists" ]; then
  cp -a "$work/root/var/lib/apt/lists/." "$root2/var/lib/apt/lists/"
else
  in_tree "$root2" 'apt-get update -q'
fi
cp "$deb" "$root2/root/"
cp "$src/scripts/check-installed-package.sh" "$root2/root/"
in_tree "$root2" 'cd /root && ./check-installed-package.sh "./$1"' sh "$(basename "$deb")"
finish "the package check in the second tree" "$start"
