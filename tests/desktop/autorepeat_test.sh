#!/usr/bin/env bash
# Ctrl+Space pressed in quick succession and held down (keyboard auto-repeat): every press runs
# the conversion once, and the text comes out whole. Unicode to Translit: the first conversion
# writes Latin letters, which later ones copy unchanged, so the result is known exactly.
# Usage: autorepeat_test.sh LITVOROT STUCK_OWNER SELECTION_WATCH LITVOROT_CONVERT
set -uo pipefail
source "$(dirname "$0")/desktop-env.sh"
converter_test_start 4 3 "$@"   # Unicode to Translit
watcher=$3
converter=$4

text=$DESKTOP_DIR/text.txt
yes "Съешь же ещё этих мягких французских булок, да выпей ЧАЮ. Щёкот, объём, подъезд!" |
    head -n 8000 >"$text"   # about 1 MB
"$converter" --from unicode --to translit "$text" >"$DESKTOP_DIR/expected.txt" ||
    fail "litvorot-convert failed"
"$converter" --from unicode --to translit "$DESKTOP_DIR/expected.txt" | cmp -s - "$DESKTOP_DIR/expected.txt" ||
    fail "Translit output does not stay as it is: the test needs another text"

# run_presses N ARGS...: sets the text, runs `xdotool ARGS...` and expects N conversions. N "some"
# is for auto-repeat, whose pace is the server's (660 ms delay, then 25 a second): holding the
# keys 2 s gives about 35 presses, and at least 10 are required.
run_presses() {
    local expected=$1
    shift
    clip_set_file "$text" UTF8_STRING
    owner_watch_start "$watcher" "$DESKTOP_DIR/owners" || fail "the owner watcher did not start"
    local watch_pid=$DESKTOP_LAST_PID
    xdotool "$@"
    if [ "$expected" = some ]; then
        wait_until 20 owner_changes_reach "$DESKTOP_DIR/owners" 10 || fail "holding the keys converted $(owner_changes "$DESKTOP_DIR/owners") times"
    else
        wait_until 20 owner_changes_reach "$DESKTOP_DIR/owners" "$expected" ||
            fail "$expected presses converted $(owner_changes "$DESKTOP_DIR/owners") times"
    fi
    # Let any late conversion land before counting.
    local count=-1
    until [ "$count" = "$(owner_changes "$DESKTOP_DIR/owners")" ]; do
        count=$(owner_changes "$DESKTOP_DIR/owners")
        sleep 1
    done
    kill "$watch_pid"
    if [ "$expected" != some ] && [ "$count" -ne "$expected" ]; then
        fail "$expected presses converted $count times"
    fi
    clip_get >"$DESKTOP_DIR/got.txt"
    cmp -s "$DESKTOP_DIR/expected.txt" "$DESKTOP_DIR/got.txt" ||
        fail "after $count conversions the text differs ($(wc -c <"$DESKTOP_DIR/got.txt") bytes)"
    kill -0 "$APP_PID" 2>/dev/null || fail "the program ended"
    echo "xdotool $*: $count conversions, text whole"
}

run_presses 15 key --repeat 15 --delay 30 ctrl+space
run_presses some keydown ctrl+space sleep 2 keyup ctrl+space

# And an ordinary press afterwards.
clip_set "Привет"
xdotool key ctrl+space
clip_wait_for "Privet" 5 || fail "a press after the auto-repeat gave $(clip_get)"
echo "PASS"
