#!/usr/bin/env bash
# Files copied in a file manager survive Ctrl+Space and Go: a clipboard that offers a URI list
# holds no text to convert, and nothing is written over it. Each press is known to have been
# handled when a `litvorot --go` after it answers that it found no text (conversions run in turn).
# Usage: copied_files_test.sh PATH/TO/litvorot [PATH/TO/files_owner]
set -uo pipefail
source "$(dirname "$0")/desktop-env.sh"
require_tools cmp
desktop_start || exit 1
desktop_bus_start || exit 1
app_start "$1" LANG=ru_RU.UTF-8 || exit 1
wait_until 20 app_cmd --source translit || fail "the program does not take commands"
# handled WHAT: the conversions before it have run, and it found no text either.
handled() {
    app_cmd --go 2>/dev/null
    [ $? -eq 3 ] || fail "$1: --go after it did not answer 'no text'"
}

# A Translit-looking path: converted, it would read «филе:///тмп/привет.тхт».
printf 'file:///tmp/privet.txt\r\n' >"$DESKTOP_DIR/files.uri"
clip_set_file "$DESKTOP_DIR/files.uri" text/uri-list
offers_uris() { clip_targets | grep -q text/uri-list; }
wait_until 5 offers_uris || fail "xclip did not take the URI list"

still_files() {
    offers_uris || fail "$1: the files left the clipboard: $(clip_targets)"
    xclip -selection clipboard -o -t text/uri-list >"$DESKTOP_DIR/back.uri" 2>/dev/null
    cmp -s "$DESKTOP_DIR/files.uri" "$DESKTOP_DIR/back.uri" ||
        fail "$1: the URI list changed: $(cat "$DESKTOP_DIR/back.uri")"
}
xdotool key ctrl+space
handled "Ctrl+Space"
still_files "Ctrl+Space"
tray_menu_choose mnuGo
handled "Go"
still_files "Go"

# A file manager offers the paths as plain text beside the URI list: still no text to convert.
if [ $# -ge 2 ]; then
    desktop_spawn "$2" >"$DESKTOP_DIR/owner.log"
    wait_until 5 grep -q '^ready' "$DESKTOP_DIR/owner.log" || fail "files_owner did not start"
    xdotool key ctrl+space
    handled "Ctrl+Space on the file manager's clipboard"
    tray_menu_choose mnuGo
    handled "Go on the file manager's clipboard"
    ! grep -q '^lost' "$DESKTOP_DIR/owner.log" || fail "the file manager's clipboard was taken over"
    [ "$(clip_get)" = /tmp/privet.txt ] || fail "the plain-text paths changed: $(clip_get)"
fi
echo "PASS"
