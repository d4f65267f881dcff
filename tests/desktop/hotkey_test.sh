#!/usr/bin/env bash
# Ctrl+Space converts the clipboard from any layout and lock state; other combinations do not.
# Usage: hotkey_test.sh PATH/TO/litvorot
set -uo pipefail
source "$(dirname "$0")/desktop-env.sh"
require_tools
desktop_start || exit 1
# CP 1251 text is written in the code page of a Cyrillic locale.
app_start "$1" LANG=ru_RU.UTF-8 || exit 1

press_converts() {  # KEYS...: «privet» becomes «привет»
    clip_set "privet"
    xdotool key "$@"
    clip_wait_for "привет" 3 || fail "$* did not convert (clipboard: $(clip_get))"
}
press_ignored() {  # KEYS...: the clipboard keeps «privet»
    clip_set "privet"
    xdotool key "$@"
    sleep 0.4
    clip_is "privet" || fail "$* changed the clipboard to $(clip_get)"
}

press_converts ctrl+space
press_converts ctrl+space  # again: each press runs the command
press_ignored ctrl+shift+space
press_ignored ctrl+alt+space
press_ignored space
press_ignored super+space

xdotool key Num_Lock
press_converts ctrl+space
xdotool key Num_Lock
xdotool key Caps_Lock
press_converts ctrl+space
xdotool key Caps_Lock

# Russian as the only layout, then as the second group switched to.
setxkbmap -layout ru
press_converts ctrl+space
setxkbmap -layout us,ru -option grp:menu_toggle
xdotool key Menu
press_converts ctrl+space
setxkbmap -layout us -option

# A second copy cannot have the hot key; it runs on, and the first keeps converting.
mkdir "$DESKTOP_DIR/second"
cp "$APP_DIR/litvorot" "$DESKTOP_DIR/second/"
desktop_spawn env LANG=ru_RU.UTF-8 "$DESKTOP_DIR/second/litvorot" 2>/dev/null
second=$DESKTOP_LAST_PID
sleep 2
kill -0 "$second" 2>/dev/null || fail "the second copy ended"
press_converts ctrl+space
kill -TERM "$second"

# SIGTERM: an orderly end without writing the settings file.
kill -TERM "$APP_PID"
app_wait_exit 10 || fail "SIGTERM did not end the program"
wait "$APP_PID"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
[ ! -e "$APP_DIR/settings.ini" ] || fail "SIGTERM wrote the settings file"
echo "PASS"
