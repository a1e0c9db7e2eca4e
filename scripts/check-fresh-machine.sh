#!/bin/sh
# Proves the README's set-up on a new machine: runs the README's test command
# in a fresh Debian 12 (bookworm, minbase) tree with chroot and an empty
# environment, on a clean clone of this checkout's committed state.
# Arguments are passed to scripts/test.sh (CI passes --no-sanitize).
# Needs root. The untouched tree is cached in $TAVI_FRESH_CACHE (default
# /var/cache/tavi-fresh-debian12), so repeat runs skip debootstrap.
set -eu
cd "$(dirname "$0")/.."
src=$(pwd)
if [ "$(id -u)" -ne 0 ]; then
  echo "check-fresh-machine: must run as root (debootstrap, chroot, mount)" >&2
  exit 2
fi
cache=${TAVI_FRESH_CACHE:-/var/cache/tavi-fresh-debian12}

need=""
command -v debootstrap >/dev/null 2>&1 || need="$need debootstrap"
command -v git >/dev/null 2>&1 || need="$need git"
if [ -n "$need" ]; then
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $need
fi

# The cached tree is made once and never entered; each run works on a copy.
if [ ! -f "$cache/.complete" ]; then
  rm -rf "$cache"
  mkdir -p "$cache"
  debootstrap --variant=minbase bookworm "$cache"
  touch "$cache/.complete"
fi

work=$(mktemp -d /var/tmp/tavi-fresh.XXXXXX)
root="$work/root"
mounted=""
cleanup() {
  status=$?
  for m in $mounted; do umount -l "$m" 2>/dev/null || true; done
  rm -rf --one-file-system "$work"
  exit $status
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

echo "check-fresh-machine: copying the Debian 12 tree"
cp -a "$cache" "$root"
rm -f "$root/.complete"
cp /etc/resolv.conf "$root/etc/resolv.conf"

git clone -q --no-hardlinks "$src" "$root/root/tavi"

mount_in() { # type source target [options]
  mkdir -p "$root$3"
  mount -t "$1" ${4:+-o "$4"} "$2" "$root$3"
  mounted="$root$3 $mounted"
}
mount_in proc proc /proc
mount_in none /dev /dev bind
mount_in devpts devpts /dev/pts newinstance,ptmxmode=0666
mount_in tmpfs tmpfs /dev/shm mode=1777
# Downloaded packages are kept between runs; the installed tree is not.
mkdir -p "$cache.apt-archives/partial"
mount_in none "$cache.apt-archives" /var/cache/apt/archives bind

echo "check-fresh-machine: running ./scripts/test.sh $* in the fresh tree"
set +e
chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  HOME=/root LANG=C.UTF-8 /bin/sh -c 'cd /root/tavi && ./scripts/test.sh "$@"' sh "$@"
status=$?
set -e
echo "check-fresh-machine: exit status $status"
exit $status
