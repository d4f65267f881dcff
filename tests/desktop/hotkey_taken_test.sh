#!/usr/bin/env bash
# Ctrl+Space held by another program: the program runs on with its menu, a tray notification
# tells the user the first time, and not again until the key has worked in between.
# Usage: hotkey_taken_test.sh PATH/TO/litvorot
set -uo pipefail
source "$(dirname "$0")/desktop-env.sh"
require_tools
desktop_start || exit 1
notice="$XDG_STATE_HOME/litvorot/hotkey-taken"

# The holder: a first copy (without a session bus nothing keeps a second one from starting).
app_start "$1" LANG=ru_RU.UTF-8 || exit 1
holder=$APP_PID
[ ! -e "$notice" ] || fail "the copy that has Ctrl+Space left a notice"

# start_second: a copy in a folder of its own; waits until its icon shows beside the first.
start_second() {
    mkdir -p "$DESKTOP_DIR/second"
    cp "$1" "$DESKTOP_DIR/second/litvorot"
    base=$(visible_windows litvorot)
    desktop_spawn env LANG=ru_RU.UTF-8 QT_LOGGING_RULES="litvorot.*=true" \
        "$DESKTOP_DIR/second/litvorot" 2>>"$DESKTOP_DIR/second.log"
    second=$DESKTOP_LAST_PID
    wait_until 20 grep -q . "$notice" 2>/dev/null
}

# The first time: a notification (a balloon beside the tray, without a notification service).
start_second "$1"
[ -s "$notice" ] || fail "no notice recorded that Ctrl+Space is taken"
wait_until 10 visible_windows_more litvorot $((base + 1)) ||
    fail "no notification that Ctrl+Space is taken"
kill -0 "$second" 2>/dev/null || fail "the copy without Ctrl+Space ended"
kill -0 "$holder" 2>/dev/null || fail "the holder ended"
# Logged when asked for, silent otherwise.
grep -q 'litvorot.hotkey: the key grab was refused' "$DESKTOP_DIR/second.log" ||
    fail "the refused grab was not logged: $(cat "$DESKTOP_DIR/second.log")"
grep -q 'litvorot.settings: settings file .*/second/settings.ini' "$DESKTOP_DIR/second.log" ||
    fail "the settings location was not logged"
! grep -q 'litvorot\.' "$DESKTOP_DIR/app.log" || fail "the holder logged without being asked"
kill -TERM "$second"
wait "$second" 2>/dev/null

# The next start: the user knows already, no notification (the program says when it has decided).
start_second "$1"
wait_until 20 grep -q 'litvorot.hotkey: the user was told before' "$DESKTOP_DIR/second.log" ||
    fail "the second start did not decide about the notification"
kill -0 "$second" 2>/dev/null || fail "the second copy ended"
visible_windows_are litvorot $((base + 1)) || fail "the notification showed a second time"
kill -TERM "$second"
wait "$second" 2>/dev/null

# Once the key works again the notice goes, so that losing it again is told again.
kill -TERM "$holder"
app_wait_exit 10 || fail "the holder did not end"
start_second "$1"
wait_until 10 eval '[ ! -e "$notice" ]' || fail "the notice stayed although Ctrl+Space worked"
kill -TERM "$second"
echo "PASS"
