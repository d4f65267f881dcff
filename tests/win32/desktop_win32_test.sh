#!/usr/bin/env bash
# The Windows program as a user meets it, under Wine on the tests' X11 desktop (wine-fixture.sh):
# the icon docks in trayer and is drawn, a right-click opens the menu, the menu changes the
# destination format, "Go" converts the text another program (xclip) put on the clipboard, and
# Exit writes settings.ini byte-exact and ends the program.
# Usage: desktop_win32_test.sh BUILD_DIR litvorot.exe [SCREENSHOT_DIR]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
# shellcheck source=../desktop/desktop-env.sh
source "$here/../desktop/desktop-env.sh"
wine_env "$1"
exe=$2
shots=${3:-}
[ -n "${DISPLAY:-}" ] || { echo "SKIP: the Wine session has no desktop" >&2; exit 77; }
for tool in xdotool xclip xwininfo import convert; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed" >&2; exit 77; }
done

wine_tray_app_start "$exe" app

# The icon is drawn (the red and blue letters, not an empty square) once Wine paints it.
icon_colours() {
    set -- $(tray_icon_geometry explorer.exe)
    import -window root -crop "$3x$4+$1+$2" png:- | convert png:- -format %k info:
}
icon_drawn() { [ "$(icon_colours)" -ge 4 ]; }
wait_until 10 icon_drawn || fail "the tray icon shows $(icon_colours) colours"

# Options > Destination Format > Unicode (the defaults read Translit), then Go.
tray_menu_select mnuDestUnicode || fail "a right-click on the icon opened no menu"
[ -n "$shots" ] && desktop_screenshot "$shots/win32-tray-menu.png"
xdotool key Return
clip_set "privet, mir"
tray_menu_choose mnuGo || fail "the menu did not open for Go"
clip_wait_for "привет, мир" 5 || fail "Go gave '$(clip_get)'"

# Exit: the icon goes, the program ends, the settings file holds the choices.
tray_menu_exit || fail "the menu did not open for Exit"
app_wait_exit 15 || fail "Exit did not end the program"
APP_PID=
wait_until 5 tray_icon_gone explorer.exe || fail "the tray icon stayed after Exit"
printf ' 3 \r\n 4 \r\nFalse\r\n' >"$DESKTOP_DIR/expected.ini"
cmp "$DESKTOP_DIR/settings.ini" "$DESKTOP_DIR/expected.ini" ||
    fail "settings.ini: $(od -c "$DESKTOP_DIR/settings.ini")"
echo "PASS"
