#!/usr/bin/env bash
# A throw-away X11 desktop for tests: Xvfb on a free display, the openbox window manager and
# the trayer tray host, with helpers for the clipboard, the tray icon and screenshots.
# Source it, call desktop_start, and the desktop stops by itself when the script exits:
#
#   source tests/desktop/desktop-env.sh
#   desktop_start            # exports DISPLAY, DESKTOP_DIR (a private temp directory)
#   clip_set "privet"; xdotool key ctrl+space; clip_get
#
# Every process started here is stopped by its own pid in desktop_stop.

DESKTOP_PIDS=()
DESKTOP_DIR=""

desktop_log() { echo "[desktop] $*" >&2; }

source "$(dirname "${BASH_SOURCE[0]}")/wait_until.sh"

desktop_start() {
    local geometry=${1:-1024x768x24}
    DESKTOP_DIR=$(mktemp -d "${TMPDIR:-/tmp}/litvorot-desktop.XXXXXX")
    export DESKTOP_DIR
    trap desktop_stop EXIT
    # A session bus with a StatusNotifierWatcher would take the tray icon away from XEmbed.
    unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
    export XDG_RUNTIME_DIR="$DESKTOP_DIR/runtime"
    mkdir -m 0700 "$XDG_RUNTIME_DIR"
    export XDG_CONFIG_HOME="$DESKTOP_DIR/config" XDG_STATE_HOME="$DESKTOP_DIR/state"
    export QT_QPA_PLATFORM=xcb

    local fifo="$DESKTOP_DIR/displayfd"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp 3>"$fifo" >"$DESKTOP_DIR/xvfb.log" 2>&1 &
    DESKTOP_PIDS+=($!)
    local number=""
    read -r -t 20 number <"$fifo" || true
    if [ -z "$number" ]; then
        desktop_log "Xvfb did not start"; cat "$DESKTOP_DIR/xvfb.log" >&2; return 1
    fi
    export DISPLAY=":$number"

    # DESKTOP_WM=none leaves the window manager out (the tray host alone).
    if [ "${DESKTOP_WM:-openbox}" != none ]; then
        openbox --sm-disable >"$DESKTOP_DIR/openbox.log" 2>&1 &
        DESKTOP_PIDS+=($!)
        wait_until 20 desktop_has_wm || { desktop_log "openbox did not start"; return 1; }
    fi

    trayer --edge top --align right --widthtype request --height 24 --SetDockType true \
        >"$DESKTOP_DIR/trayer.log" 2>&1 &
    DESKTOP_PIDS+=($!)
    if ! wait_until 20 desktop_has_tray; then
        desktop_log "trayer did not start: $(tail -n 3 "$DESKTOP_DIR/trayer.log")"
        return 1
    fi
    desktop_log "desktop on $DISPLAY"
}

# A private session bus for the tests that drive the program from its command line (litvorot
# --go). It holds no StatusNotifierWatcher, so the tray icon stays an XEmbed one.
desktop_bus_start() {
    local fifo="$DESKTOP_DIR/busfd"
    mkfifo "$fifo"
    dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$fifo" \
        >"$DESKTOP_DIR/bus.log" 2>&1 &
    DESKTOP_PIDS+=($!)
    local address=""
    read -r -t 20 address <"$fifo" || true
    [ -n "$address" ] || { desktop_log "no session bus"; return 1; }
    export DBUS_SESSION_BUS_ADDRESS=$address
}

# app_cmd ARGS...: the program's command line for the copy that runs ($APP_DIR/litvorot).
app_cmd() { "$APP_DIR/litvorot" "$@"; }

# log_count PATTERN: lines of the program's log (app.log) that match PATTERN.
log_count() { grep -c -- "$1" "$DESKTOP_DIR/app.log"; }
# log_count_above PATTERN N: true once more than N lines match.
log_count_above() { [ "$(log_count "$1")" -gt "$2" ]; }

desktop_has_wm() { LC_ALL=C xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
# grep reads the whole tree: with -q it would stop at the match, and xwininfo, still writing,
# would die of SIGPIPE and fail the pipeline under pipefail.
desktop_has_tray() { LC_ALL=C xwininfo -root -tree | grep -F '("panel" "trayer")' >/dev/null; }

# Starts a background process that desktop_stop ends; its pid is in $DESKTOP_LAST_PID.
desktop_spawn() {
    "$@" &
    DESKTOP_LAST_PID=$!
    DESKTOP_PIDS+=($DESKTOP_LAST_PID)
}

desktop_stop() {
    local i pid
    for ((i = ${#DESKTOP_PIDS[@]} - 1; i >= 0; i--)); do
        pid=${DESKTOP_PIDS[i]}
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${DESKTOP_PIDS[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    DESKTOP_PIDS=()
    # xclip serving a selection leaves when the display goes; nothing else remains.
    if [ -n "$DESKTOP_DIR" ] && [ -z "${DESKTOP_KEEP:-}" ]; then rm -rf "$DESKTOP_DIR"; fi
}

# Clipboard helpers. xclip -i stays in the background serving the selection: never let it hold
# our stdout.
clip_set() { printf '%s' "$1" | xclip -selection clipboard -i >/dev/null 2>&1; }
clip_set_file() { xclip -selection clipboard -t "$2" -i "$1" >/dev/null 2>&1; }   # FILE TYPE
clip_get() { xclip -selection clipboard -o 2>/dev/null; }
clip_targets() { xclip -selection clipboard -o -t TARGETS 2>/dev/null; }
# clip_wait_for TEXT [TIMEOUT]: waits until the clipboard holds exactly TEXT.
clip_wait_for() { wait_until "${2:-5}" clip_is "$1"; }
clip_is() { [ "$(clip_get)" = "$1" ]; }

# The absolute top left corner and size "X Y W H" of the tray icon embedded for CLASS (the class
# of the icon's window), as shown by xwininfo; nothing when it is not embedded. The icon is the
# window of that class inside trayer's panel.
tray_icon_geometry() {
    local class=$1
    LC_ALL=C xwininfo -root -tree 2>/dev/null | awk -v cls="(\"$class\" \"$class\")" '
        function indent(line) { match(line, /^ */); return RLENGTH }
        /\("panel" "trayer"\)/ { panel = indent($0); next }
        panel && indent($0) <= panel { panel = 0 }
        panel && index($0, cls) && match($0, /[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+ +\+-?[0-9]+\+-?[0-9]+/) {
            split(substr($0, RSTART, RLENGTH), f, /[x+ ]+/)
            if (!found && f[1] >= 8 && f[2] >= 8) {
                print f[5], f[6], f[1], f[2]; found = 1   # read on: no SIGPIPE under pipefail
            }
        }'
}

# tray_icon_gone CLASS: true once no icon of CLASS is embedded.
tray_icon_gone() { [ -z "$(tray_icon_geometry "$1")" ]; }

# The centre "X Y" of the tray icon for CLASS.
tray_icon_centre() {
    local g
    g=$(tray_icon_geometry "$1") || return 1
    [ -n "$g" ] || return 1
    set -- $g
    echo $(($1 + $3 / 2)) $(($2 + $4 / 2))
}


desktop_screenshot() { import -window root "$1"; }

# ---- The tray program under test ----

# app_start BINARY [ENV=VALUE...]: runs a copy of BINARY from $DESKTOP_DIR/app (its settings.ini
# lives there) and waits until its tray icon is embedded. The pid is in $APP_PID.
app_start() {
    local binary=$1
    shift
    APP_DIR="$DESKTOP_DIR/app"
    mkdir -p "$APP_DIR"
    [ -x "$APP_DIR/litvorot" ] || cp "$binary" "$APP_DIR/litvorot"
    desktop_spawn env "$@" "$APP_DIR/litvorot" 2>>"$DESKTOP_DIR/app.log"
    APP_PID=$DESKTOP_LAST_PID
    if ! wait_until 20 tray_icon_centre litvorot; then
        desktop_log "the tray icon did not appear"; cat "$DESKTOP_DIR/app.log" >&2; return 1
    fi
    # The hot key is set up right after the icon; give the event loop a moment to start.
    sleep 0.3
}

# converter_test_start FROM TO LITVOROT STUCK_OWNER SELECTION_WATCH [LITVOROT_CONVERT]: for the
# tests that check the program against litvorot-convert. Skips the test when that is not given;
# else starts the desktop and the program (app_start) in a Russian locale, set to convert format
# FROM to TO (the numbers settings.ini holds: 1 KOI8, 2 CP 1251, 3 Translit, 4 Unicode).
converter_test_start() {
    local from=$1 to=$2
    shift 2
    require_tools cmp
    [ $# -ge 4 ] || { echo "SKIP: no litvorot-convert" >&2; exit 77; }
    desktop_start || exit 1
    mkdir -p "$DESKTOP_DIR/app"
    printf ' %s \r\n %s \r\nFalse\r\n' "$from" "$to" >"$DESKTOP_DIR/app/settings.ini"
    app_start "$1" LANG=ru_RU.UTF-8 || exit 1
}

# app_wait_exit [TIMEOUT]: waits until the program has ended.
app_wait_exit() { wait_until "${1:-10}" app_gone; }
app_gone() { ! kill -0 "$APP_PID" 2>/dev/null; }

# The class of the program's windows (its menus among them) and of its tray icon's window: both
# "litvorot" here; a program under Wine has its icon drawn by explorer.exe.
TRAY_APP_CLASS=${TRAY_APP_CLASS:-litvorot}
TRAY_ICON_CLASS=${TRAY_ICON_CLASS:-$TRAY_APP_CLASS}

# Opens the tray menu with a right-button press on the icon and waits until it shows.
tray_menu_open() {
    local before
    before=$(visible_windows "$TRAY_APP_CLASS")
    set -- $(tray_icon_centre "$TRAY_ICON_CLASS")
    xdotool mousemove "$1" "$2" click 3
    wait_until 5 visible_windows_more "$TRAY_APP_CLASS" "$before"
}

# Number of viewable windows of CLASS (the tray icon and open menus among them).
visible_windows() { xdotool search --onlyvisible --class "$1" 2>/dev/null | wc -l; }
# visible_windows_more CLASS N: true while more than N windows of CLASS are viewable (counted
# anew on every call, so that wait_until can poll it).
visible_windows_more() { [ "$(visible_windows "$1")" -gt "$2" ]; }
visible_windows_are() { [ "$(visible_windows "$1")" -eq "$2" ]; }

# tray_menu_keys KEY...: opens the menu and types the keys, with a pause for submenus to open.
tray_menu_keys() {
    tray_menu_open || return 1
    local key
    for key in "$@"; do
        xdotool key "$key"
        sleep 0.15
    done
}

fail() {
    echo "FAIL: $*" >&2
    # What the program said last tells a failure that does not come again.
    if [ -n "$DESKTOP_DIR" ] && [ -s "$DESKTOP_DIR/app.log" ]; then
        echo "--- the program's log, last lines:" >&2
        tail -n 40 "$DESKTOP_DIR/app.log" >&2
    fi
    [ -n "$DESKTOP_DIR" ] && desktop_screenshot "${TMPDIR:-/tmp}/litvorot-fail-$$.png" 2>/dev/null &&
        echo "screenshot: ${TMPDIR:-/tmp}/litvorot-fail-$$.png" >&2
    exit 1
}

# Exits with CTest's skip code when a tool the desktop tests need is missing.
require_tools() {
    local tool
    for tool in Xvfb openbox trayer xdotool xclip xwininfo xprop import setxkbmap "$@"; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed" >&2; exit 77; }
    done
}

# ---- Selection helpers built with the tests (tests/desktop/selection_watch.c) ----

# owner_watch_start WATCHER FILE: runs `WATCHER count` in the background, writing a line for every
# change of the clipboard's owner to FILE, and waits until it watches.
owner_watch_start() {
    desktop_spawn "$1" count >"$2"
    wait_until 10 grep -q '^ready' "$2"
}
# owner_changes FILE: the number of owner changes seen so far.
owner_changes() { grep -c '^owner' "$1"; }
# owner_changes_reach FILE N: true once at least N changes were seen.
owner_changes_reach() { [ "$(owner_changes "$1")" -ge "$2" ]; }

# ---- Menu items by name, from the program's menu table (shell/modMenu.cpp) ----

MENU_TABLE=${MENU_TABLE:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/shell/modMenu.cpp}

# tray_menu_path NAME: the keys that select item NAME (mnuShowTable) in the tray menu just
# opened, read off the table's rows: in the top menu Down from the top, or, for the items below
# one that may be greyed out (Undo, which keyboard navigation skips while greyed with Qt and not
# with Win32), Up from the bottom; in a submenu, Right (which selects its first item) and Down.
# Separators are never selected.
tray_menu_path() {
    awk -F'"' -v target="$1" '
        /^ *MenuItem\{"/ {
            n++; name[n] = $2; parent[n] = $4; at[$2] = n
            separator[n] = index($0, "Separator,") > 0
            greyed[n] = $0 ~ /true\},? *$/
        }
        function keys(key, count,   out, i) {
            for (i = 0; i < count; i++) out = out " " key
            return out
        }
        END {
            if (!(target in at)) { print "no menu item " target > "/dev/stderr"; exit 1 }
            depth = 0
            for (item = at[target]; ; item = at[parent[item]]) {
                chain[++depth] = item
                if (parent[item] == "mnuPopup") break
            }
            path = ""
            for (level = depth; level >= 1; level--) {
                item = chain[level]; before = 0; after = 0; greyedBefore = 0
                for (i = 1; i <= n; i++) {
                    if (parent[i] != parent[item] || separator[i]) continue
                    if (i < item) { before++; if (greyed[i]) greyedBefore = 1 }
                    else after++
                }
                if (level < depth) path = path " Right" keys("Down", before)
                else if (greyedBefore) path = path keys("Up", after)
                else path = path keys("Down", before + 1)
            }
            print substr(path, 2)
        }' "$MENU_TABLE"
}

# tray_menu_select NAME: opens the menu and selects item NAME (its submenus open on the way).
tray_menu_select() {
    local path
    path=$(tray_menu_path "$1") || return 1
    tray_menu_keys $path
}
# tray_menu_choose NAME: opens the menu and chooses item NAME.
tray_menu_choose() {
    local path
    path=$(tray_menu_path "$1") || return 1
    tray_menu_keys $path Return
}

# The menu's last item: Exit, reached upwards so that Undo (greyed or not) does not count.
tray_menu_exit() { tray_menu_choose mnuExit; }

# now_ms: a clock in milliseconds for timing steps.
now_ms() { echo $(($(date +%s%N) / 1000000)); }
