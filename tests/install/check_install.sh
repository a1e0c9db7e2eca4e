#!/bin/sh
# Installs the build into two prefixes, one whose name needs quoting, then
# checks the desktop files, that the session bus starts the Tavi of that
# prefix through its service file, and that uninstalling one prefix removes
# all it put there, folders it made included, and nothing else.
# Usage: check_install.sh BUILD_DIR WORK_DIR
set -eu
build=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

odd="$work/My Programs (Tavi's)"
plain="$work/plain"
# A folder that was there before the install, holding a file of its own.
mkdir -p "$odd/share/applications"
echo other >"$odd/share/applications/other.desktop"
cmake --install "$build" --prefix "$odd" >"$work/install.log"
cmake --install "$build" --prefix "$plain" >>"$work/install.log"

desktop="$odd/share/applications/com.Quillon.Tavi.desktop"
grep -qxF "Exec=\"$odd/bin/tavi\"" "$desktop" || fail "unquoted Exec in $desktop"
grep -qxF "Exec=\"$odd/bin/tavi-service\" LookupQuickly" "$desktop" ||
  fail "unquoted action Exec in $desktop"
grep -qxF "Exec=$plain/bin/tavi" "$plain/share/applications/com.Quillon.Tavi.desktop" ||
  fail "a path without reserved characters is quoted"
# The speech helper is no command: it lies with the program's helpers.
[ -x "$plain/libexec/tavi/tavi-speech" ] || fail "no speech helper in $plain/libexec/tavi"
[ ! -e "$plain/bin/tavi-speech" ] || fail "the speech helper is among the commands"
hints=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $hints"
[ -z "$hints" ] || fail "desktop-file-validate: $hints"
appstreamcli validate --no-net "$odd/share/metainfo/com.Quillon.Tavi.metainfo.xml" >"$work/as.log" 2>&1 ||
  fail "appstreamcli: $(cat "$work/as.log")"

# The bus reads the quoted Exec of the service file and starts that Tavi.
cat >"$work/bus.conf" <<CONF
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <servicedir>$odd/share/dbus-1/services</servicedir>
  <limit name="service_start_timeout">120000</limit>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
dbus-run-session --config-file="$work/bus.conf" -- sh -c '
  bus() { dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "$@"; }
  bus org.freedesktop.DBus.StartServiceByName string:com.Quillon.Tavi uint32:0 | grep -q "uint32 1" ||
    { echo "the bus did not start Tavi" >&2; exit 1; }
  pid=$(bus org.freedesktop.DBus.GetConnectionUnixProcessID string:com.Quillon.Tavi | awk "/uint32/ { print \$2 }")
  started=$(readlink "/proc/$pid/exe")
  reply=$("$1/bin/tavi-service" ConvertPinyin ni3 hao3)
  kill "$pid"
  while kill -0 "$pid" 2>/dev/null; do sleep 0.1; done
  [ "$started" = "$1/bin/tavi" ] || { echo "the bus started $started" >&2; exit 1; }
  [ "$reply" = "nǐ hǎo" ] || { echo "the started Tavi replied: $reply" >&2; exit 1; }
' sh "$odd" || fail "D-Bus activation from $odd"

cmake -D PREFIX="$odd" -P "$build/cmake_uninstall.cmake" >"$work/uninstall.log"
left=$(cd "$odd" && find . | sort | tr '\n' ' ')
[ "$left" = ". ./share ./share/applications ./share/applications/other.desktop " ] ||
  fail "left in $odd after uninstall: $left"
[ -x "$plain/bin/tavi" ] || fail "uninstalling $odd removed $plain/bin/tavi"
cmake -D PREFIX="$plain" -P "$build/cmake_uninstall.cmake" >>"$work/uninstall.log"
[ ! -e "$plain" ] || fail "left after uninstall: $(find "$plain")"
echo "install, activation and uninstall: 1 passed, 0 failed"
