#!/bin/sh
# Fails when a C++ file of the tree is not laid out as .clang-format says;
# `clang-format -i <file>` lays it out.
set -eu
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
echo "check-format: every file is formatted"
