#!/usr/bin/env bash
# Set-up and clean-up of the Windows tests: a private X11 desktop (Xvfb, openbox, trayer) and one
# Wine prefix session on it, shared by every Wine test of a CTest run.
# Usage: wine-fixture.sh setup|cleanup BUILD_DIR IDLE_EXE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
action=$1
build=$2
idle=$3
wine_env "$build"

stop_all() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    if [ -f "$WINE_STATE_DIR/state" ]; then
        local pids dir
        # The list is saved in quotes, which are no part of the numbers.
        pids=$(sed -n 's/^DESKTOP_PIDS_SAVED=//p' "$WINE_STATE_DIR/state" | tr -d "'")
        dir=$(sed -n 's/^DESKTOP_DIR=//p' "$WINE_STATE_DIR/state")
        for pid in $pids; do kill "$pid" 2>/dev/null || true; done
        [ -n "$dir" ] && rm -rf "$dir"
        rm -f "$WINE_STATE_DIR/state" "$WINE_STATE_DIR/idle.pid"
    fi
}

case "$action" in
    setup)
        # A session left behind (a test list read without a display, an aborted run) goes first.
        stop_all
        wine_prefix_ready
        # shellcheck source=../desktop/desktop-env.sh
        source "$here/../desktop/desktop-env.sh"
        # No window manager: Wine routes the mouse to its icons in trayer only when no window
        # manager had framed the tray before the icons docked.
        DESKTOP_WM=none desktop_start
        trap - EXIT
        {
            echo "DISPLAY=$DISPLAY"
            echo "DESKTOP_DIR=$DESKTOP_DIR"
            echo "DESKTOP_PIDS_SAVED='${DESKTOP_PIDS[*]}'"
        } >"$WINE_STATE_DIR/state"
        export DISPLAY
        wine_keep_alive "$idle"
        echo "Wine desktop on $DISPLAY, prefix $WINEPREFIX"
        ;;
    cleanup)
        stop_all
        ;;
    *)
        echo "usage: $0 setup|cleanup BUILD_DIR IDLE_EXE" >&2
        exit 2
        ;;
esac
