#!/bin/sh
# Installs what is needed, builds, and runs the whole test suite twice: in
# the normal build (build/) and in the AddressSanitizer + UndefinedBehavior-
# Sanitizer build (build-asan/). Each run includes the fuzz corpora.
#   --sanitize     only the sanitizer build
#   --no-sanitize  only the normal build
set -eu
cd "$(dirname "$0")/.."
./scripts/setup-debian.sh
run_suite() {
  ./scripts/build.sh "$@"
  dir=build; [ "${1:-}" = "--sanitize" ] && dir=build-asan
  ctest --test-dir "$dir" --output-on-failure -j2
}
case "${1:-}" in
  --sanitize) run_suite --sanitize ;;
  --no-sanitize) run_suite ;;
  "") run_suite; run_suite --sanitize ;;
  *) echo "usage: $0 [--sanitize | --no-sanitize]" >&2; exit 2 ;;
esac
