#!/usr/bin/env bash
# Takes screenshots of the secondary windows, framed by openbox on Xvfb, for looking at by eye.
# Usage: screenshots.sh WINDOWS_DRIVER OUT_DIR [LITVOROT]
# With the tray program LITVOROT, also shows its tray menu and opens the table through it.
set -euo pipefail

driver=$1
out=$2
app=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../desktop/desktop-env.sh"
mkdir -p "$out"
out=$(cd "$out" && pwd)

desktop_start

window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
has_window() { [ -n "$(window_named "$1")" ]; }

# shoot NAME TITLE: saves the window titled TITLE, frame included, as NAME.png.
shoot() {
    local name=$1 title=$2 id x y w h left right top bottom
    wait_until 10 has_window "$title" || { echo "no window \"$title\"" >&2; return 1; }
    id=$(window_named "$title")
    sleep 0.5  # let the first paint finish
    read -r x y w h < <(xwininfo -id "$id" | awk '/Absolute upper-left X:/{x=$4}
        /Absolute upper-left Y:/{y=$4} /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}')
    read -r left right top bottom < <(xprop -id "$id" _NET_FRAME_EXTENTS |
        sed 's/.*= //; s/,//g')
    import -window root -crop "$((w + left + right))x$((h + top + bottom))+$((x - left))+$((y - top))" \
        +repage "$out/$name.png"
    echo "$out/$name.png"
}

# run_driver NAME TITLE ARGS...: opens windows with the driver, shoots one, closes the driver.
run_driver() {
    local name=$1 title=$2
    shift 2
    desktop_spawn "$driver" "$@" >/dev/null
    local pid=$DESKTOP_LAST_PID
    shoot "$name" "$title"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}

run_driver status Litvorot status:3:4
run_driver status-other-codes Litvorot status:0:9
run_driver table "Transliteration Table" table
run_driver help "Help on Litvorot" help
run_driver about "About Litvorot" about
missing=$(mktemp -d "$DESKTOP_DIR/nohelp.XXXXXX")
cp "$driver" "$missing/"
driver_copy="$missing/$(basename "$driver")"
desktop_spawn "$driver_copy" help >/dev/null
shoot help-missing "Help on Litvorot"
kill "$DESKTOP_LAST_PID"

if [ -n "$app" ]; then
    app_start "$app"
    tray_menu_select mnuSource
    sleep 0.3
    desktop_screenshot "$out/tray-menu.png"
    echo "$out/tray-menu.png"
    xdotool key Escape Escape
    sleep 0.3
    tray_menu_choose mnuShowTable
    shoot tray-table "Transliteration Table"
    desktop_screenshot "$out/tray-table-desktop.png"
fi
