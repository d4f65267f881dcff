#!/usr/bin/env bash
# The Windows program ended by another program under Wine on the tests' X11 desktop: taskkill
# without /F asks it to close; it ends, its tray icon goes, and no settings file is written (only
# the menu's Exit writes one).
# Usage: desktop_close_win32_test.sh BUILD_DIR litvorot.exe
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
# shellcheck source=../desktop/desktop-env.sh
source "$here/../desktop/desktop-env.sh"
wine_env "$1"
exe=$2
[ -n "${DISPLAY:-}" ] || { echo "SKIP: the Wine session has no desktop" >&2; exit 77; }
command -v xwininfo >/dev/null || { echo "SKIP: xwininfo is not installed" >&2; exit 77; }

wine_tray_app_start "$exe" close

wine taskkill /im litvorot.exe </dev/null >"$DESKTOP_DIR/taskkill.log" 2>&1 ||
    fail "taskkill: $(cat "$DESKTOP_DIR/taskkill.log")"
app_wait_exit 15 || fail "a close request did not end the program"
APP_PID=
wait_until 5 tray_icon_gone explorer.exe || fail "the tray icon stayed after the program ended"
[ ! -e "$DESKTOP_DIR/settings.ini" ] ||
    fail "a close request wrote settings.ini: $(od -c "$DESKTOP_DIR/settings.ini")"
echo "PASS"
