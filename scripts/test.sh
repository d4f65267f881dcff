#!/usr/bin/env bash
# Builds Litvorot and runs every test: unit, widget, converter and desktop tests under a private
# Xvfb; then the unit tests and a short fuzzing run under AddressSanitizer and
# UndefinedBehaviorSanitizer. Extra arguments go to the first ctest run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test

echo "== Linux build and tests"
cmake --preset default
cmake --build --preset default
ctest --preset default "$@"

echo "== Sanitizers (ASan + UBSan) and fuzzing"
cmake --preset asan
cmake --build --preset asan
ctest --preset asan

# The Windows program: cross-built with mingw-w64, its tests run under Wine.
cmake --preset mingw
cmake --build --preset mingw
ctest --preset mingw
