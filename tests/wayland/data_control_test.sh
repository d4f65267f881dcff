#!/usr/bin/env bash
# Which clipboard the program takes in a Wayland session, against a small Wayland server of the
# tests' own (test_data_control_server, written from the protocols' text) instead of a real
# compositor, since none in Debian 12 offers ext-data-control-v1: ext-data-control where it is
# offered, wlr-data-control otherwise, the X11 clipboard when neither is; and a compositor that
# restarts or withdraws the protocol, which the program survives and goes on converting. No sway:
# the program's X11 side (its tray icon, the X11 clipboard) is on a private Xvfb, with a private
# session bus for `litvorot --go`. The server's log tells which protocol the program spoke.
# Usage: data_control_test.sh PATH/TO/litvorot PATH/TO/test_data_control_server PATH/TO/ext_clipboard
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../desktop/desktop-env.sh"
source "$here/sway-env.sh"  # check, checks_done, the wl-clipboard helpers, bus_owner_pid
require_tools wl-copy wl-paste dbus-daemon dbus-send
APP=$1 SERVER=$2 EXT_CLIP=$3
DESKTOP_WM=none desktop_start || exit 1
desktop_bus_start || exit 1
export WAYLAND_DISPLAY=litvorot-test-wayland LANG=C.UTF-8
mkdir -p "$DESKTOP_DIR/app"
printf ' 3 \r\n 4 \r\nFalse\r\n' >"$DESKTOP_DIR/app/settings.ini"  # Translit to Unicode

# ---- The test server and the program ----

server_runs=0
# server_start [--ext] [--wlr]: the test server on $WAYLAND_DISPLAY with those protocols; its log
# is $SERVER_LOG.
server_start() {
    server_runs=$((server_runs + 1))
    SERVER_LOG="$DESKTOP_DIR/server.$server_runs.log"
    desktop_spawn "$SERVER" "$WAYLAND_DISPLAY" "$@" >"$SERVER_LOG" 2>&1
    SERVER_PID=$DESKTOP_LAST_PID
    wait_until 10 grep -q '^ready' "$SERVER_LOG" || { echo "the test server did not start" >&2; return 1; }
}
server_stop() {
    kill "$SERVER_PID" 2>/dev/null
    wait "$SERVER_PID" 2>/dev/null
}

program_start() {
    app_start "$APP" QT_LOGGING_RULES=litvorot.clipboard=true || return 1
    wait_until 20 app_cmd --source translit
}
# Ends the program with --exit; false unless it ended by itself with status 0.
program_stop() {
    app_cmd --exit 2>/dev/null
    if ! app_wait_exit 10; then
        echo "  the program did not end at --exit" >&2
        kill "$APP_PID"
        wait "$APP_PID" 2>/dev/null
        return 1
    fi
    wait "$APP_PID" 2>/dev/null || { echo "  the program ended with status $?" >&2; return 1; }
}
# Running, and still the session's program on the bus.
program_runs() { kill -0 "$APP_PID" 2>/dev/null && [ "$(bus_owner_pid org.litvorot.Litvorot)" = "$APP_PID" ]; }

# A case: the server with OPTIONS, the program started on it; case_end stops both.
case_start() {  # TITLE OPTIONS...
    echo "---- $1"
    shift
    server_start "$@" && program_start || { echo "FAIL: the case could not start" >&2; exit 1; }
}
case_end() {
    program_stop
    server_stop
}

# ---- What the program did ----

# converts SET GET TEXT EXPECTED: puts TEXT on a clipboard with SET, runs --go and reads the
# clipboard back with GET (wclip_*: Wayland; clip_*: X11; ext_*: Wayland through ext).
converts() {
    local set=$1 get=$2 text=$3 expected=$4
    "$set" "$text" || { echo "  $set could not set the clipboard" >&2; return 1; }
    app_cmd --go || { echo "  --go failed" >&2; return 1; }
    [ "$("$get")" = "$expected" ] || { echo "  the clipboard holds '$("$get")'" >&2; return 1; }
}

# Takes the Wayland clipboard through ext-data-control; the owner serves it in the background.
ext_set() {
    local out="$DESKTOP_DIR/ext_copy.out"
    desktop_spawn "$EXT_CLIP" copy "$1" >"$out"
    wait_until 5 grep -q '^ready' "$out"
}
ext_get() { "$EXT_CLIP" paste 2>/dev/null; }

# The program's lines in the server's log.
program_requests() { grep "^\[$APP_PID\] " "$SERVER_LOG"; }
show_program_requests() {
    echo "  the program's requests:" >&2
    program_requests | sed 's/^/    /' | head -n 20 >&2 || echo "    none" >&2
}
# program_spoke PROTOCOL: the program made a device, set the selection and received an offer
# through PROTOCOL, and did none of that through the other one.
program_spoke() {
    local other=wlr request
    [ "$1" = wlr ] && other=ext
    for request in get_data_device set_selection receive; do
        program_requests | grep -q "^\[[0-9]*\] $1 $request" ||
            { echo "  no '$1 $request' from the program" >&2; show_program_requests; return 1; }
    done
    ! program_requests | grep -Eq "^\[[0-9]+\] $other (get_data_device|create_data_source|set_selection|receive)" ||
        { echo "  the program also spoke $other" >&2; show_program_requests; return 1; }
}
# No data-control request from the program at all.
program_spoke_neither() {
    ! program_requests | grep -Eq '^\[[0-9]+\] (ext|wlr) (get_data_device|create_data_source|set_selection|receive)' ||
        { show_program_requests; return 1; }
}

# ---- The test server itself: both protocols share one clipboard ----
server_shares_clipboard() {
    wclip_set 'from wlr' && [ "$(ext_get)" = 'from wlr' ] || { echo "  wlr to ext" >&2; return 1; }
    ext_set 'from ext' && wclip_is 'from ext' || { echo "  ext to wlr" >&2; return 1; }
    # The primary selection is a second one: the clipboard stays.
    printf 'primary' | wl-copy -p >/dev/null 2>&1 && [ "$(wl-paste -p -n)" = primary ] &&
        wclip_is 'from ext' || { echo "  the primary selection" >&2; return 1; }
    # A null selection leaves nothing; the ext owner hears it was replaced and ends.
    local ext_owner=$DESKTOP_LAST_PID
    wl-copy --clear && ! wl-paste -n >/dev/null 2>&1 && wait_until 5 eval '! kill -0 "$ext_owner"' ||
        { echo "  a cleared clipboard" >&2; return 1; }
}
echo "---- the test server"
server_start --ext --wlr || exit 1
check "the test server: wlr and ext clients share the clipboard; the primary selection; clearing" \
    server_shares_clipboard
server_stop

# ---- The order: ext-data-control, wlr-data-control, X11 ----
case_start "both protocols offered" --ext --wlr
check "both: wl-copy, --go, wl-paste converts" converts wclip_set wclip_get 'privet, mir' 'привет, мир'
check "both: the program took ext-data-control" program_spoke ext
case_end

case_start "ext-data-control alone (KDE Plasma 6.5)" --ext
check "ext alone: an ext owner's text is converted" converts ext_set ext_get 'spasibo' 'спасибо'
check "ext alone: the program took ext-data-control" program_spoke ext
case_end

case_start "wlr-data-control alone" --wlr
check "wlr alone: wl-copy, --go, wl-paste converts" converts wclip_set wclip_get 'do svidaniia' 'до свидания'
check "wlr alone: the program took wlr-data-control" program_spoke wlr
case_end

case_start "no data-control" # the server offers a seat and nothing else
check "neither: xclip, --go, xclip -o converts (the X11 clipboard)" converts clip_set clip_get 'zima' 'зима'
check "neither: no data-control request from the program" program_spoke_neither
case_end

# ---- The compositor restarts: killed and started again on the same socket ----
restart_survived() {
    kill -KILL "$SERVER_PID"
    wait "$SERVER_PID" 2>/dev/null
    # While there is no compositor the program still takes commands.
    app_cmd --source translit || { echo "  no answer while the server was away" >&2; return 1; }
    server_start --ext --wlr || return 1
    # Different texts on the two clipboards: the converted one tells which the program read.
    clip_set 'zapas' && wclip_set 'vozvrat' || { echo "  the clipboards could not be set" >&2; return 1; }
    app_cmd --go || { echo "  --go failed" >&2; return 1; }
    if wclip_is 'возврат'; then
        echo "  the --go right after the restart converted the Wayland clipboard (a new connection)" >&2
    elif clip_is 'запас'; then
        echo "  the --go right after the restart converted the X11 clipboard" >&2
    else
        echo "  nothing converted: Wayland '$(wclip_get)', X11 '$(clip_get)'" >&2
        return 1
    fi
    program_runs || { echo "  the program is gone" >&2; return 1; }
    # A program that connects again converts the Wayland clipboard from then on.
    reconnected() { program_requests | grep -Eq '^\[[0-9]+\] (ext|wlr) get_data_device'; }
    if wait_until 5 reconnected; then
        echo "  the program connected to the new server" >&2
        converts wclip_set wclip_get 'snova' 'снова' || return 1
    else
        echo "  the program did not connect to the new server within 5 s" >&2
    fi
}
case_start "the compositor restarts" --ext --wlr
check "before the restart: converts through Wayland" converts wclip_set wclip_get 'utro' 'утро'
check "the server killed and started again: the program runs and --go converts" restart_survived
check "after the restart --exit ends the program" program_stop
server_stop

# ---- The compositor withdraws the protocols: the program falls back to X11 ----
withdrawal_survived() {
    kill -USR1 "$SERVER_PID"
    wait_until 5 grep -q '^withdrawn' "$SERVER_LOG" || { echo "  the server did not withdraw" >&2; return 1; }
    converts clip_set clip_get 'pole' 'поле' || return 1
    program_runs || { echo "  the program is gone" >&2; return 1; }
    if program_requests | grep -Eq '^\[[0-9]+\] (ext|wlr) destroy device'; then
        echo "  the program let go of its finished device" >&2
    fi
}
case_start "the compositor withdraws data-control" --ext --wlr
check "before the withdrawal: converts through Wayland" converts wclip_set wclip_get 'les' 'лес'
check "data-control withdrawn: the program runs and converts the X11 clipboard" withdrawal_survived
check "after the withdrawal --exit ends the program" program_stop
server_stop

checks_done
