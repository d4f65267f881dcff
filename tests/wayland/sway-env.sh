#!/usr/bin/env bash
# A throw-away Wayland desktop for tests: a headless sway (no GPU, no input devices) with
# XWayland, on a private session bus. sway refuses to run as root, so as root the test body runs
# in a user namespace as user 1000. Source it and call sway_start from a script that was started
# through sway_enter:
#
#   source tests/wayland/sway-env.sh
#   sway_enter "$0" "$@"      # re-runs the script inside the namespace and the session bus
#   sway_start                # exports WAYLAND_DISPLAY, SWAYSOCK, DISPLAY, SWAY_DIR
#
# Everything started here is stopped by its own pid when the script exits.

SWAY_PIDS=()
SWAY_DIR=""

sway_log() { echo "[sway] $*" >&2; }

source "$(dirname "${BASH_SOURCE[0]}")/../desktop/wait_until.sh"

# Exits with CTest's skip code when a tool is missing.
sway_require() {
    local tool
    for tool in sway swaymsg Xwayland wl-copy wl-paste dbus-run-session dbus-send unshare python3 "$@"; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed" >&2; exit 77; }
    done
}

# sway_enter SCRIPT ARGS...: unless already inside, runs SCRIPT again in a fresh session bus
# (and, as root, in a user namespace) and exits with its status.
sway_enter() {
    [ -n "${LITVOROT_SWAY_INSIDE:-}" ] && return 0
    export LITVOROT_SWAY_INSIDE=1
    unset DBUS_SESSION_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY SWAYSOCK XDG_RUNTIME_DIR
    local runner=()
    [ "$(id -u)" -eq 0 ] && runner=(unshare --user --map-user=1000 --map-group=1000)
    "${runner[@]}" dbus-run-session -- bash "$@"
    exit $?
}

sway_start() {
    SWAY_DIR=$(mktemp -d "${TMPDIR:-/tmp}/litvorot-sway.XXXXXX")
    export SWAY_DIR
    trap sway_stop EXIT
    export XDG_RUNTIME_DIR="$SWAY_DIR/runtime" HOME="$SWAY_DIR/home"
    export XDG_CONFIG_HOME="$HOME/.config" XDG_STATE_HOME="$HOME/.local/state"
    mkdir -m 0700 "$XDG_RUNTIME_DIR"
    mkdir -p "$HOME"
    export WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman
    unset DISPLAY WAYLAND_DISPLAY
    cat >"$SWAY_DIR/config" <<CONFIG
xwayland enable
exec env > $SWAY_DIR/sway.env
CONFIG
    sway -c "$SWAY_DIR/config" >"$SWAY_DIR/sway.log" 2>&1 &
    SWAY_PIDS+=($!)
    if ! wait_until 20 grep -q '^SWAYSOCK=' "$SWAY_DIR/sway.env"; then
        sway_log "sway did not start: $(tail -n 5 "$SWAY_DIR/sway.log")"
        return 1
    fi
    sleep 0.1  # env writes its last lines
    export WAYLAND_DISPLAY SWAYSOCK
    WAYLAND_DISPLAY=$(sed -n 's/^WAYLAND_DISPLAY=//p' "$SWAY_DIR/sway.env")
    SWAYSOCK=$(sed -n 's/^SWAYSOCK=//p' "$SWAY_DIR/sway.env")
    # XWayland's display is in the environment of the programs sway starts.
    swaymsg exec "env > $SWAY_DIR/child.env" >/dev/null
    wait_until 10 grep -q '^DISPLAY=' "$SWAY_DIR/child.env" || {
        sway_log "sway gives its programs no DISPLAY"; return 1; }
    export DISPLAY
    DISPLAY=$(sed -n 's/^DISPLAY=//p' "$SWAY_DIR/child.env")
    sway_log "sway on $WAYLAND_DISPLAY, XWayland on $DISPLAY"
}

# Starts a background process that sway_stop ends; its pid is in $SWAY_LAST_PID.
sway_spawn() {
    "$@" &
    SWAY_LAST_PID=$!
    SWAY_PIDS+=($SWAY_LAST_PID)
}

sway_stop() {
    local i pid
    for ((i = ${#SWAY_PIDS[@]} - 1; i >= 0; i--)); do
        kill "${SWAY_PIDS[i]}" 2>/dev/null || true
    done
    for pid in "${SWAY_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
    SWAY_PIDS=()
    if [ -n "$SWAY_DIR" ] && [ -z "${SWAY_KEEP:-}" ]; then rm -rf "$SWAY_DIR"; fi
}

# The Wayland clipboard, through data-control (wl-copy forks a server that lives until the
# clipboard changes owner; it must not hold our stdout).
wclip_set() { printf '%s' "$1" | wl-copy >/dev/null 2>&1; }
wclip_get() { wl-paste -n 2>/dev/null; }
wclip_is() { [ "$(wclip_get)" = "$1" ]; }

# The pid of the program that owns the bus name NAME, or nothing.
bus_owner_pid() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetConnectionUnixProcessID "string:$1" 2>/dev/null |
        awk '/uint32/ { print $2 }'
}

check_count=0
fail_count=0
# check NAME COMMAND...: runs one check and reports it; the script goes on.
check() {
    local name=$1
    shift
    check_count=$((check_count + 1))
    if "$@"; then
        echo "ok   $name"
    else
        echo "FAIL $name" >&2
        fail_count=$((fail_count + 1))
    fi
}
checks_done() {
    echo "$((check_count - fail_count)) of $check_count checks passed"
    [ "$fail_count" -eq 0 ]
}
