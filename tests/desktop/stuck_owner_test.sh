#!/usr/bin/env bash
# A clipboard owner that never answers: Ctrl+Space gives up after the clipboard timeout, the
# stuck owner keeps the clipboard, and the tray menu opens at once while the program waits. Once
# the owner is gone, the hot key converts again. Exit during a wait ends the program at once, with
# a queued press abandoned and nothing written.
# Usage: stuck_owner_test.sh LITVOROT STUCK_OWNER SELECTION_WATCH
set -uo pipefail
source "$(dirname "$0")/desktop-env.sh"
require_tools
stuck=$2
watcher=$3
desktop_start || exit 1
app_start "$1" LANG=ru_RU.UTF-8 QT_LOGGING_RULES=litvorot.clipboard=true || exit 1

# stuck_case MAX_REQUESTS [--answer-targets]: Ctrl+Space against an owner that never sends the
# text; the program asks it at most MAX_REQUESTS times (each unanswered one costs 5 s).
stuck_case() {
    local max=$1
    shift
    desktop_spawn "$stuck" "$@" >"$DESKTOP_DIR/stuck.out"
    local pid=$DESKTOP_LAST_PID
    wait_until 10 grep -q '^0x' "$DESKTOP_DIR/stuck.out" || fail "the stuck owner did not start"
    local window
    window=$(head -n 1 "$DESKTOP_DIR/stuck.out")

    local t0 t1 requests=0 i
    t0=$(now_ms)
    xdotool key ctrl+space
    wait_until 5 grep -q '^request' "$DESKTOP_DIR/stuck.out" || fail "the program did not ask the owner ($*)"
    # The wait holds up nothing else: the menu opens within half a second.
    local m0 m1
    m0=$(now_ms)
    tray_menu_open || fail "the menu did not open during the wait ($*)"
    m1=$(now_ms)
    xdotool key Escape
    echo "during the wait the menu opened in $((m1 - m0)) ms"
    ((m1 - m0 < 500)) || fail "the menu took $((m1 - m0)) ms to open during the wait ($*)"
    # The program gives up on a request after 5 s: wait until it has asked nothing new for 6 s.
    for ((i = 0; i < 10; i++)); do
        requests=$(grep -c '^request' "$DESKTOP_DIR/stuck.out")
        sleep 6
        [ "$(grep -c '^request' "$DESKTOP_DIR/stuck.out")" -eq "$requests" ] && break
    done
    tray_menu_open || fail "the program does not answer ($*)"
    t1=$(now_ms)
    xdotool key Escape
    echo "stuck owner ${*:-ignoring everything}: $requests request(s)," \
        "the menu opened $((t1 - t0)) ms after the press"
    ((requests <= max)) || fail "the program asked the stuck owner $requests times"
    sleep 0.5
    [ "$("$watcher" owner)" = "$window" ] || fail "the clipboard was taken from the stuck owner ($*)"
    ! grep -q lost "$DESKTOP_DIR/stuck.out" || fail "the stuck owner lost the clipboard ($*)"
    kill "$pid"
    wait "$pid" 2>/dev/null
    kill -0 "$APP_PID" 2>/dev/null || fail "the program ended ($*)"
    grep -q 'litvorot.clipboard: the clipboard owner did not answer' "$DESKTOP_DIR/app.log" ||
        fail "the owner's time-out was not logged ($*)"
    # With a live owner the hot key converts again.
    clip_set "privet"
    xdotool key ctrl+space
    clip_wait_for "привет" 5 || fail "no conversion after the stuck owner left ($*): $(clip_get)"
}

stuck_case 1                   # TARGETS only
stuck_case 2 --answer-targets  # TARGETS, then the text

# Exit while the program waits for the owner, with a second press queued behind the first.
desktop_spawn "$stuck" >"$DESKTOP_DIR/stuck.out"
stuck_pid=$DESKTOP_LAST_PID
wait_until 10 grep -q '^0x' "$DESKTOP_DIR/stuck.out" || fail "the stuck owner did not start"
window=$(head -n 1 "$DESKTOP_DIR/stuck.out")
xdotool key ctrl+space
wait_until 5 grep -q '^request' "$DESKTOP_DIR/stuck.out" || fail "the program did not ask the owner"
xdotool key ctrl+space
t0=$(now_ms)
tray_menu_exit || fail "the menu did not open for Exit during the wait"
app_wait_exit 3 || fail "Exit did not end the program during the wait"
echo "Exit during the wait: the program ended $(($(now_ms) - t0)) ms after the menu was asked for"
sleep 1
[ "$(grep -c '^request' "$DESKTOP_DIR/stuck.out")" -eq 1 ] ||
    fail "the queued press asked the owner after Exit"
[ "$("$watcher" owner)" = "$window" ] || fail "the clipboard was taken from the stuck owner at Exit"
kill "$stuck_pid"
wait "$stuck_pid" 2>/dev/null
echo "PASS"
