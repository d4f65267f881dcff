#!/usr/bin/env bash
# The secondary windows on a real X server with a window manager (Xvfb + openbox):
#  1. the table window stays above another window after that window is activated, and is still
#     seen whole on the screen, and Escape does not close it;
#  2. client sizes, frames and taskbar hints of the four windows as the window manager sees them
#     (the three dialogs offer neither minimising nor maximising, the help window both).
# Usage: desktop_windows_test.sh WINDOWS_DRIVER TABLE_PNG
set -euo pipefail

driver=$1
table_png=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../desktop/desktop-env.sh"

type fail >/dev/null 2>&1 || fail() {
    echo "FAIL: $*" >&2
    exit 1
}
for tool in Xvfb openbox trayer xdotool xwininfo xprop import compare xlogo; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed" >&2; exit 77; }
done

desktop_start

# The id of the one visible window titled exactly $1.
window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
has_window() { [ -n "$(window_named "$1")" ]; }
no_window() { [ -z "$(window_named "$1")" ]; }
wait_window() { wait_until 10 has_window "$1" || fail "no window \"$1\""; }
active_window() { printf '%d' "$(xprop -root _NET_ACTIVE_WINDOW | awk '{print $NF}')"; }
# Client windows from bottom to top.
stacking() {
    xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g' | tr ' ' '\n' |
        while read -r id; do printf '%d\n' "$id"; done
}
above() { # true when window $1 is stacked above window $2
    local order
    order=$(stacking)
    local a b
    a=$(grep -n -x "$1" <<<"$order" | cut -d: -f1)
    b=$(grep -n -x "$2" <<<"$order" | cut -d: -f1)
    [ -n "$a" ] && [ -n "$b" ] && [ "$a" -gt "$b" ]
}
client_size() { xwininfo -id "$1" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}'; }
client_origin() {
    xwininfo -id "$1" | awk '/Absolute upper-left X:/{x=$4} /Absolute upper-left Y:/{y=$4} END{print x, y}'
}
# The table window's client area, cut out of a screenshot, is exactly the table picture.
table_seen_whole() {
    local x y
    read -r x y < <(client_origin "$1")
    import -window root -crop "187x263+$x+$y" +repage "$DESKTOP_DIR/seen.png"
    [ "$(compare -metric AE "$DESKTOP_DIR/seen.png" "$table_png" null: 2>&1)" = "0" ]
}

# ---- 1. The table stays on top ----
desktop_spawn "$driver" table
wait_window "Transliteration Table"
table=$(window_named "Transliteration Table")
xprop -id "$table" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE || fail "table is not kept above"
is_active() { [ "$(active_window)" = "$1" ]; }
wait_until 5 is_active "$table" || fail "opening the table did not activate it"
wait_until 5 table_seen_whole "$table" || fail "the table picture is not shown"

# Another program's window right over the table, activated by the window manager.
read -r tx ty < <(client_origin "$table")
desktop_spawn xlogo -geometry "500x500+$((tx - 150))+$((ty - 100))"
has_logo() { [ -n "$(xdotool search --onlyvisible --class xlogo 2>/dev/null | head -1)" ]; }
wait_until 10 has_logo || fail "xlogo did not start"
logo=$(xdotool search --onlyvisible --class xlogo | head -1)
xdotool windowactivate --sync "$logo"
wait_until 5 is_active "$logo" || fail "xlogo was not activated"
above "$table" "$logo" || fail "the table went below the activated window"
# A click into the other window (beside the table) raises and activates it as well.
xdotool mousemove $((tx - 100)) $((ty + 100)) click 1
sleep 0.3
xdotool windowraise "$logo"
sleep 0.3
[ "$(active_window)" = "$logo" ] || fail "the click did not activate xlogo"
above "$table" "$logo" || fail "the table went below the clicked window"
table_seen_whole "$table" || fail "the table is covered"

# Escape pressed in the table leaves it open: only the title bar closes it.
xdotool windowactivate --sync "$table"
wait_until 5 is_active "$table" || fail "the table could not be activated"
xdotool key --window "$table" Escape
sleep 0.5
has_window "Transliteration Table" || fail "Escape closed the table"

# Closing the table destroys it; opening it again gives a table that is on top again.
xdotool windowclose "$table" 2>/dev/null || xdotool windowkill "$table"
wait_until 10 no_window "Transliteration Table" || fail "the table did not close"
desktop_spawn "$driver" table
wait_window "Transliteration Table"
table=$(window_named "Transliteration Table")
xdotool windowactivate --sync "$logo"
above "$table" "$logo" || fail "the reopened table is not on top"
echo "table stays on top: ok"

# ---- 2. Sizes, frames and taskbar hints ----
desktop_spawn "$driver" status:3:4 help about --no-owner
for title in Litvorot "Help on Litvorot" "About Litvorot"; do wait_window "$title"; done
status=$(window_named Litvorot)
help=$(window_named "Help on Litvorot")
about=$(window_named "About Litvorot")

[ "$(client_size "$about")" = 272x126 ] || fail "About box is $(client_size "$about")"
[ "$(client_size "$help")" = 538x441 ] || fail "help window is $(client_size "$help")"
[ "$(client_size "$table")" = 188x263 ] || fail "table window is $(client_size "$table")"
case $(client_size "$status") in
    *x109) ;;
    *) fail "status dialog is $(client_size "$status")" ;;
esac

# The dialogs are transient for the program, which keeps them out of taskbars; they cannot be
# resized or maximised. The help window is an ordinary window that can.
for id in "$status" "$about" "$table"; do
    xprop -id "$id" WM_TRANSIENT_FOR | grep -q 'window id' || fail "window $id has no WM_TRANSIENT_FOR"
    actions=$(xprop -id "$id" _NET_WM_ALLOWED_ACTIONS)
    grep -q _NET_WM_ACTION_CLOSE <<<"$actions" || fail "window $id cannot be closed"
    ! grep -q -e _NET_WM_ACTION_RESIZE -e _NET_WM_ACTION_MAXIMIZE <<<"$actions" ||
        fail "window $id can be resized: $actions"
    ! grep -q -e _NET_WM_ACTION_MINIMIZE -e _NET_WM_ACTION_FULLSCREEN <<<"$actions" ||
        fail "window $id can be minimised or made full screen: $actions"
done
! xprop -id "$help" WM_TRANSIENT_FOR | grep -q 'window id' || fail "help window is transient"
actions=$(xprop -id "$help" _NET_WM_ALLOWED_ACTIONS)
for action in RESIZE MAXIMIZE_HORZ MINIMIZE CLOSE; do
    grep -q "_NET_WM_ACTION_$action" <<<"$actions" || fail "help window lacks $action"
done

# The help window's browser follows a resize by the window manager.
xdotool windowsize --sync "$help" 700 500
[ "$(client_size "$help")" = 700x500 ] || fail "help window did not resize"
echo "window frames: ok"
