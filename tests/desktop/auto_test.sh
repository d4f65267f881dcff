#!/usr/bin/env bash
# Auto as the source: Ctrl+Space repairs UTF-8 shown as CP 1251, a second press soon after gives
# another reading, and Undo in the menu puts the copied text back; Exit stores Auto as 5.
# Usage: auto_test.sh PATH/TO/litvorot
set -uo pipefail
source "$(dirname "$0")/desktop-env.sh"
require_tools cmp
desktop_start || exit 1
app_start "$1" LANG=ru_RU.UTF-8 || exit 1

# Options > Source Format > Auto (the fifth item), Options > Destination Format > Unicode.
tray_menu_choose mnuSourceAuto || fail "the menu did not open"
tray_menu_choose mnuDestUnicode || fail "the menu did not open"
sleep 0.3

garbled="РџСЂРёРІРµС‚"
clip_set "$garbled"
xdotool key ctrl+space
clip_wait_for "Привет" 3 || fail "Auto gave $(clip_get)"
xdotool key ctrl+space
clip_other() { local now; now=$(clip_get); [ "$now" != "Привет" ] && [ -n "$now" ]; }
wait_until 3 clip_other || fail "a second press did not move on from Привет"
second=$(clip_get)
[ "$second" != "$garbled" ] || fail "the second press went back to the original at once"

# Undo, right after Go (enabled now), puts back what was copied.
tray_menu_choose mnuUndo || fail "the menu did not open for Undo"
clip_wait_for "$garbled" 3 || fail "Undo gave $(clip_get) after $second"

# Undo is greyed now and skipped: six steps down still reach Exit.
tray_menu_exit || fail "the menu did not open for Exit"
app_wait_exit 10 || fail "Exit did not end the program"
printf ' 5 \r\n 4 \r\nFalse\r\n' >"$DESKTOP_DIR/expected.ini"
cmp "$APP_DIR/settings.ini" "$DESKTOP_DIR/expected.ini" ||
    fail "settings.ini: $(od -c "$APP_DIR/settings.ini")"
echo "PASS"
