#!/usr/bin/env bash
# kill -9 at any moment of Exit never leaves a broken settings file: settings.ini is afterwards
# byte for byte either the old file or the new one, and no temporary files pile up.
# Each round flips Display Status in the menu, chooses Exit and kills the program 0 to 14 ms
# after xdotool starts pressing Return (xdotool takes a few ms to start, Exit a few more).
# Usage: kill_exit_test.sh LITVOROT   (KILL_EXIT_ROUNDS=N for another number of rounds)
set -uo pipefail
source "$(dirname "$0")/desktop-env.sh"
require_tools cmp
rounds=${KILL_EXIT_ROUNDS:-30}
desktop_start || exit 1
ini=$DESKTOP_DIR/app/settings.ini

settings_for() { printf ' 3 \r\n 2 \r\n%s\r\n' "$1"; }  # STATUS: the defaults with that status
status=False
killed_before=0 killed_after=0 ended=0 cut_short=0
for ((round = 0; round < rounds; round++)); do
    app_start "$1" LANG=ru_RU.UTF-8 || fail "round $round: the program did not start"
    if [ -e "$ini" ]; then cp "$ini" "$DESKTOP_DIR/old.ini"; else rm -f "$DESKTOP_DIR/old.ini"; fi
    [ "$status" = False ] && status=True || status=False
    settings_for "$status" >"$DESKTOP_DIR/new.ini"
    # Options > Display Status, then the menu again down to Exit.
    tray_menu_choose mnuDisplayStatus || fail "round $round: the menu did not open"
    tray_menu_select mnuExit || fail "round $round: the menu did not open"
    # The kill is timed from just before the key press; xdotool itself takes a few ms to start.
    delay=$(printf '0.%03d' $((round % 15)))
    (sleep "$delay" && kill -KILL "$APP_PID" 2>/dev/null) &
    killer=$!
    xdotool key Return
    wait "$killer"
    wait "$APP_PID"
    code=$?
    wait_until 10 tray_icon_gone litvorot || fail "round $round: the icon stayed"

    if cmp -s "$ini" "$DESKTOP_DIR/new.ini"; then
        if [ "$code" -eq 137 ]; then ((killed_after++)); else ((ended++)); fi
    elif { [ -e "$DESKTOP_DIR/old.ini" ] && cmp -s "$ini" "$DESKTOP_DIR/old.ini"; } ||
        { [ ! -e "$DESKTOP_DIR/old.ini" ] && [ ! -e "$ini" ]; }; then
        ((killed_before++))
        status=$([ "$status" = False ] && echo True || echo False)  # the flip was lost
    else
        fail "round $round (kill after ${delay}s): settings.ini is broken: $(od -c "$ini" | head -5)"
    fi
    # Besides the program and settings.ini at most the one temporary file of a save cut short.
    others=$(ls -A "$DESKTOP_DIR/app" | grep -v -x -e litvorot -e settings.ini | wc -l)
    [ -e "$ini.tmp" ] && ((cut_short++))
    ((others <= 1)) || fail "round $round: files pile up: $(ls -A "$DESKTOP_DIR/app")"
done
echo "$rounds rounds: killed before the file changed $killed_before, killed after it was" \
    "replaced $killed_after, ended before the kill $ended; a temporary file left $cut_short times"

# A save that completes leaves nothing else behind.
app_start "$1" LANG=ru_RU.UTF-8 || fail "the program did not start"
cp "$ini" "$DESKTOP_DIR/old.ini"
tray_menu_exit || fail "the menu did not open"
app_wait_exit 10 || fail "Exit did not end the program"
cmp -s "$ini" "$DESKTOP_DIR/old.ini" || fail "a plain Exit changed the settings: $(od -c "$ini")"
[ "$(ls -A "$DESKTOP_DIR/app" | sort | tr '\n' ' ')" = "litvorot settings.ini " ] ||
    fail "left behind: $(ls -A "$DESKTOP_DIR/app")"
echo "PASS"
