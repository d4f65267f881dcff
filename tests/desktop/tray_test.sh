#!/usr/bin/env bash
# The tray icon and its menu, driven with the mouse and the keyboard as a user does; Exit writes
# the settings file and a restart restores the choices; a window open at Exit keeps the program
# alive until it is closed. Usage: tray_test.sh PATH/TO/litvorot [SCREENSHOT_DIR]
set -uo pipefail
source "$(dirname "$0")/desktop-env.sh"
require_tools cmp
shots=${2:-}
desktop_start || exit 1
app_start "$1" LANG=ru_RU.UTF-8 || exit 1

# Only a right-button press and a left double-click open the menu.
set -- "$1" $(tray_icon_centre litvorot)
x=$2
y=$3
base=$(visible_windows litvorot)
for button in 1 2; do
    xdotool mousemove "$x" "$y" click "$button"
    sleep 0.5
    [ "$(visible_windows litvorot)" -eq "$base" ] || fail "button $button opened a window"
done
xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1
wait_until 5 visible_windows_more litvorot "$base" || fail "a double-click did not open the menu"
xdotool key Escape
wait_until 5 visible_windows_are litvorot "$base" || fail "Escape did not close the menu"

# Options > Source Format > Unicode, then Options > Destination Format > Translit.
tray_menu_select mnuSourceUnicode || fail "the menu did not open"
[ -n "$shots" ] && desktop_screenshot "$shots/tray-source-menu.png"
xdotool key Return
tray_menu_choose mnuDestTranslit || fail "the menu did not open"
sleep 0.3
clip_set "привет"
xdotool key ctrl+space
clip_wait_for "privet" 3 || fail "Unicode to Translit gave $(clip_get)"
# "Go" in the menu runs the same command.
clip_set "Мир"
tray_menu_choose mnuGo
clip_wait_for "Mir" 3 || fail "Go gave $(clip_get)"

# Exit writes the settings file byte-exact and ends the program.
tray_menu_choose mnuExit
app_wait_exit 10 || fail "Exit did not end the program"
printf ' 4 \r\n 3 \r\nFalse\r\n' >"$DESKTOP_DIR/expected.ini"
cmp "$APP_DIR/settings.ini" "$DESKTOP_DIR/expected.ini" || fail "settings.ini: $(od -c "$APP_DIR/settings.ini")"

# A restart restores the choices (checked in the menu's screenshot and by converting).
app_start "$1" LANG=ru_RU.UTF-8 || exit 1
if [ -n "$shots" ]; then
    tray_menu_select mnuDestTranslit
    desktop_screenshot "$shots/tray-dest-menu-after-restart.png"
    xdotool key Escape Escape Escape
    sleep 0.3
fi
clip_set "привет"
xdotool key ctrl+space
clip_wait_for "privet" 3 || fail "after a restart the conversion gave $(clip_get)"

# About... open at Exit: the icon goes at once, the program ends when the window is closed.
tray_menu_choose mnuAbout
wait_until 5 xdotool search --onlyvisible --name "About" || fail "About... did not open"
tray_menu_choose mnuExit
wait_until 5 tray_icon_gone litvorot || fail "the tray icon stayed after Exit"
kill -0 "$APP_PID" 2>/dev/null || fail "the program ended while About was open"
[ -n "$shots" ] && desktop_screenshot "$shots/about-open-after-exit.png"
xdotool search --onlyvisible --name "About" windowactivate --sync key Escape 2>/dev/null ||
    xdotool search --onlyvisible --name "About" windowclose
app_wait_exit 10 || fail "closing About did not end the program"
echo "PASS"
