#!/bin/sh
# Configures and builds Tavi into build/ (or build-asan/ with --sanitize).
set -eu
cd "$(dirname "$0")/.."
# Let the compiler cache match objects across checkouts in other folders:
# paths under the checkout are hashed relative to it, not by the folder.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(pwd)}" CCACHE_NOHASHDIR=1
dir=build; extra=""
if [ "${1:-}" = "--sanitize" ]; then dir=build-asan; extra="-DTAVI_SANITIZE=ON -DTAVI_BENCHMARKS=OFF"; fi
# TAVI_WERROR=ON (as CI sets it) turns every compiler warning into an error.
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_COMPILE_WARNING_AS_ERROR="${TAVI_WERROR:-OFF}" $extra
cmake --build "$dir"
