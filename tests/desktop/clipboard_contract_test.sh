#!/usr/bin/env bash
# The clipboard as a conversion reads and writes it, on one X11 desktop with a session bus:
# `litvorot --go` answers once the converted text is on the clipboard (or says why nothing was
# converted); a password manager's secret keeps its mark, is not recorded by a clipboard history
# and is not left for Undo once the clipboard moves on; an owner that trickles its text forever
# and a text over the limit are cut off and leave the clipboard as it was; a key held down against
# a stuck owner queues nothing; SIGTERM during a wait ends the program at once, and a secret is
# not handed to the clipboard manager at the end.
# Usage: clipboard_contract_test.sh LITVOROT TEXT_OWNER CLIPBOARD_HISTORY STUCK_OWNER
#        SELECTION_WATCH CLIPBOARD_MANAGER
set -uo pipefail
source "$(dirname "$0")/desktop-env.sh"
require_tools cmp dbus-daemon
text_owner=$2 history=$3 stuck=$4 watcher=$5 manager=$6
desktop_start || exit 1
desktop_bus_start || exit 1
mkdir -p "$DESKTOP_DIR/app"
printf ' 3 \r\n 4 \r\nFalse\r\n' >"$DESKTOP_DIR/app/settings.ini"  # Translit to Unicode
app_start "$1" LANG=ru_RU.UTF-8 QT_LOGGING_RULES=litvorot.clipboard=true || exit 1
wait_until 20 app_cmd --source translit || fail "the program does not take commands"

# go_status: runs `litvorot --go`; its status in $status, its message in $DESKTOP_DIR/go.err.
go_status() {
    app_cmd --go 2>"$DESKTOP_DIR/go.err"
    status=$?
}

# ---- --go answers when the converted text is there: paste at once, twenty times ----
for ((i = 1; i <= 20; i++)); do
    clip_set "privet $i"
    clip_wait_for "privet $i" 5 || fail "xclip did not take the clipboard"  # it forks first
    go_status
    [ "$status" -eq 0 ] || fail "--go round $i: status $status: $(cat "$DESKTOP_DIR/go.err")"
    got=$(xclip -selection clipboard -o)
    [ "$got" = "привет $i" ] || fail "--go round $i: right after --go the clipboard holds '$got'"
done
echo "--go and xclip -o at once: 20 of 20 converted"
# Nothing to convert is said, with its own status.
convert -size 8x8 xc:red "$DESKTOP_DIR/red.png"
clip_set_file "$DESKTOP_DIR/red.png" image/png
wait_until 5 sh -c 'xclip -selection clipboard -o -t TARGETS | grep -q image/png' ||
    fail "xclip did not take the picture"
go_status
[ "$status" -eq 3 ] && grep -q 'no text' "$DESKTOP_DIR/go.err" ||
    fail "--go on a picture: status $status, '$(cat "$DESKTOP_DIR/go.err")'"

# ---- A password manager's secret ----
desktop_spawn "$history" >"$DESKTOP_DIR/history.out"
history_pid=$DESKTOP_LAST_PID
wait_until 5 grep -q '^ready' "$DESKTOP_DIR/history.out" || fail "the clipboard history did not start"
desktop_spawn "$text_owner" --secret "parol'" >"$DESKTOP_DIR/secret.out"
secret_pid=$DESKTOP_LAST_PID
skipped_reach() { [ "$(grep -c '^skipped secret' "$DESKTOP_DIR/history.out")" -ge "$1" ]; }
wait_until 5 skipped_reach 1 || fail "the history did not see the password manager's text"
go_status
[ "$status" -eq 0 ] || fail "--go on a secret: status $status"
clip_is "пароль" || fail "the secret was not converted: $(clip_get)"
clip_targets | grep -qx 'x-kde-passwordManagerHint' || fail "the converted secret lost its mark: $(clip_targets)"
[ "$(xclip -selection clipboard -o -t x-kde-passwordManagerHint)" = secret ] ||
    fail "the mark's value is not 'secret'"
wait_until 5 skipped_reach 2 || fail "the history did not see the converted secret"
! grep -q 'recorded.*пароль\|recorded.*parol' "$DESKTOP_DIR/history.out" ||
    fail "the clipboard history recorded the secret: $(cat "$DESKTOP_DIR/history.out")"
kill "$secret_pid"
# Another program copies the very text written: Undo has nothing left to put back (it is
# greyed, so three Downs from the top land on Show Table, whose window opens).
clip_set "пароль"
wait_until 5 grep -q '^recorded пароль' "$DESKTOP_DIR/history.out" || fail "xclip did not take the clipboard"
before=$(visible_windows litvorot)
tray_menu_keys Down Down Down Return || fail "the menu did not open"
wait_until 5 visible_windows_more litvorot "$before" ||
    fail "Undo was still offered after the clipboard moved on"
go_status  # after whatever the menu did
clip_is "пароль" || fail "Undo put the secret back over the new text: $(clip_get)"
xdotool search --name 'Transliteration Table' windowclose 2>/dev/null ||
    xdotool search --name 'Transliteration Table' windowunmap 2>/dev/null || true
echo "a secret: converted with its mark, not recorded, not kept for Undo"
kill "$history_pid"  # it reads no INCR transfer, which would hold up xclip's large ones

# ---- An owner that trickles its text forever: cut at the time limit ----
desktop_spawn "$text_owner" --trickle 50 "privet " >"$DESKTOP_DIR/trickle.out"
trickle_pid=$DESKTOP_LAST_PID
wait_until 5 grep -q '^0x' "$DESKTOP_DIR/trickle.out" || fail "the trickling owner did not start"
t0=$(now_ms)
go_status
t1=$(now_ms)
[ "$status" -eq 4 ] || fail "--go against a trickling owner: status $status"
wait_until 5 grep -q '^stopped' "$DESKTOP_DIR/trickle.out" || fail "the transfer was not given up"
echo "a trickling owner: given up after $((t1 - t0)) ms, $(grep -c '^chunk' "$DESKTOP_DIR/trickle.out") chunks"
((t1 - t0 < 14000)) || fail "the trickle held --go for $((t1 - t0)) ms"
! grep -q '^lost' "$DESKTOP_DIR/trickle.out" || fail "the trickling owner lost the clipboard"
kill "$trickle_pid"

# ---- A text over the limit (16 Mi characters): a notice, and the clipboard as it was ----
head -c $((17 * 1024 * 1024)) /dev/zero | tr '\0' 'a' >"$DESKTOP_DIR/huge.txt"
clip_set_file "$DESKTOP_DIR/huge.txt" UTF8_STRING
before=$(visible_windows litvorot)
go_status
[ "$status" -eq 5 ] || fail "--go on a huge text: status $status"
wait_until 5 visible_windows_more litvorot "$before" || fail "no notice that the text is too long"
xclip -selection clipboard -o >"$DESKTOP_DIR/huge.back"
cmp -s "$DESKTOP_DIR/huge.txt" "$DESKTOP_DIR/huge.back" || fail "the huge text changed"
echo "a text over the limit: status 5, a notice, the clipboard as it was"

# ---- Ctrl+Space held down against a stuck owner: the repeats queue nothing ----
desktop_spawn "$stuck" >"$DESKTOP_DIR/stuck.out"
stuck_pid=$DESKTOP_LAST_PID
wait_until 10 grep -q '^0x' "$DESKTOP_DIR/stuck.out" || fail "the stuck owner did not start"
reads=$(log_count 'asking the clipboard')
xdotool keydown ctrl+space sleep 3 keyup ctrl+space
kill "$stuck_pid"  # the owner goes: the waiting read ends at once, with no text
go_status          # runs after everything the key left waiting
[ "$status" -eq 3 ] || fail "--go after the held key: status $status"
reads=$(($(log_count 'asking the clipboard') - reads))
echo "Ctrl+Space held 3 s against a stuck owner, then --go: $reads reads"
((reads == 2)) || fail "the held key's repeats queued $((reads - 2)) reads"

# ---- SIGTERM during a wait ends the program at once ----
desktop_spawn "$stuck" >"$DESKTOP_DIR/stuck.out"
wait_until 10 grep -q '^0x' "$DESKTOP_DIR/stuck.out" || fail "the stuck owner did not start"
xdotool key ctrl+space
wait_until 5 grep -q '^request' "$DESKTOP_DIR/stuck.out" || fail "the program did not ask the owner"
t0=$(now_ms)
kill -TERM "$APP_PID"
app_wait_exit 3 || fail "SIGTERM during a wait did not end the program"
echo "SIGTERM during a wait: ended after $(($(now_ms) - t0)) ms"
wait "$APP_PID"
[ $? -eq 0 ] || fail "exit status after SIGTERM"
kill "$DESKTOP_LAST_PID"

# ---- A secret the program holds at its end is not handed to the clipboard manager ----
app_start "$1" LANG=ru_RU.UTF-8 || exit 1
wait_until 20 app_cmd --source translit || fail "the program does not take commands"
desktop_spawn "$manager" >"$DESKTOP_DIR/manager.out"
wait_until 5 grep -q '^ready' "$DESKTOP_DIR/manager.out" || fail "the clipboard manager did not start"
desktop_spawn "$text_owner" --secret "parol'" >"$DESKTOP_DIR/secret.out"
wait_until 5 grep -q '^0x' "$DESKTOP_DIR/secret.out" || fail "the secret owner did not start"
go_status
[ "$status" -eq 0 ] && clip_is "пароль" || fail "the secret was not converted"
kill -TERM "$APP_PID"
app_wait_exit 10 || fail "SIGTERM did not end the program"
! grep -q '^saved' "$DESKTOP_DIR/manager.out" || fail "the secret was handed to the clipboard manager"
[ -z "$(clip_targets)" ] || fail "the secret outlived the program: $(clip_targets)"
echo "PASS"
