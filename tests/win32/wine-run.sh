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
# The program writes into files, passed on when it ends: a Wine helper process that it happens to
# start (and that outlives it) inherits those files, not CTest's pipes, which it would hold open.
out=$(mktemp "$TMPDIR/run-out.XXXXXX")
err=$(mktemp "$TMPDIR/run-err.XXXXXX")
status=0
wine "$@" </dev/null >"$out" 2>"$err" || status=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit "$status"
