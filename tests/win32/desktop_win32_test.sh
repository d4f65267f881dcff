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

DESKTOP_DIR=$(mktemp -d "$TMPDIR/litvorot-app.XXXXXX")
cleanup() {
    [ -n "${APP_PID:-}" ] && kill "$APP_PID" 2>/dev/null
    rm -rf "$DESKTOP_DIR"
}
trap cleanup EXIT
cp "$exe" "$DESKTOP_DIR/litvorot.exe"

# Wine's tray icons are windows of explorer.exe embedded in trayer; this program's is the only one.
# "X Y W H" of the explorer.exe window inside trayer's panel (explorer has other windows).
icon_geometry() {
    LC_ALL=C xwininfo -root -tree 2>/dev/null | awk '
        function indent(line) { match(line, /^ */); return RLENGTH }
        /\("panel" "trayer"\)/ { panel = indent($0); next }
        panel && indent($0) <= panel { panel = 0 }
        panel && /\("explorer\.exe" "explorer\.exe"\)/ &&
            match($0, /[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+ +\+-?[0-9]+\+-?[0-9]+/) {
            split(substr($0, RSTART, RLENGTH), f, /[x+ ]+/)
            if (!found && f[1] >= 8 && f[2] >= 8) { print f[5], f[6], f[1], f[2]; found = 1 }
        }'
}
icon_centre() {
    set -- $(icon_geometry)
    [ $# -eq 4 ] && echo $(($1 + $3 / 2)) $(($2 + $4 / 2))
}
# The program's viewable windows without a name: its open menus.
menus_open() { LC_ALL=C xwininfo -root -tree | grep -c '(has no name): ("litvorot.exe" "litvorot.exe")  [0-9][0-9]'; }
menus_more_than() { [ "$(menus_open)" -gt "$1" ]; }
menu_keys() {
    local before
    before=$(menus_open)
    xdotool mousemove $(icon_centre) click 3
    wait_until 5 menus_more_than "$before" || fail "a right-click on the icon opened no menu"
    local key
    for key in "$@"; do
        xdotool key "$key"
        sleep 0.2
    done
}

wine "$DESKTOP_DIR/litvorot.exe" </dev/null >"$DESKTOP_DIR/app.log" 2>&1 &
APP_PID=$!
wait_until 30 icon_centre || fail "the tray icon did not dock"

# The icon is drawn (the red and blue letters, not an empty square) once Wine paints it.
icon_colours() {
    set -- $(icon_geometry)
    import -window root -crop "$3x$4+$1+$2" png:- | convert png:- -format %k info:
}
icon_drawn() { [ "$(icon_colours)" -ge 4 ]; }
wait_until 10 icon_drawn || fail "the tray icon shows $(icon_colours) colours"

# Options > Destination Format > Unicode (the defaults read Translit), then Go.
menu_keys Down Right Down Right Down Down Down
[ -n "$shots" ] && import -window root "$shots/win32-tray-menu.png"
xdotool key Return
clip_set "privet, mir"
menu_keys Down Down Return
clip_wait_for "привет, мир" 5 || fail "Go gave '$(clip_get)'"

# Exit: the icon goes, the program ends, the settings file holds the choices.
menu_keys Up Return
wait_until 15 sh -c "! kill -0 $APP_PID 2>/dev/null" || fail "Exit did not end the program"
APP_PID=
[ -z "$(icon_centre)" ] || fail "the tray icon stayed after Exit"
printf ' 3 \r\n 4 \r\nFalse\r\n' >"$DESKTOP_DIR/expected.ini"
cmp "$DESKTOP_DIR/settings.ini" "$DESKTOP_DIR/expected.ini" ||
    fail "settings.ini: $(od -c "$DESKTOP_DIR/settings.ini")"
echo "PASS"
