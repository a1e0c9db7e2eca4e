#!/bin/sh
# Installs every Debian 12 package Tavi needs to build, test and run.
set -eu
PACKAGES="build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev libqt6uitools6 libqt6opengl6-dev libqt6dbus6
  libqt6network6 libqt6test6 qt6-qpa-plugins libgl-dev
  libbz2-dev unicode-data libbenchmark-dev
  dbus dbus-x11 fonts-noto-cjk fonts-babelstone-han fonts-hanazono xvfb xauth openbox
  clang libclang-rt-14-dev clang-format libespeak-ng-dev espeak-ng-data
  libwayland-dev wayland-protocols qt6-base-private-dev qt6-wayland sway wl-clipboard grim"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing
