#!/usr/bin/env bash
# Runs a test's .exe under Wine in the tests' own prefix (the CTest emulator of tests/win32).
# Usage: wine-run.sh BUILD_DIR IDLE_EXE PROGRAM.exe [ARGS...]
set -euo pipefail
here=$(dirname "$0")
# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
wine_env "$1"
idle=$2
shift 2
wine_prefix_ready
wine_keep_alive "$idle"
exec wine "$@"
