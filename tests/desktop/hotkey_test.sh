#!/usr/bin/env bash
# Ctrl+Space converts the clipboard from any layout and lock state; other combinations do not.
# SIGTERM ends the program without writing the settings file, handing its converted text to the
# clipboard manager. Usage: hotkey_test.sh PATH/TO/litvorot PATH/TO/clipboard_manager
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

# An owner that offers its text only as STRING (Latin-1), as old X programs do.
printf 'privet \xe9' >"$DESKTOP_DIR/latin1"
clip_set_file "$DESKTOP_DIR/latin1" STRING
xdotool key ctrl+space
clip_wait_for "привет é" 3 || fail "text offered as STRING did not convert (clipboard: $(clip_get))"

# SIGTERM (as at log-out): an orderly end without writing the settings file; the clipboard
# manager keeps the text the program converted last.
desktop_spawn "$2" >"$DESKTOP_DIR/manager.out"
wait_until 5 grep -q '^ready' "$DESKTOP_DIR/manager.out" || fail "the clipboard manager did not start"
press_converts ctrl+space
kill -TERM "$APP_PID"
app_wait_exit 10 || fail "SIGTERM did not end the program"
wait "$APP_PID"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
[ ! -e "$APP_DIR/settings.ini" ] || fail "SIGTERM wrote the settings file"
grep -q '^saved' "$DESKTOP_DIR/manager.out" || fail "the text was not handed to the clipboard manager"
clip_is "привет" || fail "after the program ended the clipboard holds '$(clip_get)'"
echo "PASS"
