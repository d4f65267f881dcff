#!/usr/bin/env bash
# A picture on the clipboard survives Ctrl+Space: with no text to read nothing is written. So do
# copied files, although their names could be read as text. Each press is known to have been
# handled when a `litvorot --go` after it answers (conversions run in turn), here that it found
# no text: no fixed wait.
# Usage: picture_test.sh PATH/TO/litvorot
set -uo pipefail
source "$(dirname "$0")/desktop-env.sh"
require_tools convert cmp
desktop_start || exit 1
desktop_bus_start || exit 1
app_start "$1" LANG=ru_RU.UTF-8 || exit 1

convert -size 8x8 xc:red "$DESKTOP_DIR/red.png"
clip_set_file "$DESKTOP_DIR/red.png" image/png
wait_until 5 sh -c 'xclip -selection clipboard -o -t TARGETS | grep -q image/png' ||
    fail "xclip did not take the picture"
# handled: the conversions before it have run, and it found no text either.
handled() {
    app_cmd --go 2>/dev/null
    [ $? -eq 3 ] || fail "$1: --go after it did not answer 'no text'"
}
wait_until 20 app_cmd --source translit || fail "the program does not take commands"
xdotool key ctrl+space
handled "Ctrl+Space on a picture"
clip_targets | grep -q image/png || fail "the picture left the clipboard: $(clip_targets)"
xclip -selection clipboard -o -t image/png >"$DESKTOP_DIR/back.png" 2>/dev/null
cmp -s "$DESKTOP_DIR/red.png" "$DESKTOP_DIR/back.png" || fail "the picture changed"
# "Go" from the menu leaves it alone as well.
tray_menu_choose mnuGo
handled "Go on a picture"
clip_targets | grep -q image/png || fail "Go took the picture away"

for target in text/uri-list x-special/gnome-copied-files; do
    printf 'copy\nfile:///tmp/privet.txt\n' >"$DESKTOP_DIR/files"
    clip_set_file "$DESKTOP_DIR/files" "$target"
    wait_until 5 sh -c "xclip -selection clipboard -o -t TARGETS | grep -qx '$target'" ||
        fail "xclip did not take the files ($target)"
    xdotool key ctrl+space
    handled "Ctrl+Space on files ($target)"
    clip_targets | grep -qx "$target" || fail "the files left the clipboard: $(clip_targets)"
    got=$(xclip -selection clipboard -o -t "$target")
    [ "$got" = "$(cat "$DESKTOP_DIR/files")" ] || fail "the files changed ($target): $got"
done
echo "PASS"
