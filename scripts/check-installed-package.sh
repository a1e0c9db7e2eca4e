#!/bin/sh
# Runs as root inside a fresh Debian 12 tree (check-fresh-machine.sh):
# installs Tavi's package with apt and what it depends on, has the session
# bus start Tavi from the installed service file, looks 水 up with
# tavi-service and checks the history Tavi saved; then purges the package
# and checks that none of its files or folders are left.
# Usage: check-installed-package.sh PACKAGE.deb
set -eu
deb=$1
fail() {
  echo "check-installed-package: $*" >&2
  exit 1
}
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -q "$deb"
dpkg-query -L tavi >/tmp/tavi-files
for f in /usr/bin/tavi /usr/bin/tavi-service /usr/libexec/tavi/tavi-speech \
  /usr/share/tavi/dictionary.txt /usr/share/tavi/dictionary.dat \
  /usr/share/applications/com.Quillon.Tavi.desktop \
  /usr/share/dbus-1/services/com.Quillon.Tavi.service \
  /usr/share/metainfo/com.Quillon.Tavi.metainfo.xml /usr/share/man/man1/tavi.1.gz \
  /usr/share/man/man1/tavi-service.1.gz /usr/share/doc/tavi/copyright; do
  grep -qxF "$f" /tmp/tavi-files || fail "the package does not hold $f"
done
tavi --version | head -1

# A user's session without a display: a home of its own, the offscreen
# platform, and a session bus that starts Tavi as a desktop's would.
home=$(mktemp -d /tmp/tavi-user.XXXXXX)
HOME=$home QT_QPA_PLATFORM=offscreen dbus-run-session -- sh -c '
  bus() { dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "$@"; }
  bus org.freedesktop.DBus.StartServiceByName string:com.Quillon.Tavi uint32:0 | grep -q "uint32 1" ||
    { echo "the session bus did not start Tavi" >&2; exit 1; }
  pid=$(bus org.freedesktop.DBus.GetConnectionUnixProcessID string:com.Quillon.Tavi |
        awk "/uint32/ { print \$2 }")
  tavi-service LookupQuickly 水 || exit 1
  # Tavi saves the history when it is ended.
  kill -TERM "$pid"
  while kill -0 "$pid" 2>/dev/null; do sleep 0.2; done
' || fail "Tavi did not start through the session bus or refused the look-up"
grep -qx 'U+6C34' "$home/.config/TaviDictionaryHistory" ||
  fail "the history does not hold 水 (U+6C34): $(cat "$home/.config/TaviDictionaryHistory" 2>&1)"
echo "check-installed-package: the bus started Tavi; 水 is in its history"

apt-get purge -y -q tavi
! dpkg-query -W -f='${Status}\n' tavi 2>/dev/null | grep -q ' installed$' ||
  fail "tavi is still installed"
# Every path the package held is gone, but folders other packages own too.
left=""
while IFS= read -r path; do
  [ "$path" = /. ] && continue
  if [ -e "$path" ] && ! dpkg-query -S "$path" >/dev/null 2>&1; then
    left="$left $path"
  fi
done </tmp/tavi-files
[ -z "$left" ] || fail "left after purging tavi:$left"
echo "check-installed-package: purged; nothing of the package is left"
