#!/usr/bin/env bash
# The key paths the desktop tests take through the tray menu, read off the menu table, against
# the ways through it that a user's keys take (checked by hand once, and by the desktop tests).
source "$(dirname "$0")/desktop-env.sh"
status=0
expect() {
    local got
    got=$(tray_menu_path "$1" 2>&1)
    [ "$got" = "$2" ] || { echo "FAIL: $1: '$got', expected '$2'" >&2; status=1; }
}
expect mnuSourceTranslit "Down Right Right"
expect mnuSourceAuto "Down Right Right Down Down Down Down"
expect mnuDestTranslit "Down Right Down Right"
expect mnuDestUnicode "Down Right Down Right Down Down Down"
expect mnuDisplayStatus "Down Right Down Down"
expect mnuGo "Down Down"
expect mnuUndo "Down Down Down"
# Below Undo, which may be greyed out, upwards from the end; separators are passed over.
expect mnuShowTable "Up Up Up Up"
expect mnuExit "Up"
expect mnuNothing "no menu item mnuNothing"
[ $status = 0 ] && echo PASS
exit $status
