#!/usr/bin/env bash
# A 10 MB clipboard text converts whole, exactly as litvorot-convert converts it, and the program
# answers the hot key and the tray menu right after.
# Usage: big_text_test.sh LITVOROT STUCK_OWNER SELECTION_WATCH LITVOROT_CONVERT
set -uo pipefail
source "$(dirname "$0")/desktop-env.sh"
converter_test_start 3 4 "$@"   # Translit to Unicode
watcher=$3
converter=$4

text=$DESKTOP_DIR/text.txt
yes "Shchuka i yozh: privet, mir! Zdravstvuyte, tovarishchi; ZHURNAL \"Ogonyok\" -- 1999 g." |
    head -c 10485760 >"$text"
"$converter" --from translit --to unicode "$text" >"$DESKTOP_DIR/expected.txt" ||
    fail "litvorot-convert failed"
"$converter" --from translit --to unicode "$DESKTOP_DIR/expected.txt" >"$DESKTOP_DIR/expected2.txt"

clip_set_file "$text" UTF8_STRING
owner_watch_start "$watcher" "$DESKTOP_DIR/owners" || fail "the owner watcher did not start"
t0=$(now_ms)
xdotool key ctrl+space
wait_until 60 owner_changes_reach "$DESKTOP_DIR/owners" 1 || fail "Ctrl+Space did not take the clipboard"
t1=$(now_ms)
clip_get >"$DESKTOP_DIR/got.txt"
t2=$(now_ms)
cmp -s "$DESKTOP_DIR/expected.txt" "$DESKTOP_DIR/got.txt" ||
    fail "the converted text differs: $(wc -c <"$DESKTOP_DIR/got.txt") bytes, expected $(wc -c <"$DESKTOP_DIR/expected.txt")"
echo "10 MB: key press to new owner $((t1 - t0)) ms; reading the converted text $((t2 - t1)) ms"

# Right after: a second press and the tray menu.
t0=$(now_ms)
xdotool key ctrl+space
tray_menu_open || fail "the tray menu did not open after the second conversion"
t1=$(now_ms)
xdotool key Escape
wait_until 30 owner_changes_reach "$DESKTOP_DIR/owners" 2 || fail "the second press did not convert"
clip_get >"$DESKTOP_DIR/got2.txt"
cmp -s "$DESKTOP_DIR/expected2.txt" "$DESKTOP_DIR/got2.txt" || fail "the second conversion differs"
echo "second press and the tray menu: menu open after $((t1 - t0)) ms"
kill -0 "$APP_PID" 2>/dev/null || fail "the program ended"
echo "PASS"
