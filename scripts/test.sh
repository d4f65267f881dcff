#!/usr/bin/env bash
# Builds Litvorot and runs every test: unit, widget, converter and desktop tests under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test
cmake --preset default
cmake --build --preset default
ctest --preset default "$@"
