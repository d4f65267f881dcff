#!/usr/bin/env bash
# Builds Litvorot and starts the tray program.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build
cmake --preset default
cmake --build --preset default --target litvorot
exec build/default/shell/litvorot "$@"
