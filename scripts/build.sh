#!/bin/sh
# Configures and builds Tavi into build/ (or build-asan/ with --sanitize).
set -eu
cd "$(dirname "$0")/.."
dir=build; extra=""
if [ "${1:-}" = "--sanitize" ]; then dir=build-asan; extra="-DTAVI_SANITIZE=ON -DTAVI_BENCHMARKS=OFF"; fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $extra
cmake --build "$dir"
