#!/usr/bin/env bash
# Replacing the selection where it stands, in real editors from Debian holding a file: a GTK
# editor (mousepad), a Qt editor (featherpad) and a terminal (lxterminal running nano). Text is
# selected with keys as a user would, Shift+Pause (or `litvorot --replace-selection`) replaces
# it, the editor saves, and the file holds the converted text; the clipboard held before (a text,
# a picture, nothing) is there after; a clipboard history records no temporary text.
# Usage: selection_test.sh LITVOROT CLIPBOARD_HISTORY
set -uo pipefail
source "$(dirname "$0")/desktop-env.sh"
require_tools cmp dbus-daemon mousepad featherpad lxterminal nano
history=$2
desktop_start || exit 1
desktop_bus_start || exit 1
mkdir -p "$DESKTOP_DIR/app"
printf ' 3 \r\n 4 \r\nFalse\r\n' >"$DESKTOP_DIR/app/settings.ini"  # Translit to Unicode
app_start "$1" LANG=ru_RU.UTF-8 QT_LOGGING_RULES=litvorot.selection=true || exit 1
wait_until 20 app_cmd --source translit || fail "the program does not take commands"
desktop_spawn "$history" >"$DESKTOP_DIR/history.out"
wait_until 5 grep -q '^ready' "$DESKTOP_DIR/history.out" || fail "the clipboard history did not start"

# editor_open CLASS COMMAND...: starts the editor and waits until its window has the focus; its
# window id is in $EDITOR_WINDOW.
editor_open() {
    local class=$1
    shift
    desktop_spawn env LANG=C.UTF-8 NO_AT_BRIDGE=1 "$@" >>"$DESKTOP_DIR/editors.log" 2>&1
    EDITOR_PID=$DESKTOP_LAST_PID
    wait_until 30 sh -c "xdotool search --onlyvisible --class '$class'" ||
        fail "$class did not open: $(tail -n 5 "$DESKTOP_DIR/editors.log")"
    EDITOR_WINDOW=$(xdotool search --onlyvisible --class "$class" | tail -n 1)
    xdotool windowactivate --sync "$EDITOR_WINDOW" 2>/dev/null
    wait_until 10 eval '[ "$(xdotool getactivewindow 2>/dev/null)" = "$EDITOR_WINDOW" ]' ||
        fail "$class did not get the focus"
}
editor_close() {
    kill "$EDITOR_PID" 2>/dev/null
    wait "$EDITOR_PID" 2>/dev/null
}

# replace [KEYS...]: Shift+Pause as a person presses it (Shift a little before and after Pause)
# with no KEYS, else `litvorot --replace-selection`; waits until the replacement has ended (the
# program says so). Its status (command line) is in $status.
replace() {
    local before
    before=$(grep -c 'the replacement ended' "$DESKTOP_DIR/app.log")
    if [ $# -eq 0 ]; then
        xdotool keydown Shift_L sleep 0.05 key Pause sleep 0.15 keyup Shift_L
        status=0
    else
        app_cmd --replace-selection 2>"$DESKTOP_DIR/replace.err"
        status=$?
    fi
    wait_until 10 log_count_above 'the replacement ended' "$before" || fail "the replacement did not end"
}
# save_has FILE TEXT: the editor saves (Ctrl+S) and FILE then holds exactly TEXT.
save_has() {
    xdotool key ctrl+s
    local expected=$2
    file_is() { [ "$(cat "$1")" = "$expected" ]; }
    wait_until 5 file_is "$1" || fail "the file holds '$(cat "$1")', expected '$expected'"
}
# clip_owned TEXT: xclip serves TEXT (it takes the clipboard in the background: wait for it, or it
# may take it in the middle of a replacement).
clip_owned() {
    clip_set "$1"
    clip_wait_for "$1" 5 || fail "xclip did not take the clipboard"
}
clipboard_kept() {  # TEXT: the user's clipboard is back
    clip_is "$1" || fail "the clipboard holds '$(clip_get)', expected '$1'"
}
# privet_replaced: «privet», selected with keys, is replaced and the user's clipboard is back; the
# converted word is selected again, and the editor's undo brings the original back.
privet_replaced() {
    clip_owned "the user's text"
    xdotool key ctrl+Home shift+ctrl+Right  # «privet»
    replace
    save_has "$doc" 'привет, mir'
    clipboard_kept "the user's text"
    xdotool key ctrl+z
    save_has "$doc" 'privet, mir'
}

# ---- A GTK editor: mousepad ----
doc=$DESKTOP_DIR/gtk.txt
printf 'privet, mir\n' >"$doc"
editor_open mousepad mousepad "$doc"
privet_replaced

# A window slow to fetch the pasted text (stopped the moment the text is offered, for a second):
# the clipboard goes back only once it has fetched it.
clip_owned "the user's text"
xdotool key ctrl+Home shift+ctrl+Right  # «privet»
pasting=$(log_count 'pasting the converted text')
(wait_until 10 log_count_above 'pasting the converted text' "$pasting" && kill -STOP "$EDITOR_PID" &&
    sleep 1 && kill -CONT "$EDITOR_PID") &
slow=$!
replace
wait "$slow"
save_has "$doc" 'привет, mir'
clipboard_kept "the user's text"
grep -q 'the window fetched the pasted text' "$DESKTOP_DIR/app.log" || fail "no fetch seen"
xdotool key ctrl+z
save_has "$doc" 'privet, mir'

# Another program asks for the pasted text the moment it is there, before the window does (a
# clipboard history that asked the owner before for its formats): it does not get it, and the
# clipboard goes back only once the window has fetched it.
desktop_spawn "$history" greedy >"$DESKTOP_DIR/greedy.out"
greedy=$DESKTOP_LAST_PID
wait_until 5 grep -q '^ready' "$DESKTOP_DIR/greedy.out" || fail "the greedy history did not start"
for round in 1 2 3; do privet_replaced; done
kill "$greedy"
! grep -q -a -x 'recorded привет' "$DESKTOP_DIR/greedy.out" ||
    fail "another program got the pasted text: $(grep -a recorded "$DESKTOP_DIR/greedy.out")"

# A whole line typed on the wrong layout, with Auto.
app_cmd --source auto
xdotool key ctrl+a BackSpace
xdotool type --delay 5 'Ghbdtn? vbh! Rfr ltkf&'
xdotool key Home shift+End
replace
save_has "$doc" 'Привет, мир! Как дела?'
# Pressed again while the result is still selected: the next reading takes its place.
replace
xdotool key ctrl+s
sleep 0.3
[ "$(cat "$doc")" != 'Привет, мир! Как дела?' ] || fail "a second press with Auto did not cycle"
echo "mousepad: Translit word, a line on the wrong layout with Auto, cycle and undo"

# Several lines of UTF-8 read as CP 1251, a picture on the clipboard.
# The editor gets the text by a paste of its own (xdotool cannot type every character).
xdotool key ctrl+a BackSpace
clip_owned "$(printf 'РџСЂРёРІРµС‚\nРјРёСЂ')"
xdotool key ctrl+v ctrl+a
convert -size 8x8 xc:red "$DESKTOP_DIR/red.png"
clip_set_file "$DESKTOP_DIR/red.png" image/png
wait_until 5 sh -c 'xclip -selection clipboard -o -t TARGETS | grep -q image/png' || fail "no picture"
replace x
[ "$status" -eq 0 ] || fail "--replace-selection: status $status"
save_has "$doc" "$(printf 'Привет\nмир')"
xclip -selection clipboard -o -t image/png >"$DESKTOP_DIR/back.png" 2>/dev/null
cmp -s "$DESKTOP_DIR/red.png" "$DESKTOP_DIR/back.png" || fail "the picture did not come back"

# Nothing selected: nothing changes, nothing is pasted, and the command says so.
clip_owned "kept"
xdotool key ctrl+End
replace x
[ "$status" -eq 3 ] || fail "nothing selected: status $status"
save_has "$doc" "$(printf 'Привет\nмир')"
clipboard_kept "kept"
editor_close
echo "mousepad: several lines with a picture on the clipboard; nothing selected"

# ---- A Qt editor: featherpad; an empty clipboard stays empty ----
doc=$DESKTOP_DIR/qt.txt
printf 'do svidaniia\n' >"$doc"
app_cmd --source translit
editor_open featherpad featherpad "$doc"
clip_owned "soon gone"
pkill -x xclip  # its owner gone: the clipboard is empty
wait_until 5 eval '[ -z "$(clip_targets)" ]' || fail "the clipboard did not empty"
xdotool key ctrl+Home shift+End
replace
save_has "$doc" 'до свидания'
[ -z "$(clip_targets)" ] || fail "the empty clipboard came back as: $(clip_targets)"
editor_close
echo "featherpad: a line; an empty clipboard stays empty"

# ---- A terminal: lxterminal running nano. A terminal cannot replace what is selected on its
# screen: the converted text is pasted at the cursor (Ctrl+Shift+V), the clipboard kept. ----
doc=$DESKTOP_DIR/term.txt
printf 'spasibo\n\n' >"$doc"
clip_owned "terminal user"
editor_open lxterminal lxterminal --no-remote -e nano "$doc"
wait_until 10 sh -c "xdotool getwindowname '$EDITOR_WINDOW' | grep -q nano" || true
xdotool key ctrl+End  # nano's cursor on the empty last line
# The word selected as a terminal selects: a double click on it.
eval "$(xdotool getwindowgeometry --shell "$EDITOR_WINDOW")"
xdotool mousemove --window "$EDITOR_WINDOW" 30 45 click --repeat 2 --delay 80 1
replace
xdotool key ctrl+o Return
wait_until 5 grep -q 'спасибо' "$doc" || fail "the terminal's file holds '$(cat "$doc")'"
clipboard_kept "terminal user"
editor_close
echo "lxterminal with nano: the selection converted and pasted at the cursor"

# No temporary text in the clipboard history: every text put there to be pasted is skipped, and
# only what the user and the editors copied is recorded (a second press copies the first one's
# result: that copy is the editor's, as any copy is).
grep -q "^skipped secret" "$DESKTOP_DIR/history.out" ||
    fail "the pasted texts were not all marked: $(cat "$DESKTOP_DIR/history.out")"
! grep -q -x 'recorded привет, mir\|recorded привет\|recorded до свидания\|recorded спасибо\|recorded Привет' \
    "$DESKTOP_DIR/history.out" ||
    fail "the clipboard history recorded a converted text: $(grep -a recorded "$DESKTOP_DIR/history.out")"
echo "PASS"
