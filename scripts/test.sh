#!/bin/sh
# Installs what is needed, builds, and runs the whole test suite.
set -eu
cd "$(dirname "$0")/.."
./scripts/setup-debian.sh
./scripts/build.sh "$@"
dir=build; [ "${1:-}" = "--sanitize" ] && dir=build-asan
ctest --test-dir "$dir" --output-on-failure -j2
